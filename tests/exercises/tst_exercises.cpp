#include "exercises/FormTrova.h"
#include "exercises/FormTrova2.h"
#include "screens/FormAvvio.h"
#include "screens/FormMenu.h"
#include "tests/support/Probes.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestProgram.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

#include <QTest>

using Numbers = QList<int>;

class TestExercises : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void layout_data();
    void layout();
    void questionFromScriptedDraws_data();
    void questionFromScriptedDraws();
    void sixWordsShowAllSix_data();
    void sixWordsShowAllSix();
    void wrongAnswersKeepTheQuestion_data();
    void wrongAnswersKeepTheQuestion();
    void doubleClickIsOneAnswer_data();
    void doubleClickIsOneAnswer();
    void sameWordTwiceByTextOrByPlace();
    void emptyWordCanBeAnswered();
    void resetKeepsQuestionAndIcon_data();
    void resetKeepsQuestionAndIcon();
    void countersStopAtTheirLimit_data();
    void countersStopAtTheirLimit();
    void onlyNamedControlsReact_data();
    void onlyNamedControlsReact();
    void everyEntryStartsFromZero();
    void digitKeysAnswer_data();
    void digitKeysAnswer();

private:
    Screen *start(ScreenId exercise, const QStringList &words, QList<float> draws = {});
    Numbers shown() const;      // word or picture number in each slot
    QWidget *slot(int i) const; // the clickable control of slot i
    int rightSlot() const;
    Scoreboard &score() const;
    QString state() const; // everything a click may change, as text

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<ScriptedPlatform> platform;
    std::unique_ptr<TestProgram> m;
    ScreenId id = ScreenId::FormTrova;
};

void TestExercises::cleanup()
{
    m.reset();
    flushDeletes();
    platform.reset();
    folder.reset();
}

Screen *TestExercises::start(ScreenId exercise, const QStringList &words, QList<float> draws)
{
    cleanup();
    id = exercise;
    folder = std::make_unique<TestFolder>();
    folder->writeWords(words);
    platform = std::make_unique<ScriptedPlatform>();
    m = std::make_unique<TestProgram>(*platform);
    m->Main();
    auto *avvio = qobject_cast<FormAvvio *>(m->registry.loaded(ScreenId::FormAvvio));
    QTest::mouseClick(avvio->Label1, Qt::LeftButton);
    auto *menu = qobject_cast<FormMenu *>(m->registry.loaded(ScreenId::FormMenu));
    platform->randoms = draws;
    platform->randomsTaken = 0;
    platform->beeps = 0;
    QTest::mouseClick(exercise == ScreenId::FormTrova ? menu->Command2 : menu->Command4,
                      Qt::LeftButton);
    flushDeletes();
    return m->registry.loaded(exercise);
}

QWidget *TestExercises::slot(int i) const
{
    if (auto *t = qobject_cast<FormTrova *>(m->registry.loaded(id)))
        return t->Label1[i];
    return qobject_cast<FormTrova2 *>(m->registry.loaded(id))->Image1[i];
}

Numbers TestExercises::shown() const
{
    Numbers numbers;
    for (int i = 0; i < 6; ++i) {
        if (auto *label = qobject_cast<QLabel *>(slot(i))) {
            const auto at = std::find(m->Parole.begin() + 1, m->Parole.end(), label->text());
            numbers << int(at - m->Parole.begin());
        } else {
            numbers << TestFolder::pictureNumberOf(static_cast<PictureBox *>(slot(i))->picture());
        }
    }
    return numbers;
}

int TestExercises::rightSlot() const
{
    if (auto *t2 = qobject_cast<FormTrova2 *>(m->registry.loaded(id)))
        return t2->PosizioneGiusta;
    return int(shown().indexOf(m->Estratto));
}

Scoreboard &TestExercises::score() const
{
    if (auto *t = qobject_cast<FormTrova *>(m->registry.loaded(id)))
        return t->score;
    return qobject_cast<FormTrova2 *>(m->registry.loaded(id))->score;
}

QString TestExercises::state() const
{
    Scoreboard &s = score();
    QString question;
    for (int n : shown())
        question += QString::number(n) + ' ';
    if (auto *t = qobject_cast<FormTrova *>(m->registry.loaded(id)))
        question +=
            QStringLiteral("picture %1").arg(TestFolder::pictureNumberOf(t->Image1->picture()));
    else
        question += qobject_cast<FormTrova2 *>(m->registry.loaded(id))->Label1->text();
    return QStringLiteral("%1 | %2/%3 | si:%4 no:%5 | E%6 R%7 | beeps %8 draws %9")
        .arg(question, s.EtichettaEsatti->text(), s.EtichettaErrati->text())
        .arg(!s.IconaSi->isHidden())
        .arg(!s.IconaNo->isHidden())
        .arg(m->Esatti)
        .arg(m->Errati)
        .arg(platform->beeps)
        .arg(platform->randomsTaken);
}

void TestExercises::layout_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<QRect>>(
        "rects"); // cmdAzzera, IconaSi, Command1, slot 0, slot 5, picture/word
    QTest::addColumn<QStringList>("tabs");
    QTest::addRow("picture to word")
        << int(ScreenId::FormTrova) << "Diveva l'immagine alla parola"
        << QList<QRect>{{240, 32, 153, 49},  {472, 24, 65, 65},   {520, 392, 81, 33},
                        {176, 152, 113, 65}, {464, 240, 113, 65}, {8, 128, 153, 161}}
        << QStringList{"Command1", "IconaSi", "IconaNo", "cmdAzzera"};
    QTest::addRow("word to picture")
        << int(ScreenId::FormTrova2) << "Riconosci l'immagine corrispondente alla parola"
        << QList<QRect>{{248, 24, 153, 49},   {480, 24, 65, 65},    {528, 400, 81, 33},
                        {160, 112, 121, 129}, {480, 256, 121, 129}, {8, 232, 129, 33}}
        << QStringList{"Command1", "IconaSi", "IconaNo", "cmdAzzera"};
}

void TestExercises::layout()
{
    QFETCH(int, screen);
    QFETCH(QString, title);
    QFETCH(QList<QRect>, rects);
    QFETCH(QStringList, tabs);
    Screen *w = start(ScreenId(screen), numberedWords(8));
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), title);
    QCOMPARE(w->size(), QSize(632, 453));
    Scoreboard &s = score();
    QCOMPARE(s.cmdAzzera->geometry(), rects[0]);
    QCOMPARE(s.cmdAzzera->text(), QStringLiteral("AzzeraPunteggio"));
    QCOMPARE(s.IconaSi->geometry(), rects[1]);
    QCOMPARE(s.IconaNo->geometry(), rects[1]);
    QCOMPARE(s.IconaSi->iconSize(), QSize(32, 32));
    QVERIFY(!s.IconaSi->icon().isNull() && !s.IconaNo->icon().isNull());
    auto *back = w->findChild<QPushButton *>(QStringLiteral("Command1"));
    QCOMPARE(back->geometry(), rects[2]);
    QCOMPARE(back->text(), QStringLiteral("Torna al menù"));
    // The whole caption shows, whatever the desktop's default font.
    QVERIFY(QFontMetrics(back->font()).horizontalAdvance(back->text()) < back->width() - 4);
    QCOMPARE(back->font().family(), QFont().family());
    QCOMPARE(slot(0)->geometry(), rects[3]);
    QCOMPARE(slot(5)->geometry(), rects[4]);
    const QWidget *single = screen == int(ScreenId::FormTrova)
                                ? static_cast<QWidget *>(qobject_cast<FormTrova *>(w)->Image1)
                                : qobject_cast<FormTrova2 *>(w)->Label1;
    QCOMPARE(single->geometry(), rects[5]);
    QCOMPARE(s.Label2->text(), QStringLiteral("ESATTI"));
    QCOMPARE(s.Label2->geometry(), QRect(40, 16, 81, 33));
    QCOMPARE(s.Label3->text(), QStringLiteral("ERRATI"));
    QCOMPARE(s.EtichettaErrati->geometry(), QRect(144, 64, 57, 33));
    QCOMPARE(s.EtichettaEsatti->font().pointSizeF(), 15.75);
    QCOMPARE(tabOrder(w), tabs);
    // Opening shows a whole question, both counts "0" and both lights.
    QCOMPARE(s.EtichettaEsatti->text(), QStringLiteral("0"));
    QCOMPARE(s.EtichettaErrati->text(), QStringLiteral("0"));
    QVERIFY(s.IconaSi->isVisible() && s.IconaNo->isVisible());
    QVERIFY(!shown().contains(0));
    if (auto *t2 = qobject_cast<FormTrova2 *>(w)) {
        QCOMPARE(t2->Label1->text(), m->word(m->Estratto));
        QCOMPARE(t2->Label1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(t2->Label1->autoFillBackground());
        QVERIFY(t2->Label1->alignment() & Qt::AlignHCenter);
    }
}

void TestExercises::questionFromScriptedDraws_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<QList<float>>("draws");
    QTest::addColumn<Numbers>("expected");
    QTest::addColumn<int>("taken");
    for (const auto &[name, screen] :
         {std::pair{"words", ScreenId::FormTrova}, {"pictures", ScreenId::FormTrova2}}) {
        // Ten words. Word 6 (r 0.5) in slot 3 (r 0.5); slot 0 draws 6 again and then 1, slot 1
        // draws 1 again and then 2; slots 2, 4, 5 take 3, 4, 5 at once.
        QTest::addRow("%s: redraws", name)
            << int(screen)
            << QList<float>{0.5f, 0.5f, 0.55f, 0.05f, 0.05f, 0.15f, 0.25f, 0.35f, 0.45f}
            << Numbers{1, 2, 3, 6, 4, 5} << 9;
        QTest::addRow("%s: first slot", name)
            << int(screen) << QList<float>{0.95f, 0.0f, 0.0f, 0.1f, 0.2f, 0.3f, 0.4f}
            << Numbers{10, 1, 2, 3, 4, 5} << 7;
        QTest::addRow("%s: last slot, highest draws", name)
            << int(screen) << QList<float>{0.0f, 0.9999f, 0.9999f, 0.85f, 0.75f, 0.65f, 0.55f}
            << Numbers{10, 9, 8, 7, 6, 1} << 7;
        // A slot redraws until it differs from every earlier slot, however many draws it takes.
        QTest::addRow("%s: long redraw", name)
            << int(screen) << QList<float>{0.1f, 0.2f,  0.1f,  0.15f, 0.25f, 0.25f,
                                           0.1f, 0.45f, 0.45f, 0.35f, 0.55f, 0.65f}
            << Numbers{3, 2, 5, 4, 6, 7} << 12;
    }
}

void TestExercises::questionFromScriptedDraws()
{
    QFETCH(int, screen);
    QFETCH(QList<float>, draws);
    QFETCH(Numbers, expected);
    QFETCH(int, taken);
    QVERIFY(start(ScreenId(screen), numberedWords(10), draws));
    QCOMPARE(shown(), expected);
    QCOMPARE(platform->randomsTaken, taken);
    const int right = rightSlot();
    QCOMPARE(expected[right], int(m->Estratto));
    if (auto *t = qobject_cast<FormTrova *>(m->registry.loaded(id)))
        QCOMPARE(TestFolder::pictureNumberOf(t->Image1->picture()), int(m->Estratto));
    QCOMPARE(platform->beeps, 1); // the menu's, after opening
}

void TestExercises::sixWordsShowAllSix_data()
{
    QTest::addColumn<int>("screen");
    QTest::addRow("words") << int(ScreenId::FormTrova);
    QTest::addRow("pictures") << int(ScreenId::FormTrova2);
}

void TestExercises::sixWordsShowAllSix()
{
    QFETCH(int, screen);
    start(ScreenId(screen), numberedWords(6));
    QSet<int> rightSlots;
    for (int q = 0; q < 40; ++q) {
        Numbers numbers = shown();
        const int right = rightSlot();
        rightSlots << right;
        QCOMPARE(numbers[right], int(m->Estratto));
        std::sort(numbers.begin(), numbers.end());
        QCOMPARE(numbers, Numbers({1, 2, 3, 4, 5, 6}));
        QTest::mouseClick(slot(right), Qt::LeftButton);
    }
    QCOMPARE(m->Esatti, qint16(40));
    QVERIFY(rightSlots.size() >= 4); // drawn anew for every question
}

void TestExercises::wrongAnswersKeepTheQuestion_data() { sixWordsShowAllSix_data(); }

void TestExercises::wrongAnswersKeepTheQuestion()
{
    QFETCH(int, screen);
    start(ScreenId(screen), numberedWords(9));
    Scoreboard &s = score();
    const Numbers question = shown();
    const int wrong = (rightSlot() + 2) % 6;
    const int drawsBefore = platform->randomsTaken;

    QTest::mouseClick(slot(wrong), Qt::LeftButton);
    QTest::mouseClick(slot(wrong), Qt::LeftButton);
    QTest::mouseClick(slot((wrong + 1) % 6 == rightSlot() ? (wrong + 2) % 6 : (wrong + 1) % 6),
                      Qt::LeftButton);
    QCOMPARE(shown(), question);
    QCOMPARE(platform->randomsTaken, drawsBefore);
    QCOMPARE(m->Errati, qint16(3));
    QCOMPARE(s.EtichettaErrati->text(), QStringLiteral(" 3"));
    QCOMPARE(s.EtichettaEsatti->text(), QStringLiteral("0"));
    QVERIFY(s.IconaNo->isVisible() && !s.IconaSi->isVisible());
    QCOMPARE(platform->beeps, 1 + 3);

    QTest::mouseClick(slot(rightSlot()), Qt::LeftButton);
    QCOMPARE(m->Esatti, qint16(1));
    QCOMPARE(s.EtichettaEsatti->text(), QStringLiteral(" 1"));
    QCOMPARE(s.EtichettaErrati->text(), QStringLiteral(" 3"));
    QVERIFY(s.IconaSi->isVisible() && !s.IconaNo->isVisible());
    QCOMPARE(platform->beeps, 1 + 4);
    QVERIFY(platform->randomsTaken >= drawsBefore + 7); // a new question was drawn
}

void TestExercises::doubleClickIsOneAnswer_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<bool>("right");
    QTest::addColumn<bool>("touch");
    QTest::newRow("wrong word, mouse") << int(ScreenId::FormTrova) << false << false;
    QTest::newRow("right word, mouse") << int(ScreenId::FormTrova) << true << false;
    QTest::newRow("right picture, mouse") << int(ScreenId::FormTrova2) << true << false;
    QTest::newRow("wrong picture, double tap") << int(ScreenId::FormTrova2) << false << true;
    QTest::newRow("right picture, double tap") << int(ScreenId::FormTrova2) << true << true;
}

void TestExercises::doubleClickIsOneAnswer()
{
    QFETCH(int, screen);
    QFETCH(bool, right);
    QFETCH(bool, touch);
    start(ScreenId(screen), numberedWords(9));
    QWidget *target = slot(right ? rightSlot() : (rightSlot() + 1) % 6);
    const QPoint at = target->rect().center();
    QString afterFirst;
    if (touch) {
        // Taps reach the window as touches; Qt makes the mouse events, double-click included.
        static QPointingDevice *device = QTest::createTouchDevice();
        QWidget *window = target->window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QPoint p = target->mapTo(window, at);
        for (int tap = 0; tap < 2; ++tap) {
            QTest::touchEvent(window, device).press(0, p);
            QTest::touchEvent(window, device).release(0, p);
            if (tap == 0)
                afterFirst = state();
        }
    } else {
        // What Qt delivers for a double-click: press, release, double-click, release.
        QTest::mousePress(target, Qt::LeftButton, {}, at);
        QTest::mouseRelease(target, Qt::LeftButton, {}, at);
        afterFirst = state();
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, target->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(target, &twice);
        QTest::mouseRelease(target, Qt::LeftButton, {}, at);
    }
    QCOMPARE(state(), afterFirst);
    QCOMPARE(right ? m->Esatti : m->Errati, qint16(1));
    QCOMPARE(right ? m->Errati : m->Esatti, qint16(0));
    QCOMPARE(platform->beeps, 1 + 1);
}

void TestExercises::sameWordTwiceByTextOrByPlace()
{
    // Words 1 and 3 are both "mela". Word 1 is asked, in slot 0; slot 1 gets word 3.
    const QStringList words{"mela", "gatto", "mela", "cane", "sole", "luna", "casa"};
    const QList<float> draws{0.0f, 0.0f, 0.3f, 0.15f, 0.45f, 0.6f, 0.75f};

    start(ScreenId::FormTrova, words, draws);
    QCOMPARE(shown().size(), 6);
    auto *trova = qobject_cast<FormTrova *>(m->registry.loaded(id));
    QCOMPARE(trova->Label1[1]->text(), QStringLiteral("mela"));
    QTest::mouseClick(slot(1), Qt::LeftButton); // the other "mela": judged by its text, right
    QCOMPARE(m->Esatti, qint16(1));
    QCOMPARE(m->Errati, qint16(0));

    start(ScreenId::FormTrova2, words, draws);
    auto *trova2 = qobject_cast<FormTrova2 *>(m->registry.loaded(id));
    QCOMPARE(trova2->PosizioneGiusta, qint16(0));
    QCOMPARE(TestFolder::pictureNumberOf(trova2->Image1[1]->picture()), 3);
    QTest::mouseClick(slot(1),
                      Qt::LeftButton); // the picture of the other "mela": judged by place, wrong
    QCOMPARE(m->Esatti, qint16(0));
    QCOMPARE(m->Errati, qint16(1));
}

void TestExercises::emptyWordCanBeAnswered()
{
    // Word 2 is an empty line. Asked in slot 4, it keeps its slot and a click on it is right.
    const QStringList words{"mela", "", "cane", "sole", "luna", "casa", "treno"};
    start(ScreenId::FormTrova, words, {0.2f, 0.7f, 0.0f, 0.3f, 0.45f, 0.6f, 0.75f});
    auto *trova = qobject_cast<FormTrova *>(m->registry.loaded(id));
    QCOMPARE(m->Estratto, qint16(2));
    QCOMPARE(trova->Label1[4]->text(), QString());
    QCOMPARE(TestFolder::pictureNumberOf(trova->Image1->picture()), 2);
    QStringList others;
    for (int i : {0, 1, 2, 3, 5})
        others << trova->Label1[i]->text();
    QCOMPARE(others, QStringList({"mela", "cane", "sole", "luna", "casa"}));
    QTest::mouseClick(slot(0), Qt::LeftButton);
    QCOMPARE(m->Errati, qint16(1));
    QTest::mouseClick(slot(4), Qt::LeftButton);
    QCOMPARE(m->Esatti, qint16(1));
}

void TestExercises::resetKeepsQuestionAndIcon_data() { sixWordsShowAllSix_data(); }

void TestExercises::resetKeepsQuestionAndIcon()
{
    QFETCH(int, screen);
    start(ScreenId(screen), numberedWords(8));
    Scoreboard &s = score();
    QTest::mouseClick(slot((rightSlot() + 1) % 6), Qt::LeftButton);
    QTest::mouseClick(slot(rightSlot()), Qt::LeftButton);
    const Numbers question = shown();
    QList<int> beepsAtReset;
    platform->onBeep = [&] { beepsAtReset << m->Esatti + m->Errati; };

    QTest::mouseClick(s.cmdAzzera, Qt::LeftButton);
    QCOMPARE(beepsAtReset, QList<int>({0, 0})); // two beeps, after the counts are zero
    QCOMPARE(s.EtichettaEsatti->text(), QStringLiteral("0"));
    QCOMPARE(s.EtichettaErrati->text(), QStringLiteral("0"));
    QCOMPARE(shown(), question);
    QVERIFY(s.IconaSi->isVisible() && !s.IconaNo->isVisible());

    platform->onBeep = nullptr;
    QTest::mouseClick(slot(rightSlot()), Qt::LeftButton);
    QCOMPARE(s.EtichettaEsatti->text(), QStringLiteral(" 1"));
    QCOMPARE(s.EtichettaErrati->text(), QStringLiteral("0"));
}

void TestExercises::countersStopAtTheirLimit_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<bool>("right");
    QTest::addRow("words, right") << int(ScreenId::FormTrova) << true;
    QTest::addRow("words, wrong") << int(ScreenId::FormTrova) << false;
    QTest::addRow("pictures, right") << int(ScreenId::FormTrova2) << true;
    QTest::addRow("pictures, wrong") << int(ScreenId::FormTrova2) << false;
}

void TestExercises::countersStopAtTheirLimit()
{
    QFETCH(int, screen);
    QFETCH(bool, right);
    start(ScreenId(screen), numberedWords(8));
    Scoreboard &s = score();
    qint16 &counter = right ? m->Esatti : m->Errati;
    counter = 32766;
    const int drawsBefore = platform->randomsTaken;
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(slot(right ? rightSlot() : (rightSlot() + 1) % 6), Qt::LeftButton);
    QCOMPARE(counter, qint16(32767));
    QCOMPARE((right ? s.EtichettaEsatti : s.EtichettaErrati)->text(), QStringLiteral(" 32767"));
    QCOMPARE(platform->beeps, 1 + 2);
    QCOMPARE(s.IconaSi->isVisible(), right);
    QCOMPARE(s.IconaNo->isVisible(), !right);
    QCOMPARE(platform->randomsTaken > drawsBefore + 10,
             right); // two new questions after right answers
}

void TestExercises::onlyNamedControlsReact_data() { sixWordsShowAllSix_data(); }

void TestExercises::onlyNamedControlsReact()
{
    QFETCH(int, screen);
    Screen *w = start(ScreenId(screen), numberedWords(8));
    Scoreboard &s = score();
    const QString before = state();
    QList<QWidget *> idle{w, s.IconaSi, s.Label2, s.Label3, s.EtichettaEsatti, s.EtichettaErrati};
    if (auto *t = qobject_cast<FormTrova *>(w))
        idle << t->Image1;
    else
        idle << qobject_cast<FormTrova2 *>(w)->Label1;
    for (QWidget *c : idle)
        QTest::mouseClick(c, Qt::LeftButton, {}, c == w ? QPoint(300, 440) : c->rect().center());
    s.IconaSi->hide();
    QTest::mouseClick(s.IconaNo, Qt::LeftButton);
    s.IconaSi->show();
    QCOMPARE(state(), before);
}

void TestExercises::everyEntryStartsFromZero()
{
    start(ScreenId::FormTrova, numberedWords(8));
    QTest::mouseClick(slot(rightSlot()), Qt::LeftButton);
    QTest::mouseClick(slot((rightSlot() + 1) % 6), Qt::LeftButton);
    QVERIFY(!score().IconaSi->isVisible());

    // No to the question changes nothing at all.
    auto back = [this] { return m->registry.loaded(id)->findChild<QPushButton *>("Command1"); };
    const QString before = state();
    platform->answers = {false};
    QTest::mouseClick(back(), Qt::LeftButton);
    QCOMPARE(state(), before);

    for (ScreenId next : {ScreenId::FormTrova, ScreenId::FormTrova2, ScreenId::FormTrova}) {
        platform->answers = {true};
        QTest::mouseClick(back(), Qt::LeftButton);
        flushDeletes();
        auto *menu = qobject_cast<FormMenu *>(m->registry.loaded(ScreenId::FormMenu));
        QVERIFY(menu);
        const int beeps = platform->beeps;
        QTest::mouseClick(next == ScreenId::FormTrova ? menu->Command2 : menu->Command4,
                          Qt::LeftButton);
        id = next;
        QCOMPARE(platform->beeps, beeps + 1);
        QCOMPARE(m->Esatti, qint16(0));
        QCOMPARE(m->Errati, qint16(0));
        QCOMPARE(score().EtichettaEsatti->text(), QStringLiteral("0"));
        QVERIFY(score().IconaSi->isVisible() && score().IconaNo->isVisible());
        QTest::mouseClick(slot((rightSlot() + 1) % 6), Qt::LeftButton);
    }
}

void TestExercises::digitKeysAnswer_data()
{
    QTest::addColumn<int>("screen");
    QTest::addColumn<bool>("keypad");
    QTest::addRow("words, main keys") << int(ScreenId::FormTrova) << false;
    QTest::addRow("words, keypad") << int(ScreenId::FormTrova) << true;
    QTest::addRow("pictures, main keys") << int(ScreenId::FormTrova2) << false;
    QTest::addRow("pictures, keypad") << int(ScreenId::FormTrova2) << true;
}

void TestExercises::digitKeysAnswer()
{
    QFETCH(int, screen);
    QFETCH(bool, keypad);
    Screen *w = start(ScreenId(screen), numberedWords(8));
    QWidget *focused = w->focusWidget();
    const Qt::KeyboardModifiers mods = keypad ? Qt::KeypadModifier : Qt::NoModifier;
    // Every wrong key counts once; then the key of the right slot answers right.
    int wrong = 0;
    const int right = rightSlot();
    for (int i = 0; i < 6; ++i) {
        if (i == right)
            continue;
        QTest::keyClick(focused, Qt::Key(Qt::Key_1 + i), mods);
        QCOMPARE(m->Errati, qint16(++wrong));
    }
    QTest::keyClick(focused, Qt::Key(Qt::Key_1 + right), mods);
    QCOMPARE(m->Esatti, qint16(1));
    QTest::keyClick(focused, Qt::Key_7, mods);
    QTest::keyClick(focused, Qt::Key_0, mods);
    QCOMPARE(m->Errati, qint16(5));
    QCOMPARE(m->Esatti, qint16(1));
    QCOMPARE(w->focusWidget(), focused);
}

QTEST_MAIN(TestExercises)
#include "tst_exercises.moc"
