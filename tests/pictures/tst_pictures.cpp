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
#include <QSemaphore>
#include <QTest>

#include <future>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QSize Box(145, 145);
// Every wait of the threads' tests: generous, so that only a read that never ends fails it.
constexpr int Limit = 60000; // ms

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

QString hue(const QImage &i, int x) { return i.pixelColor(x, 18).red() > 200 ? "red" : "blue"; }

} // namespace

// A file's bytes ("/dev/zero": a link to that device), the cause it is refused for (empty: it is
// shown), whether the start-up check, which decodes nothing, sees that, the decoding budget in MiB
// (0: the machine's) and what the shown picture looks like: the colours of its upper corners,
// left and right, or "sharp", as sharp as the whole picture decoded and scaled to the box.
using PictureFile = std::tuple<QByteArray, QString, bool, int, QString>;

class TestPictures : public QObject {
    Q_OBJECT

    enum DiskState {
        NewTime,
        Renamed,
        FlippedByte,
        Pipe,
        FolderLink,
        FolderOfOther,
        FolderOpen,
        Foreign,
        LeastRecent,
        NoMemory
    };

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
        // Read by Qt itself, but no format of a teacher's folder.
        row("PPM named .jpg", "P6\n1 1\n255\nabc", "non è un'immagine valida");
        // Detail at the box's scale: 300 x 300 in random blocks of 2 x 2 pixels. 300 / 145 is
        // 2.07: 4/8 of it (150) is the smallest scale of the decoder that is not below the box.
        row("fine detail, decoded no smaller than the box",
            jpegBytes(noisyImage({150, 150}, 1).scaled(300, 300), 95), "", true, 0, "sharp");
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
        const auto &[bytes, cause, checked, budgetMiB, look] = file;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("2.jpg"));
        QVERIFY(bytes == "/dev/zero" ? QFile::link("/dev/zero", path) : writeFile(path, bytes));
        // In a process of its own, whose peak of memory starts at what it holds: a bomb is refused
        // from its header, before anything large is allocated.
        const ChildResult seen = inChild([&] {
            DecodeBudget budget(budgetMiB ? qint64(budgetMiB) << 20
                                          : DecodeBudget::shared().total());
            const qint64 before = peakMemory();
            QString out = pictureFileProblem(path, budget) + " | ";
            const PictureResult decoded = decodePicture(path, Box, budget);
            const qint64 grown = (peakMemory() - before) >> 20;
            const QImage &i = decoded.image;
            out += decoded.cause + " | ";
            if (!decoded.ok() && grown >= 32)
                out += QStringLiteral("%1 MiB allocated").arg(grown);
            if (decoded.ok())
                out += QStringLiteral("%1x%2").arg(i.width()).arg(i.height());
            // Sharp: 10 levels off, from JPEG's loss of colour; decoded at 3/8, below the box, 23.
            if (decoded.ok() && look == "sharp")
                out += meanDifference(i, QImage::fromData(bytes).scaled(Box, Qt::IgnoreAspectRatio,
                                                                        Qt::SmoothTransformation))
                               <= 15
                           ? " sharp"
                           : " blurred";
            else if (decoded.ok() && !look.isEmpty()) // an eighth in from each side
                out += ' ' + hue(i, 18) + ' ' + hue(i, 127);
            return out.toUtf8();
        });
        QCOMPARE(QString::fromUtf8(seen.output) + seen.failure,
                 (checked ? cause : QString()) + " | " + cause + " | "
                     + (cause.isEmpty() ? "145x145" + (look.isEmpty() ? "" : ' ' + look) : ""));
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
    }

    void cacheFollowsTheFolder()
    {
        // Each use looks at the file: a picture replaced or removed after start-up is read again,
        // and a bad one ends the program with the cause when it is shown. A save renames a new
        // list over the old one: it is told by the list's content, not by its time or inode,
        // which a FAT stick does not keep.
        TestRun run(numberedWords(2));
        const QString path = run.folder.path() + "/jpg/1.jpg";
        PictureCache cache;
        run.platform.pictureCache = &cache;
        PictureBox box(nullptr);
        box.resize(121, 129);
        const auto shown = [&] { // the picture's number, or the report that ends the program
            try {
                loadPicture(run.m, box, 1);
            } catch (const QString &report) {
                return report;
            }
            return QString::number(TestFolder::pictureNumberOf(box.picture()));
        };
        const auto saveList = [](const QStringList &words) {
            return writeFile("nuova.txt", words.join("\r\n").toUtf8() + "\r\n")
                   && QFile::remove("lista.txt") && QFile::rename("nuova.txt", "lista.txt");
        };
        QCOMPARE(shown(), "1");
        QVERIFY(saveList(numberedWords(2))); // the same words written again
        QCOMPARE(shown(), "1");
        QCOMPARE(cache.decodeCount(), 1);
        QVERIFY(QFile::remove(path) && QFile::rename(run.folder.path() + "/jpg/2.jpg", path));
        QCOMPARE(shown(), "2");
        QCOMPARE(cache.decodeCount(), 2);
        const QString fatal =
            "Impossibile mostrare l'immagine 1.\n\nFile: " + path + "\nCausa: %1.";
        QVERIFY(QFile::remove(path));
        QCOMPARE(shown(), fatal.arg("file non trovato"));
        QVERIFY(saveList({"parola2", "parola1"}));
        QCOMPARE(shown(), "La cartella è cambiata mentre il programma era aperto: per usarla va "
                          "riaperta.\n\nFile: "
                              + run.folder.path()
                              + "/lista.txt\nCausa: l'elenco delle parole non è più quello letto "
                                "all'avvio (la cartella è stata salvata di nuovo?).");
    }

    void heldReads()
    {
        // The workers' reads hold until the test lets them go. A screen that asks for a picture
        // being read waits for that read rather than reading it twice; ending the program drops
        // the queue and waits for the reads in progress; a screen can still load afterwards. One
        // read serves every box, each as a direct read at its size: picture 1 is in fine detail.
        TestFolder folder;
        folder.writePictures(20);
        QStringList paths;
        for (int n = 1; n <= 20; ++n)
            paths << folder.path() + QStringLiteral("/jpg/%1.jpg").arg(n);
        QVERIFY(writeFile(paths[0], jpegBytes(noisyImage(QSize(2400, 1800), 5), 90)));
        const QList<QSize> boxes = {{121, 129}, {145, 145}, {153, 161}};
        QSemaphore started, release;
        std::atomic<int> calls{0};
        const int threads = qMin(2, QThread::idealThreadCount());
        PictureCache cache(threads, [&](const QString &p, const QList<QSize> &sizes) {
            ++calls;
            started.release();
            release.acquire();
            return decodePictureSizes(p, sizes);
        });
        cache.warmUp(paths, boxes);
        QVERIFY(started.tryAcquire(threads, Limit));
        auto screen =
            std::async(std::launch::async, [&] { return cache.load(paths[0], boxes[0]); });
        // The screen's load must wait (or, wrongly, read the picture a second time).
        QTRY_VERIFY_WITH_TIMEOUT(cache.waitingLoads() == 1 || calls.load() > threads, Limit);
        auto ending = std::async(std::launch::async, [&] { cache.stop(); });
        QTRY_COMPARE_WITH_TIMEOUT(cache.queuedCount(), 0, Limit);
        release.release(20);
        QVERIFY(screen.wait_for(std::chrono::milliseconds(Limit)) == std::future_status::ready);
        QVERIFY(ending.wait_for(std::chrono::milliseconds(Limit)) == std::future_status::ready);
        QVERIFY(screen.get().image == decodePicture(paths[0], boxes[0]).image);
        for (QSize box : boxes)
            QVERIFY(cache.load(paths[0], box).image == decodePicture(paths[0], box).image);
        QCOMPARE(calls.load(), threads);
        QCOMPARE(TestFolder::pictureNumberOf(cache.load(paths[9], boxes[0]).image), 10);
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
        auto decoding = std::async(std::launch::async,
                                   [&] { return decodePictureData(buffer.data(), Box, budget); });
        QTRY_COMPARE_WITH_TIMEOUT(budget.waiting(), 1, Limit);
        first.reset();
        QVERIFY(decoding.wait_for(std::chrono::milliseconds(Limit)) == std::future_status::ready);
        const PictureResult second = decoding.get();
        QVERIFY2(second.ok(), qPrintable(second.cause));
        QCOMPARE(budget.peakReserved(), need);
    }

    // The box-size pictures kept on disk, in each state a later run can find them in. Each run is
    // a process of its own, which also ends a run that would wait for ever.
    void diskCache_data()
    {
        QTest::addColumn<int>("state");
        // Each run's decodes and the picture it showed ("1/2": one decode, picture 2), after a
        // load that ran out of memory ("no memory") in the first run of that row.
        QTest::addColumn<QString>("runs");
        const auto row = [](const char *name, DiskState state, const char *runs) {
            QTest::newRow(name) << int(state) << QString::fromLatin1(runs);
        };
        row("same size, new time", NewTime, "1/1 1/2 0/2");
        row("replaced by rename", Renamed, "1/1 1/2 0/2");
        row("entry with one pixel byte changed", FlippedByte, "1/1 1/1 0/1");
        row("entry replaced by a named pipe", Pipe, "1/1 1/1 0/1");
        row("folder is a link", FolderLink, "1/1 1/1 1/1");
        row("folder of another user", FolderOfOther, "1/1 1/1 1/1");
        row("folder others can write", FolderOpen, "1/1 1/1 1/1");
        row("a file not the cache's survives the pruning", Foreign, "1/1 0/1 0/1 kept");
        row("least recently used first, a hit is a use", LeastRecent, "1/1 1/2 0/1 1/3 left 1 3");
        row("memory runs out after the decode", NoMemory, "no memory, 2/1 0/1 0/1");
    }

    void diskCache()
    {
        QFETCH(int, state);
        QFETCH(QString, runs);
        QTemporaryDir home;
        const auto at = [&](const QString &name) { return home.filePath(name); };
        const QString folder = at("cache/diveva/immagini");
        const auto ownFolder = [&](const QString &path) {
            return QDir().mkpath(path) && ::chmod(qPrintable(path), 0700) == 0
                   && ::chmod(qPrintable(at("cache/diveva")), 0700) == 0;
        };
        // Pictures n of TestFolder padded after their end, so that any two are the same size; a
        // whole second, so that the one replaced by rename differs in nothing but its inode.
        const auto write = [&](const QString &name, int n, int seconds) {
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(TestFolder::pictureColour(n));
            return writeFile(at(name), jpegBytes(image, 90).leftJustified(4096, '\0'),
                             QDateTime::fromSecsSinceEpoch(1700000000 + seconds));
        };
        qint64 cap = DiskCache::DefaultCapBytes;
        QStringList seen;
        const auto run = [&](int n, bool noMemory = false) {
            const ChildResult child = inChild([&] {
                PictureCache cache(1);
                cache.setDiskFolder(folder, cap);
                cache.failAllocations([&] { return std::exchange(noMemory, false); });
                QByteArray out;
                const QString picture = at(QStringLiteral("%1.jpg").arg(n));
                try {
                    if (noMemory)
                        cache.load(picture, QSize(16, 12));
                } catch (const std::bad_alloc &) {
                    out = "no memory, ";
                }
                const QImage shown = cache.load(picture, QSize(16, 12)).image;
                return out + QByteArray::number(cache.decodeCount()) + '/'
                       + QByteArray::number(TestFolder::pictureNumberOf(shown));
            });
            seen << QString::fromUtf8(child.output) + child.failure;
        };
        const auto entries = [&] { return QDir(folder).entryList(QDir::Files | QDir::System); };
        for (int n = 1; n <= 3; ++n)
            QVERIFY(write(QStringLiteral("%1.jpg").arg(n), n, 0));

        if (state == FolderLink)
            QVERIFY(QDir().mkpath(at("cache")) && QDir().mkpath(at("altrove"))
                    && QFile::link(at("altrove"), at("cache/diveva")));
        if (state == FolderOfOther) {
            if (::geteuid() != 0)
                QSKIP("only root can give the folder to another user");
            QVERIFY(ownFolder(folder) && ::chown(qPrintable(folder), 65534, 65534) == 0);
        }
        if (state == FolderOpen)
            QVERIFY(ownFolder(folder) && ::chmod(qPrintable(at("cache/diveva")), 0777) == 0);
        if (state == Foreign) {
            cap = 4096;
            QVERIFY(ownFolder(folder)
                    && writeFile(folder + "/appunti.txt", QByteArray(65536, 'x'),
                                 QDateTime::currentDateTime().addSecs(-7200)));
        }
        run(1, state == NoMemory);

        const QString first = entries().value(0);
        if (state == NewTime)
            QVERIFY(write("1.jpg", 2, 10));
        if (state == Renamed)
            QVERIFY(write("1.jpg.new", 2, 0)
                    && ::rename(qPrintable(at("1.jpg.new")), qPrintable(at("1.jpg"))) == 0);
        if (state == FlippedByte) {
            QFile entry(folder + '/' + first);
            QVERIFY(entry.open(QIODevice::ReadWrite) && entry.seek(entry.size() - 1));
            QVERIFY(entry.write(QByteArray(1, char(entry.peek(1).at(0) ^ 0x40))) == 1);
        }
        if (state == Pipe)
            QVERIFY(QFile::remove(folder + '/' + first)
                    && ::mkfifo(qPrintable(folder + '/' + first), 0600) == 0);
        if (state == LeastRecent) {
            // Room for two entries, not three; the two made long ago, picture 1's first.
            cap = QFileInfo(folder + '/' + first).size() * 5 / 2;
            run(2);
            const QStringList two = entries();
            const QString second = two.value(1 - two.indexOf(first));
            const qint64 now = QDateTime::currentSecsSinceEpoch();
            for (const auto &[name, age] : {std::pair(first, 300), std::pair(second, 200)}) {
                const timespec times[2] = {{now - age, 0}, {now - age, 0}};
                QVERIFY(::utimensat(AT_FDCWD, qPrintable(folder + '/' + name), times, 0) == 0);
            }
            run(1);
            run(3);
            QStringList left;
            for (const QString &e : entries())
                left << QString::number(e == first ? 1 : e == second ? 2 : 3);
            left.sort();
            seen << "left " + left.join(' ');
        } else {
            run(1);
            run(1);
        }
        if (state == FolderLink) // nothing written through the link
            QCOMPARE(QDir(at("altrove")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), {});
        if (state == Foreign && QFileInfo(folder + "/appunti.txt").size() == 65536)
            seen << "kept";
        QCOMPARE(seen.join(' '), runs);
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
