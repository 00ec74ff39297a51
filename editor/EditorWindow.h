#pragma once

#include "editor/Entry.h"
#include "editor/FileOps.h"
#include "editor/Problems.h"
#include "editor/Thumbnails.h"
#include "editor/VoiceRecorder.h"

#include <QFutureWatcher>
#include <QMainWindow>

#include <memory>

class EntryTable;
class QLockFile;
class QLabel;
class QSlider;
class QTableView;
class QProgressDialog;
class QComboBox;
class QDockWidget;
class VoicePlayer;

// The editor's window: the rows of a folder with their pictures as the child will see them, the
// problems beside them, and the commands to open, add, change and save.
class EditorWindow : public QMainWindow {
    Q_OBJECT
public:
    static QString title() { return QStringLiteral("Diveva – prepara gli esercizi"); }

    explicit EditorWindow(ExerciseFacts facts, QWidget *parent = nullptr);
    ~EditorWindow() override;

    EntryTable *table() const { return m_table; }
    QTableView *view() const { return m_view; }
    QString folder() const { return m_session.folder; }
    // Why the open folder can only be read (another window has it, a save that cannot be put
    // right...), empty when it can be saved; and everything the window tells about the folder.
    QString readOnlyReason() const { return m_session.readOnly; }
    QString notice() const;
    // The file operations of saves and recoveries (a test's failing disk).
    void setFileOps(FileOps *ops) { m_ops = ops ? ops : &m_disk; }

    // Each reports its failure to the teacher and returns false. The folder open for editing is
    // locked against other windows and editors until another one is opened or the window goes.
    bool openFolder(const QString &folder);
    // Saves off the window's thread; the window takes no edit until the save ends.
    bool saveTo(const QString &folder);
    // Adds picture files before row (at the end with -1), or puts the one file in row's place;
    // the pictures are read in the background with a progress bar that can cancel.
    void addFiles(const QStringList &paths, int row = -1, bool replace = false);
    bool isImporting() const { return m_import.isRunning(); }

    // The row's voice: heard, recorded (a first call starts, a second stops), or taken away.
    void playVoice(int row);
    void recordVoice(int row);
    void removeVoice(int row);
    // Where recordings come from (a test's known signal); the default microphone without one.
    void setVoiceInput(std::unique_ptr<VoiceRecorder::Input> input);
    // A synthetic voice for every word without one, as one step.
    void synthesizeVoices();
    QDockWidget *settingsPanel() const { return m_settingsPanel; }

signals:
    void importFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // A folder open for editing, with its lock, and what opening it found.
    struct Session {
        QString folder;
        std::unique_ptr<QLockFile> lock;
        QString readOnly, notice;
        QStringList others;      // the other entries of jpg/, kept by a save
        QStringList otherVoices; // and of voce/
        QByteArray settingsFile; // diveva.ini as opened: its comments and unknown keys stay
        Session();
        Session(Session &&other) noexcept;
        Session &operator=(Session &&other) noexcept;
        ~Session();
        void release();
    };
    Session openSession(const QString &folder);
    QString takeOver(QLockFile &lock);
    void setSaving(bool saving);
    // Waits for work running in the background, the window's actions off and a window-modal
    // progress of `total` steps shown if it lasts; returns the work, finished.
    template <typename T>
    QFuture<T> waitFor(const QString &label, int total, QFuture<T> work);

    void newFolder();
    void chooseFolder();
    void chooseFiles();
    bool save();
    bool saveElsewhere();
    void restoreBackup();
    void tryInProgram();
    void removeSelected();
    void moveSelected(int by);
    void showProgress(const QString &text, int total);
    void importDone();
    void updateState();
    void updateCropControls();
    void updateVoiceButtons();
    void updateSettingsPanel();
    QWidget *makeSettingsPanel();
    void voiceRecorded(const Take &take, const QString &cause);
    int currentRow() const;
    bool askToSaveChanges();
    void showError(const QString &what, const QString &cause);

    EntryTable *m_table;
    QTableView *m_view;
    QLabel *m_listProblems;
    QLabel *m_emptyHint;
    QSlider *m_cropPosition;
    QLabel *m_banner;
    QAction *m_saveAction = nullptr, *m_undo = nullptr, *m_redo = nullptr;
    Session m_session, m_opening;
    Settings m_openingSettings;
    DiskFileOps m_disk;
    FileOps *m_ops = &m_disk;
    bool m_saving = false;
    // A row read in the background: its thumbnail and what its voice is.
    struct Imported {
        Entry entry;
        Thumbnail thumbnail;
        VoiceCheck voice;
    };
    QFutureWatcher<Imported> m_import;
    QStringList m_importSkipped; // voices added without a picture of their name
    VoiceRecorder *m_recorder = nullptr;
    int m_recordRow = -1;
    VoicePlayer *m_player = nullptr;
    QDockWidget *m_settingsPanel = nullptr;
    QList<QComboBox *> m_settingChoices;
    QProgressDialog *m_progress = nullptr;
    enum class Import { Add, Replace, Open } m_importKind = Import::Add;
    int m_importRow = -1;
};
