// The exercise program with voices, as the child meets it: the real platform (picture cache,
// voice store and player) on 150 phone photos and 150 voices, offscreen, with a PulseAudio server
// of the benchmark's own whose null sink takes the sound. Measures, each in a process of its own:
//   - voice_start_ms: a right answer in word to picture, from the next question's paint to the
//     first samples of its word accepted by the sound server (the player's report);
//   - voices_readahead_s and peak_rss_mb: from the start screen to every photo and voice read
//     ahead, and the process's peak memory after 40 questions;
//   - start-up with the pictures kept on disk (warm) against a bare Qt window, from the process's
//     start to the first paint of its window.
// The photos are those of scripts/bench (made once in /tmp/diveva-bench-photos, here too if
// missing), the voices those of diveva_bench_voices (run it first). Prints a table and one line of
// key figures. Usage: diveva_bench_exercise_voices [--screen WxH] (a screen of that size, windows
// filling it)

#include "app/ScreenFactory.h"
#include "bench/BenchPhotos.h"
#include "core/Modulo1.h"
#include "desktop/DesktopPlatform.h"
#include "exercises/FormTrova2.h"
#include "ui/ClickLabel.h"
#include "ui/PictureBox.h"
#include "ui/ScreenRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

const QString Photos = QStringLiteral("/tmp/diveva-bench-photos");
const QString Voices = QStringLiteral("/tmp/diveva-bench-voices/voce");

double kibOf(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const QRegularExpression re(QLatin1String(field) + QStringLiteral(":\\s*(\\d+)"));
    return re.match(QString::fromLatin1(status.readAll())).captured(1).toDouble();
}

double percentile(QList<double> v, double p)
{
    if (v.isEmpty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min<qsizetype>(v.size() - 1, qsizetype(p * double(v.size())))];
}

// Notes the monotonic time of a widget's paints.
struct PaintClock : QObject {
    qint64 last = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            last = VoicePlayer::now();
        return false;
    }
};

// In the folder (the working directory): the program started, everything read ahead, then 40
// right answers in word to picture. Prints "readahead_s", "rss_mb" and one "voice_ms" a question.
int exercise()
{
    DesktopPlatform platform;
    Modulo1 m(platform);
    m.readAheadSizes = exercisePictureSizes();
    ScreenRegistry screens(m, [&m](ScreenId id) { return createScreen(m, id); });
    screens.fillScreensAlways(qEnvironmentVariableIsSet("DIVEVA_BENCH_FULL"));
    QElapsedTimer t;
    t.start();
    m.Main();
    const VoicePlayer &player = platform.voicePlayer();
    if (!QTest::qWaitForWindowExposed(screens.loaded(ScreenId::FormAvvio))
        || !QTest::qWaitFor([&] { return player.state() != VoicePlayer::State::Closed; }, 10000))
        return 1;
    platform.waitForReadAhead();
    std::printf("readahead_s %f\n", double(t.nsecsElapsed()) / 1e9);
    if (!QTest::qWaitFor([&] { return player.state() == VoicePlayer::State::Open; }, 10000))
        return 1;
    screens.show(ScreenId::FormTrova2);
    screens.unload(ScreenId::FormAvvio);
    auto *trova2 = qobject_cast<FormTrova2 *>(screens.loaded(ScreenId::FormTrova2));
    if (!QTest::qWaitForWindowExposed(trova2))
        return 1;
    PaintClock paints;
    trova2->Label1->installEventFilter(&paints);
    qint64 started = 0;
    QObject::connect(&platform.voicePlayer(), &VoicePlayer::clipStarted, trova2,
                     [&](quint64, qint64 at) { started = at; });
    for (int q = 0; q < 40; ++q) {
        started = 0;
        QTest::mouseClick(trova2->Image1[trova2->PosizioneGiusta], Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return started != 0; }, 5000))
            return 1;
        std::printf("voice_ms %f\n", double(started - paints.last) / 1e6);
        QTest::qWait(300); // some way into the word, as a child answers
    }
    std::printf("rss_mb %f\n", kibOf("VmHWM") / 1024);
    std::fflush(stdout);
    std::_Exit(0);
}

// From the process's start to its window's first paint: the program on the folder, or a bare
// window of the design's size (filling the screen, as the program's does, with --screen). Prints
// "painted" and ends there.
struct FirstPaint : QObject {
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint) {
            std::puts("painted");
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }
};

int start(bool bare)
{
    FirstPaint first;
    if (bare) {
        QWidget window;
        window.resize(632, 453);
        window.installEventFilter(&first);
        if (qEnvironmentVariableIsSet("DIVEVA_BENCH_FULL"))
            window.showFullScreen();
        else
            window.show();
        return QApplication::exec();
    }
    DesktopPlatform platform;
    Modulo1 m(platform);
    m.readAheadSizes = exercisePictureSizes();
    ScreenRegistry screens(m, [&m](ScreenId id) { return createScreen(m, id); });
    screens.fillScreensAlways(qEnvironmentVariableIsSet("DIVEVA_BENCH_FULL"));
    qApp->installEventFilter(&first);
    m.Main();
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    if (mode == QLatin1String("--exercise") || mode == QLatin1String("--start")
        || mode == QLatin1String("--bare")) {
        QApplication app(argc, argv);
        return mode == QLatin1String("--exercise") ? exercise() : start(mode == "--bare");
    }
    QCoreApplication app(argc, argv);
    QString screen = app.arguments().value(2);
    if (mode != QLatin1String("--screen"))
        screen.clear();
    if (!QFile::exists(Voices + QStringLiteral("/150.ogg"))) {
        std::fprintf(stderr, "run diveva_bench_voices first: it makes %s\n", qPrintable(Voices));
        return 1;
    }
    if (!BenchPhotos::ready(Photos)) {
        std::printf("Making the photos in %s (once)...\n", qPrintable(Photos));
        if (!BenchPhotos::generate(Photos))
            return 1;
    }
    // The folder: the photos' list and pictures, the voices, a cache folder of the run's own.
    QTemporaryDir dir;
    QFile::copy(Photos + QStringLiteral("/lista.txt"), dir.filePath(QStringLiteral("lista.txt")));
    QFile::link(Photos + QStringLiteral("/jpg"), dir.filePath(QStringLiteral("jpg")));
    QFile::link(Voices, dir.filePath(QStringLiteral("voce")));
    QDir(dir.path()).mkdir(QStringLiteral("cache"));

    // The sound server, with a null sink.
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
        env.insert(name, dir.path());
    server.setProcessEnvironment(env);
    const QString socket = dir.filePath(QStringLiteral("native"));
    server.start(QStringLiteral("pulseaudio"),
                 {"-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                  "--load=module-null-sink sink_name=voci rate=48000",
                  "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
        QThread::msleep(100);

    QProcessEnvironment child = QProcessEnvironment::systemEnvironment();
    child.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + socket);
    child.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    child.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    child.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!screen.isEmpty()) {
        QFile config(dir.filePath(QStringLiteral("screen.json")));
        config.open(QIODevice::WriteOnly);
        const QStringList wh = screen.split('x');
        config.write(QStringLiteral("{\"screens\": [{\"name\": \"lavagna\", \"x\": 0, \"y\": 0, "
                                    "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                                    "\"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                         .arg(wh.value(0), wh.value(1))
                         .toUtf8());
        config.close();
        child.insert(QStringLiteral("QT_QPA_PLATFORM"),
                     QStringLiteral("offscreen:configfile=") + config.fileName());
        child.insert(QStringLiteral("DIVEVA_BENCH_FULL"), QStringLiteral("1"));
    }
    const auto run = [&](const QString &how, double *ms = nullptr) {
        QProcess p;
        p.setProcessEnvironment(child);
        p.setWorkingDirectory(dir.path());
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        p.start(app.applicationFilePath(), {how});
        QString out;
        while (p.state() != QProcess::NotRunning || p.bytesAvailable()) {
            p.waitForReadyRead(100);
            out += QString::fromLatin1(p.readAllStandardOutput());
            if (ms && *ms == 0 && out.contains(QStringLiteral("painted")))
                *ms = double(t.nsecsElapsed()) / 1e6;
        }
        return out;
    };

    // Start-up once cold (the cache folder empty), then the exercise, which leaves every picture
    // on disk.
    double cold = 0;
    run(QStringLiteral("--start"), &cold);
    const QString figures = run(QStringLiteral("--exercise"));
    QList<double> voice;
    double readAhead = -1, rss = -1;
    for (const QString &line : figures.split('\n')) {
        const QStringList w = line.split(' ');
        if (w.size() == 2 && w[0] == QLatin1String("voice_ms"))
            voice << w[1].toDouble();
        else if (w.size() == 2 && w[0] == QLatin1String("readahead_s"))
            readAhead = w[1].toDouble();
        else if (w.size() == 2 && w[0] == QLatin1String("rss_mb"))
            rss = w[1].toDouble();
    }
    // Start-up with the pictures on disk, ten times each in turns: the program, a bare window,
    // and the program on the folder with voce=no (its start as it was without voices).
    QList<double> warm, bare, silent;
    for (int i = 0; i < 10; ++i) {
        double w = 0, b = 0, n = 0;
        run(QStringLiteral("--start"), &w);
        run(QStringLiteral("--bare"), &b);
        QFile ini(dir.filePath(QStringLiteral("diveva.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[esercizi]\nvoce=no\n");
        ini.close();
        run(QStringLiteral("--start"), &n);
        ini.remove();
        warm << w;
        bare << b;
        silent << n;
    }
    server.terminate();
    server.waitForFinished(5000);

    std::printf("The exercise program with 150 photos and 150 voices, %s\n",
                screen.isEmpty() ? "windows of the design's size"
                                 : qPrintable("windows filling a screen of " + screen));
    std::printf("start-up to the first paint: cold %.0f ms; warm median %.0f ms, p95 %.0f ms "
                "(voce=no: median %.0f ms); bare Qt window median %.0f ms (warm / bare %.2f)\n",
                cold, percentile(warm, 0.5), percentile(warm, 0.95), percentile(silent, 0.5),
                percentile(bare, 0.5), percentile(warm, 0.5) / percentile(bare, 0.5));
    std::printf("photos and voices read ahead %.2f s after start; peak RSS %.1f MB\n", readAhead,
                rss);
    if (voice.isEmpty())
        std::printf("no sound server: voice_start_ms not measured\n");
    else
        std::printf("question painted to its voice's first samples at the server: median %.1f ms, "
                    "p95 %.1f ms, max %.1f ms (%lld questions)\n",
                    percentile(voice, 0.5), percentile(voice, 0.95), percentile(voice, 1),
                    qint64(voice.size()));
    std::printf(
        "voice_start_ms=%.1f photos_voices_readahead_s=%.2f peak_rss_mb=%.1f warm_start_ms=%.0f "
        "bare_window_ms=%.0f warm_start_ratio=%.2f\n",
        percentile(voice, 0.95), readAhead, rss, percentile(warm, 0.5), percentile(bare, 0.5),
        percentile(warm, 0.5) / percentile(bare, 0.5));
    return voice.isEmpty() ? 1 : 0;
}
