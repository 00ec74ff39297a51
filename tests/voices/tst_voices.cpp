// The teacher's voices: every kind of voice file through the decoder; the store against a
// changing folder and its workers; the player without a sound server and with one.

#include "tests/support/TestPictures.h"
#include "tests/support/TestSounds.h"
#include "voices/VoiceDecoder.h"
#include "voices/VoicePlayer.h"
#include "voices/VoiceStore.h"

#include <gst/gst.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

namespace {

const int Rate = VoiceFormat::SampleRate;

// tests/voices/fixtures/README.md says how each was made: half a second of 440 Hz at half of
// full scale.
QByteArray fixture(const QString &name)
{
    QFile file(QFINDTESTDATA("fixtures/" + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

// GStreamer's features of these names taken out of its registry while it lives, as if their
// plugin were not installed.
class HiddenFeatures {
public:
    explicit HiddenFeatures(const QStringList &names)
    {
        gst_init(nullptr, nullptr);
        for (const QString &name : names)
            if (GstPluginFeature *f =
                    gst_registry_lookup_feature(gst_registry_get(), qPrintable(name))) {
                gst_registry_remove_feature(gst_registry_get(), f);
                m_features.append(f);
            }
    }
    ~HiddenFeatures()
    {
        for (GstPluginFeature *f : std::as_const(m_features)) {
            gst_registry_add_feature(gst_registry_get(), f);
            gst_object_unref(f);
        }
    }
    int count() const { return int(m_features.size()); }

private:
    QList<GstPluginFeature *> m_features;
};

// A PulseAudio server of the test's own with one null sink, and a recording of that sink's
// monitor at the voices' rate. Both end with the object.
class NullSinkServer {
public:
    NullSinkServer()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        env.insert("XDG_CONFIG_HOME", m_dir.path());
        env.remove("PULSE_SERVER");
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // As root PulseAudio warns, but runs: outside --system mode it needs only a home and a
        // runtime folder of its own, which it gets here.
        m_server.start("pulseaudio",
                       {"-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                        "--log-target=stderr", "--log-level=error",
                        "--load=module-null-sink sink_name=voci rate=48000",
                        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket()});
    }
    ~NullSinkServer()
    {
        for (QProcess *p : {&m_monitor, &m_server}) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
            p->waitForFinished(5000);
        }
    }
    QString socket() const { return m_dir.filePath("native"); }
    bool started() { return m_server.waitForStarted(10000); }
    QString pactl(const QStringList &args)
    {
        QProcess p;
        p.start("pactl", QStringList{"--server=unix:" + socket()} + args);
        p.waitForFinished(10000);
        return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
    }
    void record()
    {
        m_monitor.start("parec", {"--server=unix:" + socket(), "-d", "voci.monitor", "--raw",
                                  "--format=s16le", "--channels=1", "--latency-msec=20",
                                  "--rate=" + QString::number(Rate)});
    }
    // The monitor's sound so far, one letter a 20 ms window: '.' silence, 'a' the quiet clip,
    // 'B' the loud one, '~' anything between (a window across a change).
    QString heard()
    {
        m_recorded += m_monitor.readAllStandardOutput();
        QString letters;
        const int window = 20, count = int(m_recorded.size() / 2 * 1000 / Rate / window);
        for (int w = 0; w < count; ++w) {
            const double level = rmsOf(m_recorded, Rate, w * window, (w + 1) * window);
            letters += level < 0.01                  ? '.'
                       : level > 0.05 && level < 0.1 ? 'a'
                       : level > 0.3                 ? 'B'
                                                     : '~';
        }
        return letters;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server, m_monitor;
    QByteArray m_recorded;
};

} // namespace

class TestVoices : public QObject {
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QString>("name"); // of the file
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("hidden"); // GStreamer features missing for the row
        QTest::addColumn<QString>("cause");
        const QByteArray m4a = fixture("tone.m4a");
        const QByteArray wav = wavBytes(sinePcm(500, 0.5, 44100, 440, 2), 44100, 2);
        QTest::newRow("WAV, 44.1 kHz stereo") << "1.wav" << wav << QStringList() << "";
        QTest::newRow("Ogg Vorbis") << "1.ogg" << fixture("tone.ogg") << QStringList() << "";
        QTest::newRow("Ogg Opus") << "1.opus" << fixture("tone.opus") << QStringList() << "";
        QTest::newRow("MP3") << "1.mp3" << fixture("tone.mp3") << QStringList() << "";
        QTest::newRow("M4A, AAC") << "1.m4a" << m4a << QStringList() << "";
        QTest::newRow("WAV named .mp3") << "1.mp3" << wav << QStringList() << "";
        QTest::newRow("empty") << "1.ogg" << QByteArray() << QStringList() << "il file è vuoto";
        QTest::newRow("text") << "1.mp3" << QByteArray("Non è una voce.\n").repeated(20)
                              << QStringList() << "non è un file audio";
        QTest::newRow("a picture") << "1.ogg" << jpegBytes(noisyImage({64, 48}, 1), 90)
                                   << QStringList() << "non è un file audio";
        // Its index is at the end, after the sound: cut short, the file has none.
        QTest::newRow("M4A cut short") << "1.m4a" << m4a.left(m4a.size() / 2) << QStringList()
                                       << "il file audio è danneggiato o incompleto";
        // Its chunk offsets point past the end of the bytes: GStreamer waits there for more.
        QTest::newRow("M4A, its index shifted")
            << "1.m4a" << QByteArray(m4a).insert(m4a.indexOf("stco") + 4, QByteArray(49, 0))
            << QStringList() << "il file audio è danneggiato o incompleto";
        QTest::newRow("M4A without gstreamer1.0-libav")
            << "1.m4a" << m4a << QStringList{"avdec_aac", "avdec_aac_fixed"}
            << "formato audio non supportato: per M4A (AAC) serve il pacchetto gstreamer1.0-libav";
        QTest::newRow("21 s of sound")
            << "1.wav" << wavBytes(sinePcm(21000, 0.5, 8000), 8000) << QStringList()
            << "la voce è troppo lunga (più di 20 secondi)";
    }

    void decode()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, hidden);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(name), bytes));
        const HiddenFeatures missing(hidden);
        QCOMPARE(missing.count(), hidden.size());
        const Voice voice = decodeVoiceFile(dir.filePath(name));
        QCOMPARE(voice.cause, cause);
        QCOMPARE(voice.pcm.isEmpty(), !cause.isEmpty());
        if (!cause.isEmpty())
            return;
        // The tone, whole and at its level: MP3 and AAC add some tens of milliseconds of
        // silence to a stream, and their filters some ripple.
        QVERIFY2(qAbs(voice.durationMs() - 500) <= 60,
                 qPrintable(QString::number(voice.durationMs())));
        QVERIFY2(qAbs(rmsOf(voice.pcm, Rate, 100, 400) - 0.354) < 0.03,
                 qPrintable(QString::number(rmsOf(voice.pcm, Rate, 100, 400))));
    }

    // What happens to a voice's file after it was read ahead, and what the next use sees.
    void storeFollowsTheFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("decodes"); // by the use after the change
        QTest::addColumn<int>("ms");      // of the voice it gives
        QTest::addColumn<QString>("cause");
        QTest::newRow("unchanged") << "" << 0 << 300 << "";
        QTest::newRow("replaced by a longer take") << "replace" << 1 << 700 << "";
        QTest::newRow("removed") << "remove" << 1 << 0 << "file non trovato";
    }

    void storeFollowsTheFile()
    {
        QFETCH(QString, change);
        QFETCH(int, decodes);
        QTemporaryDir dir;
        const QString path = dir.filePath("1.wav");
        QVERIFY(writeFile(path, wavBytes(sinePcm(300, 0.5, Rate), Rate)));
        VoiceStore store;
        store.readAhead({path});
        store.waitForReadAhead();
        QCOMPARE(store.decodeCount(), 1);
        if (change == "replace")
            QVERIFY(writeFile(path + ".new", wavBytes(sinePcm(700, 0.5, Rate), Rate))
                    && ::rename(qPrintable(path + ".new"), qPrintable(path)) == 0);
        if (change == "remove")
            QVERIFY(QFile::remove(path));
        int before = store.decodeCount();
        const Voice voice = store.voice(path);
        QTEST(voice.cause, "cause");
        QTEST(int(store.durationMs(path)), "ms");
        // The store decodes a removed file directly, for its cause, and counts only what it holds.
        QCOMPARE(store.decodeCount() - before, change == "remove" ? 0 : decodes);
    }

    void storeWaitsForADecode()
    {
        // The worker's decodes hold until the test lets them go. A question that asks for the
        // voice being decoded waits for that decode rather than decoding it twice; stopping drops
        // the queue and waits for the decode in progress.
        QTemporaryDir dir;
        QStringList paths;
        for (int n = 1; n <= 5; ++n) {
            paths << dir.filePath(QStringLiteral("%1.wav").arg(n));
            QVERIFY(writeFile(paths.last(), wavBytes(sinePcm(100 * n, 0.5, Rate), Rate)));
        }
        QSemaphore started, release;
        std::atomic<int> calls{0};
        VoiceStore store(1, [&](const QString &p) {
            ++calls;
            started.release();
            release.acquire();
            return decodeVoiceFile(p);
        });
        store.readAhead(paths);
        started.acquire();
        Voice asked;
        std::thread question([&] { asked = store.voice(paths[0]); });
        QTRY_VERIFY(store.waitingLoads() == 1 || calls.load() > 1);
        std::thread ending([&] { store.stop(); });
        QTRY_COMPARE(store.queuedCount(), 0);
        release.release(5);
        question.join();
        ending.join();
        QCOMPARE(calls.load(), 1);
        QCOMPARE(asked.durationMs(), 100);
        QCOMPARE(store.voice(paths[4]).durationMs(), 500);
    }

    void player()
    {
        // ctest runs this once with PULSE_SERVER naming a socket that does not exist, and once
        // alone, where it starts a server of its own: a missing server or pulseaudio fails it.
        const bool server = qEnvironmentVariable("PULSE_SERVER").isEmpty();
        std::unique_ptr<NullSinkServer> sound;
        if (server) {
            QVERIFY2(!QStandardPaths::findExecutable("pulseaudio").isEmpty()
                         && !QStandardPaths::findExecutable("parec").isEmpty(),
                     "install pulseaudio and pulseaudio-utils");
            sound = std::make_unique<NullSinkServer>();
            QVERIFY(sound->started());
            QTRY_VERIFY_WITH_TIMEOUT(!sound->pactl({"info"}).isEmpty(), 20000);
            qputenv("PULSE_SERVER", "unix:" + sound->socket().toUtf8());
            sound->record();
        }
        VoicePlayer player;
        QSignalSpy started(&player, &VoicePlayer::clipStarted);
        const QByteArray quiet = sinePcm(8000, 0.1, Rate), loud = sinePcm(400, 0.5, Rate);
        player.open();
        if (!server) {
            // Silent: the clip is dropped, nothing is reported.
            QTRY_COMPARE(player.state(), VoicePlayer::State::Silent);
            player.play(loud);
            player.close();
            QCOMPARE(player.state(), VoicePlayer::State::Silent);
            QCOMPARE(started.count(), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), VoicePlayer::State::Open, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(sound->heard().count('.') >= 10, 20000);
        const quint64 first = player.play(quiet);
        QTRY_VERIFY_WITH_TIMEOUT(sound->heard().count('a') >= 10, 20000);
        const quint64 second = player.play(loud);
        // Silence after the loud clip, long enough for the quiet one to come back if it would.
        QTRY_VERIFY_WITH_TIMEOUT(sound->heard().remove('~').contains("B" + QString(20, '.')),
                                 20000);
        // Before the first clip silence, then the quiet clip cut off by the loud one, whole.
        QString heard = sound->heard().remove('~');
        heard.replace(QRegularExpression("a+"), "a").replace(QRegularExpression("\\.+"), ".");
        QVERIFY2(QRegularExpression("^\\.aB+\\.$").match(heard).hasMatch(),
                 qPrintable(sound->heard()));
        // The quiet clip stopped long before its end, the loud one played whole.
        QVERIFY2(sound->heard().count('a') * 20 < 4000, qPrintable(sound->heard()));
        QVERIFY2(qAbs(sound->heard().count('B') * 20 - 400) <= 40, qPrintable(sound->heard()));
        QCOMPARE(started.count(), 2);
        QCOMPARE(started[0][0].toULongLong(), first);
        QCOMPARE(started[1][0].toULongLong(), second);
        QVERIFY(started[1][1].toLongLong() > started[0][1].toLongLong());
        // One stream all along, open between the clips.
        QCOMPARE(sound->pactl({"list", "short", "sink-inputs"}).count('\n'), 1);
        player.close();
        QTRY_COMPARE(player.state(), VoicePlayer::State::Closed);
        QTRY_COMPARE(sound->pactl({"list", "short", "sink-inputs"}).count('\n'), 0);
    }
};

QTEST_GUILESS_MAIN(TestVoices)
#include "tst_voices.moc"
