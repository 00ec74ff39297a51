#include "editor/EditorWindow.h"

#include "core/TeacherFolder.h"
#include "editor/EntryTable.h"
#include "editor/FolderStore.h"
#include "editor/ListFile.h"
#include "editor/SpeechSynth.h"
#include "voices/VoiceDecoder.h"
#include "voices/VoicePlayer.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLockFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QScrollArea>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QSysInfo>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent>

EditorWindow::EditorWindow(ExerciseFacts facts, QWidget *parent)
    : QMainWindow(parent), m_table(new EntryTable(std::move(facts), this)), m_view(new QTableView),
      m_listProblems(new QLabel), m_emptyHint(new QLabel),
      m_cropPosition(new QSlider(Qt::Horizontal)), m_banner(new QLabel),
      m_recorder(new VoiceRecorder({}, this)), m_player(new VoicePlayer(this))
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
    m_view->horizontalHeader()->resizeSection(EntryTable::WordColumn, 200);
    m_view->horizontalHeader()->resizeSection(EntryTable::VoiceColumn, 112);
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
    m_banner->setWordWrap(true);
    m_banner->setStyleSheet(QStringLiteral("background: #fff4c2; padding: 6px;"));
    layout->addWidget(m_banner);
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
    QAction *saveAction = m_saveAction =
        action(tr("&Salva"), QKeySequence::Save, &EditorWindow::save);
    QAction *saveAsAction = action(tr("Salva in un'altra &cartella…"), QKeySequence::SaveAs,
                                   &EditorWindow::saveElsewhere);
    QAction *restoreAction =
        action(tr("&Ripristina la copia precedente"), {}, &EditorWindow::restoreBackup);
    QAction *tryAction =
        action(tr("&Prova"), QKeySequence(Qt::Key_F5), &EditorWindow::tryInProgram);
    tryAction->setToolTip(tr("Apre gli esercizi sulla cartella salvata (F5)"));
    QAction *closeAction = action(tr("&Esci"), QKeySequence::Quit, &EditorWindow::close);
    QAction *undo = m_undo = m_table->undoStack()->createUndoAction(this, tr("Annulla"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = m_redo = m_table->undoStack()->createRedoAction(this, tr("Ripeti"));
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
    QMenu *voices = menuBar()->addMenu(tr("&Voci"));
    voices->addAction(action(tr("Voce &sintetica per le parole senza voce"), {},
                             &EditorWindow::synthesizeVoices));
    voices->addAction(action(tr("&Ascolta la voce della riga"), QKeySequence(tr("Ctrl+P")),
                             [this] { playVoice(currentRow()); }));
    voices->addAction(action(tr("&Registra la voce della riga"), QKeySequence(tr("Ctrl+R")),
                             [this] { recordVoice(currentRow()); }));
    m_settingsPanel = new QDockWidget(tr("Impostazioni dell'esercizio"), this);
    m_settingsPanel->setObjectName(QStringLiteral("impostazioni"));
    m_settingsPanel->setWidget(makeSettingsPanel());
    addDockWidget(Qt::RightDockWidgetArea, m_settingsPanel);
    m_settingsPanel->hide();
    QAction *settingsAction = m_settingsPanel->toggleViewAction();
    settingsAction->setShortcut(QKeySequence(Qt::Key_F6));
    edit->addSeparator();
    edit->addAction(settingsAction);
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
    connect(m_recorder, &VoiceRecorder::recorded, this, &EditorWindow::voiceRecorded);
    connect(m_table, &QAbstractItemModel::modelReset, this, &EditorWindow::updateVoiceButtons);
    connect(m_table, &QAbstractItemModel::dataChanged, this, &EditorWindow::updateVoiceButtons);
    connect(m_table, &EntryTable::settingsChanged, this, &EditorWindow::updateSettingsPanel);

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

EditorWindow::Session::Session() = default;
EditorWindow::Session::Session(Session &&other) noexcept { *this = std::move(other); }
EditorWindow::Session::~Session() { release(); }

EditorWindow::Session &EditorWindow::Session::operator=(Session &&other) noexcept
{
    if (this != &other) {
        release();
        folder = std::move(other.folder);
        lock = std::move(other.lock);
        readOnly = std::move(other.readOnly);
        notice = std::move(other.notice);
        others = std::move(other.others);
        otherVoices = std::move(other.otherVoices);
        settingsFile = std::move(other.settingsFile);
    }
    return *this;
}

// The lock goes, and with it the working area when it holds nothing else: a folder only looked
// at is left as it was.
void EditorWindow::Session::release()
{
    if (lock) {
        lock.reset();
        QDir(folder).rmdir(QFile::decodeName(TeacherFolder::WorkingArea));
    }
}

namespace {

bool sameFolder(const QString &a, const QString &b)
{
    return !a.isEmpty() && !b.isEmpty()
           && QFileInfo(a).canonicalFilePath() == QFileInfo(b).canonicalFilePath();
}

// Qt hands the editor names already decoded: one that was not valid UTF-8 (a folder from an old
// stick or a zip) comes with replacement characters and names no folder on the disk.
bool unusableName(const QString &folder)
{
    return folder.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(folder);
}

} // namespace

// The folder locked for this window, and put right if a save had stopped in it. A folder that
// cannot be locked or put right opens read-only, saying why.
EditorWindow::Session EditorWindow::openSession(const QString &folder)
{
    Session s;
    s.folder = folder;
    if (sameFolder(folder, m_session.folder) && m_session.lock)
        s.lock = std::move(m_session.lock);
    else if ((s.readOnly = prepareFolder(folder, *m_ops)).isEmpty()) {
        s.lock = std::make_unique<QLockFile>(TeacherFolder(folder).lockPath());
        // Held for as long as the folder is open: never taken to be stale for its age alone.
        s.lock->setStaleLockTime(0);
        if (!s.lock->tryLock(0) && !(s.readOnly = takeOver(*s.lock)).isEmpty())
            s.lock.reset();
    }
    if (s.readOnly.isEmpty()) {
        const Recovery r = recoverFolder(folder, *m_ops);
        s.notice = r.notice;
        s.readOnly = r.blocked;
    }
    return s;
}

// A lock this machine cannot judge belongs to another computer (a shared folder, a stick moved
// after a crash): the teacher decides. On this machine a holder that is gone was already taken
// over by tryLock.
QString EditorWindow::takeOver(QLockFile &lock)
{
    qint64 pid = 0;
    QString host, app;
    if (lock.error() != QLockFile::LockFailedError)
        return tr("La cartella non si può modificare: è in sola lettura, o di un altro utente.");
    if (!lock.getLockInfo(&pid, &host, &app))
        host = tr("un altro computer"); // a lock that cannot be read is asked about too
    else if (host.isEmpty() || host == QSysInfo::machineHostName())
        return tr("La cartella è già aperta in un'altra finestra di «%1».").arg(title());
    const QString since = QLocale(QLocale::Italian)
                              .toString(QFileInfo(lock.fileName()).lastModified(),
                                        QStringLiteral("d MMMM yyyy, HH:mm"));
    if (QMessageBox::question(
            this, title(),
            tr("La cartella risulta aperta su %1 dal %2: aprirla lo stesso?").arg(host, since))
            == QMessageBox::Yes
        && lock.removeStaleLockFile() && lock.tryLock(0))
        return {};
    return tr("La cartella risulta aperta su %1.").arg(host);
}

QString EditorWindow::notice() const { return m_banner->isHidden() ? QString() : m_banner->text(); }

void EditorWindow::setSaving(bool saving)
{
    m_saving = saving;
    centralWidget()->setEnabled(!saving);
    menuBar()->setEnabled(!saving);
    for (QAction *a : actions())
        a->setEnabled(!saving);
    m_undo->setEnabled(!saving && m_table->undoStack()->canUndo());
    m_redo->setEnabled(!saving && m_table->undoStack()->canRedo());
    updateState();
}

template <typename T>
QFuture<T> EditorWindow::waitFor(const QString &label, int total, QFuture<T> work)
{
    QProgressDialog progress(label, QString(), 0, total, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    QFutureWatcher<T> watcher;
    connect(&watcher, &QFutureWatcherBase::progressValueChanged, &progress,
            &QProgressDialog::setValue);
    QEventLoop waiting;
    connect(&watcher, &QFutureWatcherBase::finished, &waiting, &QEventLoop::quit);
    setSaving(true);
    watcher.setFuture(work);
    waiting.exec();
    setSaving(false);
    progress.reset();
    return work;
}

int EditorWindow::currentRow() const
{
    const int row = m_view->currentIndex().row();
    return row < m_table->rowCount() ? row : -1;
}

void EditorWindow::updateState()
{
    const Session &s = m_session;
    setWindowModified(!m_table->undoStack()->isClean());
    setWindowTitle((s.folder.isEmpty() ? tr("Nuova cartella") : QDir(s.folder).dirName())
                   + (s.readOnly.isEmpty() ? QString() : tr(" (sola lettura)"))
                   + QStringLiteral("[*] — ") + title());
    m_saveAction->setEnabled(!m_saving && s.readOnly.isEmpty());
    QStringList told;
    if (!s.readOnly.isEmpty())
        told << s.readOnly + u'\n'
                    + tr("Qui si può solo guardare e cambiare l'elenco; per salvarlo: «Salva in "
                         "un'altra cartella…».");
    if (!s.notice.isEmpty())
        told << s.notice;
    const auto some = [this](const QStringList &names) {
        return names.size() > 10
                   ? names.mid(0, 10).join(", ") + tr(" e altri %1").arg(names.size() - 10)
                   : names.join(", ");
    };
    if (!s.others.isEmpty())
        told << tr("La cartella jpg contiene anche %1: il salvataggio li lascia dove sono.")
                    .arg(some(s.others));
    if (!s.otherVoices.isEmpty())
        told << tr("La cartella voce contiene anche %1: il salvataggio li lascia dove sono.")
                    .arg(some(s.otherVoices));
    m_banner->setText(told.join(u'\n'));
    m_banner->setVisible(!told.isEmpty());
    QStringList texts;
    int blocking = 0, warnings = 0;
    for (const Problem &p : m_table->problems()) {
        (p.blocking ? blocking : warnings) += p.info ? 0 : 1;
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
    if (isImporting() || m_saving || !askToSaveChanges())
        event->ignore();
    else
        event->accept();
}

void EditorWindow::newFolder()
{
    if (isImporting() || !askToSaveChanges())
        return;
    m_session = Session();
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
    if (isImporting() || m_saving)
        return false;
    if (unusableName(folder)) {
        showError(tr("Il nome della cartella %1 non si può usare: è scritto con lettere che il "
                     "programma non sa leggere (fatto su un vecchio computer o in un archivio "
                     "zip).")
                      .arg(folder),
                  tr("Rinominare la cartella (per esempio dal gestore dei file, senza lettere "
                     "accentate) e aprirla di nuovo."));
        return false;
    }
    // A save that stopped half-way is finished (or dropped) before the folder is read.
    Session session = openSession(folder);
    const LoadedFolder loaded = loadFolder(folder);
    if (!loaded.ok()) {
        if (sameFolder(folder, m_session.folder))
            m_session.lock = std::move(session.lock);
        showError(tr("L'elenco delle parole non si può leggere."), loaded.cause);
        return false;
    }
    session.others = loaded.others;
    session.otherVoices = loaded.otherVoices;
    session.settingsFile = loaded.settings.file;
    if (!loaded.settingsCause.isEmpty())
        session.notice += (session.notice.isEmpty() ? QString() : QStringLiteral("\n"))
                          + tr("Le impostazioni dell'esercizio non si possono leggere: valgono "
                               "quelle di partenza, e salvando il file si riscrive.\n")
                          + loaded.settingsCause;
    m_opening = std::move(session);
    m_openingSettings = loaded.settings.values;
    m_importKind = Import::Open;
    const QSize shape = m_table->facts().pictureShape;
    m_import.setFuture(
        QtConcurrent::mapped(pictureThreads(), loaded.entries, [shape](const Entry &e) {
            const Voice heard = e.voice.file.isEmpty() ? Voice{} : decodeVoiceFile(e.voice.file);
            return Imported{e,
                            e.picture.isEmpty() ? Thumbnail{}
                                                : makeThumbnail(e.picture, e.crop, shape,
                                                                EntryTable::ThumbnailHeight),
                            {heard.durationMs(), heard.cause}};
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
    QStringList files, voices, skipped;
    for (const QString &path : paths) {
        QStringList names{path};
        if (QFileInfo(path).isDir()) {
            const QDir dir(path);
            names.clear();
            for (const QString &name : dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase))
                if (isPictureName(name) || isVoiceName(name))
                    names << dir.filePath(name);
        }
        for (const QString &name : std::as_const(names))
            (isPictureName(name) ? files : isVoiceName(name) ? voices : skipped) << name;
    }
    if (!skipped.isEmpty())
        statusBar()->showMessage(
            tr("Non sono immagini che l'editor sa leggere: %1").arg(skipped.join(", ")), 10000);
    // A sound file dropped on a row is its voice.
    if (replace && files.isEmpty() && voices.size() == 1) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const EncodedVoice voice = importVoice(voices.first());
        QApplication::restoreOverrideCursor();
        if (!voice.cause.isEmpty())
            return showError(tr("Questo file non si può usare come voce."), voice.cause);
        m_table->addVoiceCheck({{}, voice.bytes, {}}, {voice.durationMs, {}});
        m_table->setVoice(row, voice.bytes, tr("Nuova voce alla riga %1").arg(row + 1));
        playVoice(row);
        return;
    }
    // Others go with the picture of their name (cane.jpg and cane.m4a).
    const auto nameOf = [](const QString &path) {
        return QFileInfo(path).completeBaseName().toLower();
    };
    QHash<QString, QString> voiceOf;
    QSet<QString> pictureNames;
    for (const QString &voice : std::as_const(voices))
        voiceOf.insert(nameOf(voice), voice);
    for (const QString &picture : std::as_const(files))
        pictureNames.insert(nameOf(picture));
    m_importSkipped.clear();
    for (const QString &voice : std::as_const(voices))
        if (!pictureNames.contains(nameOf(voice)))
            m_importSkipped << QFileInfo(voice).fileName();
    if (files.isEmpty() || (replace && files.size() != 1)) {
        if (!m_importSkipped.isEmpty())
            statusBar()->showMessage(tr("Per dare una voce a una riga, trascinare il file sulla "
                                        "riga: %1")
                                         .arg(m_importSkipped.join(", ")),
                                     10000);
        return;
    }
    m_importKind = replace ? Import::Replace : Import::Add;
    m_importRow = row < 0 ? m_table->rowCount() : row;
    const QSize shape = m_table->facts().pictureShape;
    m_import.setFuture(QtConcurrent::mapped(
        pictureThreads(), files, [shape, voiceOf, nameOf](const QString &path) {
            Imported out{{wordFromFileName(path), path, {}, {}},
                         makeThumbnail(path, {}, shape, EntryTable::ThumbnailHeight),
                         {}};
            const QString voice = voiceOf.value(nameOf(path));
            const EncodedVoice ready = voice.isEmpty() ? EncodedVoice{} : importVoice(voice);
            out.entry.voice.ogg = ready.bytes;
            out.voice = {ready.durationMs, ready.cause};
            return out;
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
        if (sameFolder(m_opening.folder, m_session.folder))
            m_session.lock = std::move(m_opening.lock);
        m_opening = Session();
        statusBar()->showMessage(tr("Annullato: non è stato aggiunto nulla."), 10000);
        emit importFinished();
        return;
    }
    QList<Entry> entries;
    QStringList refused = m_importSkipped;
    for (const Imported &row : m_import.future().results()) {
        m_table->addThumbnail(row.entry, row.thumbnail);
        m_table->addVoiceCheck(row.entry.voice, row.voice);
        if (row.entry.voice.isEmpty() && !row.voice.cause.isEmpty())
            refused << row.voice.cause;
        entries << row.entry;
    }
    if (m_importKind != Import::Open && !refused.isEmpty())
        statusBar()->showMessage(tr("Voci non aggiunte: %1").arg(refused.join(u' ')), 10000);
    switch (m_importKind) {
    case Import::Open:
        m_session = std::move(m_opening);
        m_table->reset(entries, m_openingSettings);
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

bool EditorWindow::save()
{
    return m_session.folder.isEmpty() || !m_session.readOnly.isEmpty() ? saveElsewhere()
                                                                       : saveTo(m_session.folder);
}

bool EditorWindow::saveElsewhere()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Salva nella cartella"));
    if (folder.isEmpty())
        return false;
    if (!sameFolder(folder, m_session.folder) && !loadFolder(folder).entries.isEmpty()
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
    if (isImporting() || m_saving)
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
    if (unusableName(folder)) {
        showError(tr("Il nome della cartella %1 non si può usare.").arg(folder),
                  tr("Rinominare la cartella e riprovare."));
        return false;
    }
    // Another folder is locked and put right first, as if it were opened.
    const bool here = sameFolder(folder, m_session.folder);
    Session target = here ? Session() : openSession(folder);
    if (const QString readOnly = here ? m_session.readOnly : target.readOnly; !readOnly.isEmpty()) {
        showError(tr("Nella cartella %1 non si può salvare.").arg(folder), readOnly);
        return false;
    }
    const QList<Entry> entries = m_table->entries();
    const FolderSettings settings{m_table->settings(), m_session.settingsFile};
    // Not in pictureThreads(): the save waits there for its pictures.
    const QString cause =
        waitFor(tr("Salvataggio…"), int(entries.size()),
                QtConcurrent::run([folder, entries, settings, shape = m_table->facts().pictureShape,
                                   ops = m_ops](QPromise<QString> &promise) {
                    promise.setProgressRange(0, int(entries.size()));
                    promise.addResult(saveFolder(
                        folder, entries, shape, *ops,
                        [&promise](int done, int) { promise.setProgressValue(done); }, settings));
                }))
            .result();
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
    QList<VoiceCheck> voices;
    for (const Entry &e : entries) {
        thumbnails << m_table->thumbnail(e);
        voices << m_table->voiceCheck(e.voice);
    }
    m_table->forgetThumbnailsUnder(folder);
    for (int i = 0; i < saved.entries.size() && i < thumbnails.size(); ++i) {
        m_table->addThumbnail(saved.entries[i], thumbnails[i]);
        m_table->addVoiceCheck(saved.entries[i].voice, voices[i]);
    }
    if (!here)
        m_session = std::move(target);
    m_session.notice.clear();
    m_session.others = saved.others;
    m_session.otherVoices = saved.otherVoices;
    m_session.settingsFile = saved.settings.file;
    m_table->reset(saved.entries, saved.settings.values);
    statusBar()->showMessage(tr("Salvato in %1").arg(folder), 10000);
    updateState();
    return true;
}

void EditorWindow::restoreBackup()
{
    const QString backup = TeacherFolder(m_session.folder).backupPath();
    const LoadedFolder loaded = loadFolder(backup);
    if (m_session.folder.isEmpty() || !QFileInfo::exists(backup) || !loaded.ok()) {
        QMessageBox::information(this, title(),
                                 tr("Per questa cartella non c'è una copia da ripristinare."));
        return;
    }
    m_table->replaceAll(tr("Ripristino della copia precedente"), loaded.entries,
                        loaded.settings.values);
    QMessageBox::information(this, title(),
                             tr("Le parole e le immagini della copia sono ora nell'editor. "
                                "Salvando tornano nella cartella."));
}

void EditorWindow::tryInProgram()
{
    if ((m_session.folder.isEmpty() || !m_table->undoStack()->isClean()) && !save())
        return;
    const QString program = QStandardPaths::findExecutable(
        QStringLiteral("diveva"), {QCoreApplication::applicationDirPath()});
    const QString found =
        program.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("diveva")) : program;
    if (found.isEmpty() || !QProcess::startDetached(found, {}, m_session.folder))
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

void EditorWindow::setVoiceInput(std::unique_ptr<VoiceRecorder::Input> input)
{
    delete m_recorder;
    m_recorder = new VoiceRecorder(std::move(input), this);
    connect(m_recorder, &VoiceRecorder::recorded, this, &EditorWindow::voiceRecorded);
}

void EditorWindow::playVoice(int row)
{
    if (row < 0 || row >= m_table->rowCount() || m_table->entries()[row].voice.isEmpty())
        return;
    const VoiceSource &v = m_table->entries()[row].voice;
    const Voice heard = v.ogg.isEmpty() ? decodeVoiceFile(v.file) : decodeVoiceData(v.ogg);
    if (!heard.ok()) {
        statusBar()->showMessage(tr("La voce non si può ascoltare: %1").arg(heard.cause), 10000);
        return;
    }
    // Opened at the first word heard, in the player's own thread; a machine without sound stays
    // silent.
    if (m_player->state() == VoicePlayer::State::Closed
        || m_player->state() == VoicePlayer::State::Silent)
        m_player->open();
    m_player->play(heard.pcm);
}

void EditorWindow::recordVoice(int row)
{
    if (m_recorder->isRecording())
        return m_recorder->toggle(); // the second click stops it, whichever row it was
    if (row < 0 || row >= m_table->rowCount() || m_saving)
        return;
    m_player->stop();
    m_recordRow = row;
    statusBar()->showMessage(tr("Registrazione della voce di «%1»: parlare, poi fare clic di "
                                "nuovo (al massimo 5 secondi).")
                                 .arg(m_table->entries()[row].word));
    m_recorder->toggle();
    updateVoiceButtons();
}

void EditorWindow::voiceRecorded(const Take &take, const QString &cause)
{
    const int row = m_recordRow;
    m_recordRow = -1;
    updateVoiceButtons();
    const EncodedVoice voice = cause.isEmpty() ? prepareVoice(take) : EncodedVoice{{}, cause};
    if (!voice.cause.isEmpty() || row < 0 || row >= m_table->rowCount()) {
        statusBar()->showMessage(tr("Registrazione non riuscita: %1.").arg(voice.cause), 10000);
        return;
    }
    statusBar()->clearMessage();
    m_table->addVoiceCheck({{}, voice.bytes, {}}, {voice.durationMs, {}});
    m_table->setVoice(row, voice.bytes, tr("Registrazione della voce della riga %1").arg(row + 1));
    playVoice(row);
}

void EditorWindow::removeVoice(int row)
{
    if (row >= 0 && row < m_table->rowCount())
        m_table->setVoice(row, {}, tr("Voce tolta alla riga %1").arg(row + 1));
}

void EditorWindow::synthesizeVoices()
{
    if (isImporting() || m_saving || m_recorder->isRecording())
        return;
    QList<int> rows;
    QStringList words;
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (const Entry &e = m_table->entries()[row];
            e.voice.isEmpty() && !e.word.trimmed().isEmpty()) {
            rows << row;
            words << e.word;
        }
    if (rows.isEmpty()) {
        statusBar()->showMessage(tr("Ogni parola ha già la sua voce."), 10000);
        return;
    }
    const QFuture<EncodedVoice> spoken =
        waitFor(tr("Voci sintetiche…"), int(rows.size()),
                QtConcurrent::mapped(words, [](const QString &word) {
                    const SpokenWord s = speakItalian(word);
                    return s.cause.isEmpty() ? prepareVoice(s.take) : EncodedVoice{{}, s.cause};
                }));
    QHash<int, QByteArray> made;
    QStringList failed;
    for (int i = 0; i < rows.size(); ++i) {
        const EncodedVoice voice = spoken.resultAt(i);
        if (voice.cause.isEmpty()) {
            m_table->addVoiceCheck({{}, voice.bytes, {}}, {voice.durationMs, {}});
            made.insert(rows[i], voice.bytes);
        } else {
            failed << words[i] + QStringLiteral(" (") + voice.cause + u')';
        }
    }
    m_table->setVoices(made, made.size() == 1
                                 ? tr("Voce sintetica per una parola")
                                 : tr("Voci sintetiche per %1 parole").arg(made.size()));
    if (!failed.isEmpty())
        statusBar()->showMessage(tr("Senza voce sintetica: %1").arg(failed.join(", ")), 10000);
}

// A cell of its own in each row: whether the word has a voice, and its three buttons.
void EditorWindow::updateVoiceButtons()
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QModelIndex index = m_table->index(row, EntryTable::VoiceColumn);
        QWidget *cell = m_view->indexWidget(index);
        if (!cell) {
            cell = new QWidget;
            cell->setAutoFillBackground(true); // over the cell's own text, which it shows
            auto *layout = new QVBoxLayout(cell);
            layout->setContentsMargins(4, 4, 4, 4);
            layout->addWidget(new QLabel);
            auto *buttons = new QHBoxLayout;
            layout->addLayout(buttons);
            layout->addStretch();
            const auto button = [&](const char *name, const QString &tip, auto slot) {
                auto *b = new QToolButton;
                b->setObjectName(QLatin1String(name));
                b->setToolTip(tip);
                b->setAutoRaise(true);
                connect(b, &QToolButton::clicked, this, [this, row, slot] { (this->*slot)(row); });
                buttons->addWidget(b);
            };
            button("ascolta", tr("Ascolta la voce"), &EditorWindow::playVoice);
            button(
                "registra",
                tr("Registra la voce: un clic comincia, un altro finisce (al massimo 5 secondi)"),
                &EditorWindow::recordVoice);
            button("togli", tr("Togli la voce"), &EditorWindow::removeVoice);
            buttons->addStretch();
            m_view->setIndexWidget(index, cell);
        }
        const bool has = !m_table->entries()[row].voice.isEmpty(), free = m_recordRow < 0;
        cell->findChild<QLabel *>()->setText(index.data().toString());
        auto *play = cell->findChild<QToolButton *>(QStringLiteral("ascolta"));
        auto *record = cell->findChild<QToolButton *>(QStringLiteral("registra"));
        auto *remove = cell->findChild<QToolButton *>(QStringLiteral("togli"));
        play->setText(QStringLiteral("▶"));
        play->setEnabled(has && free);
        record->setText(m_recordRow == row ? QStringLiteral("■") : QStringLiteral("●"));
        record->setEnabled(free || m_recordRow == row);
        remove->setText(QStringLiteral("✕"));
        remove->setEnabled(has && free);
    }
}

namespace {

// One setting of the panel: its name, what it is for, and its choices in the order of the box.
struct SettingChoice {
    QString name, what;
    QStringList values;
    std::function<int(const Settings &)> get;
    std::function<void(Settings &, int)> set;
};

QList<SettingChoice> settingChoices()
{
    using S = Settings;
    const auto flag = [](bool S::*field, bool first) {
        return std::pair(
            std::function<int(const S &)>([=](const S &s) { return s.*field == first ? 0 : 1; }),
            std::function<void(S &, int)>([=](S &s, int i) { s.*field = (i == 0) == first; }));
    };
    static const int choices[] = {6, 4, 3, 2};
    QList<SettingChoice> out{
        {QObject::tr("Scelte per domanda"),
         QObject::tr("Tra quante parole o immagini si sceglie: meno scelte, bersagli più grandi e "
                     "più distanti."),
         {QStringLiteral("6"), QStringLiteral("4"), QStringLiteral("3"), QStringLiteral("2")},
         [](const S &s) {
             return int(std::find(std::begin(choices), std::end(choices), s.scelte) - choices);
         },
         [](S &s, int i) { s.scelte = choices[i]; }},
        {QObject::tr("Scrittura delle parole"),
         QObject::tr("Come si leggono le parole negli esercizi: lo stampato maiuscolo per chi "
                     "comincia."),
         {QObject::tr("come nell'elenco"), QObject::tr("in maiuscolo"),
          QObject::tr("in minuscolo")},
         [](const S &s) { return int(s.scrittura); },
         [](S &s, int i) { s.scrittura = S::Scrittura(i); }},
    };
    const auto add = [&](const QString &name, const QString &what, const QStringList &values,
                         bool S::*field, bool first) {
        const auto [get, set] = flag(field, first);
        out.append({name, what, values, get, set});
    };
    add(QObject::tr("Schermo"),
        QObject::tr("A tutto schermo per la lavagna interattiva o per chi vede poco."),
        {QObject::tr("finestra"), QObject::tr("intero")}, &S::schermoIntero, false);
    add(QObject::tr("Segnale acustico"),
        QObject::tr("Il suono dopo ogni risposta e sui pulsanti; le voci si sentono comunque."),
        {QObject::tr("sì"), QObject::tr("no")}, &S::segnaleAcustico, true);
    add(QObject::tr("Punteggio"),
        QObject::tr("ESATTI, ERRATI e il semaforo; senza, per imparare senza errori contati."),
        {QObject::tr("sì"), QObject::tr("no")}, &S::punteggio, true);
    add(QObject::tr("Voce"), QObject::tr("Le parole dette con le voci della cartella voce."),
        {QObject::tr("sì"), QObject::tr("no")}, &S::voce, true);
    add(QObject::tr("Ascolto"),
        QObject::tr("Nell'esercizio «Riconosci l'immagine corrispondente alla parola» la parola "
                    "si sente e non si legge (vuole le voci)."),
        {QObject::tr("no"), QObject::tr("sì")}, &S::ascolto, false);
    return out;
}

} // namespace

QWidget *EditorWindow::makeSettingsPanel()
{
    auto *panel = new QWidget;
    auto *layout = new QVBoxLayout(panel);
    for (const SettingChoice &choice : settingChoices()) {
        auto *box = new QComboBox;
        box->addItems(choice.values);
        auto *name = new QLabel(choice.name + u':');
        name->setBuddy(box);
        auto *row = new QHBoxLayout;
        row->addWidget(name);
        row->addWidget(box, 1);
        auto *what = new QLabel(choice.what);
        what->setWordWrap(true);
        what->setForegroundRole(QPalette::PlaceholderText);
        layout->addLayout(row);
        layout->addWidget(what);
        layout->addSpacing(6);
        connect(box, &QComboBox::activated, this, [this, set = choice.set](int index) {
            Settings settings = m_table->settings();
            set(settings, index);
            m_table->setSettings(settings);
        });
        m_settingChoices << box;
    }
    layout->addStretch();
    auto *scroll = new QScrollArea;
    scroll->setWidget(panel);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(260);
    updateSettingsPanel();
    return scroll;
}

void EditorWindow::updateSettingsPanel()
{
    const QList<SettingChoice> choices = settingChoices();
    for (int i = 0; i < m_settingChoices.size(); ++i) {
        const QSignalBlocker block(m_settingChoices[i]);
        m_settingChoices[i]->setCurrentIndex(choices[i].get(m_table->settings()));
    }
}
