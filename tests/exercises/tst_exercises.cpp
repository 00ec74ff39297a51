#include "exercises/FormTrova.h"
#include "exercises/FormTrova2.h"
#include "tests/support/TestProgram.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "ui/PictureBox.h"

#include <QRegularExpression>
#include <QTest>

namespace {

// A run with an exercise open, and what the tests look at on it.
struct Session : TestRun {
    explicit Session(const QStringList &words, const QByteArray &settings = {},
                     const QStringList &voices = {})
        : TestRun(words, {}, AsUsual, settings, voices)
    {
    }
    // What was heard, with the paints of the word asked: once it stops changing, a paint at the
    // end (the window repainted) is not counted.
    QString said() const
    {
        QStringList e = platform.events;
        while (!e.isEmpty() && e.last() == "paint")
            e.removeLast();
        return e.join(',');
    }
    Exercise *enter(ScreenId exercise, const QList<float> &draws = {})
    {
        open(id = exercise, draws);
        return screen<Exercise>(id);
    }
    FormTrova *t() const { return screen<FormTrova>(id); }
    FormTrova2 *t2() const { return screen<FormTrova2>(id); }
    // The control of a slot: "right", "wrong" (the next one), "other" (the one after) or a number.
    QWidget *slot(const QString &which) const
    {
        const int k = QStringList{"right", "wrong", "other"}.indexOf(which);
        const int i = k < 0 ? which.toInt() : (right() + k) % Exercise::Slots;
        if (i < 0 || i >= Exercise::Slots) // a key such as 7, which has no slot
            return nullptr;
        return t() ? static_cast<QWidget *>(t()->Label1[i]) : t2()->Image1[i];
    }
    // The number of the picture or word in each slot ("-" where the slot is hidden), and of the
    // one asked (words "parolaN").
    QStringList shown() const
    {
        QStringList n;
        for (int i = 0; i < Exercise::Slots; ++i)
            n << (slot(QString::number(i))->isHidden() ? "-"
                  : t()                                ? t()->Label1[i]->text().mid(6)
                        : QString::number(TestFolder::pictureNumberOf(t2()->Image1[i]->picture())));
        return n;
    }
    QString captions() const // the words as shown: the six captions, or the word asked
    {
        QStringList words;
        for (const ClickLabel *l :
             screen<Exercise>(id)->findChildren<ClickLabel *>(QRegularExpression("^Label1")))
            words << l->text();
        return words.join(',');
    }
    QString asked() const
    {
        return t() ? QString::number(TestFolder::pictureNumberOf(t()->Image1->picture()))
                   : t2()->Label1->text().mid(6);
    }
    int right() const { return t2() ? t2()->PosizioneGiusta : int(shown().indexOf(asked())); }
    // The count labels and the traffic lights on screen, then the board's other controls hidden.
    QString board() const
    {
        const Scoreboard &s = screen<Exercise>(id)->score;
        const auto shown = [](const QLabel *l) { return l->isHidden() ? QString() : l->text(); };
        QStringList hidden;
        for (const QWidget *c :
             std::initializer_list<const QWidget *>{s.Label2, s.Label3, s.cmdAzzera})
            if (c->isHidden())
                hidden << c->objectName();
        return QStringLiteral("[%1][%2] %3%4%5")
            .arg(shown(s.EtichettaEsatti), shown(s.EtichettaErrati),
                 s.IconaSi->isHidden() ? "" : "si", s.IconaNo->isHidden() ? "" : "no",
                 hidden.isEmpty() ? "" : " without " + hidden.join(','));
    }
    ScreenId id = ScreenId::FormTrova;
    // Every paint of the word asked in word to picture, logged among the beeps and the voices.
    struct PaintWatch : QObject {
        explicit PaintWatch(QStringList &e) : events(e) { qApp->installEventFilter(this); }
        QStringList &events;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && o->objectName() == "Label1"
                && qobject_cast<FormTrova2 *>(o->parent())
                && events.value(events.size() - 1) != "paint")
                events << "paint";
            return false;
        }
    } paints{platform.events};
};

} // namespace

using enum ScreenId; // hides the classes of the same names from here on

// A screen, the words, the first draws (then random ones), the user's steps with the checks (see
// answers()), and what follows: count labels and lights | counts at each beep | new questions;
// then the folder's settings and voices.
using Script =
    std::tuple<int, QStringList, QList<float>, QString, QString, QByteArray, QStringList>;

class TestExercises : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
};

void TestExercises::answers_data()
{
    QTest::addColumn<Script>("script");
    const auto row = [](const char *name, ScreenId s, const QByteArray &script,
                        const char *expected, QList<float> draws = {},
                        QStringList words = numberedWords(10), const QByteArray &settings = {},
                        QStringList voices = {}) {
        QTest::addRow("%s, %s", name, s == FormTrova ? "picture to word" : "word to picture")
            << Script{int(s), words, draws, script, expected, settings, voices};
    };
    const char *const none = "[0][0] sino |  | 0";
    const QByteArray idle = "window IconaSi IconaNo Label2 Label3 EtichettaEsatti EtichettaErrati ";
    for (ScreenId s : {FormTrova, FormTrova2}) {
        // The right slot 1 parts slot 2 from slot 0, whose word it draws again.
        row("redraws", s, "slots:3,2,5,4,6,7", none,
            {0.1f, 0.2f, 0.1f, 0.15f, 0.25f, 0.25f, 0.1f, 0.45f, 0.45f, 0.35f, 0.55f, 0.65f});
        row("last slot, highest draws", s, "slots:10,9,8,7,6,1", none,
            {0.0f, 0.9999f, 0.9999f, 0.85f, 0.75f, 0.65f, 0.55f});
        row("wrong answers keep the question, a right one brings a new one", s,
            "wrong wrong other right", "[ 1][ 3] si | 0/1 0/2 0/3 1/3 | 1");
        row("reset keeps the question and the light", s, "wrong right cmdAzzera",
            "[0][0] si | 0/1 1/1 0/0 0/0 | 1");
        row("a double-click or a double tap is one answer", s,
            s == FormTrova ? "double:wrong tap:right" : "tap:wrong double:right",
            "[ 1][ 1] si | 0/1 1/1 | 1");
        row("No to the back-to-menu question changes nothing", s, "wrong Command1",
            "[0][ 1] no | 0/1 | 0");
        row("other controls do nothing", s, idle + (s == FormTrova ? "Image1" : "Label1"), none);
    }
    row("counts start from zero at the next entry", FormTrova2, "right again right",
        "[ 1][0] si | 1/0 0/0 1/0 | 1");
    row("counts stop at 32767", FormTrova2, "near-limit right right wrong wrong",
        "[ 32767][ 32767] no | 32767/32766 32767/32766 32767/32767 32767/32767 | 2");
    // The word asked is word 1, in the slot the key should answer.
    row("key 6 is slot 5", FormTrova2, "key:6", "[ 1][0] si | 1/0 | 1", {0.0f, 0.95f});
    row("key 7 does nothing", FormTrova, "key:7", none);
    row("Ctrl+1 does nothing", FormTrova, "key:Ctrl+1", none);
    // Words 1 and 3 are both "mela": word 1 is asked in slot 0, word 3 lies in slot 1.
    const QStringList twice{"mela", "gatto", "mela", "cane", "sole", "luna", "casa"};
    const QList<float> draws{0.0f, 0.0f, 0.3f, 0.15f, 0.45f, 0.6f, 0.75f};
    row("same word twice, judged by text", FormTrova, "1", "[ 1][0] si | 1/0 | 1", draws, twice);
    row("same word twice, judged by place", FormTrova2, "1", "[0][ 1] no | 0/1 | 0", draws, twice);
    // Word 2 is an empty line, asked in slot 4.
    row("an empty word keeps its slot", FormTrova, "4", "[ 1][0] si | 1/0 | 1",
        {0.2f, 0.7f, 0.0f, 0.3f, 0.45f, 0.6f, 0.75f},
        {"mela", "", "cane", "sole", "luna", "casa", "treno"});

    // Fewer choices: word 3, the right place drawn among those used (r x choices), one draw for
    // each other place; the unused places take no click and no key.
    const QByteArray esercizi = "[esercizi]\r\n";
    for (ScreenId s : {FormTrova, FormTrova2})
        row("two choices: the outer places of the upper row", s,
            "slots:7,-,3,-,-,- 1 key:2 key:5 key:1 key:3", "[ 1][ 1] si | 0/1 1/1 | 1",
            {0.25f, 0.5f, 0.65f}, numberedWords(10), esercizi + "scelte=2");
    row("three choices: the upper row", FormTrova, "slots:1,10,3,-,-,- key:4 key:3",
        "[ 1][0] si | 1/0 | 1", {0.25f, 0.7f, 0.0f, 0.95f}, numberedWords(10),
        esercizi + "scelte=3");
    row("four choices: the corners, in capitals", FormTrova2,
        "slots:1,-,5,3,-,9 captions:PAROLA3 key:2 key:5 key:6", "[0][ 1] no | 0/1 | 0",
        {0.25f, 0.6f, 0.0f, 0.45f, 0.85f}, numberedWords(10),
        esercizi + "scelte=4\nscrittura=maiuscolo");
    // «città» and «Città» read alike in capitals: word 2 is drawn again. Judged as shown.
    row("capitals", FormTrova, "captions:CITTÀ,CANE,SOLE,LUNA,CASA,MARE 0", "[ 1][0] si | 1/0 | 1",
        {0.0f, 0.0f, 0.15f, 0.3f, 0.45f, 0.6f, 0.75f, 0.9f},
        {"città", "Città", "cane", "sole", "luna", "casa", "mare"},
        esercizi + "scrittura=maiuscolo");
    row("without the score, counted all the same", FormTrova, "wrong right",
        "[][]  without Label2,Label3,cmdAzzera | 0/1 1/1 | 1", {}, numberedWords(10),
        esercizi + "punteggio=no");
    // Voices. Word 3 is asked in place 0, then word 7 (heard: the voice's number; each paint of
    // the word asked: "paint").
    const QList<float> three{0.25f, 0.0f, 0.0f, 0.1f, 0.35f, 0.45f, 0.55f, 0.65f};
    QStringList all;
    for (int n = 1; n <= 10; ++n)
        all << QStringLiteral("voce/%1.ogg").arg(n);
    row("the word heard once painted, again on a click on it and on key 0, after the beep of a "
        "right answer, never on a wrong one",
        FormTrova2,
        "said:paint,3 Label1 key:0 said:paint,3,3,3 wrong right "
        "said:paint,3,3,3,beep,beep,paint,7 key:Num+0 said:paint,3,3,3,beep,beep,paint,7,7",
        "[ 1][ 1] si | 0/1 1/1 | 1", three, numberedWords(10), {}, all);
    row("the word of the picture found heard after its beep, none on a wrong answer", FormTrova,
        "wrong said:beep right said:beep,beep,3", "[ 1][ 1] si | 0/1 1/1 | 1", three,
        numberedWords(10), {}, all);
    row("a word without a voice is silent, a damaged voice too", FormTrova2,
        "painted right said:paint,beep,paint,7 right said:paint,beep,paint,7,beep",
        "[ 2][0] si | 1/0 2/0 | 2",
        QList<float>(three) << 0.0f << 0.0f << 0.1f << 0.25f << 0.35f << 0.45f << 0.45f,
        numberedWords(10), {}, {"VOCE/7.WAV", "VOCE/5.WAV=RIFF rotto"});
    row("voce=no: silent, the word written", FormTrova2,
        "painted right said:paint,beep captions:parola7", "[ 1][0] si | 1/0 | 1", three,
        numberedWords(10), esercizi + "voce=no\nascolto=si", all);
    row("ascolto=si: a speaker in place of the word, heard on a click", FormTrova2,
        "captions: said:paint,3 Label1 said:paint,3,3", "[0][0] sino |  | 0", three,
        numberedWords(10), esercizi + "ascolto=si", all);
    row("ascolto=si, a damaged voice: written", FormTrova2, "captions:parola3",
        "[0][0] sino |  | 0", three, numberedWords(10), esercizi + "ascolto=si",
        {"voce/3.ogg=OggS"});
}

void TestExercises::answers()
{
    QFETCH(Script, script);
    auto [screen, words, draws, steps, expected, settings, voices] = script;
    Session s(words, settings, voices);
    Exercise *w = s.enter(ScreenId(screen), draws << 0.5f); // one more, to see it left over
    QStringList beeps;
    s.platform.onBeep = [&] { beeps << QStringLiteral("%1/%2").arg(s.m.Esatti).arg(s.m.Errati); };
    for (const QString &step : steps.split(' ')) {
        const QString how = step.section(':', 0, 0), what = step.section(':', 1);
        QWidget *target = what.isEmpty() ? nullptr : s.slot(what);
        if (how == "slots") { // the question: the one asked in the right slot, every draw taken
            const QStringList n = s.shown();
            QCOMPARE(n[s.right()], s.asked());
            QCOMPARE(s.platform.randoms.size(), 1);
            QCOMPARE(n.join(','), what);
        } else if (how == "said") { // waits for the voices; then nothing more may come
            QTRY_COMPARE(s.said(), what);
            QCoreApplication::processEvents();
            QCOMPARE(s.said(), what);
        } else if (how == "painted") { // the first question is on the screen
            QTRY_VERIFY(s.platform.events.contains("paint"));
        } else if (how == "captions") {
            QCOMPARE(s.captions(), what);
        } else if (how == "double") { // what Qt delivers: press, release, double-click, release
            QTest::mouseClick(target, Qt::LeftButton);
            QTest::mouseDClick(target, Qt::LeftButton);
            QTest::mouseRelease(target, Qt::LeftButton);
        } else if (how == "tap") { // Qt makes the mouse events of touches, double-click included
            static QPointingDevice *device = QTest::createTouchDevice();
            for (int tap = 0; tap < 2; ++tap) {
                QTest::touchEvent(w, device).press(0, target->mapTo(w, QPoint(9, 9)));
                QTest::touchEvent(w, device).release(0, target->mapTo(w, QPoint(9, 9)));
            }
        } else if (how == "key") {
            QTest::keySequence(w->focusWidget(), QKeySequence(what));
        } else if (step == "again") { // back to the menu, and into the same exercise
            s.platform.answers = {true};
            QTest::mouseClick(w->Command1, Qt::LeftButton);
            w = s.enter(s.id);
        } else if (step == "near-limit") {
            s.m.Esatti = s.m.Errati = 32766;
        } else if (QWidget *c = step == "window" ? w : w->findChild<QWidget *>(step)) {
            QTest::mouseClick(c, Qt::LeftButton, {}, c == w ? QPoint(300, 440) : QPoint());
        } else {
            QTest::mouseClick(s.slot(step), Qt::LeftButton);
        }
    }
    QCOMPARE(QStringLiteral("%1 | %2 | %3")
                 .arg(s.board(), beeps.join(' '))
                 .arg(s.platform.loads / (w->id() == FormTrova ? 1 : s.m.settings.scelte)),
             expected);
}

QTEST_MAIN(TestExercises)
#include "tst_exercises.moc"
