// Measures the editor's import of 150 phone photos of 12 megapixels (every fourth stored sideways,
// as a phone held upright stores it): the real window, offscreen, from the files given to it to
// every row shown with its thumbnail; then the save of those 150 rows into a new folder.
// Prints the figures; not a test.

#include "bench/BenchPhotos.h"
#include "core/TeacherFolder.h"
#include "editor/EditorWindow.h"
#include "editor/EntryTable.h"
#include "editor/PictureExport.h"
#include "editor/Thumbnails.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

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
    std::printf(
        "prepara import: %.1f s for %d photos, window paused at most %lld ms, save %.1f s\n",
        importMs / 1000, rows, longestPause, saveMs / 1000);
    return rows == BenchPhotos::Count && saved ? 0 : 1;
}
