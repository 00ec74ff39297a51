// Measures how long the child waits for pictures: start-up to the start screen, and a right
// answer to the next question laid out and painted, for both exercises, with the picture cache
// (cold and warm), with the direct scaled read the program used before the cache, and with a
// naive loader (full decode, then stretch). The real screens run on the scripted platform,
// offscreen. The cache is measured in processes of their own at device pixel ratio 1 and 2, so
// that their peak memory is that of the program's loading; this process runs the others. A third
// process reads ahead a mixed folder in which 20 photos are large progressive 4:4:4 files, for
// the peak memory against the decoding budget; this one also times a 48-megapixel progressive
// photo and a crafted file of endless scans. With --screen WxH every process runs on one offscreen
// screen of that size, which every window fills as with schermo=intero, and the start of a new
// process to its first paint is compared with a bare Qt window's.

#include "bench/BenchPhotos.h"
#include "core/Modulo1.h"
#include "exercises/FormTrova.h"
#include "exercises/FormTrova2.h"
#include "pictures/DecodeBudget.h"
#include "pictures/FolderCheck.h"
#include "pictures/PictureCache.h"
#include "pictures/PictureDecoder.h"
#include "tests/support/TestProgram.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>

#include <sys/resource.h>

namespace {

enum class Loader { Cache, Direct, Naive };

// Whether every window fills its screen (--screen).
bool fillScreens = false;

// The program as the benchmark runs it: every screen registered, filling the screen or not.
struct BenchProgram : TestProgram {
    explicit BenchProgram(Platform &platform) : TestProgram(platform)
    {
        registry.fillScreensAlways(fillScreens);
    }
};

// The monotonic clock, the same in every process: a measuring process is given the moment its
// parent started it, and counts its start from there.
qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double msSince(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The scripted platform with the loader under test. Reading ahead can be held back, to measure
// questions whose pictures are all read on demand.
class BenchPlatform : public ScriptedPlatform {
public:
    BenchPlatform(Loader loader, PictureCache *cache, bool readAhead)
        : m_loader(loader), m_readAhead(readAhead)
    {
        pictureCache = loader == Loader::Cache ? cache : nullptr;
    }

    PictureResult loadPicture(const QString &path, QSize pixelSize) override
    {
        if (m_loader != Loader::Naive)
            return ScriptedPlatform::loadPicture(path, pixelSize);
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage full = reader.read();
        if (full.isNull())
            return PictureResult{{}, reader.errorString()};
        return PictureResult{full.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_RGB32),
                             {}};
    }
    QList<PictureResult> loadPictures(const QList<PictureRequest> &requests) override
    {
        QElapsedTimer t;
        t.start();
        QList<PictureResult> results = m_loader == Loader::Naive
                                           ? Platform::loadPictures(requests)
                                           : ScriptedPlatform::loadPictures(requests);
        readingMs += msSince(t);
        return results;
    }
    void preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes) override
    {
        prepared = true;
        if (!m_readAhead)
            return;
        readAheadClock.start();
        readAheadCpu = cpuSeconds();
        ScriptedPlatform::preparePictures(paths, pixelSizes);
    }

    // Whether the program handed its pictures over for reading ahead (after the start screen's
    // first paint, or at the first exercise's load).
    bool prepared = false;
    QElapsedTimer readAheadClock;
    double readAheadCpu = 0;
    double readingMs = 0; // spent in loadPictures (the start screen's four pictures)

private:
    Loader m_loader;
    bool m_readAhead;
};

struct Stats {
    double median = 0;
    double p95 = 0;
    double max = 0;
    int n = 0;
};

Stats statsOf(QList<double> ms)
{
    Stats s;
    s.n = int(ms.size());
    if (ms.isEmpty())
        return s;
    std::sort(ms.begin(), ms.end());
    s.median = ms[ms.size() / 2];
    s.p95 = ms[qsizetype(std::ceil(0.95 * double(ms.size()))) - 1];
    s.max = ms.last();
    return s;
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kB on Linux
}

void collectDeleted() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// Runs the events until done() holds, without sleeping between them (the times are taken as the
// events happen), at most 10 s; says what did not happen.
void spinUntil(const std::function<bool()> &done, const char *what)
{
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents();
    if (!done())
        std::fprintf(stderr, "warning: %s in 10 s\n", what);
}

// The moment just after the first paint of a window, on the monotonic clock: a call queued by its
// paint event, so that the whole window is drawn by then. Watches while it lives.
struct FirstPaint : QObject {
    qint64 ns = 0;
    FirstPaint() { qApp->installEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && object->isWidgetType()
            && static_cast<QWidget *>(object)->isWindow())
            QTimer::singleShot(0, this, [this] { ns = ns ? ns : steadyNs(); });
        return false;
    }
    qint64 wait()
    {
        spinUntil([this] { return ns != 0; }, "no window was painted");
        return ns;
    }
};

// Waits for the program to hand its pictures over for reading ahead.
void waitForReadingAhead(BenchPlatform &platform)
{
    spinUntil([&] { return platform.prepared; }, "nothing was read ahead");
}

// Start-up to the start screen laid out with its four pictures and painted; the moment of the
// paint in *paintedNs.
double timeStartUp(TestProgram &m, qint64 *paintedNs = nullptr)
{
    FirstPaint painted;
    const qint64 started = steadyNs();
    m.Main();
    const qint64 ns = painted.wait();
    if (paintedNs)
        *paintedNs = ns;
    return double(ns - started) / 1e6;
}

// Opens the exercise (its first question is not timed) and times count right answers, each
// from the click to the new question laid out and painted.
Stats timeQuestions(TestProgram &m, ScreenId exercise, int count)
{
    for (ScreenId other :
         {ScreenId::FormAvvio, ScreenId::FormMenu, ScreenId::FormTrova, ScreenId::FormTrova2})
        if (other != exercise)
            m.registry.unload(other);
    collectDeleted();
    m.registry.show(exercise);
    Screen *screen = m.registry.loaded(exercise);
    if (!QTest::qWaitForWindowExposed(screen))
        std::fprintf(stderr, "warning: the exercise screen is not exposed: nothing is painted\n");
    QList<double> samples;
    for (int q = 0; q < count; ++q) {
        QWidget *right = nullptr;
        if (auto *trova = qobject_cast<FormTrova *>(screen)) {
            for (ClickLabel *label : trova->Label1)
                if (label->text() == m.word(m.Estratto))
                    right = label;
        } else {
            auto *trova2 = qobject_cast<FormTrova2 *>(screen);
            right = trova2->Image1[trova2->PosizioneGiusta];
        }
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(right, Qt::LeftButton);
        // The paint the click asked for, as the event loop would deliver it: the controls that
        // changed (at 4K full screen a quarter of the window), not the whole window.
        QCoreApplication::sendPostedEvents(screen, QEvent::UpdateRequest);
        samples << msSince(t);
    }
    return statsOf(samples);
}

struct Figures {
    Stats startCache, startDirect, startNaive;
    Stats startReading; // of the cold start-up, the part spent reading the four pictures
    Stats coldTrova, coldTrova2, warmTrova, warmTrova2;
    Stats directTrova, directTrova2, naiveTrova, naiveTrova2;
    double warmUpSeconds = 0;
    double warmUpCpuSeconds = 0;
    double heldMb = 0;
    double decodesOnWarmClicks = 0;
    double peakRss = 0;
    Stats warmStart; // start-up with the pictures on disk, memory empty
    double warmReadAheadCpuSeconds = 0;
    double warmReadAheadDecodes = 0;

    // The cache figures as lines "name median p95 max n" or "name value", for the parent.
    QList<std::pair<const char *, Stats *>> stats()
    {
        return {{"start", &startCache},      {"start_reading", &startReading},
                {"cold_trova", &coldTrova},  {"cold_trova2", &coldTrova2},
                {"warm_start", &warmStart},  {"warm_trova", &warmTrova},
                {"warm_trova2", &warmTrova2}};
    }
    QList<std::pair<const char *, double *>> values()
    {
        return {{"warmup_s", &warmUpSeconds},
                {"warmup_cpu_s", &warmUpCpuSeconds},
                {"held_mb", &heldMb},
                {"decodes_on_warm_clicks", &decodesOnWarmClicks},
                {"peak_rss_mb", &peakRss},
                {"warm_readahead_cpu_s", &warmReadAheadCpuSeconds},
                {"warm_readahead_decodes", &warmReadAheadDecodes}};
    }
    void print()
    {
        for (auto [name, st] : stats())
            std::printf("%s %f %f %f %d\n", name, st->median, st->p95, st->max, st->n);
        for (auto [name, v] : values())
            std::printf("%s %f\n", name, *v);
    }
    void read(const QString &text)
    {
        for (const QString &line : text.split('\n')) {
            const QStringList w = line.split(' ');
            for (auto [name, st] : stats())
                if (w.size() == 5 && w[0] == QLatin1String(name))
                    *st = Stats{w[1].toDouble(), w[2].toDouble(), w[3].toDouble(), w[4].toInt()};
            for (auto [name, v] : values())
                if (w.size() == 2 && w[0] == QLatin1String(name))
                    *v = w[1].toDouble();
        }
    }
};

void runWithoutCache(Figures &f, Loader loader, int questions)
{
    BenchPlatform platform(loader, nullptr, false);
    BenchProgram m(platform);
    Stats &start = loader == Loader::Naive ? f.startNaive : f.startDirect;
    start = statsOf({timeStartUp(m)});
    (loader == Loader::Naive ? f.naiveTrova : f.directTrova) =
        timeQuestions(m, ScreenId::FormTrova, questions);
    (loader == Loader::Naive ? f.naiveTrova2 : f.directTrova2) =
        timeQuestions(m, ScreenId::FormTrova2, questions);
}

void runWithCache(Figures &f, int startRuns, int coldQuestions, int questions)
{
    // The folder of the pictures kept between runs: a new empty one for every cold figure.
    QTemporaryDir scratch;
    int folders = 0;
    const auto emptyFolder = [&] { return scratch.filePath(QString::number(++folders)); };

    // Cold start-up: a new cache each time, nothing on disk, four pictures drawn at random each
    // time; the reading ahead starts at the end of Main as in the program.
    QList<double> starts, reading;
    std::mt19937 seeds(7);
    for (int run = 0; run < startRuns; ++run) {
        PictureCache cache;
        cache.setDiskFolder(emptyFolder());
        BenchPlatform platform(Loader::Cache, &cache, true);
        std::uniform_real_distribution<float> r(0.0f, 0.999f);
        platform.randoms = {r(seeds), r(seeds), r(seeds), r(seeds)};
        BenchProgram m(platform);
        starts << timeStartUp(m);
        reading << platform.readingMs;
        cache.stop();
    }
    f.startCache = statsOf(starts);
    f.startReading = statsOf(reading);

    if (coldQuestions > 0) {
        // Cold questions: nothing read ahead, every picture decoded on demand.
        PictureCache cache;
        cache.setDiskFolder(emptyFolder());
        BenchPlatform platform(Loader::Cache, &cache, false);
        BenchProgram m(platform);
        m.Main();
        f.coldTrova = timeQuestions(m, ScreenId::FormTrova, coldQuestions);
        f.coldTrova2 = timeQuestions(m, ScreenId::FormTrova2, coldQuestions);
    }

    // Warm: the whole list read ahead from nothing (memory and disk), then the questions.
    const QString filled = emptyFolder();
    {
        PictureCache cache;
        cache.setDiskFolder(filled);
        BenchPlatform platform(Loader::Cache, &cache, true);
        BenchProgram m(platform);
        m.Main();
        waitForReadingAhead(platform);
        cache.waitForWarmUp();
        f.warmUpSeconds = msSince(platform.readAheadClock) / 1000.0;
        f.warmUpCpuSeconds = cpuSeconds() - platform.readAheadCpu;
        f.heldMb = double(cache.heldBytes()) / (1024.0 * 1024.0);
        const int decodes = cache.decodeCount();
        f.warmTrova = timeQuestions(m, ScreenId::FormTrova, questions);
        f.warmTrova2 = timeQuestions(m, ScreenId::FormTrova2, questions);
        f.decodesOnWarmClicks = cache.decodeCount() - decodes;
    }

    // A later run on the same folder: memory empty, every picture on disk.
    QList<double> warmStarts;
    for (int run = 0; run < startRuns; ++run) {
        PictureCache cache;
        cache.setDiskFolder(filled);
        BenchPlatform platform(Loader::Cache, &cache, true);
        std::uniform_real_distribution<float> r(0.0f, 0.999f);
        platform.randoms = {r(seeds), r(seeds), r(seeds), r(seeds)};
        BenchProgram m(platform);
        warmStarts << timeStartUp(m);
        if (run == 0) {
            waitForReadingAhead(platform);
            cache.waitForWarmUp();
            f.warmReadAheadCpuSeconds = cpuSeconds() - platform.readAheadCpu;
            f.warmReadAheadDecodes = cache.decodeCount();
        }
        cache.stop();
    }
    f.warmStart = statsOf(warmStarts);
    f.peakRss = peakRssMb();
}

// The first start-up of a process, from just after its QApplication: the figure a teacher sees,
// with the fonts, the first window and the thread pool all new; then the same from the moment its
// parent started it (launched, in ns of the monotonic clock). Printed for the parent.
void printFirstStart(const QString &diskFolder, qint64 launched)
{
    PictureCache cache;
    cache.setDiskFolder(diskFolder);
    BenchPlatform platform(Loader::Cache, &cache, true);
    BenchProgram m(platform);
    qint64 painted = 0;
    std::printf("first_start %f\n", timeStartUp(m, &painted));
    std::printf("from_launch %f\n", double(painted - launched) / 1e6);
    std::fflush(stdout);
    // The folder is left filled for the next process.
    waitForReadingAhead(platform);
    cache.waitForWarmUp();
}

// A bare Qt window of the design's size (filling the screen, as the program's would), from the
// moment the parent started this process to the end of its first paint.
void printBareWindow(qint64 launched)
{
    FirstPaint painted;
    QWidget window;
    window.resize(632, 453);
    if (fillScreens)
        window.showFullScreen();
    else
        window.show();
    std::printf("from_launch %f\n", double(painted.wait() - launched) / 1e6);
}

// The start-up check of every picture of the folder, its files in the page cache.
Stats timeFolderCheck(const QString &dir)
{
    QStringList paths;
    for (int n = 1; n <= BenchPhotos::Count; ++n)
        paths << dir + QStringLiteral("/jpg/%1.jpg").arg(n);
    findPictureProblems(paths);
    QList<double> ms;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer t;
        t.start();
        if (!findPictureProblems(paths).isEmpty())
            std::fprintf(stderr, "warning: the folder check found problems\n");
        ms << msSince(t);
    }
    return statsOf(ms);
}

// Smallest PSNR over some photos and every box size of the scaled read against a full decode
// followed by a smooth scale.
double minimumPsnr(const QString &dir, qreal dpr)
{
    double lowest = 99;
    for (int n : {1, 4, 77}) {
        const QString path = dir + QStringLiteral("/jpg/%1.jpg").arg(n);
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage full = reader.read().convertToFormat(QImage::Format_RGB32);
        for (const QSize &box : {QSize(145, 145), QSize(153, 161), QSize(121, 129)}) {
            const QSize pixels = devicePixels(box, dpr);
            lowest = qMin(
                lowest, psnr(decodePicture(path, pixels).image,
                             full.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        }
    }
    return lowest;
}

// One photo read at a box size in this thread, repeatedly: the unit of work of every figure.
Stats singleRead(const QString &dir, QSize pixels)
{
    QList<double> ms;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer t;
        t.start();
        decodePicture(dir + QStringLiteral("/jpg/%1.jpg").arg(1 + i), pixels);
        ms << msSince(t);
    }
    return statsOf(ms);
}

// Start-up and the whole reading ahead of the mixed folder, from an empty cache, in the program's
// own decoding budget; printed as "name value" lines for the parent.
void printMixedReadAhead(const QString &folder)
{
    QDir::setCurrent(folder);
    PictureCache cache;
    BenchPlatform platform(Loader::Cache, &cache, true);
    BenchProgram m(platform);
    m.Main();
    waitForReadingAhead(platform);
    cache.waitForWarmUp();
    const double seconds = msSince(platform.readAheadClock) / 1000.0;
    const double cpu = cpuSeconds() - platform.readAheadCpu;
    int failed = 0;
    for (int n = 1; n <= BenchPhotos::Count; ++n)
        failed += !cache.load(folder + QStringLiteral("/jpg/%1.jpg").arg(n), QSize(153, 161)).ok();
    const DecodeBudget &budget = DecodeBudget::shared();
    std::printf("warmup_s %f\nwarmup_cpu_s %f\nfailed %d\npeak_rss_mb %f\nbudget_mb %f\n"
                "budget_peak_mb %f\n",
                seconds, cpu, failed, peakRssMb(), double(budget.total()) / DecodeBudget::MiB,
                double(budget.peakReserved()) / DecodeBudget::MiB);
}

QString loadAverage()
{
    QFile file("/proc/loadavg");
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(' ', 0, 2)
                                          : QStringLiteral("?");
}

QString row(const char *what, const char *loader, const Stats &s)
{
    return QString::asprintf("%-46s %-17s %9.2f %9.2f %9.2f %6d", what, loader, s.median, s.p95,
                             s.max, s.n);
}

double ratio(const Stats &slow, const Stats &fast)
{
    return fast.median > 0 ? slow.median / fast.median : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // --screen WxH is read before the application starts, which takes its screens from the
    // offscreen platform's configuration; every measuring process is given the option too.
    QString screen;
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--screen") == 0)
            screen = QString::fromLatin1(argv[i + 1]);
    const QTemporaryDir configDir;
    if (!screen.isEmpty()) {
        const int width = screen.section('x', 0, 0).toInt(),
                  height = screen.section('x', 1).toInt();
        QFile config(configDir.filePath("screen.json"));
        if (width <= 0 || height <= 0 || !config.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "--screen wants a size such as 3840x2160\n");
            return 2;
        }
        config.write(QStringLiteral("{\"screens\": [{\"name\": \"lavagna\", \"x\": 0, \"y\": 0, "
                                    "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                                    "\"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                         .arg(width)
                         .arg(height)
                         .toUtf8());
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
        fillScreens = true;
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Quiet about the 48 MP photo that a plain QImage refuses: the table says so.
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false\nqt.gui.imageio=false");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dirOption("dir", "Folder of the generated photos.", "folder",
                                       QDir::tempPath() + "/diveva-bench-photos");
    const QCommandLineOption questionsOption("questions", "Warm questions per exercise.", "n",
                                             "300");
    const QCommandLineOption slowOption(
        "slow-questions", "Questions per exercise with the naive and direct loaders.", "n", "30");
    const QCommandLineOption screenOption(
        "screen", "One screen of this size (3840x2160), which every window fills.", "WxH");
    const QCommandLineOption generateOption("generate", "Only make the photos.");
    const QCommandLineOption childOption("cache-only",
                                         "Only the cache figures, printed for the parent process.");
    const QCommandLineOption mixedOption(
        "mixed-only",
        "Only the reading ahead of the mixed folder, printed for the parent process.");
    const QCommandLineOption firstStartOption(
        "first-start", "Only the first start-up of this process, with the pictures kept in folder.",
        "folder");
    const QCommandLineOption bareOption("bare-window", "Only the start of a bare Qt window.");
    const QCommandLineOption launchedOption(
        "launched", "When this process was started, in ns of the monotonic clock.", "ns");
    parser.addOptions({dirOption, questionsOption, slowOption, screenOption, generateOption,
                       childOption, mixedOption, firstStartOption, bareOption, launchedOption});
    parser.process(app);
    const QString dir = parser.value(dirOption);
    const int questions = parser.value(questionsOption).toInt();
    const int slowQuestions = parser.value(slowOption).toInt();

    if (parser.isSet(generateOption))
        return BenchPhotos::generate(dir) ? 0 : 1;
    if (parser.isSet(bareOption)) {
        printBareWindow(parser.value(launchedOption).toLongLong());
        return 0;
    }
    if (!BenchPhotos::ready(dir)) {
        // Made by a process of its own, so that its memory is not counted here.
        std::printf("Making %d photos of %dx%d in %s (once)...\n", BenchPhotos::Count,
                    BenchPhotos::Width, BenchPhotos::Height, qPrintable(dir));
        std::fflush(stdout);
        QElapsedTimer t;
        t.start();
        if (QProcess::execute(app.applicationFilePath(), {"--generate", "--dir", dir}) != 0) {
            std::fprintf(stderr, "cannot make the photos in %s\n", qPrintable(dir));
            return 1;
        }
        std::printf("...made in %.0f s\n", msSince(t) / 1000);
    }
    QDir::setCurrent(dir);
    const qreal dpr = app.devicePixelRatio();

    if (parser.isSet(childOption)) {
        Figures f;
        runWithCache(f, 5, 10, questions);
        f.print();
        return 0;
    }
    if (parser.isSet(firstStartOption)) {
        printFirstStart(parser.value(firstStartOption), parser.value(launchedOption).toLongLong());
        return 0;
    }
    if (parser.isSet(mixedOption)) {
        printMixedReadAhead(dir + "/misto");
        return 0;
    }

    // A measuring process of this program at a device pixel ratio: its "name value" lines, or
    // nothing if it failed.
    const auto measure = [&](QStringList args, int ratio) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_SCALE_FACTOR", QString::number(ratio));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        args << "--dir" << dir;
        if (!screen.isEmpty())
            args << "--screen" << screen;
        child.start(app.applicationFilePath(), args << "--launched" << QString::number(steadyNs()));
        QString out;
        if (child.waitForFinished(-1) && child.exitCode() == 0)
            out = QString::fromLocal8Bit(child.readAllStandardOutput());
        else
            std::fprintf(stderr, "the measuring process %s failed\n", qPrintable(args.join(' ')));
        return out;
    };
    const auto valuesOf = [](const QString &text) {
        QHash<QString, double> values;
        for (const QString &line : text.split('\n'))
            if (const QStringList w = line.split(' '); w.size() == 2)
                values.insert(w[0], w[1].toDouble());
        return values;
    };

    // The program's own loading (the cache) runs in processes of their own, one per device
    // pixel ratio, so that their peak memory is the program's; this process runs the loaders
    // it is compared with, whose full-size images would otherwise dominate that figure.
    Figures f[2];
    for (int ratio : {1, 2}) {
        const QString out =
            measure({"--cache-only", "--questions", QString::number(questions)}, ratio);
        if (out.isEmpty())
            return 1;
        f[ratio - 1].read(out);
    }

    // The mixed folder in a process of its own too, at ratio 1.
    const QHash<QString, double> mixed = valuesOf(measure({"--mixed-only"}, 1));
    if (mixed.isEmpty())
        return 1;

    // The first start-up of a new process at ratio 1: the first on an empty folder of kept
    // pictures (which it fills), the others on that folder filled, each of those followed by a
    // bare window's, both from their launch.
    QList<double> firstCold, firstWarm, launchWarm, launchBare;
    {
        QTemporaryDir kept;
        for (int run = 0; run < 8; ++run) {
            const bool cold = run % 4 == 0; // runs 0 and 4 start from an empty folder
            const QHash<QString, double> start =
                valuesOf(measure({"--first-start", kept.filePath(QString::number(run / 4))}, 1));
            const QHash<QString, double> bare = valuesOf(measure({"--bare-window"}, 1));
            if (start.isEmpty() || bare.isEmpty())
                return 1;
            (cold ? firstCold : firstWarm) << start.value("first_start");
            if (!cold) {
                launchWarm << start.value("from_launch");
                launchBare << bare.value("from_launch");
            }
        }
    }
    const Stats firstColdStats = statsOf(firstCold);
    const Stats firstWarmStats = statsOf(firstWarm);
    const Stats launchWarmStats = statsOf(launchWarm);
    const Stats launchBareStats = statsOf(launchBare);
    const Stats checkStats = timeFolderCheck(dir);

    Figures &one = f[0];
    // Picture to word's box as the window shows it.
    const QSize box = devicePixels(
        fillScreens ? DesignScale::filling(app.primaryScreen()->size(), QSize(632, 453))
                          .map(QSize(153, 161))
                    : QSize(153, 161),
        dpr);
    const Stats oneRead = singleRead(dir, box);
    runWithoutCache(one, Loader::Naive, slowQuestions);
    runWithoutCache(one, Loader::Direct, slowQuestions);
    const double psnrDb = qMin(minimumPsnr(dir, 1), minimumPsnr(dir, 2));
    const QString big = dir + "/grande.jpg";
    const bool plainRefused = QImage(big).isNull();
    QElapsedTimer t;
    t.start();
    const PictureResult bigScaled = decodePicture(big, box);
    const double bigMs = msSince(t);
    const QString bigProgressive = dir + "/grande-progressiva.jpg";
    t.start();
    const PictureResult bigProgressiveScaled = decodePicture(bigProgressive, box);
    const double bigProgressiveMs = msSince(t);
    // The crafted file of endless scans, at the 48-megapixel size.
    const QByteArray manyScans = manyScanJpeg(QSize(8000, 6000), 3000);
    t.start();
    const PictureResult manyScansResult = decodePictureData(manyScans, QSize(153, 161));
    const double manyScansMs = msSince(t);

    std::printf("\nPicture loading, %d photos %dx%d JPEG quality %d (average %.1f MB), %d cores\n",
                BenchPhotos::Count, BenchPhotos::Width, BenchPhotos::Height, BenchPhotos::Quality,
                double(BenchPhotos::averageBytes(dir)) / 1e6, QThread::idealThreadCount());
    std::printf("windows %s\n", screen.isEmpty()
                                    ? "of the design's size"
                                    : qPrintable("filling a screen of " + screen + " (offscreen)"));
    std::printf("%-46s %-17s %9s %9s %9s %6s\n", "measure (ms), device pixel ratio 1", "loader",
                "median", "p95", "max", "n");
    const QStringList rows = {
        row("start screen laid out (4 photos)", "cache, cold", one.startCache),
        row("  of which reading the 4 photos", "cache, cold", one.startReading),
        row("start screen laid out (4 photos)", "cache, on disk", one.warmStart),
        row("first start of a process, to painted", "cache, cold", firstColdStats),
        row("first start of a process, to painted", "cache, on disk", firstWarmStats),
        row("  the same from its launch", "cache, on disk", launchWarmStats),
        row("  a bare Qt window from its launch", "no pictures", launchBareStats),
        row("folder check of 150 photos, files cached", "header read", checkStats),
        row("start screen laid out (4 photos)", "direct (before)", one.startDirect),
        row("start screen laid out (4 photos)", "naive", one.startNaive),
        row("FormTrova: click to next question", "cache, warm", one.warmTrova),
        row("FormTrova: click to next question", "cache, cold", one.coldTrova),
        row("FormTrova: click to next question", "direct (before)", one.directTrova),
        row("FormTrova: click to next question", "naive", one.naiveTrova),
        row("FormTrova2: click to next question", "cache, warm", one.warmTrova2),
        row("FormTrova2: click to next question", "cache, cold", one.coldTrova2),
        row("FormTrova2: click to next question", "direct (before)", one.directTrova2),
        row("FormTrova2: click to next question", "naive", one.naiveTrova2),
        row("one photo read at its box, one thread", "scaled read", oneRead),
        row("device pixel ratio 2: start screen", "cache, cold", f[1].startCache),
        row("device pixel ratio 2: FormTrova", "cache, warm", f[1].warmTrova),
        row("device pixel ratio 2: FormTrova2", "cache, warm", f[1].warmTrova2),
        row("device pixel ratio 2: FormTrova2", "cache, cold", f[1].coldTrova2),
    };
    for (const QString &r : rows)
        std::printf("%s\n", qPrintable(r));
    const double naiveRatio =
        qMin(ratio(one.naiveTrova, one.warmTrova), ratio(one.naiveTrova2, one.warmTrova2));
    std::printf("naive / warm (medians): FormTrova %.0fx, FormTrova2 %.0fx; "
                "direct / warm: %.0fx, %.0fx\n",
                ratio(one.naiveTrova, one.warmTrova), ratio(one.naiveTrova2, one.warmTrova2),
                ratio(one.directTrova, one.warmTrova), ratio(one.directTrova2, one.warmTrova2));
    for (int i = 0; i < 2; ++i)
        std::printf("device pixel ratio %d: reading ahead %d photos %.2f s (%.2f s of CPU), "
                    "pictures held %.1f MB, decodes on warm clicks %.0f, peak RSS %.1f MB; "
                    "reading ahead again with them on disk %.2f s of CPU, %.0f decodes\n",
                    i + 1, BenchPhotos::Count, f[i].warmUpSeconds, f[i].warmUpCpuSeconds,
                    f[i].heldMb, f[i].decodesOnWarmClicks, f[i].peakRss,
                    f[i].warmReadAheadCpuSeconds, f[i].warmReadAheadDecodes);
    std::printf("peak RSS of the comparison process (naive and direct loaders, full decodes): "
                "%.1f MB\n",
                peakRssMb());
    std::printf(
        "lowest PSNR, scaled read vs full decode + smooth scale (ratios 1 and 2): %.1f dB\n",
        psnrDb);
    std::printf(
        "48 MP photo (8000x6000): plain QImage load %s; scaled read at its box %s in %.1f ms\n",
        plainRefused ? "refused" : "accepted", bigScaled.ok() ? "shown" : "FAILED", bigMs);
    std::printf("48 MP progressive photo (8000x6000, %s): scaled read at its box %s in %.1f ms\n",
                qPrintable(BenchPhotos::layoutOf(bigProgressive)),
                bigProgressiveScaled.ok() ? "shown" : qPrintable(bigProgressiveScaled.cause),
                bigProgressiveMs);
    std::printf("crafted progressive JPEG, 8000x6000 in %lld bytes with 3000 empty scans: %s in "
                "%.1f ms (%s)\n",
                qint64(manyScans.size()), manyScansResult.ok() ? "SHOWN" : "refused", manyScansMs,
                qPrintable(manyScansResult.cause));
    std::printf(
        "mixed folder: %d photos, %d of them %dx%d %s; reading ahead %.2f s "
        "(%.2f s of CPU), %.0f failed; peak RSS %.1f MB; decoding budget %.0f MB, "
        "at most %.0f MB of it reserved at once\n",
        BenchPhotos::Count, BenchPhotos::LargeCount, BenchPhotos::LargeWidth,
        BenchPhotos::LargeHeight, qPrintable(BenchPhotos::layoutOf(dir + "/misto/jpg/1.jpg")),
        mixed.value("warmup_s"), mixed.value("warmup_cpu_s"), mixed.value("failed"),
        mixed.value("peak_rss_mb"), mixed.value("budget_mb"), mixed.value("budget_peak_mb"));
    std::printf("a new process on pictures kept on disk, from its launch to painted: %.2f times a "
                "bare Qt window's\n",
                ratio(launchWarmStats, launchBareStats));
    std::printf("load average at the end: %s\n", qPrintable(loadAverage()));
    std::printf("question_warm_p95_ms=%.3f naive_ratio=%.0f startup_ms=%.1f warmup_s=%.2f "
                "peak_rss_mb=%.1f mixed_warmup_s=%.2f mixed_peak_rss_mb=%.1f budget_mb=%.0f "
                "progressive48_ms=%.1f many_scans_ms=%.1f check_ms=%.2f warm_start_ms=%.1f "
                "first_start_cold_ms=%.1f first_start_warm_ms=%.1f readahead_cpu_s=%.2f "
                "warm_readahead_cpu_s=%.2f launch_warm_ms=%.1f launch_bare_ms=%.1f "
                "launch_ratio=%.2f screen=%s\n",
                qMax(one.warmTrova.p95, one.warmTrova2.p95), naiveRatio, one.startCache.median,
                one.warmUpSeconds, one.peakRss, mixed.value("warmup_s"), mixed.value("peak_rss_mb"),
                mixed.value("budget_mb"), bigProgressiveMs, manyScansMs, checkStats.median,
                one.warmStart.median, firstColdStats.median, firstWarmStats.median,
                one.warmUpCpuSeconds, one.warmReadAheadCpuSeconds, launchWarmStats.median,
                launchBareStats.median, ratio(launchWarmStats, launchBareStats),
                screen.isEmpty() ? "design" : qPrintable(screen));
    return 0;
}
