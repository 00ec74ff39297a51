// The run's rules: the word list, the teacher's files, the draws, the paths and start-up.

#include "core/SafeFile.h"
#include "core/Settings.h"
#include "core/TeacherFolder.h"
#include "core/WordList.h"
#include "screens/FormAvvio.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestProgram.h"
#include "ui/PictureBox.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/fsuid.h>
#include <sys/stat.h>

// A start-up that fails: the words of the list, the files removed from the folder, the report
// ({dir}: the folder), diveva.ini (or "DIVEVA.INI/": a folder named so) and the folder's name in
// bytes, if not a usual one.
using Failure = std::tuple<int, QStringList, QString, QByteArray, QByteArray>;

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void wordList_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("cause"); // empty when the list can be used
        const auto row = [](const char *name, const QByteArray &bytes, const QStringList &words,
                            const QString &cause = {}) {
            QTest::addRow("%s", name) << bytes << words << cause;
        };
        const QStringList mgp{"mela", "gatto", "pane"};
        row("empty file", "", {});
        row("CR LF, LF and CR, last line open", "mela\r\ngatto\npane\rsale",
            mgp + QStringList{"sale"});
        row("comma splits, comma at the end adds nothing", "mela,gatto\r\npane,", mgp);
        row("empty line and empty field take a number", "mela\r\n\r\ngatto,,pane",
            {"mela", "", "gatto", "", "pane"});
        row("quoted comma", "\"sale, pepe\"\r\nmela", {"sale, pepe", "mela"});
        row("blanks in front and behind go, inner ones stay", "  \tpalla da  calcio \t\r\n",
            {"palla da  calcio"});
        row("quoted blanks stay, text after the quote goes", "\"  mela \" rossa,gatto",
            {"  mela ", "gatto"});
        row("unterminated quote runs to the end", "mela\r\n\"gatto\r\npane",
            {"mela", "gatto\r\npane"});
        row("Windows-1252", "pi\xF9\r\n\x80 5\r\n\x93x\x94", {"più", "€ 5", "“x”"});
        const QByteArray bom = "\xEF\xBB\xBF";
        row("UTF-8 with byte-order mark", bom + "città", {"città"});
        row("byte-order mark, then Windows-1252", bom + "pi\xF9", {"più"});
        row("invalid UTF-8 is Windows-1252", "citt\xC3\xA0\r\npi\xF9", {"cittÃ\u00A0", "più"});
        row("DOS end-of-file mark at the end", "mela\r\ngatto\r\n\x1A", {"mela", "gatto"});
        const QByteArray many = numberedWords(150).join("\r\n").toUtf8();
        const QString tooMany = "l'elenco contiene più di 150 parole (il massimo è 150)";
        row("150 fields", many + "\r\n", numberedWords(150));
        row("151 fields", many + "\r\nparola151", {}, tooMany);
        row("NUL byte", QByteArray("mela\r\nga\0tto", 12), {},
            "il file contiene byte nulli (il primo al byte 9): non è testo semplice; se è stato "
            "salvato come Unicode (UTF-16), salvarlo di nuovo come ANSI o UTF-8");
        const QString control = "il file contiene caratteri di controllo (il primo, 0x%1, al byte "
                                "%2): non è testo semplice";
        row("DOS end-of-file mark before the end", "mela\x1A\r\ngatto", {},
            control.arg("1a").arg(5));
    }

    void wordList()
    {
        QFETCH(QByteArray, bytes);
        const WordList list = parseWordList(bytes);
        QTEST(list.cause, "cause");
        QTEST(list.words, "words");
    }

    void settings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("pairs"); // the settings read, as their keys that differ
        QTest::addColumn<QString>("cause");    // empty when the file can be used
        const auto row = [](const char *name, const QByteArray &bytes, const char *pairs,
                            const QString &cause = {}) {
            QTest::addRow("%s", name) << bytes << QByteArray(pairs) << cause;
        };
        row("byte-order mark, CR LF, comments",
            "\xEF\xBB\xBF[esercizi]\r\n; Marco\r\n# 2B\r\nscelte=4\r\n", "scelte=4");
        row("every key, sì for si, any letter case, blanks around",
            "[Esercizi]\n scelte = 2 \nscrittura=MAIUSCOLO\nschermo=intero\nsegnale-acustico=no\n"
            "punteggio=no\nvoce=no\nascolto=sì",
            "scelte=2 scrittura=maiuscolo schermo=intero segnale-acustico=no punteggio=no voce=no "
            "ascolto=si");
        row("outside the section and unknown keys skipped",
            "scelte=2\n[altro]\nscelte=3\nqualunque cosa\n[esercizi]\ncolore=blu\n", "");
        row("key given twice", "[esercizi]\nscelte=4\n[altro]\n[esercizi]\nscelte=4\n", "",
            "riga 5: «scelte» è già data alla riga 2 (ogni impostazione si scrive una volta sola)");
        row("a value outside its table", "[esercizi]\nscrittura=si\n", "",
            "riga 2: «si» non è un valore di «scrittura» (valori ammessi: come-elenco, maiuscolo, "
            "minuscolo)");
        row("line without a value", "[esercizi]\r\nscelte 4\r\n", "",
            "riga 2: «scelte 4» non è un'impostazione (si scrive chiave=valore)");
        row("not UTF-8", "; perch\xE9\n[esercizi]\n", "",
            "riga 1: il testo non è in UTF-8 (salvare il file come UTF-8)");
    }

    void settings()
    {
        QFETCH(QByteArray, bytes);
        const SettingsFile file = parseSettings(bytes);
        QTEST(file.cause, "cause");
        // Written back, the keys that differ from their defaults: "scelte=3 voce=no".
        QByteArray keys = writeSettings(file.settings).replace("[esercizi]\r\n", "");
        QTEST(keys.replace("\r\n", " ").trimmed(), "pairs");
    }

    void settingsWritten_data()
    {
        QTest::addColumn<QByteArray>("pairs"); // the settings saved
        QTest::addColumn<QByteArray>("old");   // the file before
        QTest::addColumn<QByteArray>("saved");
        const auto row = [](const char *name, const char *pairs, const QByteArray &old,
                            const QByteArray &saved) {
            QTest::addRow("%s", name) << QByteArray(pairs) << old << saved;
        };
        row("a new file: what differs, in the keys' order", "ascolto=si punteggio=si scelte=3", "",
            "[esercizi]\r\nscelte=3\r\nascolto=si\r\n");
        row("what it does not know kept; a key changed in place, one gone, one added",
            "scelte=2 voce=no",
            "\xEF\xBB\xBF; nota\n[altro]\nx=1\n[esercizi]\n# per Marco\nscelte=4\nfuturo=7\n"
            "punteggio=no\n\n[fine]\ny=2\n",
            "\xEF\xBB\xBF; nota\n[altro]\nx=1\n[esercizi]\n# per "
            "Marco\nscelte=2\nfuturo=7\nvoce=no\n\n"
            "[fine]\ny=2\n");
        row("no section: one at the end, in the file's line ends", "schermo=intero",
            "; solo un commento\r\n", "; solo un commento\r\n\r\n[esercizi]\r\nschermo=intero\r\n");
        row("a value of a newer version not written back", "", "[esercizi]\nscelte=5\n",
            "[esercizi]\n");
    }

    void settingsWritten()
    {
        QFETCH(QByteArray, pairs);
        QFETCH(QByteArray, old);
        const Settings settings =
            parseSettings("[esercizi]\n" + QByteArray(pairs).replace(' ', '\n')).settings;
        const QByteArray saved = writeSettings(settings, old);
        QTEST(saved, "saved");
        QVERIFY(parseSettings(saved).settings == settings);
    }

    void wordsAlikeInCapitals()
    {
        // Read alike once in capitals, città and Città count once: five words, too few. Checked
        // here rather than through the menu, which would otherwise open a question it cannot fill.
        ScriptedPlatform platform;
        TestProgram m(platform);
        m.listFile = "lista.txt";
        m.settings.scrittura = Settings::Scrittura::Maiuscolo;
        for (const char *w : {"città", "Città", "cane", "sole", "luna", "casa"})
            m.Parole.at(std::size_t(++m.NumParole)) = w;
        QCOMPARE(m.exercisesPossible() ? QString() : m.tooFewWordsMessage(),
                 "L'elenco delle parole (lista.txt), scritto in maiuscolo, contiene solo 5 parole "
                 "diverse: per gli esercizi ne servono almeno sei.");
    }

    void files_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause"); // empty when the file is read whole
        const auto row = [](const char *kind, const QString &cause) {
            QTest::addRow("%s", kind) << kind << cause;
        };
        row("folder", "è una cartella, non un file");
        row("named pipe", "non è un file normale (è una pipe con nome)");
        row("link to a device", "non è un file normale (è un dispositivo)");
        row("link to nothing", "è un collegamento simbolico a un file che non esiste (%1/altrove)");
        row("circular link", "collegamento simbolico circolare");
        row("unreadable", "permesso di lettura negato");
        row("one byte too large", "il file è troppo grande (1048577 byte, al massimo 1048576)");
        row("just under the limit", "");
    }

    void files()
    {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lista.txt"));
        if (kind == "folder") {
            QDir(dir.path()).mkdir(QStringLiteral("lista.txt"));
        } else if (kind == "named pipe") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "link to a device") {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        } else if (kind == "link to nothing") {
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("altrove")), path));
        } else if (kind == "circular link") {
            QVERIFY(QFile::link(path, path));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(
                QByteArray(WordList::MaxFileBytes + (kind == "one byte too large" ? 1 : 0), 'a'));
            f.setPermissions(kind == "unreadable" ? QFile::WriteOwner : f.permissions());
        }
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner
                                                      | QFile::ExeOwner | QFile::ExeOther));
        // Read by a user through whom permission bits hold, not by root: the kernel checks files
        // against this thread's file system user.
        ::setfsuid(kind == "unreadable" ? 65534 : ::geteuid());
        const FileContents file = readRegularFile(path, WordList::MaxFileBytes);
        ::setfsuid(::geteuid());
        QCOMPARE(file.cause, cause.contains("%1") ? cause.arg(dir.path()) : cause);
        QCOMPARE(file.data.size(), cause.isEmpty() ? WordList::MaxFileBytes : 0);
    }

    void letterCase_data()
    {
        QTest::addColumn<int>("picture"); // 0: the list; -n: the voice of word n
        QTest::addColumn<QString>("found");
        QTest::addRow("list in capitals") << 0 << "LISTA.TXT";
        QTest::addRow("folder and picture in capitals") << 7 << "JPG/7.JPG";
        QTest::addRow("the exact name wins") << 9 << "JPG/9.jpg";
        QTest::addRow("missing stays as asked, in the folder found") << 10 << "JPG/10.jpg";
        QTest::addRow("voice: ogg before wav and m4a, in any case") << -3 << "VOCE/3.OGG";
        QTest::addRow("voice: opus before mp3") << -4 << "VOCE/4.opus";
        QTest::addRow("voice: none") << -5 << "";
    }

    void letterCase()
    {
        QFETCH(int, picture);
        QFETCH(QString, found);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("JPG"));
        QDir(dir.path()).mkdir(QStringLiteral("VOCE"));
        for (const char *name : {"LISTA.TXT", "JPG/7.JPG", "JPG/9.JPG", "JPG/9.jpg", "VOCE/3.m4a",
                                 "VOCE/3.wav", "VOCE/3.OGG", "VOCE/4.mp3", "VOCE/4.opus",
                                 "VOCE/5.txt", "VOCE/05.ogg", "VOCE/11.ogg"})
            QFile(dir.filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
        TeacherFolder folder(dir.path());
        folder.resolveParts();
        folder.resolvePictures(10);
        folder.resolveVoices(10);
        QCOMPARE(picture > 0 ? folder.picturePath(picture)
                 : picture   ? folder.voicePath(-picture)
                             : folder.path(listPart()),
                 found.isEmpty() ? found : dir.filePath(found));
    }

    void startUp()
    {
        // In a folder made on Windows, with scripted draws for the start screen's four pictures.
        // (A folder named in Latin-1 bytes: see startUpFailures.)
        TestRun run(numberedWords(10), {0.5f, 0.0f, 0.95f, 0.25f}, TestRun::WindowsNames);
        TestProgram &m = run.m;
        QCOMPARE(m.NumParole, qint16(10));
        // Words 1 to 10, none at 0 or past the last.
        QCOMPARE(m.Parole[0] + m.Parole[1] + '|' + m.Parole[10] + m.Parole[11], "parola1|parola10");

        auto *avvio = run.screen<FormAvvio>(ScreenId::FormAvvio);
        QVERIFY(avvio && avvio->isVisible());
        const int expected[4] = {6, 1, 10, 3};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(TestFolder::pictureNumberOf(avvio->Image1[i]->picture()), expected[i]);
        QCOMPARE(m.Estratto, qint16(3));
        QCOMPARE(run.platform.beeps, 0);

        // Once the start screen is painted, not before, every picture of the list is read ahead
        // at the exercises' box sizes.
        QCOMPARE(run.platform.preparedPaths.size(), 0);
        QTRY_COMPARE(run.platform.preparedPaths.size(), 10);
        QCOMPARE(run.platform.preparedPaths.last(), m.Percorso + "/JPG/10.JPG");
        QCOMPARE(run.platform.preparedSizes, m.readAheadSizes);
    }

    void startUpFailures_data()
    {
        QTest::addColumn<Failure>("failure");
        const auto row = [](const char *name, int words, const QStringList &removed,
                            const QString &report, const QByteArray &settings = {},
                            const QByteArray &folder = {}) {
            QTest::addRow("%s", name) << Failure{words, removed, report, settings, folder};
        };
        const QString list =
            "Impossibile leggere l'elenco delle parole.\n\nFile: {dir}/lista.txt\nCausa: ";
        row("no list", 8, {"lista.txt"}, list + "file non trovato.");
        const QString one =
            "Un'immagine manca o non si può mostrare (1 su %1):\n\n{dir}/jpg/%1.jpg: "
            "file non trovato";
        row("no picture 8, in a folder named in Latin-1", 8, {"jpg/8.jpg"}, one.arg(8), {},
            "caf\xE9");
        row("empty list, no picture 1", 0, {"jpg/1.jpg"}, one.arg(1));
        QString twenty = "Alcune immagini mancano o non si possono mostrare (21 su 30):\n";
        QStringList gone;
        for (int n = 1; n <= 21; ++n)
            gone << QStringLiteral("jpg/%1.jpg").arg(n);
        for (const QString &picture : gone.mid(0, 20))
            twenty += "\n{dir}/" + picture + ": file non trovato";
        row("21 pictures missing", 30, gone, twenty + "\n... e un'altra");
        const QString settings =
            "Impossibile leggere le impostazioni dell'esercizio.\n\nFile: {dir}/";
        row("a folder named as the settings in capitals", 8, {},
            settings + "DIVEVA.INI\nCausa: è una cartella, non un file.", "DIVEVA.INI/");
    }

    void startUpFailures()
    {
        QFETCH(Failure, failure);
        auto [words, removed, report, settings, folder] = failure;
        TestFolder in(folder);
        in.writeWords(numberedWords(words));
        for (const QString &file : removed)
            QVERIFY(QFile::remove(file));
        if (settings.endsWith('/'))
            QVERIFY(QDir().mkdir(settings));
        else if (!settings.isEmpty())
            QVERIFY(writeFile("diveva.ini", settings));
        ScriptedPlatform platform;
        TestProgram m(platform);
        try {
            m.Main();
            QFAIL("start-up went on");
        } catch (const QString &fatal) {
            QCOMPARE(fatal, report.replace("{dir}", in.path()));
        }
        QCOMPARE(m.registry.loadedCount(), 0);
    }

    void screenSwitch()
    {
        // Some screen is loaded at every moment of a switch: the menu is still there while the
        // exercise it opens reads its pictures. Closing one of two windows, as in the middle of a
        // switch, leaves the program running; closing the last ends it, with no question.
        TestRun run(numberedWords(8));
        run.open(ScreenId::FormMenu);
        int menus = -1;
        run.platform.onLoad = [&] { menus = run.m.registry.loaded(ScreenId::FormMenu) ? 1 : 0; };
        run.open(ScreenId::FormTrova2);
        QCOMPARE(menus, 1);
        QCOMPARE(run.m.registry.loaded(ScreenId::FormMenu), nullptr);
        run.m.registry.show(ScreenId::FormMenu);
        run.screen<QWidget>(ScreenId::FormTrova2)->close();
        QCOMPARE(run.platform.endStatus, -1);
        run.screen<QWidget>(ScreenId::FormMenu)->close();
        QCOMPARE(run.platform.endStatus, 0);
        QVERIFY(run.platform.questions.isEmpty());
    }
};

QTEST_MAIN(TestCore)
#include "tst_core.moc"
