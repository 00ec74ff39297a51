// The real platform: the Yes/No questions, the desktop's bell, the voices without a sound server.

#include "desktop/CanberraBell.h"
#include "desktop/DesktopPlatform.h"
#include "desktop/ItalianTranslation.h"
#include "desktop/SystemBell.h"
#include "tests/support/TestPictures.h"
#include "tests/support/TestProgram.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <optional>

#include <unistd.h>

using namespace std::chrono_literals;

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A desktop in English: without the translation the buttons would be too.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(installItalianTranslation(*qApp),
                 "qtbase_it.qm missing: install the Debian package qt6-translations-l10n");
    }

    void onlyAnAnswerEndsTheQuestion_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<qreal>("scale"); // of the window asked from: 2 fills the whiteboard
        QTest::newRow("Tab to No, then Space")
            << QList<int>{Qt::Key_Tab, Qt::Key_Space} << false << 1.0;
        // Enter takes the default.
        QTest::newRow("asked from a window filling a whiteboard: twice the desktop's size")
            << QList<int>{Qt::Key_Return} << true << 2.0;
    }

    void onlyAnAnswerEndsTheQuestion()
    {
        QFETCH(QList<int>, keys);
        QFETCH(qreal, scale);
        std::optional<TestRun> run; // the start screen filling the whiteboard of screens.json
        if (scale > 1) {
            QCursor::setPos(QGuiApplication::screens().at(1)->geometry().center());
            run.emplace(numberedWords(8), QList<float>{}, TestRun::AsUsual, "--schermo-intero");
        }
        DesktopPlatform platform;
        QString seen;
        qreal fontScale = 0;
        int cramped = 0; // the question over two lines, or buttons smaller than the scale's
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            QApplication::setActiveWindow(box);
            seen = box->windowTitle() + '|' + box->text() + '|'
                   + box->button(QMessageBox::Yes)->text().remove('&') + '|'
                   + box->button(QMessageBox::No)->text().remove('&');
            const QLabel *label = box->findChild<QLabel *>("qt_msgbox_label");
            fontScale = label->font().pointSizeF() / QApplication::font(box).pointSizeF();
            cramped = QFontMetrics(label->font()).horizontalAdvance(box->text())
                      > label->contentsRect().width(); // not on one line
            for (QAbstractButton *b : box->buttons())  // a button of the desktop's, times the scale
                cramped += b->height() < scale * QPushButton(b->text()).sizeHint().height();
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
        QCOMPARE(fontScale, scale);
        QCOMPARE(cramped, 0);
    }

    // The bell's rule on a clock of the test's: rings ("r", "r*N"), the clock moved on by a gap
    // ("+"), the sounds made by then ("=N", waited for as the bell's timer runs in real time).
    void bell_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("sixty at once: one sounds, one waits, the rest are dropped")
            << "r*60 =1 + =2";
        QTest::newRow("one rung as the waiting one sounds waits a gap after it")
            << "r r =1 + =2 r =2 + =3";
    }

    void bell()
    {
        QFETCH(QString, script);
        std::chrono::nanoseconds now{0};
        QList<std::chrono::nanoseconds> at;
        SystemBell bell([&] { at << now; }, 100ms, [&] { return now; });
        for (const QString &step : script.split(' ')) {
            if (step == "+")
                now += 100ms;
            for (int i = 0; step.startsWith('r') && i < qMax(1, step.mid(2).toInt()); ++i)
                bell.ring();
            if (step.startsWith('=')) {
                QTRY_VERIFY_WITH_TIMEOUT(at.size() >= step.mid(1).toInt(), 60000);
                QCOMPARE(at.size(), step.mid(1).toInt());
            }
        }
        QCOMPARE(bell.waiting(), 0); // so nothing more sounds
        for (qsizetype i = 1; i < at.size(); ++i)
            QVERIFY(at[i] - at[i - 1] >= 100ms);
    }

    void canberra()
    {
        // ctest runs this with ALSA's configuration of no sound device (alsa-none.conf: every sound
        // fails) and of the null device (alsa-null.conf: sounds play to nowhere). Every sound rung
        // is handled either way, and the bell ends while one fails to start.
        const bool device = qEnvironmentVariable("ALSA_CONFIG_PATH").endsWith("alsa-null.conf");
        QVERIFY(!CanberraBell(QString()).available());
        CanberraBell bell(findThemeSound({"/usr/share"}, "freedesktop", "bell-window-system"));
        QVERIFY2(bell.available(), "install libcanberra0 and sound-theme-freedesktop");
        bell.ring();
        bell.ring();
        QTRY_COMPARE_WITH_TIMEOUT(bell.handled(), 2, 60000);
        QCOMPARE(bell.played(), device ? 2 : 0);
        if (!device)
            bell.ring();
    }

    void voicesWithoutASoundServer()
    {
        // ctest names a sound server that does not exist: nothing can be heard, so the word stays
        // written; a damaged voice's cause goes to standard error, never to a box (which would
        // hold the test).
        QTemporaryDir dir;
        const QString good = dir.filePath("1.ogg"), damaged = dir.filePath("2.ogg");
        QVERIFY(writeFile(good, fileBytes(QFINDTESTDATA("../voices/fixtures/tone.ogg")))
                && writeFile(damaged, "OggS rotto"));
        QTemporaryFile errors;
        QVERIFY(errors.open());
        const int stderrFd = ::dup(2);
        ::dup2(errors.handle(), 2);
        {
            DesktopPlatform platform;
            platform.prepareVoices({good, damaged});
            QTRY_COMPARE(platform.voicePlayer().state(), VoicePlayer::State::Silent);
            const bool heard = platform.canSpeak(good);
            platform.speak(damaged);
            QTRY_VERIFY(errors.size() > 0);
            QVERIFY(!heard);
        }
        ::dup2(stderrFd, 2);
        ::close(stderrFd);
        errors.seek(0);
        QCOMPARE(QString::fromLocal8Bit(errors.readAll()),
                 "diveva: " + damaged + ": non è un file audio\n");
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
