// Reading pictures: every kind of file a teacher's folder may hold, as the start-up check and the
// decoder see it; orientation and stretching; the cache against a changing folder and its threads;
// the decoding budget.

#include "pictures/DecodeBudget.h"
#include "pictures/FolderCheck.h"
#include "pictures/PictureCache.h"
#include "pictures/PictureDecoder.h"
#include "pictures/PictureHeader.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestProgram.h"
#include "ui/PictureBox.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QProcess>
#include <QSemaphore>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

#include <optional>
#include <thread>

namespace {

const QSize Box(145, 145);

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

QImage flat(int width = 64, int height = 48)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(TestFolder::pictureColour(2));
    return image;
}

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(DIVEVA_JPEG_CORPUS "/%1.bin").arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The JPEG with the size in its frame header replaced: a huge picture claimed over a few bytes.
QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size() && uchar(jpeg[i]) == 0xFF;
         i += 2 + ((uchar(jpeg[i + 2]) << 8) | uchar(jpeg[i + 3]))) {
        if (uchar(jpeg[i + 1]) == 0xC0 || uchar(jpeg[i + 1]) == 0xC2) {
            const char size[4] = {char(height >> 8), char(height), char(width >> 8), char(width)};
            jpeg.replace(i + 5, 4, size, 4);
            return jpeg;
        }
    }
    qFatal("no frame header in the test JPEG");
}

// A small PNG whose header claims 10000 x 10000, its checksum made right.
QByteArray pngClaimingTenThousand()
{
    QByteArray png = encoded(flat(), "PNG");
    png.replace(16, 8, QByteArray::fromHex("0000271000002710"));
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : png.mid(12, 17))
        for (int k = 0, byte = uchar(c); k < 8; ++k, byte >>= 1)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - ((crc ^ byte) & 1u)));
    crc = ~crc;
    const char bytes[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    png.replace(29, 4, bytes, 4);
    return png;
}

// As cameras and photo editors write them: progressive, colour at full resolution.
QByteArray progressive444(QSize size)
{
    QProcess cjpeg;
    cjpeg.start(QStringLiteral("cjpeg"), {"-sample", "1x1", "-progressive"});
    cjpeg.write(encoded(flat(size.width(), size.height()), "PPM"));
    cjpeg.closeWriteChannel();
    if (!cjpeg.waitForFinished(60000) || cjpeg.exitCode() != 0)
        qFatal("cjpeg failed: scripts/packages.sh installs libjpeg-turbo-progs");
    return cjpeg.readAllStandardOutput();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The kernel's high-water mark of this process's memory, reset to what it holds now.
qint64 peakMemory(bool reset = false)
{
    if (reset) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        clear.open(QIODevice::WriteOnly) && clear.write("5");
    }
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmHWM:");
    return text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ')[0].toLongLong()
           << 10;
}

bool isRed(QColor c) { return c.red() > 200 && c.blue() < 60; }

} // namespace

class TestPictures : public QObject {
    Q_OBJECT
private slots:
    void files_data();
    void files();
    void orientationAndStretch_data();
    void orientationAndStretch();
    void oneDecodeServesEveryBox();
    void cacheFollowsTheFolder();
    void readingInProgressIsAwaited();
    void stopDropsQueuedReading();
    void decodeWaitsForMemory();
    void budgetFromTheMachine_data();
    void budgetFromTheMachine();
};

void TestPictures::files_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kind");  // for what is no plain file
    QTest::addColumn<QString>("cause"); // empty: the picture is shown
    QTest::addColumn<bool>("checked");  // the start-up check, which decodes nothing, sees it
    QTest::addColumn<int>("budgetMiB"); // 0: the machine's budget

    const QString cut = QStringLiteral("l'immagine è incompleta (il file è troncato)");
    const QString tooLarge = QStringLiteral("l'immagine è troppo grande ");
    const QByteArray jpeg = encoded(flat(), "JPEG");
    const QByteArray progressive = fixture("progressive");
    QTest::addRow("zero bytes") << QByteArray() << ""
                                << "il file è vuoto" << true << 0;
    QTest::addRow("text") << QByteArray("Questa non è una foto.\r\n") << ""
                          << "non è un'immagine valida" << true << 0;
    QTest::addRow("cut short in the header")
        << jpeg.left(100) << ""
        << "non è un'immagine valida (l'intestazione JPEG non si legge)" << true << 0;
    const QByteArray noisy = jpegBytes(noisyImage(QSize(200, 150), 2), 90);
    QTest::addRow("cut short") << noisy.left(noisy.size() / 2) << "" << cut << true << 0;
    QTest::addRow("progressive, cut short")
        << progressive.left(progressive.size() * 6 / 10) << "" << cut << true << 0;
    QTest::addRow("larger than 64 MiB") << QByteArray() << "huge"
                                        << "il file è troppo grande (67108865 byte, al massimo "
                                           "67108864)"
                                        << true << 0;
    QTest::addRow("named pipe") << QByteArray() << "pipe"
                                << "non è un file normale (è una pipe con nome)" << true << 0;
    QTest::addRow("link to a device") << QByteArray() << "device"
                                      << "non è un file normale (è un dispositivo)" << true << 0;
    QTest::addRow("header claims 30000 x 30000")
        << withClaimedSize(jpeg, 30000, 30000) << ""
        << tooLarge + "(30000 x 30000 pixel, al massimo 250 milioni di pixel)" << true << 0;
    QTest::addRow("progressive claims 12000 x 12000, budget 128 MiB")
        << withClaimedSize(progressive, 12000, 12000) << ""
        << tooLarge
               + "(12000 x 12000 pixel: per mostrarla servirebbero 428 MB di memoria, al "
                 "massimo 128 MB)"
        << true << 128;
    QTest::addRow("PNG claims 10000 x 10000, budget 128 MiB")
        << pngClaimingTenThousand() << ""
        << tooLarge
               + "(10000 x 10000 pixel: per mostrarla servirebbero 763 MB di memoria, al "
                 "massimo 128 MB)"
        << true << 128;
    QTest::addRow("1000 empty scans") << manyScanJpeg(QSize(4000, 3000), 1000) << ""
                                      << "non è un'immagine valida (JPEG progressivo con più di "
                                         "40 scansioni)"
                                      << false << 0;
    // Refused for memory when each picture had a fixed 128 MiB.
    QTest::addRow("progressive 6000 x 4000, 4:4:4") << progressive444(QSize(6000, 4000)) << ""
                                                    << "" << true << 0;
    QTest::addRow("PNG named .jpg") << encoded(flat(), "PNG") << ""
                                    << "" << true << 0;
    QTest::addRow("data after the end of the image")
        << jpeg + QByteArray(300, '\0') + "\xFF\xDA video"
        << ""
        << "" << true << 0;
    for (const char *name : {"arithmetic", "baseline-420", "cmyk", "grayscale", "grey-restarts",
                             "progressive-444", "progressive", "restart", "separate-scans"})
        QTest::addRow("%s", name) << fixture(name) << ""
                                  << "" << true << 0;
}

void TestPictures::files()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kind);
    QFETCH(QString, cause);
    QFETCH(bool, checked);
    QFETCH(int, budgetMiB);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.jpg"));
    if (kind == "pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "device")
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    else if (kind == "huge") { // sparse: nothing is written
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(MaxPictureFileBytes + 1));
    } else
        writeFile(path, bytes);
    DecodeBudget small(qint64(budgetMiB) << 20);
    DecodeBudget &budget = budgetMiB ? small : DecodeBudget::shared();

    // A bomb is refused from its header, before anything large is allocated.
    const qint64 before = peakMemory(true);
    QCOMPARE(pictureFileProblem(path, budget), checked ? cause : QString());
    const PictureResult decoded = decodePicture(path, Box, budget);
    QCOMPARE(decoded.cause, cause);
    if (!cause.isEmpty())
        QVERIFY2(peakMemory() - before < (32 << 20), qPrintable(QString::number(peakMemory())));
    else
        QCOMPARE(decoded.image.size(), Box);
}

void TestPictures::orientationAndStretch_data()
{
    QTest::addColumn<int>("orientation"); // EXIF: 6 turns clockwise, 8 counter-clockwise
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QString>("top"); // the colour of the shown picture's upper left corner
    QTest::addRow("upright, wide picture stretched to a square")
        << 1 << QSize(400, 100) << Box << "red";
    QTest::addRow("turned clockwise") << 6 << QSize(60, 30) << QSize(30, 60) << "red";
    QTest::addRow("turned counter-clockwise") << 8 << QSize(60, 30) << QSize(121, 129) << "blue";
}

void TestPictures::orientationAndStretch()
{
    QFETCH(int, orientation);
    QFETCH(QSize, stored);
    QFETCH(QSize, box);
    QFETCH(QString, top);
    // Red on the left half as stored, blue on the right.
    QImage image(stored, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width() / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    QByteArray jpeg = jpegBytes(image, 95);
    if (orientation != 1)
        jpeg = withExifOrientation(jpeg, orientation);
    const PictureResult shown = decodePictureData(jpeg, box);
    QVERIFY2(shown.ok(), qPrintable(shown.cause));
    QCOMPARE(shown.image.size(), box);
    const QColor corner = shown.image.pixelColor(box.width() / 8, box.height() / 8);
    const QColor across = shown.image.pixelColor(box.width() * 7 / 8, box.height() * 7 / 8);
    QCOMPARE(isRed(corner) ? "red" : "blue", top);
    QVERIFY(isRed(across) != isRed(corner));
}

void TestPictures::oneDecodeServesEveryBox()
{
    // Each box gets what a direct read at its size gives.
    TestFolder folder;
    const QString path = folder.path() + "/jpg/1.jpg";
    writeFile(path, jpegBytes(noisyImage(QSize(2400, 1800), 5), 90));
    PictureCache cache;
    const QList<QSize> boxes = {{145, 145}, {153, 161}, {121, 129}};
    cache.warmUp({path}, boxes);
    cache.waitForWarmUp();
    for (QSize box : boxes)
        QVERIFY(cache.load(path, box).image == decodePicture(path, box).image);
    QCOMPARE(cache.decodeCount(), 1);
}

void TestPictures::cacheFollowsTheFolder()
{
    // Each use looks at the file: a picture replaced, written over, cut short or removed after
    // start-up is read again, and a bad one ends the program with the cause when it is shown.
    TestFolder folder;
    folder.writePictures(3);
    const QString path = folder.path() + "/jpg/1.jpg";
    ScriptedPlatform platform;
    PictureCache cache;
    platform.pictureCache = &cache;
    TestProgram m(platform);
    m.Percorso = folder.path();
    PictureBox box(nullptr);
    box.resize(121, 129);
    const auto shown = [&] {
        loadPicture(m, box, 1);
        return TestFolder::pictureNumberOf(box.picture());
    };
    QCOMPARE(shown(), 1);
    QCOMPARE(shown(), 1);
    QCOMPARE(cache.decodeCount(), 1);
    QVERIFY(QFile::remove(path) && QFile::rename(folder.path() + "/jpg/2.jpg", path));
    QCOMPARE(shown(), 2);
    folder.writePicture(1, 64, 48); // in place, another length
    QCOMPARE(shown(), 1);
    QCOMPARE(cache.decodeCount(), 3);

    const QByteArray whole = jpegBytes(noisyImage(QSize(200, 150), 2), 90);
    for (const QByteArray &bytes : {whole.left(whole.size() / 2), QByteArray()}) {
        if (bytes.isEmpty())
            QVERIFY(QFile::remove(path));
        else
            writeFile(path, bytes);
        try {
            shown();
            QFAIL("a bad picture was shown from the cache");
        } catch (const ScriptedFatal &fatal) {
            QCOMPARE(fatal.report,
                     QStringLiteral("Impossibile mostrare l'immagine 1.\n\nFile: "
                                    "%1\nCausa: %2.")
                         .arg(path, bytes.isEmpty() ? "file non trovato"
                                                    : "l'immagine è incompleta (il file è "
                                                      "troncato)"));
        }
    }
}

void TestPictures::readingInProgressIsAwaited()
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
    started.acquire();
    PictureResult onScreen;
    std::thread screen([&] { onScreen = cache.load(path, QSize(121, 129)); });
    // The screen's load must wait (or, wrongly, read the picture a second time).
    QTRY_VERIFY(cache.waitingLoads() == 1 || calls.load() == 2);
    release.release();
    screen.join();
    QCOMPARE(calls.load(), 1);
    QCOMPARE(TestFolder::pictureNumberOf(onScreen.image), 1);
}

void TestPictures::stopDropsQueuedReading()
{
    // Ending the program while workers read: the queue is dropped, the reads in progress are
    // waited for, and a screen can still load afterwards, in its own thread.
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
    QCOMPARE(TestFolder::pictureNumberOf(cache.load(paths[9], QSize(121, 129)).image), 10);
}

void TestPictures::decodeWaitsForMemory()
{
    // Two decodes in a budget that holds one and a half: the second waits for the first to give
    // its memory back, then succeeds.
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    QVERIFY(writer.write(flat(2000, 1500)));
    buffer.close();
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const qint64 need = readPictureHeader(buffer).decodeBytes;
    DecodeBudget budget(need * 3 / 2);
    std::optional<DecodeBudget::Reservation> first = budget.reserve(need);
    PictureResult second;
    std::thread decoding([&] { second = decodePictureData(jpeg, Box, budget); });
    QTRY_COMPARE(budget.waiting(), 1);
    first.reset();
    decoding.join();
    QVERIFY2(second.ok(), qPrintable(second.cause));
    QCOMPARE(budget.peakReserved(), need);
}

void TestPictures::budgetFromTheMachine_data()
{
    QTest::addColumn<int>("physicalGiB");
    QTest::addColumn<int>("budgetMiB");
    QTest::addRow("1 GiB machine: the floor") << 1 << 512;
    QTest::addRow("4 GiB machine: a quarter") << 4 << 1024;
    QTest::addRow("24 GiB machine: the ceiling") << 24 << 2048;
}

void TestPictures::budgetFromTheMachine()
{
    QFETCH(int, physicalGiB);
    QFETCH(int, budgetMiB);
    QCOMPARE(DecodeBudget::sizedFor(qint64(physicalGiB) << 30), qint64(budgetMiB) << 20);
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
