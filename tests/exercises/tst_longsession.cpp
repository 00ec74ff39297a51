// A child's long session, in process: 20,000 answers and 2,000 trips from the menu to an exercise
// and back. Nothing may pile up: the windows and controls of every unloaded screen are destroyed,
// and the sanitizer build finds no leak.

#include "exercises/FormTrova.h"
#include "exercises/FormTrova2.h"
#include "screens/FormMenu.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestProgram.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

#include <QApplication>
#include <QTest>

namespace {

constexpr int Trips = 2000;
constexpr int AnswersPerTrip = 10;

// Runs the deferred deletions of unloaded screens, as the event loop would after the handler.
void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

template <typename T>
T *child(QWidget *screen, const QString &name)
{
    T *control = screen->findChild<T *>(name);
    if (!control)
        qFatal("no control %s on %s", qPrintable(name), qPrintable(screen->objectName()));
    return control;
}

} // namespace

class TestLongSession : public QObject {
    Q_OBJECT
private slots:
    void answersAndTrips();
};

void TestLongSession::answersAndTrips()
{
    TestFolder folder;
    folder.writeWords(
        {"mela", "gatto", "cane", "sole", "luna", "casa", "albero", "fiore", "treno", "libro"});
    ScriptedPlatform platform;
    platform.readPictures = false; // the pictures' content plays no part here
    TestProgram m(platform);
    m.Main();
    QTest::mouseClick(m.registry.loaded(ScreenId::FormAvvio), Qt::LeftButton);
    settle();
    auto *menu = qobject_cast<FormMenu *>(m.registry.loaded(ScreenId::FormMenu));
    QVERIFY(menu);
    const qsizetype widgetsAtMenu = QApplication::allWidgets().size();

    int right = 0;
    int wrong = 0;
    for (int trip = 0; trip < Trips; ++trip) {
        const bool wordToPicture = trip % 2 == 1;
        QTest::mouseClick(child<Button>(menu, wordToPicture ? QStringLiteral("Command4")
                                                            : QStringLiteral("Command2")),
                          Qt::LeftButton);
        settle();
        QVERIFY(!m.registry.loaded(ScreenId::FormMenu));
        Screen *exercise =
            m.registry.loaded(wordToPicture ? ScreenId::FormTrova2 : ScreenId::FormTrova);
        QVERIFY(exercise);

        // Right and wrong answers in turn, by mouse on the slot's control.
        for (int a = 0; a < AnswersPerTrip; ++a) {
            const bool answerRight = (trip + a) % 2 == 0;
            QWidget *target = nullptr;
            if (wordToPicture) {
                auto *trova2 = static_cast<FormTrova2 *>(exercise);
                const int right = trova2->PosizioneGiusta;
                const int slot = answerRight ? right : (right + 1) % 6;
                target = child<PictureBox>(exercise, QStringLiteral("Image1_%1").arg(slot));
            } else {
                auto *trova = static_cast<FormTrova *>(exercise);
                const QString word = m.word(m.Estratto);
                for (ClickLabel *label : trova->Label1)
                    if ((label->text() == word) == answerRight) {
                        target = label;
                        break;
                    }
            }
            QVERIFY(target);
            QTest::mouseClick(target, Qt::LeftButton);
            (answerRight ? right : wrong) += 1;
        }
        QCOMPARE(m.Esatti + m.Errati, AnswersPerTrip);

        platform.answers = {true};
        QTest::mouseClick(child<Button>(exercise, QStringLiteral("Command1")), Qt::LeftButton);
        settle();
        menu = qobject_cast<FormMenu *>(m.registry.loaded(ScreenId::FormMenu));
        QVERIFY(menu);
        QCOMPARE(m.registry.loadedCount(), 1);
        QCOMPARE(QApplication::allWidgets().size(), widgetsAtMenu);
    }

    QCOMPARE(right + wrong, Trips * AnswersPerTrip);
    // One beep per answer and one per exercise opened.
    QCOMPARE(platform.beeps, Trips * AnswersPerTrip + Trips);
    QCOMPARE(m.registry.loadCount(ScreenId::FormTrova) + m.registry.loadCount(ScreenId::FormTrova2),
             Trips);
    QCOMPARE(QApplication::allWidgets().size(), widgetsAtMenu);
    QVERIFY(platform.informs.isEmpty());
    QCOMPARE(platform.endStatus, -1);
}

QTEST_MAIN(TestLongSession)
#include "tst_longsession.moc"
