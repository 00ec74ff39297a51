#include "core/SafeFile.h"
#include "core/WordList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestWordList : public QObject {
    Q_OBJECT
private slots:
    void fields_data();
    void fields();
    void capacity_data();
    void capacity();
    void reading_data();
    void reading();
    void letterCase();
};

void TestWordList::fields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("words");

    const QStringList mgp{"mela", "gatto", "pane"};
    QTest::addRow("crlf, last line ended") << QByteArray("mela\r\ngatto\r\npane\r\n") << mgp;
    QTest::addRow("crlf, last line open") << QByteArray("mela\r\ngatto\r\npane") << mgp;
    QTest::addRow("lone lf") << QByteArray("mela\ngatto\npane\n") << mgp;
    QTest::addRow("lone cr") << QByteArray("mela\rgatto\rpane\r") << mgp;
    QTest::addRow("mixed line ends") << QByteArray("mela\ngatto\r\npane\r") << mgp;
    QTest::addRow("empty file") << QByteArray() << QStringList{};
    QTest::addRow("one line end only") << QByteArray("\r\n") << QStringList{""};
    QTest::addRow("two words on a line") << QByteArray("mela,gatto\r\npane\r\n") << mgp;
    QTest::addRow("comma at end of file") << QByteArray("mela,") << QStringList{"mela"};
    QTest::addRow("empty line in the middle")
        << QByteArray("mela\r\n\r\ngatto\r\n") << QStringList{"mela", "", "gatto"};
    QTest::addRow("nothing between commas")
        << QByteArray("mela,,gatto\r\n") << QStringList{"mela", "", "gatto"};
    QTest::addRow("quoted word with commas")
        << QByteArray("\"sale, pepe\"\r\nmela\r\n") << QStringList{"sale, pepe", "mela"};
    QTest::addRow("blanks and tabs in front, blanks behind")
        << QByteArray("   mela  \r\n\t gatto\t\r\n") << QStringList{"mela", "gatto"};
    QTest::addRow("inner blanks stay")
        << QByteArray("palla da  calcio\r\n") << QStringList{"palla da  calcio"};
    QTest::addRow("text after the closing quote is ignored")
        << QByteArray("\"mela\" rossa,gatto\r\n") << QStringList{"mela", "gatto"};
    QTest::addRow("quoted blanks stay") << QByteArray("\"  mela \"\r\n") << QStringList{"  mela "};
    QTest::addRow("unterminated quote runs to the end")
        << QByteArray("mela\r\n\"gatto\r\npane") << QStringList{"mela", "gatto\r\npane"};
    QTest::addRow("windows-1252 accents")
        << QByteArray("citt\xE0\r\ncaff\xE8\r\nperch\xE9\r\npi\xF9\r\n")
        << QStringList{"città", "caffè", "perché", "più"};
    QTest::addRow("windows-1252 euro and quotes")
        << QByteArray("\x80 5\r\n\x93x\x94\r\n") << QStringList{"€ 5", "“x”"};
    QTest::addRow("utf-8 without mark")
        << QByteArray("citt\xC3\xA0\r\npi\xC3\xB9\r\n") << QStringList{"città", "più"};
    QTest::addRow("utf-8 with byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                              "citt\xC3\xA0\r\n")
                                                << QStringList{"città"};
    QTest::addRow("byte-order mark, then windows-1252") << QByteArray("\xEF\xBB\xBF"
                                                                      "pi\xF9\r\n")
                                                        << QStringList{"più"};
    QTest::addRow("invalid utf-8 falls back to windows-1252")
        << QByteArray("citt\xC3\xA0\r\npi\xF9\r\n") << QStringList{"cittÃ\u00A0", "più"};
}

void TestWordList::fields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, words);
    const WordList list = parseWordList(bytes);
    QVERIFY2(list.ok(), qPrintable(list.cause));
    QCOMPARE(list.words, words);
}

void TestWordList::capacity_data()
{
    QTest::addColumn<int>("fields");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<bool>("usable");
    QTest::addRow("150 with line end") << 150 << QByteArray("\r\n") << true;
    QTest::addRow("150 without line end") << 150 << QByteArray() << true;
    QTest::addRow("151") << 151 << QByteArray("\r\n") << false;
    QTest::addRow("150 then an empty line") << 150 << QByteArray("\r\n\r\n") << false;
    QTest::addRow("100000") << 100000 << QByteArray("\n") << false;
}

void TestWordList::capacity()
{
    QFETCH(int, fields);
    QFETCH(QByteArray, tail);
    QFETCH(bool, usable);
    QByteArray bytes;
    for (int i = 1; i <= fields; ++i)
        bytes += (i > 1 ? "\r\n" : "") + QByteArray::number(i);
    bytes += tail;
    const WordList list = parseWordList(bytes);
    QCOMPARE(list.ok(), usable);
    if (usable) {
        QCOMPARE(list.words.size(), 150);
        QCOMPARE(list.words.last(), QStringLiteral("150"));
    } else {
        QVERIFY(list.words.isEmpty());
        QVERIFY(list.cause.contains(QStringLiteral("150")));
    }
}

void TestWordList::reading_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause");
    QTest::addRow("missing") << "missing"
                             << "file non trovato";
    QTest::addRow("folder") << "folder"
                            << "cartella";
    QTest::addRow("named pipe") << "fifo"
                                << "non è un file normale";
    QTest::addRow("link to a device") << "device"
                                      << "non è un file normale";
    QTest::addRow("too large") << "large"
                               << "troppo grande";
    QTest::addRow("just under the limit") << "limit"
                                          << "";
}

void TestWordList::reading()
{
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lista.txt"));
    if (kind == "folder") {
        QDir(dir.path()).mkdir(QStringLiteral("lista.txt"));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == "device") {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else if (kind == "large" || kind == "limit") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(WordList::MaxFileBytes + (kind == "large" ? 1 : 0), 'a'));
    }
    const FileContents file = readRegularFile(path, WordList::MaxFileBytes);
    if (cause.isEmpty()) {
        QVERIFY2(file.ok(), qPrintable(file.cause));
        QCOMPARE(file.data.size(), WordList::MaxFileBytes);
    } else {
        QVERIFY2(file.cause.contains(cause), qPrintable(file.cause));
        QVERIFY(file.data.isEmpty());
    }
}

void TestWordList::letterCase()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("JPG"));
    QFile(dir.filePath(QStringLiteral("LISTA.TXT"))).open(QIODevice::WriteOnly);
    QFile(dir.filePath(QStringLiteral("JPG/7.JPG"))).open(QIODevice::WriteOnly);
    QFile(dir.filePath(QStringLiteral("JPG/8.jpg"))).open(QIODevice::WriteOnly);
    QCOMPARE(resolveLetterCase(dir.filePath(QStringLiteral("lista.txt"))),
             dir.filePath(QStringLiteral("LISTA.TXT")));
    QCOMPARE(resolveLetterCase(dir.filePath(QStringLiteral("jpg/7.jpg"))),
             dir.filePath(QStringLiteral("JPG/7.JPG")));
    QCOMPARE(resolveLetterCase(dir.filePath(QStringLiteral("jpg/8.jpg"))),
             dir.filePath(QStringLiteral("JPG/8.jpg")));
    // A name that exists as given is used as given; a missing one stays as asked.
    QFile(dir.filePath(QStringLiteral("lista.txt"))).open(QIODevice::WriteOnly);
    QCOMPARE(resolveLetterCase(dir.filePath(QStringLiteral("lista.txt"))),
             dir.filePath(QStringLiteral("lista.txt")));
    QCOMPARE(resolveLetterCase(dir.filePath(QStringLiteral("jpg/9.jpg"))),
             dir.filePath(QStringLiteral("JPG/9.jpg")));
}

QTEST_GUILESS_MAIN(TestWordList)
#include "tst_wordlist.moc"
