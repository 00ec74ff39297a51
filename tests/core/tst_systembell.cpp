#include "desktop/CanberraBell.h"
#include "desktop/SystemBell.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
Q_DECLARE_METATYPE(SystemBell::Sound)

class TestSystemBell : public QObject {
    Q_OBJECT
private slots:
    void soundFor_data();
    void soundFor();
    void silentWithoutWindowSystem();
    void bellsInARowAreSpacedOut();
    void themeSoundLookup_data();
    void themeSoundLookup();
    void canberraNeverStalls();
    void canberraPlaysOnASoundDevice();
    void canberraMissingFileIsSilence();
};

void TestSystemBell::soundFor_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("themeAvailable");
    QTest::addColumn<SystemBell::Sound>("sound");
    using S = SystemBell::Sound;
    QTest::addRow("X11") << "xcb" << true << S::WindowSystem;
    QTest::addRow("X11 without libcanberra") << "xcb" << false << S::WindowSystem;
    QTest::addRow("Wayland") << "wayland" << true << S::SoundTheme;
    QTest::addRow("Wayland EGL") << "wayland-egl" << true << S::SoundTheme;
    QTest::addRow("Wayland without libcanberra") << "wayland" << false << S::Silence;
    QTest::addRow("framebuffer") << "linuxfb" << true << S::SoundTheme;
    QTest::addRow("offscreen") << "offscreen" << true << S::Silence;
    QTest::addRow("minimal") << "minimal" << true << S::Silence;
}

void TestSystemBell::soundFor()
{
    QFETCH(QString, platform);
    QFETCH(bool, themeAvailable);
    QFETCH(SystemBell::Sound, sound);
    QCOMPARE(SystemBell::soundFor(platform, themeAvailable), sound);
}

void TestSystemBell::silentWithoutWindowSystem()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    SystemBell bell;
    QCOMPARE(bell.sound(), SystemBell::Sound::Silence);
    bell.ring();
    bell.ring();
    QTRY_COMPARE_WITH_TIMEOUT(bell.waiting(), 0, 2000);
}

void TestSystemBell::bellsInARowAreSpacedOut()
{
    int sounded = 0;
    QList<qint64> at;
    QElapsedTimer clock;
    clock.start();
    SystemBell bell(
        [&] {
            ++sounded;
            at.append(clock.elapsed());
        },
        100ms);

    bell.ring(); // the first sounds at once
    QCOMPARE(sounded, 1);
    bell.ring(); // the reset button's second bell waits for it
    QCOMPARE(bell.waiting(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(sounded, 2, 3000);
    QVERIFY2(at[1] - at[0] >= 95, qPrintable(QString::number(at[1] - at[0])));

    // A burst of answers: one sounds, one waits, the others are dropped and never heard.
    QTest::qWait(150);
    for (int i = 0; i < 60; ++i)
        bell.ring();
    QCOMPARE(sounded, 3);
    QCOMPARE(bell.waiting(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(sounded, 4, 3000);
    QTest::qWait(300);
    QCOMPARE(sounded, 4);
    QCOMPARE(bell.waiting(), 0);
}

void TestSystemBell::themeSoundLookup_data()
{
    QTest::addColumn<QStringList>("files"); // made under the data folders "a" and "b"
    QTest::addColumn<QString>("found");
    const QString t = QStringLiteral("/sounds/freedesktop/stereo/");
    QTest::addRow("exact name") << QStringList{"b" + t + "bell-window-system.oga",
                                               "b" + t + "bell.oga"}
                                << "b" + t + "bell-window-system.oga";
    QTest::addRow("shorter name") << QStringList{"b" + t + "bell.oga"} << "b" + t + "bell.oga";
    QTest::addRow("first data folder wins")
        << QStringList{"a" + t + "bell.ogg", "b" + t + "bell.oga"} << "a" + t + "bell.ogg";
    QTest::addRow("longer name before earlier folder")
        << QStringList{"a" + t + "bell.oga", "b" + t + "bell-window.wav"}
        << "b" + t + "bell-window.wav";
    QTest::addRow("disabled") << QStringList{"a" + t + "bell-window-system.disabled",
                                             "b" + t + "bell.oga"}
                              << QString();
    QTest::addRow("other theme only")
        << QStringList{"a/sounds/ubuntu/stereo/bell.ogg"} << QString();
    QTest::addRow("other extension only") << QStringList{"a" + t + "bell.mp3"} << QString();
    QTest::addRow("none") << QStringList{} << QString();
}

void TestSystemBell::themeSoundLookup()
{
    QFETCH(QStringList, files);
    QFETCH(QString, found);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    for (const QString &f : files) {
        QVERIFY(QDir(root.path()).mkpath(QFileInfo(root.filePath(f)).path()));
        QFile file(root.filePath(f));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString expected = found.isEmpty() ? QString() : root.filePath(found);
    QCOMPARE(findThemeSound({root.filePath("a"), root.filePath("b")}, QStringLiteral("freedesktop"),
                            QStringLiteral("bell-window-system")),
             expected);
}

namespace {

QString themeBellFile()
{
    return findThemeSound({QStringLiteral("/usr/share")}, QStringLiteral("freedesktop"),
                          QStringLiteral("bell-window-system"));
}

// ctest runs the program twice, with ALSA configured by tests/core/alsa-none.conf (no sound
// device at all) and by alsa-null.conf (a device that takes sound and plays none).
bool soundDeviceIs(const char *config)
{
    return QFileInfo(qEnvironmentVariable("ALSA_CONFIG_PATH")).fileName() == QLatin1String(config);
}

} // namespace

void TestSystemBell::canberraNeverStalls()
{
    // Without a sound device every sound fails, and neither ringing nor ending may wait for the
    // sound system.
    if (!soundDeviceIs("alsa-none.conf"))
        QSKIP("run by ctest without a sound device");
    const QString file = themeBellFile();
    QVERIFY2(!file.isEmpty(), "install sound-theme-freedesktop");
    QElapsedTimer clock;
    {
        CanberraBell bell(file);
        QVERIFY2(bell.available(), "install libcanberra0");
        clock.start();
        bell.ring();
        bell.ring();
        QVERIFY(clock.elapsed() < 200);
        QTRY_COMPARE_WITH_TIMEOUT(bell.handled(), 2, 10000);
        QCOMPARE(bell.played(), 0);
        bell.ring();
        clock.restart();
    }
    QVERIFY2(clock.elapsed() < 5000, "the bell held the end of the program");
}

void TestSystemBell::canberraPlaysOnASoundDevice()
{
    // libcanberra must accept the sound as the bell describes it and report both finished.
    if (!soundDeviceIs("alsa-null.conf"))
        QSKIP("run by ctest with the null sound device");
    CanberraBell bell(themeBellFile());
    QVERIFY(bell.available());
    bell.ring();
    bell.ring();
    QTRY_COMPARE_WITH_TIMEOUT(bell.handled(), 2, 10000);
    QCOMPARE(bell.played(), 2);
}

void TestSystemBell::canberraMissingFileIsSilence()
{
    CanberraBell bell{QString()};
    QVERIFY(!bell.available());
    bell.ring();
    QCOMPARE(bell.handled(), 0);
}

QTEST_MAIN(TestSystemBell)
#include "tst_systembell.moc"
