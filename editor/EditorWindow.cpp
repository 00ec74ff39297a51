#include "editor/EditorWindow.h"

#include "editor/EntryTable.h"
#include "editor/FolderStore.h"
#include "editor/ListFile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtConcurrent>

EditorWindow::EditorWindow(ExerciseFacts facts, QWidget *parent)
    : QMainWindow(parent), m_table(new EntryTable(std::move(facts), this)), m_view(new QTableView),
      m_listProblems(new QLabel), m_emptyHint(new QLabel),
      m_cropPosition(new QSlider(Qt::Horizontal))
{
    m_view->setModel(m_table);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::SelectedClicked);
    m_view->setDragDropMode(QAbstractItemView::DragDrop);
    m_view->setDefaultDropAction(Qt::MoveAction);
    m_view->setDropIndicatorShown(true);
    m_view->setWordWrap(true);
    const QSize shape = m_table->facts().pictureShape;
    const int thumbWidth = EntryTable::ThumbnailHeight * shape.width() / shape.height();
    m_view->setIconSize(QSize(thumbWidth, EntryTable::ThumbnailHeight));
    m_view->verticalHeader()->setDefaultSectionSize(EntryTable::ThumbnailHeight + 8);
    m_view->horizontalHeader()->resizeSection(EntryTable::PictureColumn, thumbWidth + 16);
    m_view->horizontalHeader()->resizeSection(EntryTable::WordColumn, 220);
    m_view->horizontalHeader()->setStretchLastSection(true);

    m_cropPosition->setRange(0, 100);
    m_cropPosition->setToolTip(tr("Quale parte dell'immagine tenere"));
    auto *cropLabel = new QLabel(tr("Parte &tenuta del ritaglio:"));
    cropLabel->setBuddy(m_cropPosition);
    auto *cropRow = new QHBoxLayout;
    cropRow->addWidget(cropLabel);
    cropRow->addWidget(m_cropPosition, 1);
    m_listProblems->setWordWrap(true);
    // Over the empty list; the drops go through it to the list.
    m_emptyHint->setText(
        tr("Trascina qui le foto dal gestore dei file, oppure premi «Aggiungi immagini…»."));
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emptyHint->setForegroundRole(QPalette::PlaceholderText);
    (new QVBoxLayout(m_view->viewport()))->addWidget(m_emptyHint);
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_view, 1);
    layout->addLayout(cropRow);
    layout->addWidget(m_listProblems);
    setCentralWidget(central);

    auto action = [this](const QString &text, QKeySequence key, auto slot) {
        auto *a = new QAction(text, this);
        a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    QMenu *file = menuBar()->addMenu(tr("&File"));
    QMenu *edit = menuBar()->addMenu(tr("&Modifica"));
    QToolBar *bar = addToolBar(tr("Comandi"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction *newAction = action(tr("&Nuova"), QKeySequence::New, &EditorWindow::newFolder);
    QAction *openAction =
        action(tr("&Apri cartella…"), QKeySequence::Open, &EditorWindow::chooseFolder);
    QAction *addAction =
        action(tr("Aggiungi &immagini…"), QKeySequence(tr("Ctrl+I")), &EditorWindow::chooseFiles);
    QAction *saveAction = action(tr("&Salva"), QKeySequence::Save, &EditorWindow::save);
    QAction *saveAsAction = action(tr("Salva in un'altra &cartella…"), QKeySequence::SaveAs,
                                   &EditorWindow::saveElsewhere);
    QAction *restoreAction =
        action(tr("&Ripristina la copia precedente"), {}, &EditorWindow::restoreBackup);
    QAction *tryAction =
        action(tr("&Prova"), QKeySequence(Qt::Key_F5), &EditorWindow::tryInProgram);
    tryAction->setToolTip(tr("Apre gli esercizi sulla cartella salvata (F5)"));
    QAction *closeAction = action(tr("&Esci"), QKeySequence::Quit, &EditorWindow::close);
    QAction *undo = m_table->undoStack()->createUndoAction(this, tr("Annulla"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = m_table->undoStack()->createRedoAction(this, tr("Ripeti"));
    redo->setShortcuts({QKeySequence::Redo, QKeySequence(tr("Ctrl+Y"))});
    QAction *removeAction =
        action(tr("&Elimina"), QKeySequence::Delete, &EditorWindow::removeSelected);
    QAction *upAction =
        action(tr("Sposta &su"), QKeySequence(tr("Alt+Up")), [this] { moveSelected(-1); });
    QAction *downAction =
        action(tr("Sposta &giù"), QKeySequence(tr("Alt+Down")), [this] { moveSelected(1); });
    file->addActions({newAction, openAction, saveAction, saveAsAction, restoreAction, tryAction});
    file->addSeparator();
    file->addAction(closeAction);
    edit->addActions({undo, redo, addAction, removeAction, upAction, downAction});
    const auto tip = [](QAction *a) {
        return a->text().remove(u'&').remove(u'…')
               + (a->shortcut().isEmpty()
                      ? QString()
                      : " (" + a->shortcut().toString(QKeySequence::NativeText) + ")");
    };
    const QList<QAction *> commands{newAction,    openAction, addAction,  saveAction,
                                    removeAction, upAction,   downAction, tryAction};
    for (QAction *a : commands)
        a->setToolTip(tip(a));
    // On the toolbar, undo and redo keep their short names: the step's caption, which can be
    // long, would push the last actions out of sight. It is in their tooltips and in the menu.
    const auto shortName = [this, tip](QAction *step, const QString &text) {
        auto *a = new QAction(text, this);
        connect(a, &QAction::triggered, step, &QAction::trigger);
        const auto follow = [a, step, tip] {
            a->setEnabled(step->isEnabled());
            a->setToolTip(tip(step));
        };
        connect(step, &QAction::changed, a, follow);
        follow();
        return a;
    };
    bar->addActions({newAction, openAction, addAction, saveAction, shortName(undo, tr("Annulla")),
                     shortName(redo, tr("Ripeti")), removeAction, upAction, downAction, tryAction});

    connect(m_table, &EntryTable::filesDropped, this, &EditorWindow::addFiles);
    connect(m_table, &EntryTable::problemsChanged, this, &EditorWindow::updateState);
    connect(m_table->undoStack(), &QUndoStack::cleanChanged, this, &EditorWindow::updateState);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &EditorWindow::updateCropControls);
    connect(m_table, &QAbstractItemModel::dataChanged, this, &EditorWindow::updateCropControls);
    connect(m_cropPosition, &QSlider::valueChanged, this, [this](int value) {
        const int row = currentRow();
        if (row < 0 || m_cropPosition->isSliderDown())
            return;
        Crop crop = m_table->entries()[row].crop;
        crop.position = value / 100.0;
        m_table->setCrop(row, crop);
    });
    connect(m_cropPosition, &QSlider::sliderReleased, this,
            [this] { emit m_cropPosition->valueChanged(m_cropPosition->value()); });
    connect(&m_import, &QFutureWatcherBase::finished, this, &EditorWindow::importDone);

    m_view->setFocus();
    resize(900, 640);
    updateState();
    updateCropControls();
}

EditorWindow::~EditorWindow()
{
    // The table and the view go after the window: nothing of theirs may reach it any more.
    m_table->disconnect(this);
    m_table->undoStack()->disconnect(this);
    m_view->selectionModel()->disconnect(this);
    m_import.disconnect(this);
    m_import.cancel();
    m_import.waitForFinished();
}

int EditorWindow::currentRow() const
{
    const int row = m_view->currentIndex().row();
    return row < m_table->rowCount() ? row : -1;
}

void EditorWindow::updateState()
{
    setWindowModified(!m_table->undoStack()->isClean());
    setWindowTitle((m_folder.isEmpty() ? tr("Nuova cartella") : QDir(m_folder).dirName())
                   + QStringLiteral("[*] — ") + title());
    QStringList texts;
    int blocking = 0, warnings = 0;
    for (const Problem &p : m_table->problems()) {
        (p.blocking ? blocking : warnings) += 1;
        if (p.row < 0)
            texts << p.text;
    }
    texts << tr("Parole: %1. Problemi che impediscono il salvataggio: %2. Avvisi: %3.")
                 .arg(m_table->rowCount())
                 .arg(blocking)
                 .arg(warnings);
    m_listProblems->setText(texts.join(u'\n'));
    m_emptyHint->setVisible(m_table->rowCount() == 0);
}

void EditorWindow::updateCropControls()
{
    const int row = currentRow();
    const bool cropped = row >= 0 && m_table->entries()[row].crop.enabled;
    m_cropPosition->setEnabled(cropped);
    if (cropped && !m_cropPosition->isSliderDown()) {
        const QSignalBlocker block(m_cropPosition);
        m_cropPosition->setValue(qRound(m_table->entries()[row].crop.position * 100));
    }
}

void EditorWindow::showError(const QString &what, const QString &cause)
{
    QMessageBox::critical(this, title(), what + QStringLiteral("\n\n") + cause);
}

bool EditorWindow::askToSaveChanges()
{
    if (m_table->undoStack()->isClean())
        return true;
    const auto answer = QMessageBox::question(
        this, title(), tr("Le modifiche non sono state salvate. Salvarle adesso?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    return answer == QMessageBox::Discard || (answer == QMessageBox::Save && save());
}

void EditorWindow::closeEvent(QCloseEvent *event)
{
    if (isImporting() || !askToSaveChanges())
        event->ignore();
    else
        event->accept();
}

void EditorWindow::newFolder()
{
    if (isImporting() || !askToSaveChanges())
        return;
    m_folder.clear();
    m_table->reset({});
    updateState();
}

void EditorWindow::chooseFolder()
{
    if (isImporting() || !askToSaveChanges())
        return;
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("Apri la cartella degli esercizi"));
    if (!folder.isEmpty())
        openFolder(folder);
}

bool EditorWindow::openFolder(const QString &folder)
{
    if (isImporting())
        return false;
    DiskFileOps disk;
    // A save that stopped half-way is finished (or dropped) before the folder is read.
    const QString repaired = recoverFolder(folder, disk);
    if (!repaired.isEmpty()) {
        showError(tr("La cartella %1 non si può aprire: un salvataggio interrotto non si è potuto "
                     "completare.")
                      .arg(folder),
                  repaired);
        return false;
    }
    const LoadedFolder loaded = loadFolder(folder);
    if (!loaded.ok()) {
        showError(tr("L'elenco delle parole non si può leggere."), loaded.cause);
        return false;
    }
    m_importKind = Import::Open;
    m_importFolder = folder;
    const QSize shape = m_table->facts().pictureShape;
    m_import.setFuture(
        QtConcurrent::mapped(pictureThreads(), loaded.entries, [shape](const Entry &e) {
            return std::pair(e, e.picture.isEmpty() ? Thumbnail{}
                                                    : makeThumbnail(e.picture, e.crop, shape,
                                                                    EntryTable::ThumbnailHeight));
        }));
    showProgress(tr("Lettura delle immagini della cartella…"), int(loaded.entries.size()));
    return true;
}

void EditorWindow::showProgress(const QString &text, int total)
{
    m_progress = new QProgressDialog(text, tr("Annulla"), 0, total, this);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, &m_import, &QFutureWatcherBase::cancel);
    connect(&m_import, &QFutureWatcherBase::progressValueChanged, m_progress,
            &QProgressDialog::setValue);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(400);
}

void EditorWindow::chooseFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, tr("Aggiungi immagini"),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        tr("Immagini (%1)").arg(pictureNameFilters().join(u' ')));
    if (!files.isEmpty())
        addFiles(files, currentRow() < 0 ? -1 : currentRow() + 1);
}

void EditorWindow::addFiles(const QStringList &paths, int row, bool replace)
{
    if (isImporting())
        return;
    // A folder dropped brings its pictures, in the order of their names (a camera's order).
    QStringList files, skipped;
    for (const QString &path : paths) {
        if (QFileInfo(path).isDir()) {
            QDir dir(path);
            for (const QString &name : dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase))
                if (isPictureName(name))
                    files << dir.filePath(name);
        } else if (isPictureName(path)) {
            files << path;
        } else {
            skipped << QFileInfo(path).fileName();
        }
    }
    if (!skipped.isEmpty())
        statusBar()->showMessage(
            tr("Non sono immagini che l'editor sa leggere: %1").arg(skipped.join(", ")), 10000);
    if (files.isEmpty() || (replace && files.size() != 1))
        return;
    m_importKind = replace ? Import::Replace : Import::Add;
    m_importRow = row < 0 ? m_table->rowCount() : row;
    const QSize shape = m_table->facts().pictureShape;
    m_import.setFuture(QtConcurrent::mapped(pictureThreads(), files, [shape](const QString &path) {
        const Entry e{wordFromFileName(path), path, {}};
        return std::pair(e, makeThumbnail(path, e.crop, shape, EntryTable::ThumbnailHeight));
    }));
    showProgress(tr("Aggiunta delle immagini…"), int(files.size()));
}

void EditorWindow::importDone()
{
    // The dialog may be in the middle of its own setValue, which runs the event loop.
    m_import.disconnect(m_progress);
    m_progress->hide();
    m_progress->deleteLater();
    m_progress = nullptr;
    if (m_import.isCanceled()) {
        statusBar()->showMessage(tr("Annullato: non è stato aggiunto nulla."), 10000);
        emit importFinished();
        return;
    }
    QList<Entry> entries;
    for (const auto &[entry, thumbnail] : m_import.future().results()) {
        m_table->addThumbnail(entry, thumbnail);
        entries << entry;
    }
    switch (m_importKind) {
    case Import::Open:
        m_folder = m_importFolder;
        m_table->reset(entries);
        break;
    case Import::Replace:
        m_table->setPicture(m_importRow, entries.first().picture);
        break;
    case Import::Add:
        m_table->insertEntries(m_importRow, entries);
        m_view->setCurrentIndex(m_table->index(m_importRow, EntryTable::WordColumn));
        break;
    }
    updateState();
    emit importFinished();
}

bool EditorWindow::save() { return m_folder.isEmpty() ? saveElsewhere() : saveTo(m_folder); }

bool EditorWindow::saveElsewhere()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Salva nella cartella"));
    if (folder.isEmpty())
        return false;
    if (QDir(folder) != QDir(m_folder) && !loadFolder(folder).entries.isEmpty()
        && QMessageBox::question(this, title(),
                                 tr("La cartella %1 contiene già un elenco di parole. Sostituirlo? "
                                    "Il contenuto di adesso resterà come copia, da ripristinare se "
                                    "serve.")
                                     .arg(folder))
               != QMessageBox::Yes)
        return false;
    return saveTo(folder);
}

bool EditorWindow::saveTo(const QString &folder)
{
    if (isImporting())
        return false;
    QStringList blocking;
    for (const Problem &p : m_table->problems())
        if (p.blocking)
            blocking << (p.row < 0 ? p.text : tr("Riga %1: %2").arg(p.row + 1).arg(p.text));
    if (!blocking.isEmpty()) {
        QMessageBox::warning(this, title(),
                             tr("Prima di salvare bisogna correggere:\n\n") + blocking.join(u'\n'));
        return false;
    }
    const QList<Entry> entries = m_table->entries();
    QProgressDialog progress(tr("Salvataggio…"), QString(), 0, int(entries.size()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    DiskFileOps disk;
    const QString cause = saveFolder(folder, entries, m_table->facts().pictureShape, disk,
                                     [&progress](int done, int) {
                                         progress.setValue(done);
                                         QCoreApplication::processEvents();
                                     });
    progress.reset();
    if (!cause.isEmpty()) {
        showError(tr("Il salvataggio nella cartella %1 non è riuscito. Le parole e le immagini "
                     "restano qui: si possono salvare in un'altra cartella.")
                      .arg(folder),
                  cause);
        return false;
    }
    // The rows now stand for the saved pictures; what they showed stays their thumbnail.
    const LoadedFolder saved = loadFolder(folder);
    QList<Thumbnail> thumbnails;
    for (const Entry &e : entries)
        thumbnails << m_table->thumbnail(e);
    m_table->forgetThumbnailsUnder(folder);
    for (int i = 0; i < saved.entries.size() && i < thumbnails.size(); ++i)
        m_table->addThumbnail(saved.entries[i], thumbnails[i]);
    m_folder = folder;
    m_table->reset(saved.entries);
    statusBar()->showMessage(tr("Salvato in %1").arg(folder), 10000);
    updateState();
    return true;
}

void EditorWindow::restoreBackup()
{
    const QString backup = m_folder + u'/' + EditorFolder::Backup;
    const LoadedFolder loaded = loadFolder(backup);
    if (m_folder.isEmpty() || !QFileInfo::exists(backup) || !loaded.ok()) {
        QMessageBox::information(this, title(),
                                 tr("Per questa cartella non c'è una copia da ripristinare."));
        return;
    }
    m_table->replaceAll(tr("Ripristino della copia precedente"), loaded.entries);
    QMessageBox::information(this, title(),
                             tr("Le parole e le immagini della copia sono ora nell'editor. "
                                "Salvando tornano nella cartella."));
}

void EditorWindow::tryInProgram()
{
    if ((m_folder.isEmpty() || !m_table->undoStack()->isClean()) && !save())
        return;
    const QString program = QStandardPaths::findExecutable(
        QStringLiteral("diveva"), {QCoreApplication::applicationDirPath()});
    const QString found =
        program.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("diveva")) : program;
    if (found.isEmpty() || !QProcess::startDetached(found, {}, m_folder))
        showError(tr("Il programma degli esercizi non si è potuto avviare."),
                  tr("Causa: il programma «diveva» non è installato."));
}

void EditorWindow::removeSelected()
{
    QList<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty() && currentRow() >= 0)
        rows << currentRow();
    m_table->removeEntries(rows);
}

void EditorWindow::moveSelected(int by)
{
    const int row = currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= m_table->rowCount())
        return;
    m_table->moveEntry(row, to);
    m_view->setCurrentIndex(m_table->index(to, m_view->currentIndex().column()));
}
