// Measures the editor's import of 150 phone photos of 12 megapixels (every fourth stored sideways,
// as a phone held upright stores it): the real window, offscreen, from the files given to it to
// every row shown with its thumbnail; then the save of those 150 rows into a new folder. Then the
// peak memory of an import of 150 photos of every size a teacher brings: the same JPEGs, 15 HEIC
// photos of 48 megapixels without a thumbnail of their own (as converters write them, so the whole
// picture is decoded) and one PNG of 100 megapixels (a drawing scanned large), against the
// decoding budget. Prints the figures; not a test.

#include "bench/BenchPhotos.h"
#include "core/TeacherFolder.h"
#include "editor/EditorWindow.h"
#include "editor/EntryTable.h"
#include "editor/PictureExport.h"
#include "editor/Thumbnails.h"
#include "pictures/DecodeBudget.h"
#include "tests/support/TestPictures.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <libheif/heif.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The machine's load: other work on the same cores lengthens the wall times.
double loadAverage()
{
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The resident memory now and its peak since the last reset, in MB, as the kernel counts them.
long statusMegabytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').first().toLong()
                   / 1024;
    return -1;
}

// Starts the peak of resident memory afresh, so that the photos made before do not count.
bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1 && refs.flush();
}

heif_error appendTo(heif_context *, const void *data, size_t size, void *bytes)
{
    static_cast<QByteArray *>(bytes)->append(static_cast<const char *>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

// A HEIC photo through libheif's encoder (x265, at its fastest: the photo is made once).
QByteArray heicBytes(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                        heif_context_free);
    heif_encoder *encoder = nullptr;
    heif_image *image = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoder).code
        || heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB,
                             heif_chroma_interleaved_RGB, &image)
               .code
        || heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8).code)
        return {};
    heif_encoder_set_lossy_quality(encoder, 60);
    heif_encoder_set_parameter_string(encoder, "preset", "ultrafast");
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + qsizetype(y) * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    QByteArray bytes;
    heif_writer writer{1, appendTo};
    const bool encoded =
        heif_context_encode_image(context.get(), image, encoder, nullptr, nullptr).code == 0
        && heif_context_write(context.get(), &writer, &bytes).code == 0;
    heif_image_release(image);
    heif_encoder_release(encoder);
    return encoded ? bytes : QByteArray();
}

// A drawing of 10000 x 10000 pixels: large to decode, small on disk, as a scan saved as PNG.
QByteArray largePng()
{
    QImage drawing(10000, 10000, QImage::Format_RGB32);
    drawing.fill(Qt::white);
    QPainter painter(&drawing);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::darkBlue, 40));
    for (int k = 0; k < 40; ++k) {
        painter.setBrush(QColor::fromHsv(k * 9, 160, 230));
        painter.drawEllipse(QPoint(500 + k * 230, 500 + (k * 3797) % 9000), 400, 300);
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && drawing.save(&buffer, "PNG") ? bytes : QByteArray();
}

// The mixed import's files: the JPEGs of dir, with pictures 5, 15, 25... a 48-megapixel HEIC (one
// file, linked under 15 names) and picture 150 the PNG. Made once in dir/prepara-misto.
QStringList mixedFiles(const QString &dir)
{
    const QString mixed = dir + QStringLiteral("/prepara-misto");
    const QString heic = mixed + QStringLiteral("/foto.heic"), png = mixed + "/disegno.png";
    if (!QFile::exists(mixed + QStringLiteral("/pronto-v1"))) {
        std::printf("making a HEIC photo of 8064 x 6048 and a PNG of 10000 x 10000 (once)...\n");
        QDir().mkpath(mixed);
        const QByteArray heicPhoto = heicBytes(photoLikeImage(QSize(8064, 6048), 4848));
        const QByteArray pngDrawing = largePng();
        if (heicPhoto.isEmpty() || pngDrawing.isEmpty() || !writeFile(heic, heicPhoto)
            || !writeFile(png, pngDrawing) || !writeFile(mixed + "/pronto-v1", "v1\n"))
            return {};
    }
    QStringList files;
    for (int n = 1; n <= BenchPhotos::Count; ++n) {
        const QString link = mixed + QStringLiteral("/%1.heic").arg(n);
        if (n % 10 == 5) {
            if (!QFile::exists(link)
                && ::link(QFile::encodeName(heic).constData(), QFile::encodeName(link).constData()))
                return {};
            files << link;
        } else {
            files << (n == BenchPhotos::Count ? png
                                              : QStringLiteral("%1/jpg/%2.jpg").arg(dir).arg(n));
        }
    }
    return files;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"dir", "folder of the generated photos", "dir",
                      QDir::tempPath() + "/diveva-bench-photos"});
    parser.addOption({"threads", "worker threads (default: the machine's cores)", "n"});
    parser.addOption(
        {"heic", "also time the thumbnail and the saved picture of this HEIC photo", "file"});
    parser.process(app);
    if (parser.isSet("heic")) {
        const QString heic = parser.value("heic");
        QElapsedTimer t;
        t.start();
        const Thumbnail thumb = makeThumbnail(heic, {}, {121, 129}, EntryTable::ThumbnailHeight);
        const double thumbMs = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        const ExportedPicture saved = exportPicture(heic, {}, {121, 129});
        std::printf("HEIC %s: thumbnail %.0f ms%s, saved picture %.0f ms%s\n", qPrintable(heic),
                    thumbMs, thumb.cause.isEmpty() ? "" : " FAILED", double(t.nsecsElapsed()) / 1e6,
                    saved.ok() ? "" : " FAILED");
    }
    const QString dir = parser.value("dir");
    if (parser.isSet("threads"))
        pictureThreads()->setMaxThreadCount(parser.value("threads").toInt());
    if (!BenchPhotos::ready(dir)) {
        std::printf("making %d photos of %d x %d in %s (once)...\n", BenchPhotos::Count,
                    BenchPhotos::Width, BenchPhotos::Height, qPrintable(dir));
        if (!BenchPhotos::generate(dir))
            return 1;
    }
    QStringList files;
    for (int k = 1; k <= BenchPhotos::Count; ++k)
        files << QStringLiteral("%1/jpg/%2.jpg").arg(dir).arg(k);

    EditorWindow window(ExerciseFacts{{121, 129}, 129, {}});
    window.show();
    QSignalSpy done(&window, &EditorWindow::importFinished);
    // The event loop's longest pause while importing: how responsive the window stays.
    QElapsedTimer sinceTick;
    qint64 longestPause = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestPause = qMax(longestPause, sinceTick.restart()); });
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    sinceTick.start();
    tick.start(10);
    window.addFiles(files);
    while (done.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double importMs = double(wall.nsecsElapsed()) / 1e6;
    tick.stop();
    const double importCpu = cpuSeconds() - cpu0;
    const int rows = window.table()->rowCount();

    QTemporaryDir out;
    const double saveCpu0 = cpuSeconds();
    wall.restart();
    const bool saved = window.saveTo(out.path());
    const double saveMs = double(wall.nsecsElapsed()) / 1e6;
    const double saveCpu = cpuSeconds() - saveCpu0;

    // What the exercise program pays at start-up to judge a save that stopped, on the saved
    // folder: with a journal of its 150 pictures left behind, and with none.
    TeacherFolder folder(out.path());
    SaveJournal journal;
    journal.count = rows;
    for (int i = 0; i < folderParts().size(); ++i) {
        const QByteArray print = TeacherFolder::print(folder.fd(), folderParts()[i], rows);
        journal.parts.append({i, folderParts()[i].name, print, print, {}});
    }
    const auto judged = [&folder] {
        QElapsedTimer t;
        t.start();
        const bool mixed = folder.hasUnfinishedSave();
        return mixed ? -1.0 : double(t.nsecsElapsed()) / 1e6;
    };
    const double judgedWithout = judged();
    QFile left(out.filePath(".diveva-prepara/giornale"));
    const bool written = left.open(QIODevice::WriteOnly) && left.write(journal.text()) > 0;
    left.close();
    const double judgedWith = written ? judged() : -1;

    std::printf("photos                  %d x %d px, %lld KB average, %d rows imported\n",
                BenchPhotos::Width, BenchPhotos::Height, BenchPhotos::averageBytes(dir) / 1024,
                rows);
    std::printf("threads                 %d, load average %.1f\n",
                pictureThreads()->maxThreadCount(), loadAverage());
    std::printf("import, wall            %8.0f ms  (target: at most 10000 ms on 2 cores)\n",
                importMs);
    std::printf("import, CPU             %8.0f ms  (the wall time on idle cores: CPU / threads)\n",
                importCpu * 1000);
    std::printf("longest pause of window %8lld ms\n", longestPause);
    std::printf("save of the 150 rows    %8.0f ms  (%s), CPU %.0f ms\n", saveMs,
                saved ? "saved" : "FAILED", saveCpu * 1000);
    std::printf("judging a stopped save  %8.2f ms  with a journal left, %.3f ms without\n",
                judgedWith, judgedWithout);
    std::printf("peak memory             %8ld MB\n", peakMegabytes());

    // The mixed import, into a new list: its peak against the memory before it and the budget.
    const QStringList mixed = mixedFiles(dir);
    if (mixed.isEmpty())
        return 1;
    window.table()->reset({});
    const long before = statusMegabytes("VmRSS:");
    const bool peakReset = resetPeak();
    done.clear();
    wall.restart();
    window.addFiles(mixed);
    while (done.isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double mixedMs = double(wall.nsecsElapsed()) / 1e6;
    const long mixedPeak = statusMegabytes("VmHWM:");
    const long budget = long(DecodeBudget::shared().total() / DecodeBudget::MiB);
    const long reserved = long(DecodeBudget::shared().peakReserved() / DecodeBudget::MiB);
    int unreadable = 0;
    for (const Problem &p : window.table()->problems())
        unreadable += p.row >= 0 && p.blocking;
    std::printf("mixed import            %8.0f ms  (135 JPEG 12 MP, 15 HEIC 48 MP, 1 PNG 100 MP; "
                "%d rows, %d unreadable)\n",
                mixedMs, int(window.table()->rowCount()), unreadable);
    // Within the budget when what the import took above the window's memory is no more than the
    // budget; accounted for when it is no more than what the decodes reserved in it.
    std::printf("mixed import, peak      %8ld MB  (%s; %ld MB before it, %ld MB taken by the "
                "import; decoding budget %ld MB, at most %ld MB reserved at once: %s)\n",
                mixedPeak, peakReset ? "since the import began" : "of the process", before,
                mixedPeak - before, budget, reserved,
                mixedPeak - before <= budget ? "within the budget" : "OVER THE BUDGET");
    std::printf("prepara import: %.1f s for %d photos, window paused at most %lld ms, save %.1f s; "
                "mixed import peak %ld MB (before it %ld MB, budget %ld MB)\n",
                importMs / 1000, rows, longestPause, saveMs / 1000, mixedPeak, before, budget);
    return rows == BenchPhotos::Count && saved ? 0 : 1;
}
