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
    enum Column { PictureColumn, WordColumn, CropColumn, ProblemColumn, ColumnCount };
    static constexpr int ThumbnailHeight = 96;

    explicit EntryTable(ExerciseFacts facts, QObject *parent = nullptr);

    QUndoStack *undoStack() { return &m_undo; }
    const QList<Entry> &entries() const { return m_entries; }
    const QList<Problem> &problems() const { return m_problems; }
    const ExerciseFacts &facts() const { return m_facts; }
    Thumbnail thumbnail(const Entry &entry) const;
    // Thumbnails made ahead, off the window's thread.
    void addThumbnail(const Entry &entry, const Thumbnail &thumbnail);

    // Each of these is one undoable step.
    void setWord(int row, const QString &word);
    void insertEntries(int row, const QList<Entry> &entries);
    void removeEntries(QList<int> rows);
    void moveEntry(int from, int to);
    void setPicture(int row, const QString &path);
    void setCrop(int row, const Crop &crop);

    // All rows at once, as one step (a backup brought back).
    void replaceAll(const QString &text, const QList<Entry> &entries) { change(text, entries); }
    // Thumbnails of files under folder, whose content a save has changed.
    void forgetThumbnailsUnder(const QString &folder);

    // A folder opened or saved: its rows, with no step to undo.
    void reset(const QList<Entry> &entries);

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

private:
    friend class EntrySnapshot;
    void change(const QString &text, const QList<Entry> &after);
    void apply(const QList<Entry> &entries);
    void updateProblems();

    ExerciseFacts m_facts;
    QList<Entry> m_entries;
    QList<Problem> m_problems;
    mutable QHash<QString, Thumbnail> m_thumbnails;
    QUndoStack m_undo;
};
