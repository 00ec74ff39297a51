#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"
#include "core/Modulo1.h"
#include "exercises/FormTrova.h"
#include "exercises/FormTrova2.h"
#include "pictures/PictureCache.h"
#include "pictures/PictureDecoder.h"
#include "pictures/PictureHeader.h"
#include "screens/FormAvvio.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestProgram.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

#include <QDir>
#include <QFile>
#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QSemaphore>
#include <QTest>

#include <optional>
#include <thread>

namespace {

const QList<QSize> BoxSizes = {{145, 145}, {153, 161}, {121, 129}};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Red on the left half, blue on the right, as stored in the file.
QByteArray halvesJpeg(QSize size, int orientation)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    const QByteArray jpeg = jpegBytes(image, 95);
    return orientation == 1 ? jpeg : withExifOrientation(jpeg, orientation);
}

bool isRed(QColor c) { return c.red() > 200 && c.blue() < 60; }
bool isBlue(QColor c) { return c.blue() > 200 && c.red() < 60; }

// What the screens showed: per question the drawn number, the words and the pictures.
struct Session {
    QStringList shown;
    QList<QImage> pictures;
    int randomsTaken = 0;
};

Session playSession(PictureCache *cache)
{
    ScriptedPlatform platform;
    platform.pictureCache = cache;
    TestProgram m(platform);
    m.Main();
    if (cache)
        cache->waitForWarmUp();
    const int decodesBefore = cache ? cache->decodeCount() : 0;
    Session s;
    for (PictureBox *box :
         qobject_cast<FormAvvio *>(m.registry.loaded(ScreenId::FormAvvio))->Image1)
        s.pictures << box->picture();
    auto *trova = qobject_cast<FormTrova *>((m.registry.show(ScreenId::FormTrova), m.registry.loaded(ScreenId::FormTrova)));
    auto *trova2 = qobject_cast<FormTrova2 *>((m.registry.show(ScreenId::FormTrova2), m.registry.loaded(ScreenId::FormTrova2)));
    for (int q = 0; q < 8; ++q) {
        trova->GeneraEsercizio();
        QString line = QString::number(m.Estratto);
        for (ClickLabel *label : trova->Label1)
            line += QLatin1Char(' ') + label->text();
        s.pictures << trova->Image1->picture();
        trova2->GeneraEsercizio();
        line += QStringLiteral(" | %1 %2 %3")
                    .arg(m.Estratto)
                    .arg(trova2->PosizioneGiusta)
                    .arg(trova2->Label1->text());
        for (PictureBox *box : trova2->Image1) {
            line += QLatin1Char(' ') + QString::number(TestFolder::pictureNumberOf(box->picture()));
            s.pictures << box->picture();
        }
        s.shown << line;
    }
    s.randomsTaken = platform.randomsTaken;
    if (cache && cache->decodeCount() != decodesBefore)
        s.shown << QStringLiteral("decoded on a click after the reading ahead");
    return s;
}

} // namespace

class TestPictureCache : public QObject {
    Q_OBJECT
private slots:
    void orientation_data();
    void orientation();
    void stretchedToTheBox();
    void qualityAgainstFullDecode_data();
    void qualityAgainstFullDecode();
    void sameAsDirectRead();
    void replacedFileIsReadAgain();
    void removedFileFails();
    void badPictureReportedOnlyWhenLoaded();
    void readingInProgressIsAwaited();
    void decodeWaitsForMemory();
    void budgetFromTheMachine_data();
    void budgetFromTheMachine();
    void startPicturesReadOnceEach();
    void stopDropsQueuedReading();
    void questionsSameWithCache();
    void readAheadMatchesTheScreens();
};

void TestPictureCache::orientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QString>("first"); // colour at the top (turned) or left (upright)
    QTest::addRow("upright") << 1 << QSize(60, 30) << "red";
    QTest::addRow("orientation 6, to its box") << 6 << QSize(30, 60) << "red";
    QTest::addRow("orientation 6, square box") << 6 << QSize(145, 145) << "red";
    QTest::addRow("orientation 8") << 8 << QSize(121, 129) << "blue";
}

void TestPictureCache::orientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, box);
    QFETCH(QString, first);
    TestFolder folder;
    const QString path = folder.path() + "/jpg/1.jpg";
    writeFile(path, halvesJpeg(QSize(1600, 800), orientation));
    PictureCache cache;
    for (const PictureResult &r : {decodePicture(path, box), cache.load(path, box)}) {
        QVERIFY2(r.ok(), qPrintable(r.cause));
        QCOMPARE(r.image.size(), box);
        const bool turned = orientation != 1;
        const QColor a = turned ? r.image.pixelColor(box.width() / 2, box.height() / 5)
                                : r.image.pixelColor(box.width() / 5, box.height() / 2);
        const QColor b = turned ? r.image.pixelColor(box.width() / 2, box.height() * 4 / 5)
                                : r.image.pixelColor(box.width() * 4 / 5, box.height() / 2);
        QVERIFY(first == "red" ? isRed(a) && isBlue(b) : isBlue(a) && isRed(b));
    }
}

void TestPictureCache::stretchedToTheBox()
{
    // A wide picture fills a tall box: stretched, neither cut nor fitted inside.
    TestFolder folder;
    const QString path = folder.path() + "/jpg/1.jpg";
    writeFile(path, halvesJpeg(QSize(400, 100), 1));
    PictureCache cache;
    for (QSize box : {QSize(121, 129), QSize(306, 322), QSize(153, 161)}) {
        const PictureResult r = cache.load(path, box);
        QCOMPARE(r.image.size(), box);
        QVERIFY(isRed(r.image.pixelColor(box.width() / 5, 2)));
        QVERIFY(isRed(r.image.pixelColor(box.width() / 5, box.height() - 3)));
        QVERIFY(isBlue(r.image.pixelColor(box.width() * 4 / 5, box.height() / 2)));
    }
}

void TestPictureCache::qualityAgainstFullDecode_data()
{
    QTest::addColumn<QSize>("box");
    for (int dpr = 1; dpr <= 2; ++dpr)
        for (QSize s : BoxSizes)
            QTest::addRow("%dx%d", s.width() * dpr, s.height() * dpr) << s * dpr;
}

void TestPictureCache::qualityAgainstFullDecode()
{
    // Reading at reduced scale stays as smooth as a full decode followed by a smooth scale.
    QFETCH(QSize, box);
    static const QByteArray jpeg = jpegBytes(photoLikeImage(QSize(2400, 1800), 3), 90);
    static const QImage full = QImage::fromData(jpeg).convertToFormat(QImage::Format_RGB32);
    const QImage reference = full.scaled(box, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const PictureResult scaled = decodePictureData(jpeg, box);
    QCOMPARE(scaled.image.size(), box);
    const double db = psnr(scaled.image, reference);
    QVERIFY2(db > 40, qPrintable(QStringLiteral("PSNR %1 dB").arg(db)));
}

void TestPictureCache::sameAsDirectRead()
{
    // One read serves every box: each image is the one a direct read at that size gives.
    TestFolder folder;
    const QString path = folder.path() + "/jpg/1.jpg";
    writeFile(path, withExifOrientation(jpegBytes(photoLikeImage(QSize(2400, 1800), 5), 90), 6));
    PictureCache cache;
    cache.warmUp({path}, BoxSizes);
    cache.waitForWarmUp();
    for (QSize box : BoxSizes) {
        const PictureResult cached = cache.load(path, box);
        const PictureResult direct = decodePicture(path, box);
        QCOMPARE(cached.image.size(), box);
        QCOMPARE(cached.image.format(), direct.image.format());
        QVERIFY(cached.image == direct.image);
    }
    QCOMPARE(cache.decodeCount(), 1);
}

void TestPictureCache::replacedFileIsReadAgain()
{
    TestFolder folder;
    folder.writePictures(2);
    const QString path = folder.path() + "/jpg/1.jpg";
    PictureCache cache;
    QCOMPARE(TestFolder::pictureNumberOf(cache.load(path, QSize(121, 129)).image), 1);
    QCOMPARE(TestFolder::pictureNumberOf(cache.load(path, QSize(121, 129)).image), 1);
    QCOMPARE(cache.decodeCount(), 1);

    // Replaced by another file of the same size (a new inode): read again.
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(folder.path() + "/jpg/2.jpg", path));
    QCOMPARE(TestFolder::pictureNumberOf(cache.load(path, QSize(121, 129)).image), 2);
    QCOMPARE(cache.decodeCount(), 2);

    // Written over in place with other content and length: read again.
    const qint64 before = QFileInfo(path).size();
    folder.writePicture(1, 64, 48);
    QVERIFY(QFileInfo(path).size() != before);
    QCOMPARE(TestFolder::pictureNumberOf(cache.load(path, QSize(121, 129)).image), 1);
    QCOMPARE(cache.decodeCount(), 3);
}

void TestPictureCache::removedFileFails()
{
    TestFolder folder;
    folder.writeWords({"mela", "gatto"});
    ScriptedPlatform platform;
    PictureCache cache;
    platform.pictureCache = &cache;
    TestProgram m(platform);
    m.Percorso = folder.path();
    m.NumParole = 2;
    PictureBox box(nullptr);
    box.resize(121, 129);
    loadPicture(m, box, 2);
    QCOMPARE(TestFolder::pictureNumberOf(box.picture()), 2);
    QVERIFY(QFile::remove(folder.path() + "/jpg/2.jpg"));
    try {
        loadPicture(m, box, 2);
        QFAIL("a removed picture was shown from the cache");
    } catch (const ScriptedFatal &fatal) {
        QVERIFY2(fatal.report.contains(folder.path() + "/jpg/2.jpg"), qPrintable(fatal.report));
        QVERIFY2(fatal.report.contains("file non trovato"), qPrintable(fatal.report));
    }
}

void TestPictureCache::badPictureReportedOnlyWhenLoaded()
{
    TestFolder folder;
    folder.writePictures(3);
    folder.writePicture(2, 400, 300);
    const QString bad = folder.path() + "/jpg/2.jpg";
    QFile file(bad);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    writeFile(bad, whole.left(whole.size() - 40));

    PictureCache cache;
    QStringList paths;
    for (int n = 1; n <= 3; ++n)
        paths << folder.path() + QStringLiteral("/jpg/%1.jpg").arg(n);
    cache.warmUp(paths, {QSize(121, 129)});
    cache.waitForWarmUp(); // a failure in the background stops nothing
    QCOMPARE(cache.decodeCount(), 3);
    const PictureResult r = cache.load(bad, QSize(121, 129));
    QVERIFY(!r.ok());
    QVERIFY2(r.cause.contains("troncato"), qPrintable(r.cause));
    QCOMPARE(cache.decodeCount(), 3); // the failure was kept with the file's stamp
    QVERIFY(cache.load(paths[2], QSize(121, 129)).ok());
}

void TestPictureCache::readingInProgressIsAwaited()
{
    TestFolder folder;
    folder.writePictures(1);
    const QString path = folder.path() + "/jpg/1.jpg";
    QSemaphore started, release;
    std::atomic<int> calls{0};
    PictureCache cache(1, [&](const QString &p, const QList<QSize> &sizes) {
        if (calls++ == 0) { // the first read holds until the test lets it go
            started.release();
            release.acquire();
        }
        return decodePictureSizes(p, sizes);
    });
    cache.warmUp({path}, {QSize(121, 129)});
    started.acquire(); // a worker is reading the picture now
    PictureResult onScreen;
    std::thread screen([&] { onScreen = cache.load(path, QSize(121, 129)); });
    // The screen's load must wait (or, wrongly, read the picture a second time).
    QTRY_VERIFY(cache.waitingLoads() == 1 || calls.load() == 2);
    release.release();
    screen.join();
    QCOMPARE(calls.load(), 1);
    QCOMPARE(TestFolder::pictureNumberOf(onScreen.image), 1);
}

void TestPictureCache::decodeWaitsForMemory()
{
    // Two decodes of a progressive photo in a budget that holds one and a half: the second waits
    // for the first to give its memory back, then succeeds.
    QImage image(2000, 1500, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    QVERIFY(writer.write(image));
    buffer.close();
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const qint64 need = readPictureHeader(buffer).decodeBytes;
    DecodeBudget budget(need * 3 / 2);

    std::optional<DecodeBudget::Reservation> first = budget.reserve(need);
    PictureResult second;
    std::atomic<bool> done{false};
    std::thread decoding([&] {
        second = decodePictureData(jpeg, QSize(145, 145), budget);
        done = true;
    });
    QTRY_COMPARE(budget.waiting(), 1);
    QVERIFY(!done);
    first.reset();
    decoding.join();
    QVERIFY2(second.ok(), qPrintable(second.cause));
    QVERIFY(isRed(second.image.pixelColor(72, 72)));
    QCOMPARE(budget.peakReserved(), need);
}

void TestPictureCache::budgetFromTheMachine_data()
{
    QTest::addColumn<int>("physicalGiB");
    QTest::addColumn<int>("budgetMiB");
    QTest::addRow("1 GiB machine: the floor") << 1 << 512;
    QTest::addRow("4 GiB machine: a quarter") << 4 << 1024;
    QTest::addRow("24 GiB machine: the ceiling") << 24 << 2048;
}

void TestPictureCache::budgetFromTheMachine()
{
    QFETCH(int, physicalGiB);
    QFETCH(int, budgetMiB);
    QCOMPARE(DecodeBudget::sizedFor(qint64(physicalGiB) << 30), qint64(budgetMiB) << 20);
}

void TestPictureCache::startPicturesReadOnceEach()
{
    // The start screen's four pictures are read together; one drawn twice is read once.
    TestFolder folder;
    folder.writePictures(10);
    ScriptedPlatform platform;
    PictureCache cache;
    platform.pictureCache = &cache;
    TestProgram m(platform);
    m.Percorso = folder.path();
    m.NumParole = 10;
    QWidget screen;
    QList<PictureBox *> boxes;
    for (int i = 0; i < 4; ++i) {
        boxes << new PictureBox(&screen);
        boxes.last()->resize(145, 145);
    }
    const QList<int> numbers{1, 6, 1, 3};
    loadPictures(m, boxes, numbers);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(TestFolder::pictureNumberOf(boxes[i]->picture()), numbers[i]);
    cache.waitForWarmUp();
    QCOMPARE(cache.decodeCount(), 3);
}

void TestPictureCache::stopDropsQueuedReading()
{
    // Ending the program while workers read: what is queued is dropped, the reads in progress
    // are waited for, and nothing runs afterwards.
    TestFolder folder;
    folder.writePictures(20);
    QStringList paths;
    for (int n = 1; n <= 20; ++n)
        paths << folder.path() + QStringLiteral("/jpg/%1.jpg").arg(n);
    QSemaphore started, release;
    std::atomic<int> calls{0};
    const int threads = qMin(2, QThread::idealThreadCount());
    PictureCache cache(threads, [&](const QString &p, const QList<QSize> &sizes) {
        ++calls;
        started.release();
        release.acquire();
        return decodePictureSizes(p, sizes);
    });
    cache.warmUp(paths, {QSize(121, 129)});
    started.acquire(threads);
    std::thread ending([&] { cache.stop(); });
    QTRY_COMPARE(cache.queuedCount(), 0);
    release.release(20);
    ending.join();
    QCOMPARE(calls.load(), threads);
    // A screen can still load afterwards, in its own thread.
    QCOMPARE(TestFolder::pictureNumberOf(cache.load(paths[9], QSize(121, 129)).image), 10);
}

void TestPictureCache::questionsSameWithCache()
{
    // Same pictures, same words, same random numbers taken, with or without the cache.
    TestFolder folder;
    folder.writeWords(
        {"mela", "gatto", "cane", "sole", "luna", "casa", "albero", "fiore", "treno", "libro"});
    const Session direct = playSession(nullptr);
    PictureCache cache;
    const Session cached = playSession(&cache);
    QCOMPARE(cached.shown, direct.shown);
    QCOMPARE(cached.randomsTaken, direct.randomsTaken);
    QCOMPARE(cached.pictures.size(), direct.pictures.size());
    for (qsizetype i = 0; i < direct.pictures.size(); ++i)
        QVERIFY2(cached.pictures[i] == direct.pictures[i], qPrintable(QString::number(i)));
}

void TestPictureCache::readAheadMatchesTheScreens()
{
    TestFolder folder;
    folder.writeWords({"mela", "gatto", "cane", "sole", "luna", "casa", "albero"});
    ScriptedPlatform platform;
    TestProgram m(platform);
    m.Main();
    // After the start screen's pictures, every picture of the list, at the exercises' sizes.
    QCOMPARE(platform.log.last(), QStringLiteral("prepare:7"));
    QCOMPARE(platform.log.count(QStringLiteral("prepare:7")), 1);
    QCOMPARE(platform.preparedPaths.size(), 7);
    for (int n = 1; n <= 7; ++n)
        QCOMPARE(platform.preparedPaths[n - 1],
                 folder.path() + QStringLiteral("/jpg/%1.jpg").arg(n));
    const qreal dpr = m.registry.loaded(ScreenId::FormAvvio)->devicePixelRatioF();
    QList<QSize> boxes;
    for (QWidget *w : (m.registry.show(ScreenId::FormTrova), m.registry.loaded(ScreenId::FormTrova))->findChildren<PictureBox *>())
        boxes << devicePixels(w->size(), dpr);
    for (QWidget *w : (m.registry.show(ScreenId::FormTrova2), m.registry.loaded(ScreenId::FormTrova2))->findChildren<PictureBox *>())
        boxes << devicePixels(w->size(), dpr);
    QCOMPARE(boxes.size(), 7);
    for (QSize box : boxes)
        QVERIFY2(platform.preparedSizes.contains(box),
                 qPrintable(QStringLiteral("%1x%2").arg(box.width()).arg(box.height())));
    QCOMPARE(platform.preparedSizes.size(), 2);
}

QTEST_MAIN(TestPictureCache)
#include "tst_picturecache.moc"
