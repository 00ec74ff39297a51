// The real platform: the Yes/No questions and the desktop's bell.

#include "desktop/CanberraBell.h"
#include "desktop/DesktopPlatform.h"
#include "desktop/ItalianTranslation.h"
#include "desktop/SystemBell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The test runs with LANG=C: without the translation the buttons are English.
        QCOMPARE(QLocale().language(), QLocale::C);
        QVERIFY2(installItalianTranslation(*qApp),
                 "qtbase_it.qm missing: install the Debian package qt6-translations-l10n");
    }

    void onlyAnAnswerEndsTheQuestion_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("yes");
        QTest::newRow("Enter takes the default") << QList<int>{Qt::Key_Return} << true;
        QTest::newRow("Tab to No, then Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << false;
    }

    void onlyAnAnswerEndsTheQuestion()
    {
        QFETCH(QList<int>, keys);
        DesktopPlatform platform;
        QString seen;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            QApplication::setActiveWindow(box);
            seen = box->windowTitle() + '|' + box->text() + '|'
                   + box->button(QMessageBox::Yes)->text().remove('&') + '|'
                   + box->button(QMessageBox::No)->text().remove('&');
            // None of the ways out that are not an answer closes it.
            QTest::keyClick(box, Qt::Key_Escape);
            box->close();
            if (!box->isVisible() || (box->windowFlags() & Qt::WindowCloseButtonHint)) {
                seen += QStringLiteral("|escaped");
                return;
            }
            for (int key : keys)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        });
        QTEST(platform.askYesNo(QStringLiteral("Vuoi uscire dal programma?")), "yes");
        QCOMPARE(seen, QStringLiteral("Diveva PAROLE/IMMAGINI|Vuoi uscire dal programma?|Sì|No"));
    }

    void soundFor()
    {
        // X11 rings even without libcanberra; Wayland needs it; no one hears a display in memory.
        using S = SystemBell::Sound;
        QCOMPARE(SystemBell::soundFor("xcb", false), S::WindowSystem);
        QCOMPARE(SystemBell::soundFor("wayland", true), S::SoundTheme);
        QCOMPARE(SystemBell::soundFor("wayland", false), S::Silence);
        QCOMPARE(SystemBell::soundFor("offscreen", true), S::Silence);
    }

    void aBurstLeavesOneBellWaiting()
    {
        // Sixty answers at once: one sounds, one waits (the reset button's second bell is heard),
        // spaced out, and the rest are never heard.
        QList<qint64> at;
        QElapsedTimer clock;
        clock.start();
        SystemBell bell([&] { at.append(clock.elapsed()); }, 100ms);
        for (int i = 0; i < 60; ++i)
            bell.ring();
        QCOMPARE(at.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(at.size(), 2, 3000);
        QVERIFY2(at[1] - at[0] >= 95, qPrintable(QString::number(at[1] - at[0])));
        QTest::qWait(300);
        QCOMPARE(at.size(), 2);
    }

    void themeSound()
    {
        // Data folders a to d: the most specific name wins over an earlier folder, the first
        // folder over a later one, and a disabled sound stops the search.
        QTemporaryDir root;
        const QString t = "/sounds/freedesktop/stereo/", exact = "b" + t + "bell-window-system";
        for (const QString &f : {"a" + t + "bell.oga", exact + ".oga",
                                 "c" + t + "bell-window-system.disabled", "d" + t + "bell.ogg"})
            QVERIFY(QDir(root.path()).mkpath(f.section('/', 0, -2))
                    && QFile(root.filePath(f)).open(QIODevice::WriteOnly));
        const auto found = [&](const QString &folders) {
            QStringList dirs;
            for (const QChar c : folders)
                dirs << root.filePath(c);
            return findThemeSound(dirs, "freedesktop", "bell-window-system")
                .remove(root.path() + '/');
        };
        QCOMPARE(found("ab"), exact + ".oga");
        QCOMPARE(found("da"), "d" + t + "bell.ogg");
        QCOMPARE(found("cb"), QString());
    }

    void canberra()
    {
        // ctest runs this with ALSA's configuration of no sound device (alsa-none.conf: every sound
        // fails) and of the null device (alsa-null.conf: sounds play to nowhere). Neither ringing
        // nor ending may wait for the sound system.
        const bool device = qEnvironmentVariable("ALSA_CONFIG_PATH").endsWith("alsa-null.conf");
        QVERIFY(!CanberraBell(QString()).available());
        QElapsedTimer clock;
        {
            CanberraBell bell(findThemeSound({"/usr/share"}, "freedesktop", "bell-window-system"));
            QVERIFY2(bell.available(), "install libcanberra0 and sound-theme-freedesktop");
            clock.start();
            bell.ring();
            bell.ring();
            QVERIFY(clock.elapsed() < 200);
            QTRY_COMPARE_WITH_TIMEOUT(bell.handled(), 2, 10000);
            QCOMPARE(bell.played(), device ? 2 : 0);
            if (!device) // ending while a sound fails to start
                bell.ring();
            clock.restart();
        }
        QVERIFY2(clock.elapsed() < 5000, "the bell held the end of the program");
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
