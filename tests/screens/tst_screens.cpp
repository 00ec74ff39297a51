#include "tests/support/TestProgram.h"
#include "ui/Button.h"
#include "ui/PictureBox.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTest>

using enum ScreenId;

namespace {

const char *const names[] = {"FormAvvio", "FormMenu", "FormTrova", "FormTrova2"};

// The loaded screens whose windows show.
QString showing(const TestRun &run)
{
    QStringList shown;
    for (int s = 0; s < int(Count); ++s)
        if (Screen *w = run.m.registry.loaded(ScreenId(s)); w && w->isVisible())
            shown << names[s];
    return shown.join(' ');
}

} // namespace

// A control of the fixed design (the window itself by its screen's name): screen, name, place,
// caption or window title, "font points [bold]"; a null text is not checked. Then the screen of
// tests/screens/screens.json that the windows fill ("1920x1080@2": its size and device pixel
// ratio), or none for the design's own window.
using Control = std::tuple<int, QString, QRect, QString, QString, QString>;
// A screen, a user's action on it, what follows, the folder's settings.
using Step = std::tuple<int, QString, QString, QByteArray>;

class TestScreens : public QObject {
    Q_OBJECT
private slots:
    void design_data();
    void design();
    void navigation_data();
    void navigation();
};

void TestScreens::design_data()
{
    QTest::addColumn<Control>("control");
    const auto row = [](ScreenId s, const QString &name, QRect rect, const char *text = nullptr,
                        const char *font = nullptr, const char *fills = "") {
        QTest::addRow("%s %s%s%s", names[int(s)], qPrintable(name), *fills ? " filling " : "",
                      fills)
            << Control{int(s), name, rect, QString(text), QString(font), QString(fills)};
    };
    const QRect window(0, 0, 632, 453);
    const char *const arial14 = "Arial 14.25 bold", *arial15 = "Arial 15.75 bold";
    // Every screen's window is of one size; the other titles are those the end-to-end session
    // waits for.
    row(FormAvvio, "FormAvvio", window,
        "Diveva PAROLE/IMMAGINI - realizzato dal gruppo di lavoro Diveva");
    row(FormAvvio, "Label1", {176, 56, 297, 33}, "DIVEVA  PAROLA/IMMAGINE", arial14);
    for (int k = 0; k < 4; ++k) // left to right on screen: 3, 0, 2, 1
        row(FormAvvio, QStringLiteral("Image1_%1").arg("3021"[k]), {16 + k * 152, 136, 145, 145});
    row(FormMenu, "Command4", {184, 104, 313, 49}, "Diveva l'immagine alla parola", arial14);
    row(FormMenu, "Command2", {184, 200, 313, 49}, "Diveva la parola all'immagine", arial14);
    row(FormMenu, "Command1", {536, 384, 89, 49}, "&&Esci", arial14); // "&", no access key
    row(FormTrova, "Command1", {520, 392, 81, 33}, "Torna al menù", nullptr);
    row(FormTrova, "cmdAzzera", {240, 32, 153, 49}, "AzzeraPunteggio", "Arial 12 bold");
    row(FormTrova, "IconaSi", {472, 24, 65, 65}, "", nullptr);
    row(FormTrova, "Image1", {8, 128, 153, 161});
    for (int i = 0; i < 6; ++i)
        row(FormTrova, QStringLiteral("Label1_%1").arg(i),
            {176 + i % 3 * 144, 152 + i / 3 * 88, 113, 65}, nullptr, "MS Sans Serif 13.5 bold");
    row(FormTrova2, "Command1", {528, 400, 81, 33}, "Torna al menù", nullptr);
    row(FormTrova2, "cmdAzzera", {248, 24, 153, 49}, "AzzeraPunteggio", "Arial 12 bold");
    row(FormTrova2, "IconaSi", {480, 24, 65, 65}, "", nullptr);
    row(FormTrova2, "Label1", {8, 232, 129, 33}, nullptr, "MS Sans Serif 18 bold");
    for (int i = 0; i < 6; ++i)
        row(FormTrova2, QStringLiteral("Image1_%1").arg(i),
            {160 + i % 3 * 160, 112 + i / 3 * 144, 121, 129});
    for (ScreenId s : {FormTrova, FormTrova2}) {
        row(s, "Label2", {40, 16, 81, 33}, "ESATTI", arial15);
        row(s, "Label3", {40, 64, 81, 33}, "ERRATI", arial15);
        row(s, "EtichettaEsatti", {144, 16, 57, 33}, "0", arial15);
        row(s, "EtichettaErrati", {144, 64, 57, 33}, "0", arial15);
    }
    // The whole design scaled by one factor and centred, fonts with it, pictures read at their
    // boxes' pixels: twice the design on the whiteboard (from the folder's settings), 2.384 on
    // the 4K panel (from the command line), whose pictures have twice the pixels of their boxes.
    const char *const board = "1264x1000", *panel = "1920x1080@2";
    row(FormTrova, "Image1", {16, 303, 306, 322}, nullptr, nullptr, board);
    row(FormTrova2, "Label1", {16, 511, 258, 66}, nullptr, "MS Sans Serif 36 bold", board);
    row(FormTrova, "IconaSi", {944, 95, 130, 130}, "", nullptr, board);
    row(FormTrova, "Image1", {225, 305, 365, 384}, nullptr, nullptr, panel);
    row(FormTrova2, "Label1", {225, 553, 308, 79}, nullptr, "MS Sans Serif 42.9139 bold", panel);
    row(FormMenu, "Command4", {645, 248, 746, 117}, nullptr, "Arial 33.9735 bold", panel);
}

void TestScreens::design()
{
    QFETCH(Control, control);
    const auto &[screen, name, rect, text, font, fills] = control;
    QScreen *target = nullptr; // the windows open on the screen under the pointer
    for (QScreen *s : QGuiApplication::screens())
        if (fills.startsWith(
                QStringLiteral("%1x%2").arg(s->size().width()).arg(s->size().height())))
            target = s;
    QVERIFY(fills.isEmpty() || target);
    QCursor::setPos(target ? target->geometry().center() : QPoint(0, 0));
    const qreal pixels = fills.contains('@') ? fills.section('@', 1).toDouble() : 1.0;
    TestRun run(numberedWords(8), {}, TestRun::AsUsual,
                fills.isEmpty() ? ""
                : pixels > 1    ? "--schermo-intero"
                                : "[esercizi]\nschermo=intero\n");
    if (screen) // the others through the menu
        run.open(ScreenId(screen));
    Screen *w = run.m.registry.loaded(ScreenId(screen));
    QWidget *c = w->objectName() == name ? w : w->findChild<QWidget *>(name);
    QVERIFY(c && c->isVisible());
    const QRect client = w->rect();
    w->resize(900, 700); // nothing moves: there is no layout
    QCoreApplication::processEvents();
    QCOMPARE(c == w ? client : c->geometry(), rect);
    if (target)
        QCOMPARE(w->screen(), target);
    if (auto *box = qobject_cast<PictureBox *>(c)) { // read ahead at that size too
        QCOMPARE(box->picture().size(), rect.size() * pixels);
        QVERIFY(!screen || run.platform.preparedSizes.contains(box->picture().size()));
    }
    if (!text.isNull())
        QCOMPARE(c->property(c == w ? "windowTitle" : "text").toString(), text);
    const QFont f = c->font();
    if (!font.isNull())
        QCOMPARE(f.family() + ' ' + QString::number(f.pointSizeF()) + (f.bold() ? " bold" : ""),
                 font);
    if (auto *b = qobject_cast<QPushButton *>(c)) // the whole caption shows, or the light
        QVERIFY(QFontMetrics(f).size(Qt::TextShowMnemonic, b->text()).width() < b->width() - 4
                && (!b->text().isEmpty()
                    || (b->iconSize() == QSize(32, 32) * (rect.width() / 65)
                        && b->icon().actualSize(b->iconSize()) == b->iconSize())));
}

void TestScreens::navigation_data()
{
    // The action: [words in the list:] a control clicked, "window" clicked, keys or a
    // double-click whose first click changes the screen [, the answer]. What follows: shown after
    // | shown at each beep | questions and messages | end status | windows left.
    QTest::addColumn<Step>("step");
    const auto row = [](ScreenId from, const char *action, const QByteArray &expected,
                        const QByteArray &settings = {}) {
        QTest::addRow("%s %s", names[int(from)], action)
            << Step{int(from), action, QString::fromUtf8(expected), settings};
    };
    row(FormAvvio, "window", "FormMenu |  |  | -1 | 1");
    // The menu opens at the first click on a picture; the pair's second lands on its button.
    row(FormAvvio, "double-click from Image1_0 to Command2", "FormMenu |  |  | -1 | 1");
    // The beep comes once the exercise shows and the menu is gone.
    row(FormMenu, "Command2", "FormTrova | FormTrova |  | -1 | 1");
    row(FormMenu, "Command4, without the beep", "FormTrova2 |  |  | -1 | 1",
        "[esercizi]\nsegnale-acustico=no");
    const char *exit = "FormMenu |  | Vuoi uscire dal programma? | ";
    row(FormMenu, "Return, Yes", QByteArray(exit) + "0 | 1");
    row(FormMenu, "Enter, No", QByteArray(exit) + "-1 | 1");
    row(FormMenu, "Tab Tab Tab Space, Yes", QByteArray(exit) + "0 | 1"); // the Tab cycle
    row(FormMenu, "Tab Space", "FormTrova | FormTrova |  | -1 | 1");
    row(FormTrova, "Tab Tab Tab Space", "FormTrova | FormTrova, FormTrova |  | -1 | 1");
    row(FormTrova, "Command1, Yes", "FormMenu |  | Vuoi tornare al menù? | -1 | 1");
    row(FormTrova2, "Tab Tab Tab Tab Return, Yes", "FormMenu |  | Vuoi tornare al menù? | -1 | 1");
    // Fewer than six words, or than the choices: a message names the list as found, and the menu
    // stays.
    const QByteArray m0 = "FormMenu |  | L'elenco delle parole (";
    const char *const m1 = ": per gli esercizi ne servono almeno sei. | -1 | 1";
    row(FormMenu, "0 words: Command2", m0 + "lista.txt) non contiene nessuna parola" + m1);
    row(FormMenu, "1 words: Command4", m0 + "lista.txt) contiene una sola parola" + m1);
    row(FormMenu, "5 words in LISTA.TXT: Command2", m0 + "LISTA.TXT) contiene solo 5 parole" + m1);
    row(FormMenu, "3 words: Command4",
        "FormMenu |  | L'elenco delle parole (lista.txt) contiene "
        "solo 3 parole: per gli esercizi ne servono almeno quattro. | -1 | 1",
        "[esercizi]\nscelte=4");
}

void TestScreens::navigation()
{
    QFETCH(Step, step);
    auto [from, action, expected, settings] = step;
    const int words = action.contains(':') ? action.section(' ', 0, 0).toInt() : 8;
    TestRun run(numberedWords(words), {},
                action.contains("LISTA") ? TestRun::WindowsNames : TestRun::AsUsual, settings);
    action = action.section(": ", -1);
    if (from)
        run.open(ScreenId(from));
    Screen *w = run.m.registry.loaded(ScreenId(from));
    run.platform.answers = {action.endsWith(", Yes")};
    action = action.section(',', 0, 0);
    QStringList atBeeps;
    run.platform.onBeep = [&] { atBeeps << showing(run); };
    if (action.startsWith("double-click")) {
        QWidget *first = w->findChild<QWidget *>(action.section(' ', 2, 2));
        QTest::mouseClick(first, Qt::LeftButton);
        const QPoint at = first->mapTo(w, first->rect().center());
        Screen *now = run.m.registry.loaded(FormMenu);
        QWidget *second = now->childAt(at);
        QCOMPARE(second->objectName(), action.section(' ', 4, 4));
        QTest::mouseDClick(second, Qt::LeftButton, {}, second->mapFrom(now, at));
        QTest::mouseRelease(second, Qt::LeftButton, {}, second->mapFrom(now, at));
    } else if (QWidget *c = w->findChild<QWidget *>(action))
        QTest::mouseClick(c, Qt::LeftButton);
    else if (action == "window")
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(300, 400));
    else // keys on the control that has the focus
        for (const QString &key : action.split(' '))
            QTest::keyClick(w->focusWidget(), QKeySequence(key)[0].key());
    flushDeletes();
    QCOMPARE(QStringLiteral("%1 | %2 | %3 | %4 | %5")
                 .arg(showing(run), atBeeps.join(", "), run.platform.questions.join(", "))
                 .arg(run.platform.endStatus)
                 .arg(QApplication::topLevelWidgets().size()),
             expected);
}

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
