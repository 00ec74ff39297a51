// The teacher's voices: every kind of voice file through the decoder; the store against a
// changing folder and its workers; the player with a sound server.

#include "tests/support/TestPictures.h"
#include "tests/support/TestSounds.h"
#include "voices/VoiceDecoder.h"
#include "voices/VoicePlayer.h"
#include "voices/VoiceStore.h"

#include <gst/gst.h>

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const int Rate = VoiceFormat::SampleRate;

// tests/voices/fixtures/README.md says how each was made.
QByteArray fixture(const QString &name) { return fileBytes(QFINDTESTDATA("fixtures/" + name)); }

// A PulseAudio server of the test's own with one null sink, "voci", and a recording of that
// sink's monitor at the voices' rate; both end with the object. As root PulseAudio warns, but
// runs: outside --system mode it needs only a home and a runtime folder of its own.
struct NullSinkServer {
    NullSinkServer()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
            env.insert(name, dir.path());
        server.setProcessEnvironment(env);
        server.start("pulseaudio",
                     {"-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1",
                      "--log-target=stderr", "--load=module-null-sink sink_name=voci rate=48000",
                      "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    }
    ~NullSinkServer()
    {
        for (QProcess *p : {&monitor, &server}) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
            p->waitForFinished(5000);
        }
    }
    QString pactl(const QStringList &args)
    {
        QProcess p;
        p.start("pactl", QStringList{"--server=unix:" + socket} + args);
        return p.waitForFinished(10000) && p.exitCode() == 0 ? p.readAllStandardOutput() : "";
    }
    // The monitor's sound so far, a letter each 20 ms: '.' silence, 'a' the quiet clip, 'B' the
    // loud one, whole or in part, nothing for other windows across a change. A window that ends
    // a sound seldom ends with it, so the last of a loud run may hold so little of it that it
    // reads as 'a' or nothing. loudMs: how long the loud clip sounded, from the energy of the
    // windows it is in, which a stream starved for a moment splits but does not change.
    QString heard()
    {
        recorded += monitor.readAllStandardOutput();
        QString letters;
        loudMs = 0;
        for (int ms = 0; ms + 20 <= recorded.size() * 1000 / 2 / Rate; ms += 20) {
            const double level = rmsOf(recorded, Rate, ms, ms + 20);
            letters += level < 0.01                  ? "."
                       : level > 0.05 && level < 0.1 ? "a"
                       : level > 0.12                ? "B"
                                                     : "";
            if (level > 0.12)
                loudMs += level * level / LoudPower * 20;
        }
        return letters;
    }
    static constexpr double LoudPower = 0.5 * 0.5 / 2; // of the loud clip's sine
    double loudMs = 0;
    QTemporaryDir dir;
    const QString socket = dir.filePath("native");
    QProcess server, monitor;
    QByteArray recorded;
};

} // namespace

// A voice file: its name, its bytes, the GStreamer features missing for the row (as if never
// installed) and the cause it is refused for.
using VoiceFile = std::tuple<QString, QByteArray, QStringList, QString>;

class TestVoices : public QObject {
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<VoiceFile>("file");
        const auto row = [](const char *title, const char *name, const QByteArray &bytes,
                            const QString &cause = {}, const QStringList &hidden = {}) {
            QTest::newRow(title) << VoiceFile{name, bytes, hidden, cause};
        };
        const QByteArray m4a = fixture("tone.m4a");
        const QString damaged = "il file audio è danneggiato o incompleto";
        row("WAV, stereo", "1.wav", fixture("tone.wav"));
        row("Ogg Opus", "1.opus", fixture("tone.opus"));
        row("MP3", "1.mp3", fixture("tone.mp3"));
        row("M4A, AAC", "1.m4a", m4a);
        row("empty", "1.ogg", "", "il file è vuoto");
        row("a picture", "1.ogg", jpegBytes(noisyImage({64, 48}, 1), 90), "non è un file audio");
        // Its index is at the end, after the sound: cut short, the file has none.
        row("M4A cut short", "1.m4a", m4a.left(m4a.size() / 2), damaged);
        // Its chunk offsets point past the end of the bytes: GStreamer waits there for more.
        row("M4A, its index shifted", "1.m4a",
            QByteArray(m4a).insert(m4a.indexOf("stco") + 4, QByteArray(49, 0)), damaged);
        row("M4A without gstreamer1.0-libav", "1.m4a", m4a,
            "formato audio non supportato: per M4A (AAC) serve il pacchetto gstreamer1.0-libav",
            {"avdec_aac", "avdec_aac_fixed"});
        row("21 s of sound in 18 KB", "1.opus", fixture("long.opus"),
            "la voce è troppo lunga (più di 20 secondi)");
    }

    void decode()
    {
        QFETCH(VoiceFile, file);
        const auto &[name, bytes, hidden, cause] = file;
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(name), bytes));
        QList<GstPluginFeature *> taken; // out of GStreamer's registry, as if never installed
        gst_init(nullptr, nullptr);
        for (const QString &feature : hidden) {
            taken << gst_registry_lookup_feature(gst_registry_get(), qPrintable(feature));
            QVERIFY(taken.last());
            gst_registry_remove_feature(gst_registry_get(), taken.last());
        }
        const Voice voice = decodeVoiceFile(dir.filePath(name));
        for (GstPluginFeature *f : taken)
            gst_registry_add_feature(gst_registry_get(), f);
        QCOMPARE(voice.cause, cause);
        QCOMPARE(voice.pcm.isEmpty(), !voice.ok());
        // Half a second of 440 Hz at half of full scale; MP3 and AAC add some tens of
        // milliseconds of silence to a stream, and their filters some ripple.
        if (voice.ok())
            QVERIFY2(qAbs(voice.durationMs() - 500) <= 60
                         && qAbs(rmsOf(voice.pcm, Rate, 100, 400) - 0.354) < 0.03,
                     qPrintable(QString::number(voice.durationMs())));
    }

    // What happens to a voice's file after it was read ahead, and what the next use sees.
    void storeFollowsTheFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("decodes"); // by the use after the change
        QTest::addColumn<int>("ms");      // of the voice it gives
        QTest::addColumn<QString>("cause");
        QTest::newRow("unchanged") << "" << 0 << 500 << "";
        QTest::newRow("replaced by a longer take") << "tone.mp3" << 1 << 548 << "";
        QTest::newRow("removed") << "remove" << 0 << 0 << "file non trovato";
    }

    void storeFollowsTheFile()
    {
        QFETCH(QString, change);
        QTemporaryDir dir;
        const QString path = dir.filePath("1.opus");
        QVERIFY(writeFile(path, fixture("tone.opus")));
        VoiceStore store;
        store.readAhead({path});
        store.waitForReadAhead();
        if (change == "remove")
            QVERIFY(QFile::remove(path));
        else if (!change.isEmpty()) // by rename, as editors save
            QVERIFY(writeFile(path + ".new", fixture(change))
                    && ::rename(qPrintable(path + ".new"), qPrintable(path)) == 0);
        const Voice voice = store.voice(path);
        QTEST(voice.cause, "cause");
        QTEST(int(store.durationMs(path)), "ms");
        // One decode read ahead. A removed file is read directly for its cause, not held.
        QTEST(store.decodeCount() - 1, "decodes");
    }

    void player()
    {
        // ctest runs this alone, as tst_voices_sound, where it starts a server of its own: a
        // missing server or pulseaudio fails it. Without a server the desktop's tests hear nothing.
        if (!qEnvironmentVariable("PULSE_SERVER").isEmpty())
            QSKIP("left to tst_voices_sound, which starts a sound server of its own");
        auto sound = std::make_unique<NullSinkServer>();
        QVERIFY2(sound->server.waitForStarted(10000), "install pulseaudio");
        QTRY_VERIFY2_WITH_TIMEOUT(!sound->pactl({"info"}).isEmpty(), "no sound server", 20000);
        qputenv("PULSE_SERVER", "unix:" + sound->socket.toUtf8());
        sound->monitor.start("parec", {"-d", "voci.monitor", "--raw", "--channels=1",
                                       "--rate=" + QString::number(Rate)});
        VoicePlayer player;
        QSignalSpy started(&player, &VoicePlayer::clipStarted);
        const QByteArray quiet = sinePcm(8000, 0.1, Rate), loud = sinePcm(400, 0.5, Rate);
        player.open();
        QTRY_COMPARE_WITH_TIMEOUT(player.state(), VoicePlayer::State::Open, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(sound->heard().count('.') >= 10, 20000);
        const quint64 first = player.play(quiet);
        QTRY_VERIFY_WITH_TIMEOUT(sound->heard().count('a') >= 10, 20000);
        const quint64 second = player.play(loud);
        // Silence after the loud clip, long enough for the quiet one to come back if it would.
        const QRegularExpression loudThenSilence("Ba?\\.{20}");
        QTRY_VERIFY_WITH_TIMEOUT(loudThenSilence.match(sound->heard()).hasMatch(), 20000);
        // Silence, the quiet clip stopped long before its end by the loud one, which plays whole,
        // then silence. A busy machine may starve the stream for a moment: the silence of such
        // a gap only delays what follows, so it is left out between the first sound and the last,
        // and the windows it cuts short read as quieter ones.
        const QString heard = sound->heard();
        QVERIFY2(QRegularExpression("^\\.+a[a.]*B[aB.]*\\.+$").match(heard).hasMatch()
                     && heard.count('a') * 20 < 4000
                     && heard.mid(heard.indexOf('B')).count('a') <= 5
                     && qAbs(sound->loudMs - 400) <= 40,
                 qPrintable(heard + QStringLiteral(", %1 ms loud").arg(sound->loudMs)));
        QCOMPARE(started.count(), 2);
        QCOMPARE(started[0][0].toULongLong(), first);
        QCOMPARE(started[1][0].toULongLong(), second);
        QVERIFY(started[1][1].toLongLong() > started[0][1].toLongLong());
        // One stream all along, open between the clips, closed with the player.
        QCOMPARE(sound->pactl({"list", "short", "sink-inputs"}).count('\n'), 1);
        player.close();
        QTRY_COMPARE_WITH_TIMEOUT(sound->pactl({"list", "short", "sink-inputs"}).count('\n'), 0,
                                  20000);
        QCOMPARE(player.state(), VoicePlayer::State::Closed);
    }
};

QTEST_GUILESS_MAIN(TestVoices)
#include "tst_voices.moc"
