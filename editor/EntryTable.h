#pragma once

#include "editor/Entry.h"
#include "editor/Problems.h"
#include "editor/Thumbnails.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QUndoStack>

// The rows of the list as the window shows them. Every change a teacher makes is one step of the
// undo stack; opening and saving a folder start the stack afresh.
class EntryTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { PictureColumn, WordColumn, VoiceColumn, CropColumn, ProblemColumn, ColumnCount };
    static constexpr int ThumbnailHeight = 96;

    explicit EntryTable(ExerciseFacts facts, QObject *parent = nullptr);

    QUndoStack *undoStack() { return &m_undo; }
    const QList<Entry> &entries() const { return m_entries; }
    const Settings &settings() const { return m_settings; }
    const QList<Problem> &problems() const { return m_problems; }
    const ExerciseFacts &facts() const { return m_facts; }
    Thumbnail thumbnail(const Entry &entry) const;
    // Thumbnails made ahead, off the window's thread.
    void addThumbnail(const Entry &entry, const Thumbnail &thumbnail);
    // What a voice is (its length or why it cannot be heard), found once; checked ahead too.
    VoiceCheck voiceCheck(const VoiceSource &voice) const;
    void addVoiceCheck(const VoiceSource &voice, const VoiceCheck &check);

    // Each of these is one undoable step.
    void setWord(int row, const QString &word);
    void insertEntries(int row, const QList<Entry> &entries);
    void removeEntries(QList<int> rows);
    void moveEntry(int from, int to);
    void setPicture(int row, const QString &path);
    void setCrop(int row, const Crop &crop);
    // A voice made ready (recorded or imported), or none.
    void setVoice(int row, const QByteArray &ogg, const QString &text);
    // Voices for several rows at once (synthetic voices).
    void setVoices(const QHash<int, QByteArray> &voices, const QString &text);
    void setSettings(const Settings &settings);

    // All rows at once, as one step (a backup brought back).
    void replaceAll(const QString &text, const QList<Entry> &entries) { change(text, entries); }
    void replaceAll(const QString &text, const QList<Entry> &entries, const Settings &settings)
    {
        change(text, Content{entries, settings});
    }
    // Thumbnails of files under folder, whose content a save has changed.
    void forgetThumbnailsUnder(const QString &folder);

    // A folder opened or saved: its rows and settings, with no step to undo.
    void reset(const QList<Entry> &entries, const Settings &settings = {});

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

signals:
    // Picture files dropped on the list: to be added before row, or to replace row's picture.
    void filesDropped(const QStringList &paths, int row, bool replace);
    void problemsChanged();
    void settingsChanged();

private:
    friend class EntrySnapshot;
    struct Content {
        QList<Entry> entries;
        Settings settings;
    };
    void change(const QString &text, const QList<Entry> &after);
    void change(const QString &text, const Content &after);
    void apply(const Content &content);
    void updateProblems();

    ExerciseFacts m_facts;
    QList<Entry> m_entries;
    Settings m_settings;
    mutable QHash<QString, VoiceCheck> m_voiceChecks;
    QList<Problem> m_problems;
    mutable QHash<QString, Thumbnail> m_thumbnails;
    QUndoStack m_undo;
};
