// Reading pictures: every kind of file a teacher's folder may hold, as the start-up check and the
// decoder see it, orientation and stretching included; the cache against a changing folder, its
// threads and the entries it keeps on disk between runs; the decoding budget.

#include "pictures/DecodeBudget.h"
#include "pictures/FolderCheck.h"
#include "pictures/PictureCache.h"
#include "pictures/PictureDecoder.h"
#include "pictures/PictureHeader.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestProgram.h"
#include "ui/PictureBox.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTest>

#include <optional>
#include <thread>

namespace {

const QSize Box(145, 145);

// A seed of the JPEG fuzzer (*.bin: the file, then a byte that picks the fuzzer's scale) or a
// file of fixtures/. tests/pictures/fixtures/README.md says how each was made.
QByteArray fixture(const QString &name)
{
    const bool seed = name.endsWith(".bin");
    QFile file(seed ? DIVEVA_JPEG_CORPUS "/" + name : QFINDTESTDATA("fixtures/" + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return seed ? file.readAll().chopped(1) : file.readAll();
}

// The kernel's high-water mark of this process's memory, reset to what it holds now.
qint64 peakMemory(bool reset = false)
{
    QFile clear(QStringLiteral("/proc/self/clear_refs")),
        status(QStringLiteral("/proc/self/status"));
    if (reset && clear.open(QIODevice::WriteOnly))
        clear.write("5");
    status.open(QIODevice::ReadOnly);
    const auto kib = QRegularExpression("VmHWM:\\s*(\\d+)").match(status.readAll()).captured(1);
    return kib.toLongLong() << 10;
}

QString hue(const QImage &i, int x) { return i.pixelColor(x, 18).red() > 200 ? "red" : "blue"; }

} // namespace

// A file's bytes ("/dev/zero": a link to that device), the cause it is refused for (empty: it is
// shown), whether the start-up check, which decodes nothing, sees that, the decoding budget in MiB
// (0: the machine's) and the colours of the shown picture's upper corners, left and right.
using PictureFile = std::tuple<QByteArray, QString, bool, int, QString>;

class TestPictures : public QObject {
    Q_OBJECT

    enum DiskState { Hit, NewTime, Renamed, FlippedByte, CannotBeMade };

private slots:
    void files_data()
    {
        QTest::addColumn<PictureFile>("file");
        const auto row = [](const char *name, const QByteArray &bytes, const QString &cause,
                            bool checked = true, int budgetMiB = 0, const char *top = "") {
            QTest::newRow(name) << PictureFile{bytes, cause, checked, budgetMiB, top};
        };
        const QString tooLarge = QStringLiteral("l'immagine è troppo grande (");
        const QString by128 = QStringLiteral(" MB di memoria, al massimo 128 MB)");
        const QByteArray progressive = fixture("progressive.bin");
        row("zero bytes", "", "il file è vuoto");
        row("text", "Questa non è una foto.\r\n", "non è un'immagine valida");
        row("link to a device", "/dev/zero", "non è un file normale (è un dispositivo)");
        row("cut short in the header", progressive.left(100),
            "non è un'immagine valida (l'intestazione JPEG non si legge)");
        row("progressive, cut short", progressive.left(progressive.size() * 6 / 10),
            "l'immagine è incompleta (il file è troncato)");
        row("header claims 30000 x 30000", fixture("claims-30000x30000.bin"),
            tooLarge + "30000 x 30000 pixel, al massimo 250 milioni di pixel)");
        row("progressive claims 12000 x 12000, budget 128 MiB",
            fixture("progressive-claims-12000x12000.bin"),
            tooLarge + "12000 x 12000 pixel: per mostrarla servirebbero 448" + by128, true, 128);
        row("PNG claims 10000 x 10000, budget 128 MiB", fixture("claims-10000x10000.png"),
            tooLarge + "10000 x 10000 pixel: per mostrarla servirebbero 763" + by128, true, 128);
        // Ends as a whole file does: only the decoder sees it.
        row("50 empty scans", fixture("many-scans.bin"),
            "non è un'immagine valida (JPEG progressivo con più di 40 scansioni)", false);
        // Refused for memory when each picture had a fixed 128 MiB.
        row("progressive 6000 x 4000, 4:4:4", fixture("progressive-444-6000x4000.bin"), "");
        row("PNG named .jpg", fixture("flat.png"), "");
        row("data after the end of the image", fixture("trailing.bin"), "");
        row("grayscale", fixture("grayscale.bin"), "");
        row("CMYK", fixture("cmyk.bin"), "");
        // Red on the left half as stored, blue on the right; EXIF 6 turns it clockwise, 8 counter-.
        row("wide, stretched to a square", fixture("halves.bin"), "", true, 0, "red blue");
        row("EXIF 6: turned clockwise", fixture("halves-exif-6.bin"), "", true, 0, "red red");
        row("EXIF 8: counter-clockwise", fixture("halves-exif-8.bin"), "", true, 0, "blue blue");
    }

    void files()
    {
        QFETCH(PictureFile, file);
        const auto &[bytes, cause, checked, budgetMiB, top] = file;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("2.jpg"));
        QVERIFY(bytes == "/dev/zero" ? QFile::link("/dev/zero", path) : writeFile(path, bytes));
        DecodeBudget budget(budgetMiB ? qint64(budgetMiB) << 20 : DecodeBudget::shared().total());

        // A bomb is refused from its header, before anything large is allocated.
        const qint64 before = peakMemory(true);
        QCOMPARE(pictureFileProblem(path, budget), checked ? cause : QString());
        const PictureResult decoded = decodePicture(path, Box, budget);
        QCOMPARE(decoded.cause, cause);
        if (!cause.isEmpty())
            QVERIFY2(peakMemory() - before < (32 << 20), qPrintable(QString::number(peakMemory())));
        else
            QCOMPARE(decoded.image.size(), Box);
        if (!top.isEmpty()) // an eighth in from each side
            QCOMPARE(hue(decoded.image, 18) + ' ' + hue(decoded.image, 127), top);
    }

    void oneDecodeServesEveryBox()
    {
        // Each box gets what a direct read at its size gives.
        TestFolder folder;
        const QString path = folder.path() + "/jpg/1.jpg";
        QVERIFY(writeFile(path, jpegBytes(noisyImage(QSize(2400, 1800), 5), 90)));
        PictureCache cache;
        const QList<QSize> boxes = {{145, 145}, {153, 161}, {121, 129}};
        cache.warmUp({path}, boxes);
        cache.waitForWarmUp();
        for (QSize box : boxes)
            QVERIFY(cache.load(path, box).image == decodePicture(path, box).image);
        QCOMPARE(cache.decodeCount(), 1);
    }

    void memoryCap()
    {
        // Past the cap, the pictures used least recently leave memory: here two fit.
        TestFolder folder;
        folder.writePictures(3);
        PictureCache cache(1, {}, 90000);
        const auto load = [&](int n) {
            const QString path = folder.path() + QStringLiteral("/jpg/%1.jpg").arg(n);
            return TestFolder::pictureNumberOf(cache.load(path, QSize(100, 100)).image);
        };
        QCOMPARE(load(1) + load(2) + load(1) + load(3), 7); // 2 goes, used less recently than 1
        QCOMPARE(cache.heldBytes(), 80000);
        QCOMPARE(load(1), 1);
        QCOMPARE(cache.decodeCount(), 3); // 1 still held
        QCOMPARE(load(2), 2);
        QCOMPARE(cache.decodeCount(), 4);
    }

    void cacheFollowsTheFolder()
    {
        // Each use looks at the file: a picture replaced, cut short or removed after
        // start-up is read again, and a bad one ends the program with the cause when it is shown.
        TestFolder folder;
        folder.writePictures(2);
        const QString path = folder.path() + "/jpg/1.jpg";
        ScriptedPlatform platform;
        PictureCache cache;
        platform.pictureCache = &cache;
        TestProgram m(platform);
        m.Percorso = folder.path();
        PictureBox box(nullptr);
        box.resize(121, 129);
        const auto shown = [&] { // the picture's number, or the report that ends the program
            try {
                loadPicture(m, box, 1);
            } catch (const QString &report) {
                return report;
            }
            return QString::number(TestFolder::pictureNumberOf(box.picture()));
        };
        QCOMPARE(shown(), "1");
        QCOMPARE(shown(), "1");
        QCOMPARE(cache.decodeCount(), 1);
        QVERIFY(QFile::remove(path) && QFile::rename(folder.path() + "/jpg/2.jpg", path));
        QCOMPARE(shown(), "2");
        QCOMPARE(cache.decodeCount(), 2);
        const QString fatal =
            "Impossibile mostrare l'immagine 1.\n\nFile: " + path + "\nCausa: %1.";
        const QByteArray whole = fixture("progressive.bin");
        QVERIFY(writeFile(path, whole.left(whole.size() / 2)));
        QCOMPARE(shown(), fatal.arg("l'immagine è incompleta (il file è troncato)"));
        QVERIFY(QFile::remove(path));
        QCOMPARE(shown(), fatal.arg("file non trovato"));
    }

    void heldReads()
    {
        // The workers' reads hold until the test lets them go. A screen that asks for a picture
        // being read waits for that read rather than reading it twice; ending the program drops
        // the queue and waits for the reads in progress; a screen can still load afterwards.
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
        PictureResult onScreen;
        std::thread screen([&] { onScreen = cache.load(paths[0], QSize(121, 129)); });
        // The screen's load must wait (or, wrongly, read the picture a second time).
        QTRY_VERIFY(cache.waitingLoads() == 1 || calls.load() > threads);
        std::thread ending([&] { cache.stop(); });
        QTRY_COMPARE(cache.queuedCount(), 0);
        release.release(20);
        screen.join();
        ending.join();
        QCOMPARE(calls.load(), threads);
        QCOMPARE(TestFolder::pictureNumberOf(onScreen.image), 1);
        QCOMPARE(TestFolder::pictureNumberOf(cache.load(paths[9], QSize(121, 129)).image), 10);
    }

    void decodeWaitsForMemory()
    {
        // Two decodes in a budget that holds one and a half: the second waits for the first to give
        // its memory back, then succeeds.
        QBuffer buffer;
        buffer.setData(fixture("progressive.bin"));
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const qint64 need = readPictureHeader(buffer).decodeBytes;
        DecodeBudget budget(need * 3 / 2);
        std::optional<DecodeBudget::Reservation> first = budget.reserve(need);
        PictureResult second;
        std::thread decoding([&] { second = decodePictureData(buffer.data(), Box, budget); });
        QTRY_COMPARE(budget.waiting(), 1);
        first.reset();
        decoding.join();
        QVERIFY2(second.ok(), qPrintable(second.cause));
        QCOMPARE(budget.peakReserved(), need);
    }

    void budgetFromTheMachine()
    {
        // A quarter of the machine's memory, at least 512 MiB and at most 2 GiB.
        QCOMPARE(DecodeBudget::sizedFor(1LL << 30), 512LL << 20);
        QCOMPARE(DecodeBudget::sizedFor(4LL << 30), 1024LL << 20);
        QCOMPARE(DecodeBudget::sizedFor(24LL << 30), 2048LL << 20);
    }

    // The box-size pictures kept on disk, in each state a later run can find them in.
    void diskCache_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("decodes"); // of the load after the change
        QTest::addColumn<bool>("kept");   // a later run finds an entry
        QTest::newRow("entry there") << int(Hit) << 0 << true;
        QTest::newRow("same size, new time") << int(NewTime) << 1 << true;
        QTest::newRow("replaced by rename") << int(Renamed) << 1 << true;
        QTest::newRow("entry with one pixel byte changed") << int(FlippedByte) << 1 << true;
        QTest::newRow("folder cannot be made") << int(CannotBeMade) << 1 << false;
    }

    void diskCache()
    {
        QFETCH(int, state);
        QFETCH(int, decodes);
        QFETCH(bool, kept);
        QTemporaryDir home;
        const QString picture = home.filePath("1.jpg");
        // For the folder that cannot be made, the picture stands where its parent would be.
        const QString folder = home.filePath(state == CannotBeMade ? "1.jpg/cache" : "cache");
        // Pictures n of TestFolder padded after their end, so that any two are the same size; a
        // whole second, so that the one replaced by rename differs in nothing but its inode.
        const auto write = [](const QString &path, int n, int seconds) {
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(TestFolder::pictureColour(n));
            return writeFile(path, jpegBytes(image, 90).leftJustified(4096, '\0'),
                             QDateTime::fromSecsSinceEpoch(1700000000 + seconds));
        };
        const auto load = [&] { // the decodes it took and the picture's number
            PictureCache cache(1);
            cache.setDiskFolder(folder);
            const int n = TestFolder::pictureNumberOf(cache.load(picture, QSize(16, 12)).image);
            return std::pair(cache.decodeCount(), n);
        };
        QVERIFY(write(picture, 1, 0));
        QCOMPARE(load().second, 1);

        if (state == NewTime)
            QVERIFY(write(picture, 2, 10));
        if (state == Renamed)
            QVERIFY(write(picture + ".new", 2, 0)
                    && ::rename(qPrintable(picture + ".new"), qPrintable(picture)) == 0);
        if (state == FlippedByte) {
            QFile entry(QDir(folder).entryInfoList(QDir::Files).value(0).filePath());
            QVERIFY(entry.open(QIODevice::ReadWrite) && entry.seek(entry.size() - 1));
            QVERIFY(entry.write(QByteArray(1, char(entry.peek(1).at(0) ^ 0x40))) == 1);
        }
        QCOMPARE(load(), std::pair(decodes, state == NewTime || state == Renamed ? 2 : 1));
        QCOMPARE(load().first == 0, kept);
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
