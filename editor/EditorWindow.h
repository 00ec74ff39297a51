#pragma once

#include "editor/Entry.h"
#include "editor/Thumbnails.h"

#include <QFutureWatcher>
#include <QMainWindow>

class EntryTable;
class QLabel;
class QSlider;
class QTableView;
class QProgressDialog;

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
    QString folder() const { return m_folder; }

    // Each reports its failure to the teacher and returns false.
    bool openFolder(const QString &folder);
    bool saveTo(const QString &folder);
    // Adds picture files before row (at the end with -1), or puts the one file in row's place;
    // the pictures are read in the background with a progress bar that can cancel.
    void addFiles(const QStringList &paths, int row = -1, bool replace = false);
    bool isImporting() const { return m_import.isRunning(); }

signals:
    void importFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
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
    int currentRow() const;
    bool askToSaveChanges();
    void showError(const QString &what, const QString &cause);

    EntryTable *m_table;
    QTableView *m_view;
    QLabel *m_listProblems;
    QLabel *m_emptyHint;
    QSlider *m_cropPosition;
    QString m_folder;
    QFutureWatcher<std::pair<Entry, Thumbnail>> m_import;
    QProgressDialog *m_progress = nullptr;
    enum class Import { Add, Replace, Open } m_importKind = Import::Add;
    int m_importRow = -1;
    QString m_importFolder;
};
