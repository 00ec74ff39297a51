#include "core/Settings.h"
#include "core/TeacherFolder.h"
#include "core/WordList.h"
#include "editor/EditorWindow.h"
#include "editor/EntryTable.h"
#include "editor/FolderStore.h"
#include "editor/ListFile.h"
#include "editor/PictureExport.h"
#include "editor/Problems.h"
#include "editor/Thumbnails.h"
#include "editor/VoiceRecorder.h"
#include "editor/VoiceTake.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestProgram.h"
#include "tests/support/TestSounds.h"
#include "voices/VoiceDecoder.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <cerrno>
#include <random>

namespace {

const QSize Shape(121, 129);

// What the exercise program sees in a folder: its settings, words and the bytes of their pictures
// and voices.
QStringList readAsProgram(const QString &folder)
{
    const LoadedFolder loaded = loadFolder(folder);
    QStringList seen{loaded.cause + QString::fromUtf8(loaded.settings.file)};
    for (const Entry &e : loaded.entries)
        seen << e.word + u'=' + QString::number(qHash(fileBytes(e.picture)))
                    + (e.voice.isEmpty() ? QString()
                                         : u'/' + QString::number(qHash(fileBytes(e.voice.file))));
    return seen;
}

// The disk, failing at one step: only that step (a full disk), or that one and every later one
// (the machine stops there); the step itself may be done before it fails (written, then the
// flush fails). watch runs after every step done.
using D = const OpenDir &;
using N = const QByteArray &;
using Disk = DiskFileOps;
struct FailingOps : Disk {
    FailingOps(int failAt, bool crash, bool after) : failAt(failAt), crash(crash), after(after) {}
    int calls = 0;
    std::function<void()> watch;
    QString makeDir(D d, N n) override
    {
        return hit(d.nameOf(n), [&] { return Disk::makeDir(d, n); });
    }
    QString writeFile(D d, N n, N data) override
    {
        return hit(d.nameOf(n), [&] { return Disk::writeFile(d, n, data); });
    }
    QString syncDir(D d) override
    {
        return hit(d.shown, [&] { return Disk::syncDir(d); });
    }
    QString exchange(D a, N na, D b, N nb) override
    {
        return hit(a.nameOf(na), [&] { return Disk::exchange(a, na, b, nb); });
    }
    QString rename(D a, N na, D b, N nb) override
    {
        return hit(a.nameOf(na), [&] { return Disk::rename(a, na, b, nb); });
    }
    QString remove(D d, N n, bool folder) override
    {
        return hit(d.nameOf(n), [&] { return Disk::remove(d, n, folder); });
    }

    const int failAt;
    const bool crash, after;
    QString hit(const QString &file, const std::function<QString()> &real)
    {
        const int n = calls++;
        if ((n == failAt && !after) || (crash && n > failAt))
            return failure(file, ENOSPC);
        const QString result = real();
        if (watch)
            watch();
        return n == failAt ? failure(file, ENOSPC) : result;
    }
};

// The exercise program started in folder: its report, or empty when it starts.
QString startExercises(const QString &folder)
{
    const QString back = QDir::currentPath();
    QDir::setCurrent(folder);
    ScriptedPlatform platform;
    QString report;
    try {
        TestProgram(platform).Main();
    } catch (const QString &fatal) {
        report = fatal;
    }
    flushDeletes();
    QDir::setCurrent(back);
    return report;
}

// The recorder's sound: a known signal instead of the microphone.
struct KnownSignal : VoiceRecorder::Input {
    QBuffer fed;
    QIODevice *start(QString &) override { return fed.open(QIODevice::ReadOnly), &fed; }
    void stop() override { fed.close(); }
};

// Answers the next message box with button once it shows, keeping its text in text.
void answerNextBox(QMessageBox::StandardButton button, QString *text)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            *text += box->text();
            timer->deleteLater();
            timer->stop();
            box->done(button);
        }
    });
    timer->start(10);
}

} // namespace

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void problems_data()
    {
        // "senza" has no picture; "|ms" gives a voice that long, "|rotta" one that cannot be
        // heard, "|doppia" one with a second file.
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QByteArray>("settings");  // diveva.ini
        QTest::addColumn<QStringList>("expected"); // row:B blocks, W warns, I tells; -1 the list
        const QStringList six{"uno", "due", "tre", "quattro", "cinque", "abcdefghijkl"};
        const auto seventh = [&six](const QString &word) { return six + QStringList{word}; };
        const QStringList many = numberedWords(151);
        QStringList voiced;
        for (const QString &w : six)
            voiced << w + "|1200";
        const auto row = [](const char *name, const QStringList &words, const QStringList &expected,
                            const QByteArray &settings = {}) {
            QTest::newRow(name) << words << settings << expected;
        };
        row("six good words, 12 letters fit", six, {});
        row("five words", six.mid(0, 5), {"-1:W"});
        row("150 words", many.mid(0, 150), {});
        row("151 words", many, {"-1:B"});
        row("double quote", seventh("il \"re\""), {"6:B"});
        row("line end", seventh("a\nb"), {"6:B"});
        row("no picture", seventh("senza"), {"6:B"});
        row("empty word", seventh(" "), {"6:W"});
        row("equal words", seventh("due"), {"6:W"});
        row("13 letters wider", seventh("abcdefghijklm"), {"6:W"});
        row("every word with a voice", voiced, {});
        row("a voice that cannot be heard, the others' words named", seventh("sette|rotta"),
            {"6:B", "-1:I"});
        row("a voice longer than 5 s", voiced.mid(0, 5) + QStringList{"sei|5100"}, {"5:W"});
        row("two files for one voice", voiced.mid(0, 5) + QStringList{"sei|doppia"}, {"5:W"});
        row("listening without voices", six, {"-1:B"}, "[esercizi]\nascolto=si");
        row("listening, some voices", voiced.mid(0, 5) + QStringList{"sei"}, {"-1:I"},
            "[esercizi]\nascolto=si");
        row("three words, three choices", six.mid(0, 3), {}, "[esercizi]\nscelte=3");
        row("two pairs alike in capitals: fewer words than choices, and too wide",
            {"Cane", "cane", "ape", "Ape", "abcdefghijkl"}, {"1:W", "3:W", "4:W", "-1:W"},
            "[esercizi]\nscelte=4\nscrittura=maiuscolo");
    }

    void problems()
    {
        QFETCH(QStringList, words);
        QFETCH(QByteArray, settings);
        QList<Entry> entries;
        QHash<int, VoiceCheck> voices;
        for (const QString &w : words) {
            const QString word = w.section(u'|', 0, 0), voice = w.section(u'|', 1);
            entries.append({word, word == "senza" ? "" : "/p.jpg", {}, {}});
            if (voice.isEmpty())
                continue;
            entries.last().voice = {"/voce/1.ogg", {}, {}};
            if (voice == "doppia")
                entries.last().voice.ignored = {"1.m4a"};
            voices.insert(int(entries.size()) - 1,
                          {voice.toInt(), voice == "rotta" ? "il file è vuoto" : ""});
        }
        // A font of 10 pixels a small letter and 11 a capital, in a label of 129.
        const ExerciseFacts facts{Shape, 129, [](const QString &w) {
                                      return int(w.size()) * 10
                                             + int(std::count_if(w.begin(), w.end(), [](QChar c) {
                                                   return c.isUpper();
                                               }));
                                  }};
        QStringList found;
        for (const Problem &p :
             listProblems(entries, facts, parseSettings(settings).settings, {}, voices))
            found << QStringLiteral("%1:%2").arg(p.row).arg(p.info ? 'I' : p.blocking ? 'B' : 'W');
        QTEST(found, "expected");
    }

    void keptPart()
    {
        // Boxes 121 x 129: 100 high keeps 93.8 wide, 100 wide keeps 106.6 high. A wide picture's
        // right end, a tall one's middle.
        QCOMPARE(keptRect({300, 100}, Crop{true, 1.0}, Shape), QRect(206, 0, 94, 100));
        QCOMPARE(keptRect({100, 300}, Crop{true, 0.5}, Shape), QRect(0, 97, 100, 107));
    }

    void pictures_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<bool>("cropped");
        QTest::addColumn<qint64>("budgetBytes");
        QTest::addColumn<QImage>("shown");  // what the JPEG saved must show, at its size
        QTest::addColumn<QString>("cause"); // its start, for a picture refused
        QTest::addColumn<bool>("reserved"); // a decode took memory from the budget
        constexpr qint64 Enough = 64 * DecodeBudget::MiB;
        // Patches of colour: a picture whose every part is told from the others.
        const auto patches = [](QSize size, quint32 seed) {
            return noisyImage(size / 8, seed)
                .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        };
        const auto saved = [&](const char *name, const QByteArray &source, QImage shown,
                               bool cropped = false) {
            QTest::newRow(name) << source << cropped << Enough << shown << QString() << true;
        };
        const auto refused = [](const char *name, const QByteArray &source, qint64 budget,
                                const char *cause, bool reserved = false) {
            QTest::newRow(name) << source << false << budget << QImage() << cause << reserved;
        };
        const auto fixture = [](const char *name) { return fileBytes(QFINDTESTDATA(name)); };
        const QImage photo = patches({2000, 1500}, 2), wide = patches({600, 400}, 1);
        saved("large jpeg scaled", jpegBytes(photo, 80),
              photo.scaled(1024, 768, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        // Made by withExifOrientation(jpegBytes(noisyImage({60, 40}, 1), 80), 6) of TestPictures.
        saved("EXIF turned", fixture("turned.jpg"),
              QImage::fromData(fixture("turned.jpg")).transformed(QTransform().rotate(90)));
        // Its left third transparent: white, as on the exercises' background.
        QImage clear = wide.convertToFormat(QImage::Format_ARGB32), onWhite = wide;
        for (int y = 0; y < 400; ++y)
            std::fill_n(reinterpret_cast<QRgb *>(clear.scanLine(y)), 200, qRgba(0, 0, 0, 0));
        QPainter(&onWhite).fillRect(0, 0, 200, 400, Qt::white);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && clear.save(&buffer, "PNG"));
        saved("png to jpeg", png, onWhite);
        // Made by libheif's encoder at quality 90, a grid of one tile as phones write them.
        const QByteArray heic = fixture("foto.heic");
        saved("HEIC to jpeg", heic, patches({64, 48}, 4));
        // 400 high in the boxes' shape: 400 * 121 / 129 = 375.2 wide.
        saved("cropped to the boxes", jpegBytes(wide, 80), wide.copy(113, 0, 375, 400), true);
        refused("empty file", {}, Enough, "il file è vuoto");
        refused("the start of a HEIC", QByteArray::fromHex("00000018") + "ftyp", Enough,
                "il file è troppo corto");
        refused("unknown format", "pane, latte, uova\n", Enough, "formato sconosciuto");
        // 64 x 48 pixels do not fit in 16 KB; each side is within libheif's limit for it.
        refused("HEIC over the budget, refused from its header", heic, 16 * 1024,
                "l'immagine è troppo grande (64 x 48 pixel");
        // Its header says 16 x 16: libheif's limit per side refuses the 64 x 48 it decodes.
        QByteArray lying = heic;
        for (qsizetype at = 0; (at = lying.indexOf("ispe", at + 1)) > 0;)
            lying.replace(at + 8, 8, QByteArray::fromHex("0000001000000010"));
        refused("HEIC larger than its header says", lying, 4 * 1024, "l'immagine è troppo grande",
                true);
    }

    void pictures()
    {
        QFETCH(QByteArray, source);
        QFETCH(bool, cropped);
        QFETCH(qint64, budgetBytes);
        QFETCH(QImage, shown);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("foto"), source));
        DecodeBudget budget(budgetBytes);
        const ExportedPicture out =
            exportPicture(dir.filePath("foto"), Crop{cropped, 0.5}, Shape, budget);
        QVERIFY2(out.cause.startsWith(cause) && out.ok() == cause.isEmpty(), qPrintable(out.cause));
        QTEST(budget.peakReserved() > 0, "reserved");
        if (!out.ok())
            return;
        // The picture itself, turned and cut: off by a few levels a channel, as JPEG leaves it; a
        // picture turned the wrong way or with its colours swapped is off by 40 and more.
        const QImage jpeg = QImage::fromData(out.bytes, "JPEG");
        QCOMPARE(jpeg.size(), shown.size());
        const double off = meanDifference(jpeg, shown);
        QVERIFY2(off < 16, qPrintable(QString::number(off)));
    }

    void saveFailsAtEveryStep_data()
    {
        QTest::addColumn<bool>("crash");
        QTest::addColumn<bool>("after"); // the failing step is done, then reports failure
        QTest::newRow("one step fails") << false << false;
        QTest::newRow("one step done, then reported failed") << false << true;
        QTest::newRow("machine stops") << true << false;
    }

    void saveFailsAtEveryStep()
    {
        QFETCH(bool, crash);
        QFETCH(bool, after);
        QTemporaryDir dir;
        const QString old = dir.filePath("vecchia");
        // An old folder made partly on Windows (LISTA.TXT and JPG switched by two renames, the
        // other parts by an exchange), with other files of the teacher's in JPG/ and voce/, two
        // voices for word 3, settings with a comment; new pictures to scale, to crop and to copy
        // from the folder being replaced, a voice made and one copied.
        QVERIFY(QDir().mkpath(old + "/JPG/originali") && QDir().mkpath(old + "/voce"));
        QVERIFY(writeFile(old + "/LISTA.TXT", "uno\r\ndue\r\ntre\r\n"));
        QVERIFY(writeFile(old + "/diveva.ini", "; per Marco\r\n[esercizi]\r\nscelte=4\r\n"));
        const QStringList others{"9.JPG", "IMG_0001.jpg", "originali/x.jpg"};
        for (const QString &other : others)
            QVERIFY(writeFile(old + "/JPG/" + other, other.toUtf8()));
        for (const char *voice : {"1.ogg", "3.m4a", "3.WAV", "leggimi.txt"})
            QVERIFY(writeFile(old + "/voce/" + voice, voice));
        QList<Entry> entries;
        for (int i = 1; i <= 3; ++i) {
            const QString photo = dir.filePath(QStringLiteral("foto%1.jpg").arg(i));
            QVERIFY(writeFile(photo, jpegBytes(noisyImage({1200, 900}, 10 + i), 80)));
            QVERIFY(writeFile(old + QStringLiteral("/JPG/%1.JPG").arg(i),
                              jpegBytes(noisyImage({64, 48}, i), 80)));
            entries.append({QStringLiteral("nuova %1").arg(i), photo, {i == 2, 0.3}});
        }
        entries[0].voice.ogg = "voce registrata";
        entries.append({"Ã© due, vecchia", {}, {}, {}}); // as Windows-1252, it reads as UTF-8
        const QStringList oldContent = readAsProgram(old);
        QCOMPARE(loadFolder(old).entries[2].voice.ignored, QStringList{"3.m4a"});
        auto copyOfOld = [&, copies = 0]() mutable { // each save goes to a copy of the old folder
            const QString folder = dir.filePath(QString::number(++copies));
            QProcess::execute("cp", {"-a", old, folder});
            entries.last().picture = folder + "/JPG/2.JPG";
            entries.last().voice.file = folder + "/voce/3.WAV";
            return folder;
        };
        const FolderSettings settings{{3}, fileBytes(old + "/diveva.ini")};
        QStringList newContent;
        int firstSwitch = -1; // the first step after which the program sees other content
        DiskFileOps disk;
        for (int step = -1;; ++step) { // -1: the save that nothing fails
            const QString folder = copyOfOld();
            FailingOps ops(step < 0 ? INT_MAX : step, crash, after);
            if (step < 0)
                ops.watch = [&] {
                    if (firstSwitch < 0 && readAsProgram(folder) != oldContent)
                        firstSwitch = ops.calls - 1;
                };
            const QString cause = saveFolder(folder, entries, Shape, ops, {}, settings);
            if (step < 0) {
                newContent = readAsProgram(folder);
                // The settings written back with their comment; a voice made, one copied as is.
                QCOMPARE(fileBytes(folder + "/diveva.ini"),
                         "; per Marco\r\n[esercizi]\r\nscelte=3\r\n");
                QCOMPARE(fileBytes(folder + "/voce/1.ogg"), "voce registrata");
                QCOMPARE(fileBytes(folder + "/voce/4.wav"), "3.WAV");
                QCOMPARE(loadFolder(folder).entries.last().word, "Ã© due, vecchia");
            } else if (ops.calls <= step) // no step left to fail
                break;
            const QStringList afterSave = readAsProgram(folder);
            // The exercise program refuses exactly a folder left mixed, naming it.
            const QString refused = startExercises(folder);
            QVERIFY2(afterSave == oldContent || afterSave == newContent
                         ? refused.isEmpty()
                         : refused.startsWith(
                             "La cartella ha un salvataggio non finito.\n\nFile: " + folder + '\n'),
                     qPrintable(refused));
            QCOMPARE(recoverFolder(folder, disk).blocked, QString()); // the next open
            // Before the first switch the old content, from there on the new one.
            const bool isOld = step >= 0 && (step < firstSwitch || (step == firstSwitch && !after));
            QCOMPARE(readAsProgram(folder), isOld ? oldContent : newContent);
            // The cause names the teacher's files, never the editor's working area. A failure the
            // save reports leaves the old content; a save it could finish is done.
            QVERIFY2(!cause.contains(".diveva-prepara"), qPrintable(cause));
            if (!crash) {
                QCOMPARE(afterSave, isOld ? oldContent : newContent);
                QVERIFY2(isOld ? cause.startsWith("File: " + folder)
                                     && cause.contains("\nCausa: il disco è pieno")
                               : cause.isEmpty(),
                         qPrintable(cause));
            }
            // The teacher's other files stay where they were; the backup is the old folder.
            const QString pictures =
                folder + (QFileInfo::exists(folder + "/jpg") ? "/jpg/" : "/JPG/");
            for (const QString &other : others)
                QCOMPARE(fileBytes(pictures + other), other.toUtf8());
            QCOMPARE(fileBytes(folder + "/voce/leggimi.txt"), "leggimi.txt");
            if (!isOld)
                QCOMPARE(readAsProgram(TeacherFolder(folder).backupPath()), oldContent);
        }
        QCOMPARE(newContent.size(), 5); // the clean save's words, not the old ones
        QVERIFY(firstSwitch > 0);
        // Refused before any change, naming the file: a folder gone, a picture gone since added.
        const QString gone = dir.filePath("tolta");
        QVERIFY(saveFolder(gone, entries, Shape, disk).startsWith("File: " + gone));
        QVERIFY(!QFileInfo::exists(gone) && QFile::remove(entries[0].picture));
        const QString folder = copyOfOld();
        QVERIFY(saveFolder(folder, entries, Shape, disk).startsWith("File: " + entries[0].picture));
        QCOMPARE(readAsProgram(folder), oldContent);
        QVERIFY(QDir(folder + "/.diveva-prepara").isEmpty());
    }

    void folderStates_data()
    {
        QTest::addColumn<QString>("state");    // what the folder holds when the window opens it
        QTest::addColumn<QString>("readOnly"); // part of the window's reason; empty: it saves
        QTest::addColumn<QString>("told");     // part of what the window says
        const auto row = [](const char *name, const char *state, const char *readOnly,
                            const char *told) {
            QTest::addRow("%s", name) << state << readOnly << told;
        };
        const char *notPlain = "non è una cartella normale dell'utente";
        row("working area a link to a folder outside", "link .diveva-prepara", notPlain, "");
        row("nuovo a link to a folder outside", "link .diveva-prepara/nuovo", notPlain, "");
        row("jpg a link to a folder outside", "link jpg", "collegamento", "");
        const char *voided = "il suo giornale non era valido";
        row("journal naming ../x", "journal ../fuori", "", voided);
        row("journal naming an absolute path", "journal outside", "", voided);
        row("journal of another version", "journal version", "un'altra versione", "");
        row("save that cannot be finished", "journal changed", "jpg è stato cambiato", "");
        row("journal naming ../x after a switch began", "journal ../fuori changed",
            "il suo giornale non è valido", "");
        row("save cut before its journal", "staging", "",
            "Un salvataggio si era interrotto: la cartella è com'era prima.");
        row("second editor while the lock is held", "window", "già aperta in un'altra finestra",
            "");
        row("lock of a program gone, on this machine", "lock gone", "", "");
        row("lock of another computer, not taken", "lock aula-3", "risulta aperta su aula-3",
            "La cartella risulta aperta su aula-3 dal ");
        row("folder named with non-UTF-8 bytes", "caf\xE9", "", "Rinominare la cartella");
        row("plain folder: the teacher's files in jpg and voce told", "plain", "",
            "La cartella jpg contiene anche 9.jpg, IMG_0001.jpg, originali: il salvataggio li "
            "lascia dove sono.\nLa cartella voce contiene anche leggimi.txt");
    }

    void folderStates()
    {
        QFETCH(QString, state);
        QFETCH(QString, readOnly);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString outside = dir.filePath("fuori"), area = "/.diveva-prepara";
        QVERIFY(QDir().mkpath(outside + "/jpg") && writeFile(outside + "/dentro.txt", "fuori"));
        TestFolder made(state == "caf\xE9" ? "caf\xE9" : "cartella"); // the working directory
        // Three words, a voice for «tre», settings with a comment and files of the teacher's in
        // jpg/ and voce/.
        made.writeWords({"uno", "due", "tre"});
        const QStringList teachers{"jpg/9.jpg", "jpg/IMG_0001.jpg", "jpg/originali/x.jpg",
                                   "voce/leggimi.txt"};
        QVERIFY(QDir().mkpath("jpg/originali") && QDir().mkpath("voce"));
        for (const QString &file : teachers)
            QVERIFY(writeFile(file, "x"));
        QVERIFY(writeFile("voce/3.ogg", encodeOpus({sinePcm(600, 0.3, 24000), 24000}).bytes)
                && writeFile("diveva.ini", "; per la 2B\n[esercizi]\npunteggio=no\n"));
        const QString folder = made.path(), linked = state.mid(5);
        if (state.startsWith("link"))
            QVERIFY(QDir().mkpath(".diveva-prepara") && QDir(linked).removeRecursively()
                    && QFile::link(outside, linked));
        if (state.startsWith("journal") || state == "staging")
            QVERIFY(QDir().mkpath(".diveva-prepara/nuovo/jpg")
                    && writeFile(".diveva-prepara/nuovo/jpg/1.jpg", "nuova"));
        if (state.startsWith("journal")) {
            SaveJournal j;
            j.count = 3;
            // Parts jpg and lista only, as the editor's earlier version wrote its journal.
            for (const int i : {0, int(folderParts().size()) - 1}) {
                const QByteArray print =
                    TeacherFolder::print(TeacherFolder(folder).fd(), folderParts()[i], 3);
                j.parts.append({i, folderParts()[i].name, print, print, {}});
            }
            if (state.contains("../fuori"))
                j.parts[0].oldName = "../fuori";
            if (state.endsWith("outside"))
                j.parts[0].others = {QFile::encodeName(outside)};
            if (state.contains("changed"))
                j.parts[0].oldPrint = j.parts[0].newPrint =
                    QByteArray(j.parts[0].oldPrint.size(), '1');
            const QByteArray version = state.endsWith("version") ? "giornale 2" : "giornale 1";
            QVERIFY(writeFile(".diveva-prepara/giornale", j.text().replace("giornale 1", version)));
        }
        if (state.startsWith("lock")) { // left by a program that ended, or by another computer
            const QByteArray holder =
                state == "lock gone"
                    ? "2147483647\ndiveva-prepara\n" + QSysInfo::machineHostName().toUtf8() + '\n'
                          + QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId()
                    : "4242\ndiveva-prepara\naula-3\nx\ny";
            QVERIFY(QDir().mkdir(".diveva-prepara")
                    && writeFile(".diveva-prepara/blocco", holder + '\n',
                                 QDateTime::currentDateTime().addDays(-2)));
        }
        EditorWindow first(ExerciseFacts{Shape, 129, {}}), w(ExerciseFacts{Shape, 129, {}});
        const auto open = [&folder](EditorWindow &in) {
            return in.openFolder(folder)
                   && QSignalSpy(&in, &EditorWindow::importFinished).wait(30000);
        };
        QString asked;
        QVERIFY(state != "window" || open(first));
        if (state == "lock aula-3" || state == "caf\xE9")
            answerNextBox(QMessageBox::No, &asked);
        open(w);
        QVERIFY2(readOnly.isEmpty() ? w.readOnlyReason().isEmpty()
                                    : w.readOnlyReason().contains(readOnly),
                 qPrintable(w.readOnlyReason()));
        QVERIFY2((w.notice() + asked).contains(told), qPrintable(w.notice() + asked));
        if (state == "caf\xE9") {
            QVERIFY(w.folder().isEmpty());
        } else if (readOnly.isEmpty()) { // changed and saved, then saved again unchanged
            // «uno» moved to the end; a take of «tre», undone; 3 choices; «uno» removed.
            const QStringList seen = readAsProgram(folder);
            w.table()->moveEntry(0, 2);
            auto *input = new KnownSignal;
            input->fed.setData(sinePcm(800, 0.5, VoiceRecorder::Rate));
            w.setVoiceInput(std::unique_ptr<KnownSignal>(input));
            w.recordVoice(1);
            QTRY_VERIFY(input->fed.atEnd());
            w.recordVoice(1);
            QCOMPARE(decodeVoiceData(w.table()->entries()[1].voice.ogg).durationMs() / 100, 8);
            w.table()->undoStack()->undo();
            QVERIFY(w.table()->entries()[1].voice.file.endsWith("/voce/3.ogg"));
            const auto boxes = w.settingsPanel()->findChildren<QComboBox *>();
            QCOMPARE(boxes[4]->currentText(), "no"); // punteggio, read back
            boxes[0]->setCurrentIndex(2);
            emit boxes[0]->activated(2);
            w.table()->removeEntries({2, 2}); // one row chosen twice
            QCOMPARE(w.table()->undoStack()->undoText(), "Eliminazione di una riga");
            QVERIFY(w.saveTo(folder));
            // The voice past the new count goes with the backup; a file the teacher put in the
            // backup (Windows' Thumbs.db) is set aside at the next save, not removed.
            QVERIFY(!QFileInfo::exists(folder + "/voce/3.ogg")
                    && QFileInfo::exists(folder + area + "/copia/voce/3.ogg"));
            QVERIFY(writeFile(folder + area + "/copia/jpg/Thumbs.db", "x") && w.saveTo(folder));
            QCOMPARE(readAsProgram(folder),
                     QStringList(
                         {"; per la 2B\n[esercizi]\npunteggio=no\nscelte=3\n", seen[2], seen[3]}));
            QVERIFY(QFileInfo::exists(folder + area + "/copia-2/jpg/Thumbs.db")
                    && !QFileInfo::exists(folder + area + "/nuovo"));
            for (const QString &file : teachers)
                QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        } else { // the window saves nothing there either
            answerNextBox(QMessageBox::Ok, &asked);
            QVERIFY(!w.saveTo(folder));
        }
        // Nothing outside written, moved or removed, through a link or a journal.
        QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList({"dentro.txt", "jpg"}));
        QVERIFY(QDir(outside + "/jpg").isEmpty() && fileBytes(outside + "/dentro.txt") == "fuori");
    }

    // A teacher's session, through the window's own keys: add pictures, edit a word, reorder,
    // undo, save, reopen, and the folder is the same.
    void sessionGivesTheSameFolder()
    {
        QTemporaryDir dir; // the teacher's photos, and the folder saved beside them
        QList<QUrl> files;
        // Named as a phone names them: underscores, a camera's name, an accent decomposed.
        for (const char *name :
             {"cane", "gatto_nero", "IMG_20241103_101512", "perche\xCC\x81", "luna"}) {
            files << QUrl::fromLocalFile(dir.filePath(QString::fromUtf8(name) + ".jpg"));
            QVERIFY(writeFile(
                files.last().toLocalFile(),
                jpegBytes(noisyImage({160 + 40 * int(files.size()), 120}, files.size()), 85)));
        }
        // At 800 x 600, narrower than the window opens; the hint on the empty list. In a
        // desktop's font at its usual size, whatever the machine's default: a bare system with
        // only the Liberation fonts the package needs gives its monospace one.
        EditorWindow w(ExerciseFacts{Shape, 129, {}});
        w.setFont(QFont(QStringLiteral("Liberation Sans"), 10));
        QVERIFY(w.width() >= 800);
        w.resize(800, 600);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *hint = w.view()->viewport()->findChild<QLabel *>();
        QVERIFY(hint && hint->isVisible() && hint->text().contains("«Aggiungi immagini…»"));
        // Dropped from the file manager on the empty list, with a phone's memo for «cane».
        QVERIFY(
            QFile::copy(QFINDTESTDATA("../voices/fixtures/tone.m4a"), dir.filePath("cane.m4a")));
        QMimeData drop;
        drop.setUrls(files + QList<QUrl>{QUrl::fromLocalFile(dir.filePath("cane.m4a"))});
        QVERIFY(w.table()->dropMimeData(&drop, Qt::CopyAction, -1, -1, {}));
        QVERIFY(QSignalSpy(&w, &EditorWindow::importFinished).wait(30000));
        QVERIFY(!hint->isVisible());
        QCOMPARE(w.table()->undoStack()->undoText(), "Aggiunta di 5 immagini");
        const QByteArray caneVoice = w.table()->entries()[0].voice.ogg;
        QCOMPARE(decodeVoiceData(caneVoice).durationMs() / 100, 5); // the memo's half second
        QVERIFY(w.table()->problems().last().info
                && w.table()->problems().last().text.contains("gatto nero, , perché, luna."));
        // The progress dialog goes now, not at the outer loop's next turn, when its timer would
        // show it again; if a slow import showed it, the window takes the focus back from it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));

        // The camera's picture gets its word, typed in place.
        w.view()->setCurrentIndex(w.table()->index(2, EntryTable::WordColumn));
        QTest::keyClick(w.view(), Qt::Key_F2);
        QTest::keyClicks(QApplication::focusWidget(), "topo");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(w.table()->entries()[2].word, QString("topo")); // committed after the key
        w.synthesizeVoices();                                        // the four others
        QCOMPARE(w.table()->undoStack()->undoText(), "Voci sintetiche per 4 parole");
        // Every action of the toolbar in sight after a step with a long caption, once the
        // toolbar lays its buttons out again.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        for (QAction *a : w.findChild<QToolBar *>()->actions())
            QVERIFY2(w.findChild<QToolBar *>()->widgetForAction(a)->isVisible(),
                     qPrintable(a->text()));
        // "luna" to the top by keys; the last step undone.
        w.view()->setCurrentIndex(w.table()->index(4, EntryTable::WordColumn));
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(w.view(), Qt::Key_Up, Qt::AltModifier);
        QTest::keyClick(w.view(), Qt::Key_Z, Qt::ControlModifier);
        // Closing with changes not saved asks first; Esc (Annulla) keeps the window and its rows.
        QWidget *asked = nullptr;
        QTimer::singleShot(
            0, [&] { QTest::keyClick(asked = QApplication::activeModalWidget(), Qt::Key_Escape); });
        QVERIFY(w.isWindowModified() && !w.close() && asked);

        // While the first save writes, the window takes no edit: Delete removes nothing.
        struct Held : DiskFileOps {
            QSemaphore go;
            QString writeFile(D d, N n, N data) override
            {
                go.acquire();
                return Disk::writeFile(d, n, data);
            }
        } held;
        w.setFileOps(&held);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        int rowsWhileSaving = 0;
        QTimer::singleShot(0, [&] {
            QTest::keyClick(w.view(), Qt::Key_Delete);
            rowsWhileSaving = w.table()->rowCount();
            held.go.release(1000);
        });
        const int order[] = {0, 4, 1, 2, 3};
        for (int save = 0; save < 2; ++save) { // saved, then opened again and saved unchanged
            QVERIFY(w.saveTo(dir.path()) && !w.isWindowModified());
            QCOMPARE(rowsWhileSaving, 5);
            QCOMPARE(fileBytes(dir.filePath("lista.txt")),
                     QByteArray("cane\r\nluna\r\ngatto nero\r\ntopo\r\nperch\xE9\r\n"));
            for (int k = 0; k < 5; ++k) { // the teacher's JPEGs, copied as they are, and voices
                QCOMPARE(fileBytes(dir.filePath(QStringLiteral("jpg/%1.jpg").arg(k + 1))),
                         fileBytes(files[order[k]].toLocalFile()));
                QVERIFY(decodeVoiceFile(dir.filePath(QStringLiteral("voce/%1.ogg").arg(k + 1)))
                            .durationMs()
                        > 150);
            }
            QCOMPARE(fileBytes(dir.filePath("voce/1.ogg")), caneVoice);
            QVERIFY(w.openFolder(dir.path()));
            QVERIFY(QSignalSpy(&w, &EditorWindow::importFinished).wait(30000));
        }
    }

    // The window's mouse work on a folder of three pictures and a fourth in jpg/ to add: a photo
    // dropped on a row, a row dragged down and one up, an import cancelled, and the
    // thumbnails after a save and after the backup is brought back twice (the second backup
    // holds other pictures under the same names as the first).
    void windowGestures_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QString>("rows"); // afterwards: each row's word and its thumbnail's number
        const auto row = [](const char *name, const char *gesture, const char *rows) {
            QTest::newRow(name) << QString(gesture) << QString(rows);
        };
        row("photo dropped on row 2", "drop", "uno:1 due:4 tre:3");
        row("row 1 dragged below row 3", "down", "due:2 tre:3 uno:1");
        row("row 3 dragged onto row 1", "up", "tre:3 uno:1 due:2");
        row("import cancelled", "cancel", "uno:1 due:2 tre:3");
        row("saved after a move", "save", "due:2 tre:3 uno:1");
        row("backup restored twice", "restore", "due:2 tre:3 uno:1");
    }
    void windowGestures()
    {
        QFETCH(QString, gesture);
        TestFolder folder;
        folder.writeWords({"uno", "due", "tre"});
        folder.writePictures(4);
        const QString photo = folder.path() + "/jpg/4.jpg";
        EditorWindow w(ExerciseFacts{Shape, 129, {}});
        EntryTable *t = w.table();
        QSignalSpy imported(&w, &EditorWindow::importFinished);
        QVERIFY(w.openFolder(folder.path()) && imported.wait(30000));
        if (gesture == "drop") {
            QMimeData dropped;
            dropped.setUrls({QUrl::fromLocalFile(photo)});
            QVERIFY(t->dropMimeData(&dropped, Qt::CopyAction, -1, -1, t->index(1, 0)));
            QVERIFY(imported.wait(30000));
        } else if (gesture == "down" || gesture == "up") {
            const bool down = gesture == "down";
            const std::unique_ptr<QMimeData> row(t->mimeData({t->index(down ? 0 : 2, 0)}));
            t->dropMimeData(row.get(), Qt::MoveAction, down ? 3 : -1, 0,
                            down ? QModelIndex() : t->index(0, 0));
        } else if (gesture == "cancel") {
            // The picture threads held busy, so that the cancel comes before any picture is read.
            QSemaphore held;
            const int threads = pictureThreads()->maxThreadCount();
            for (int i = 0; i < threads; ++i)
                pictureThreads()->start([&] { held.acquire(); });
            w.addFiles({photo}, 0);
            w.findChild<QProgressDialog *>()->findChild<QPushButton *>()->click(); // Annulla
            held.release(threads);
            QVERIFY(imported.wait(30000));
            pictureThreads()->waitForDone(); // none is left inside the semaphore
        } else {
            t->moveEntry(0, 2);
            QVERIFY(w.saveTo(folder.path()));
            for (int again = 0; gesture == "restore" && again < 2; ++again) {
                QString said;
                answerNextBox(QMessageBox::Ok, &said);
                for (QAction *a : w.findChildren<QAction *>())
                    if (a->text() == "&Ripristina la copia precedente")
                        a->trigger();
                QVERIFY(said.contains("Salvando tornano nella cartella"));
                QVERIFY(again == 1 || w.saveTo(folder.path()));
            }
        }
        QStringList rows;
        for (const Entry &e : t->entries())
            rows << e.word + u':'
                        + QString::number(TestFolder::pictureNumberOf(t->thumbnail(e).image));
        QTEST(rows.join(u' '), "rows");
    }

    // A word's voice made ready for a child, each take twice: quiet (5% of full scale) and loud
    // (90%). Trimmed to the word, brought to one loudness, saved as Opus and read back by the
    // program's decoder; recorded through the recorder's seam, fed a known signal.
    void voices_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("ms");     // of the sound, or of the signal fed to the recorder
        QTest::addColumn<int>("wordMs"); // kept by the trimming; 0: clicks, within a word's length
        QTest::addColumn<QString>("cause");
        QTest::newRow("250 ms, under the 400 ms loudness window") << "tone" << 250 << 330 << "";
        QTest::newRow("clicks: the peak holds the gain") << "clicks" << 600 << 0 << "";
        QTest::newRow("recorded, 6 s fed: ends at 5 s") << "recorded" << 6000 << 5000 << "";
        QTest::newRow("only the room's noise") << "noise" << 1000 << 0 << "la registrazione è muta";
    }

    void voices()
    {
        QFETCH(QString, source);
        QFETCH(int, ms);
        QFETCH(int, wordMs);
        QFETCH(QString, cause);
        const int rate = VoiceRecorder::Rate;
        const auto noise = [&](int length) { // a quiet room: -70 dBFS
            QByteArray pcm(rate * length / 1000 * 2, Qt::Uninitialized);
            std::mt19937 random(length);
            for (qsizetype i = 0; i < pcm.size() / 2; ++i)
                reinterpret_cast<qint16 *>(pcm.data())[i] = qint16(int(random() % 21) - 10);
            return pcm;
        };
        QList<double> lufs;
        for (const double gain : {0.05, 0.9}) {
            QByteArray signal = sinePcm(ms, 1, rate);
            auto *s = reinterpret_cast<qint16 *>(signal.data());
            for (qsizetype i = 0; i < signal.size() / 2; ++i)
                s[i] = source != "clicks" ? s[i] * gain : i % (rate / 20) ? 0 : 32767 * gain;
            Take take{source == "noise" ? noise(ms) : noise(500) + signal + noise(400), rate};
            if (source == "recorded") {
                auto *input = new KnownSignal;
                input->fed.setData(signal);
                VoiceRecorder recorder{std::unique_ptr<KnownSignal>(input)};
                connect(&recorder, &VoiceRecorder::recorded, this,
                        [&](const Take &t, const QString &c) { take = c.isEmpty() ? t : Take{}; });
                recorder.toggle(); // it stops by itself at 5 s
                QTRY_VERIFY(!recorder.isRecording());
                QCOMPARE(take.durationMs(), wordMs);
            }
            const EncodedVoice saved = prepareVoice(take);
            QCOMPARE(saved.cause, cause);
            if (!cause.isEmpty())
                return;
            const Take word = trimSilence(take);
            QVERIFY2(wordMs ? qAbs(word.durationMs() - wordMs) <= 15
                            : word.durationMs() > 300 && word.durationMs() < 2500,
                     qPrintable(QString::number(word.durationMs())));
            // Never clipped: the peak under -1 dBFS.
            const Take level = levelled(word);
            const auto *l = reinterpret_cast<const qint16 *>(level.pcm.constData());
            const auto [low, high] = std::minmax_element(l, l + level.frames());
            QVERIFY(*high < 0.9 * 32768 && *low > -0.9 * 32768);
            const Voice heard = decodeVoiceData(saved.bytes);
            QVERIFY2(qAbs(heard.durationMs() - word.durationMs()) <= 20, qPrintable(heard.cause));
            lufs << loudnessOf({heard.pcm, VoiceFormat::SampleRate});
            // A sine's loudness is its mean square less 0.691 dB (EBU R128): that level, measured
            // apart from the editor's own measure.
            if (source == "tone" || source == "recorded") {
                const double rms = rmsOf(heard.pcm, VoiceFormat::SampleRate, 100, wordMs - 100);
                QVERIFY2(qAbs(20 * std::log10(rms) - 0.691 - VoiceLevel::TargetLufs) < 0.5,
                         qPrintable(QString::number(rms)));
            }
        }
        QVERIFY2(qAbs(lufs[0] - lufs[1]) <= 1, qPrintable(QString::number(lufs[0] - lufs[1])));
        // Clicks are quiet for their peaks: the ceiling stops the gain below the level.
        QVERIFY2(source == "clicks" ? lufs[1] < VoiceLevel::TargetLufs - 3
                                    : qAbs(lufs[1] - VoiceLevel::TargetLufs) <= 0.7,
                 qPrintable(QString::number(lufs[1])));
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
