#include "screens/FormAvvio.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestProgram.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

class TestModulo1 : public QObject {
    Q_OBJECT
private slots:
    void wordDraw_data();
    void wordDraw();
    void slotDraw();
    void paths();
    void startUp();
    void startUpFailures_data();
    void startUpFailures();
    void badPictureEndsWithReport_data();
    void badPictureEndsWithReport();
    void pictureFillsItsBox();
};

void TestModulo1::wordDraw_data()
{
    QTest::addColumn<int>("words");
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("number");
    const float belowOne = std::nextafter(1.0f, 0.0f);
    QTest::addRow("half of ten") << 10 << 0.5f << 6;
    QTest::addRow("zero") << 10 << 0.0f << 1;
    QTest::addRow("highest r, 150 words") << 150 << belowOne << 150;
    QTest::addRow("highest r, 7 words") << 7 << belowOne << 7;
    QTest::addRow("empty list") << 0 << 0.75f << 1;
    QTest::addRow("one word") << 1 << belowOne << 1;
}

void TestModulo1::wordDraw()
{
    QFETCH(int, words);
    QFETCH(float, r);
    QFETCH(int, number);
    ScriptedPlatform platform;
    platform.randoms = {r};
    TestProgram m(platform);
    m.NumParole = qint16(words);
    QCOMPARE(m.drawWordNumber(), number);
    QCOMPARE(platform.randomsTaken, 1);
}

void TestModulo1::slotDraw()
{
    ScriptedPlatform platform;
    platform.randoms = {0.0f, 0.5f, std::nextafter(1.0f, 0.0f), 1.0f / 6.0f};
    TestProgram m(platform);
    QCOMPARE(m.drawSlot(), 0);
    QCOMPARE(m.drawSlot(), 3);
    QCOMPARE(m.drawSlot(), 5);
    QCOMPARE(m.drawSlot(), 1);
}

void TestModulo1::paths()
{
    ScriptedPlatform platform;
    TestProgram m(platform);
    m.Percorso = QStringLiteral("/home/maestra/parole");
    QCOMPARE(m.picturePath(7), QStringLiteral("/home/maestra/parole/jpg/7.jpg"));
    QCOMPARE(m.picturePath(10), QStringLiteral("/home/maestra/parole/jpg/10.jpg"));
    QCOMPARE(m.picturePath(150), QStringLiteral("/home/maestra/parole/jpg/150.jpg"));
    QCOMPARE(m.listPath(), QStringLiteral("/home/maestra/parole/lista.txt"));
    m.Percorso = QStringLiteral("/");
    QCOMPARE(m.picturePath(3), QStringLiteral("/jpg/3.jpg"));
    QCOMPARE(m.listPath(), QStringLiteral("/lista.txt"));
}

void TestModulo1::startUp()
{
    TestFolder folder;
    folder.writeWords(
        {"mela", "gatto", "cane", "sole", "luna", "casa", "albero", "fiore", "treno", "libro"});
    ScriptedPlatform platform;
    platform.randoms = {0.5f, 0.0f, 0.95f, 0.25f};
    TestProgram m(platform);
    m.Main();

    QCOMPARE(m.Percorso, folder.path());
    QCOMPARE(m.NumParole, qint16(10));
    QCOMPARE(m.Parole[1], QStringLiteral("mela"));
    QCOMPARE(m.Parole[10], QStringLiteral("libro"));
    QVERIFY(m.Parole[0].isEmpty());
    QVERIFY(m.Parole[11].isEmpty());

    // The start screen is shown and its boxes hold the pictures of the four draws, in index order.
    auto *avvio = qobject_cast<FormAvvio *>(m.registry.loaded(ScreenId::FormAvvio));
    QVERIFY(avvio && avvio->isVisible());
    QCOMPARE(m.registry.loadedCount(), 1);
    const int expected[4] = {6, 1, 10, 3};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(TestFolder::pictureNumberOf(avvio->Image1[i]->picture()), expected[i]);
    QCOMPARE(m.Estratto, qint16(3));
    QCOMPARE(platform.randomsTaken, 4);
    QCOMPARE(platform.beeps, 0);
}

void TestModulo1::startUpFailures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("cause");
    QTest::addRow("no list") << "none"
                             << "lista.txt"
                             << "file non trovato";
    QTest::addRow("151 words") << "151"
                               << "lista.txt"
                               << "più di 150 parole";
    QTest::addRow("list is a folder") << "folder"
                                      << "lista.txt"
                                      << "cartella";
    QTest::addRow("start picture missing") << "nopicture"
                                           << "jpg/1.jpg"
                                           << "file non trovato";
}

void TestModulo1::startUpFailures()
{
    QFETCH(QString, setup);
    QFETCH(QString, file);
    QFETCH(QString, cause);
    TestFolder folder;
    if (setup == "151") {
        QByteArray bytes;
        for (int i = 1; i <= 151; ++i)
            bytes += "parola" + QByteArray::number(i) + "\r\n";
        folder.writeList(bytes);
    } else if (setup == "folder") {
        QDir(folder.path()).mkdir(QStringLiteral("lista.txt"));
    } else if (setup == "nopicture") {
        folder.writeList("mela\r\n");
    }
    ScriptedPlatform platform;
    TestProgram m(platform);
    try {
        m.Main();
        QFAIL("start-up went on");
    } catch (const ScriptedFatal &fatal) {
        QVERIFY2(fatal.report.contains(folder.path() + QLatin1Char('/') + file),
                 qPrintable(fatal.report));
        QVERIFY2(fatal.report.contains(cause), qPrintable(fatal.report));
    }
    QCOMPARE(m.registry.loadedCount(), 0);
    QVERIFY(m.Parole[150].isEmpty());
}

void TestModulo1::badPictureEndsWithReport_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("cause");
    QTest::addRow("empty file") << QByteArray() << "vuoto";
    QTest::addRow("text") << QByteArray("non sono una foto\n") << "non è un'immagine valida";
    QByteArray jpeg;
    {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::red);
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG");
    }
    QTest::addRow("cut short") << jpeg.left(jpeg.size() - 40) << "troncato";
}

void TestModulo1::badPictureEndsWithReport()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, cause);
    TestFolder folder;
    folder.writeWords({"mela", "gatto"});
    QFile f(folder.path() + "/jpg/2.jpg");
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();

    ScriptedPlatform platform;
    TestProgram m(platform);
    m.Percorso = folder.path();
    m.NumParole = 2;
    PictureBox box(nullptr);
    box.resize(145, 145);
    loadPicture(m, box, 1);
    QCOMPARE(TestFolder::pictureNumberOf(box.picture()), 1);
    try {
        loadPicture(m, box, 2);
        QFAIL("a bad picture was shown");
    } catch (const ScriptedFatal &fatal) {
        QVERIFY2(fatal.report.contains(folder.path() + "/jpg/2.jpg"), qPrintable(fatal.report));
        QVERIFY2(fatal.report.contains(cause), qPrintable(fatal.report));
    }
}

void TestModulo1::pictureFillsItsBox()
{
    // A wide picture is stretched to fill a square box, not fitted inside it.
    TestFolder folder;
    folder.writeList("mela\r\n");
    folder.writePicture(1, 400, 100);
    ScriptedPlatform platform;
    TestProgram m(platform);
    m.Percorso = folder.path();
    PictureBox box(nullptr);
    box.resize(145, 145);
    loadPicture(m, box, 1);
    QCOMPARE(box.picture().size(), QSize(145, 145) * box.devicePixelRatioF());
    QCOMPARE(TestFolder::pictureNumberOf(box.picture()), 1);
    QCOMPARE(box.picture().pixelColor(1, 1), box.picture().pixelColor(143, 143));
}

QTEST_MAIN(TestModulo1)
#include "tst_modulo1.moc"
