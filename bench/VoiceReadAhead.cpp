// Measures the voices: how long 150 voices take to be decoded ahead and how much memory they
// hold, and, when a sound server answers, how long the player takes to hand a voice to it.
//
// The voices are made once in /tmp/diveva-bench-voices as the editor makes them: eSpeak NG's
// Italian voice saying "parola N", trimmed, levelled and saved as voce/N.ogg (Opus). Each
// reading ahead runs in a process of its own, so that its memory is that of the voices alone.

#include "editor/SpeechSynth.h"
#include "editor/VoiceTake.h"
#include "voices/VoicePlayer.h"
#include "voices/VoiceStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

const int Voices = 150;

QString voicesFolder() { return QStringLiteral("/tmp/diveva-bench-voices/voce"); }

QString voicePath(int n) { return voicesFolder() + QStringLiteral("/%1.ogg").arg(n); }

bool makeVoices()
{
    if (QFile::exists(voicePath(Voices)))
        return true;
    QDir().mkpath(voicesFolder());
    for (int n = 1; n <= Voices; ++n) {
        const SpokenWord spoken = speakItalian(QStringLiteral("parola %1").arg(n));
        const EncodedVoice voice = prepareVoice(spoken.take);
        QFile file(voicePath(n));
        if (!voice.cause.isEmpty() || !file.open(QIODevice::WriteOnly)
            || file.write(voice.bytes) != voice.bytes.size()) {
            std::fprintf(stderr, "cannot make voice %d: %s\n", n, qPrintable(voice.cause));
            return false;
        }
    }
    return true;
}

qint64 statusKib(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const QRegularExpression re(QLatin1String(field) + QStringLiteral(":\\s*(\\d+)"));
    return re.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// In a process of its own: reads the 150 voices ahead with threads workers, prints its figures.
int readAhead(int threads)
{
    QStringList paths;
    for (int n = 1; n <= Voices; ++n)
        paths << voicePath(n);
    const qint64 before = statusKib("VmRSS");
    VoiceStore store(threads);
    QElapsedTimer clock;
    clock.start();
    store.readAhead(paths);
    store.waitForReadAhead();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    qint64 ms = 0;
    int failed = 0;
    for (const QString &p : paths) {
        const Voice v = store.voice(p);
        ms += v.durationMs();
        failed += !v.ok();
    }
    std::printf("%f %f %f %f %d %lld\n", seconds, double(store.heldBytes()) / Voices / 1024,
                double(statusKib("VmRSS") - before) / 1024, double(statusKib("VmHWM")) / 1024,
                failed, ms / Voices);
    return failed == 0 ? 0 : 1;
}

// play() to the first samples the sound server accepted, 40 times, in milliseconds; empty
// without a sound server.
QList<double> handOver()
{
    VoicePlayer player;
    QEventLoop loop;
    QObject::connect(&player, &VoicePlayer::stateChanged, &loop, [&] {
        if (player.state() != VoicePlayer::State::Opening)
            loop.quit();
    });
    player.open();
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    QList<double> ms;
    if (player.state() != VoicePlayer::State::Open)
        return ms;
    const Voice voice = decodeVoiceFile(voicePath(1));
    qint64 asked = 0;
    QObject::connect(
        &player, &VoicePlayer::clipStarted, &loop,
        [&](quint64, qint64 at) {
            ms << double(at - asked) / 1e6;
            QTimer::singleShot(300, &loop, &QEventLoop::quit); // the next, some way into this one
        },
        Qt::QueuedConnection);
    for (int i = 0; i < 40; ++i) {
        asked = VoicePlayer::now();
        player.play(voice.pcm);
        loop.exec();
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--read-ahead"))
        return readAhead(app.arguments().value(2).toInt());
    if (!makeVoices())
        return 1;

    std::printf("%-34s %10s\n", "150 voices (Opus, \"parola N\")", "");
    QHash<int, QList<double>> figures; // by threads: seconds, KiB a voice, RSS MiB, peak, failed
    for (const int threads : {1, 2}) {
        QProcess run;
        run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        run.start(app.applicationFilePath(), {"--read-ahead", QString::number(threads)});
        run.waitForFinished(600000);
        const QStringList f = QString::fromLatin1(run.readAllStandardOutput()).split(' ');
        for (const QString &v : f)
            figures[threads] << v.toDouble();
        if (run.exitCode() != 0 || f.size() < 6) {
            std::fprintf(stderr, "reading ahead with %d threads failed\n", threads);
            return 1;
        }
        std::printf("read ahead, %d worker(s)              %8.2f s  %6.1f ms a voice\n", threads,
                    f[0].toDouble(), f[0].toDouble() * 1000 / Voices);
    }
    const QList<double> &one = figures[1];
    std::printf("a voice: %.0f ms long, %.1f KiB held\n", one[5], one[1]);
    std::printf("memory: %.1f MiB more after reading ahead, %.1f MiB peak of the process\n", one[2],
                one[3]);
    QList<double> ms = handOver();
    std::sort(ms.begin(), ms.end());
    const double p95 = ms.isEmpty() ? -1 : ms[qMin(ms.size() - 1, ms.size() * 95 / 100)];
    if (ms.isEmpty())
        std::printf("no sound server: the player's hand-over is not measured\n");
    else
        std::printf("play() to the server's first samples: median %.1f ms, p95 %.1f ms\n",
                    ms[ms.size() / 2], p95);
    std::printf(
        "voices=%d voices_readahead_s=%.2f voices_readahead_2_threads_s=%.2f "
        "voice_decode_ms=%.1f voice_kib=%.1f voices_rss_mb=%.1f voice_handoff_p95_ms=%.1f\n",
        Voices, one[0], figures[2][0], one[0] * 1000 / Voices, one[1], one[2], p95);
    return 0;
}
