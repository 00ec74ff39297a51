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

#include <QApplication>
#include <QTest>

class TestNavigation : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startScreenLayout();
    void everyClickOnStartScreenOpensMenu_data();
    void everyClickOnStartScreenOpensMenu();
    void menuLayoutAndFocus();
    void exitQuestion_data();
    void exitQuestion();
    void exerciseButtonsBeepAfterMenuIsGone_data();
    void exerciseButtonsBeepAfterMenuIsGone();
    void tooFewWordsKeepsMenu_data();
    void tooFewWordsKeepsMenu();
    void closingAnyScreenEndsWithoutQuestion_data();
    void closingAnyScreenEndsWithoutQuestion();
    void eachShowBuildsAfresh();
    void resizingMovesNothing();

private:
    FormMenu *openMenu();

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<ScriptedPlatform> platform;
    std::unique_ptr<TestProgram> m;
};

void TestNavigation::init()
{
    folder = std::make_unique<TestFolder>();
    folder->writeWords(numberedWords(8));
    platform = std::make_unique<ScriptedPlatform>();
    m = std::make_unique<TestProgram>(*platform);
    m->Main();
}

void TestNavigation::cleanup()
{
    m.reset();
    flushDeletes();
    platform.reset();
    folder.reset();
}

FormMenu *TestNavigation::openMenu()
{
    auto *avvio = qobject_cast<FormAvvio *>(m->registry.loaded(ScreenId::FormAvvio));
    QTest::mouseClick(avvio->Label1, Qt::LeftButton);
    return qobject_cast<FormMenu *>(m->registry.loaded(ScreenId::FormMenu));
}

void TestNavigation::startScreenLayout()
{
    auto *avvio = qobject_cast<FormAvvio *>(m->registry.loaded(ScreenId::FormAvvio));
    QVERIFY(avvio);
    QCOMPARE(avvio->size(), QSize(632, 453));
    QVERIFY(avvio->windowTitle().contains(QStringLiteral("gruppo")));
    QCOMPARE(avvio->Label1->text(), QStringLiteral("DIVEVA  PAROLA/IMMAGINE"));
    QCOMPARE(avvio->Label1->geometry(), QRect(176, 56, 297, 33));
    QCOMPARE(avvio->Label1->font().pointSizeF(), 14.25);
    QVERIFY(avvio->Label1->font().bold());
    // Left to right on screen the boxes are numbers 3, 0, 2, 1, 7 pixels apart.
    const int order[4] = {3, 0, 2, 1};
    for (int k = 0; k < 4; ++k)
        QCOMPARE(avvio->Image1[order[k]]->geometry(), QRect(16 + k * 152, 136, 145, 145));
    QVERIFY(!avvio->Image1[0]->picture().isNull());
    QCOMPARE(avvio->focusWidget(), nullptr);
}

void TestNavigation::everyClickOnStartScreenOpensMenu_data()
{
    QTest::addColumn<int>("target"); // -1 the bare window, -2 the title, 0..3 a picture
    QTest::addRow("bare window") << -1;
    QTest::addRow("title") << -2;
    for (int i = 0; i < 4; ++i)
        QTest::addRow("picture %d", i) << i;
}

void TestNavigation::everyClickOnStartScreenOpensMenu()
{
    QFETCH(int, target);
    QPointer<FormAvvio> avvio = qobject_cast<FormAvvio *>(m->registry.loaded(ScreenId::FormAvvio));
    QWidget *clicked = target == -1   ? static_cast<QWidget *>(avvio)
                       : target == -2 ? static_cast<QWidget *>(avvio->Label1)
                                      : avvio->Image1[target];
    const QPoint at = target == -1 ? QPoint(300, 400) : clicked->rect().center();
    QTest::mouseClick(clicked, Qt::LeftButton, {}, at);

    QVERIFY(m->registry.loaded(ScreenId::FormMenu));
    QVERIFY(m->registry.loaded(ScreenId::FormMenu)->isVisible());
    QCOMPARE(m->registry.loaded(ScreenId::FormAvvio), nullptr);
    QVERIFY(!avvio->isVisible());
    flushDeletes();
    QVERIFY(avvio.isNull());
    QCOMPARE(platform->beeps, 0);
    QCOMPARE(m->registry.loadedCount(), 1);
}

void TestNavigation::menuLayoutAndFocus()
{
    FormMenu *menu = openMenu();
    QVERIFY(menu);
    QCOMPARE(menu->size(), QSize(632, 453));
    QCOMPARE(menu->windowTitle(), QStringLiteral("Divevare parole/immagini"));
    QCOMPARE(menu->Command4->text(), QStringLiteral("Diveva l'immagine alla parola"));
    QCOMPARE(menu->Command4->geometry(), QRect(184, 104, 313, 49));
    QCOMPARE(menu->Command2->text(), QStringLiteral("Diveva la parola all'immagine"));
    QCOMPARE(menu->Command2->geometry(), QRect(184, 200, 313, 49));
    QCOMPARE(menu->Command1->geometry(), QRect(536, 384, 89, 49));
    // The ampersand shows and gives no access key.
    QCOMPARE(menu->Command1->text(), QStringLiteral("&&Esci"));
    QVERIFY(QKeySequence::mnemonic(menu->Command1->text()).isEmpty());
    for (QPushButton *b : {menu->Command1, menu->Command2, menu->Command4}) {
        QCOMPARE(b->font().family(), QStringLiteral("Arial"));
        QCOMPARE(b->font().pointSizeF(), 14.25);
        QVERIFY(b->font().bold());
    }
    QCOMPARE(menu->focusWidget(), menu->Command1);
    QCOMPARE(tabOrder(menu), QStringList({"Command1", "Command2", "Command4"}));
}

void TestNavigation::exitQuestion_data()
{
    QTest::addColumn<int>("key"); // 0: a mouse click
    QTest::addColumn<bool>("yes");
    QTest::addRow("click, No") << 0 << false;
    QTest::addRow("click, Yes") << 0 << true;
    QTest::addRow("Enter, Yes") << int(Qt::Key_Enter) << true;
    QTest::addRow("Return, No") << int(Qt::Key_Return) << false;
    QTest::addRow("Space, Yes") << int(Qt::Key_Space) << true;
}

void TestNavigation::exitQuestion()
{
    QFETCH(int, key);
    QFETCH(bool, yes);
    FormMenu *menu = openMenu();
    platform->answers = {yes};
    if (key == 0)
        QTest::mouseClick(menu->Command1, Qt::LeftButton);
    else
        QTest::keyClick(menu->Command1, Qt::Key(key));

    QCOMPARE(platform->questions, QStringList{QStringLiteral("Vuoi uscire dal programma?")});
    QCOMPARE(platform->endStatus, yes ? 0 : -1);
    QCOMPARE(platform->beeps, 0);
    if (!yes) {
        QCOMPARE(m->registry.loaded(ScreenId::FormMenu), menu);
        QVERIFY(menu->isVisible());
    }
}

void TestNavigation::exerciseButtonsBeepAfterMenuIsGone_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("exercise");
    QTest::addRow("Command2") << "Command2" << int(ScreenId::FormTrova);
    QTest::addRow("Command4") << "Command4" << int(ScreenId::FormTrova2);
}

void TestNavigation::exerciseButtonsBeepAfterMenuIsGone()
{
    QFETCH(QString, button);
    QFETCH(int, exercise);
    const auto target = ScreenId(exercise);
    FormMenu *menu = openMenu();
    bool menuLoadedAtBeep = true;
    bool exerciseShownAtBeep = false;
    platform->onBeep = [&] {
        menuLoadedAtBeep = m->registry.loaded(ScreenId::FormMenu) != nullptr;
        Screen *shown = m->registry.loaded(target);
        exerciseShownAtBeep = shown && shown->isVisible();
    };
    QTest::mouseClick(menu->findChild<QPushButton *>(button), Qt::LeftButton);

    QCOMPARE(platform->beeps, 1);
    QVERIFY(!menuLoadedAtBeep);
    QVERIFY(exerciseShownAtBeep);
    QVERIFY(!menu->isVisible());
    QCOMPARE(m->registry.loadedCount(), 1);

    // Back to the menu: No keeps the exercise, Yes returns without a beep.
    Screen *open = m->registry.loaded(target);
    auto *back = open->findChild<QPushButton *>(QStringLiteral("Command1"));
    QCOMPARE(open->focusWidget(), back);
    platform->answers = {false, true};
    QTest::keyClick(back, Qt::Key_Return);
    QCOMPARE(m->registry.loaded(target), open);
    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(platform->questions, QStringList({QStringLiteral("Vuoi tornare al menù?"),
                                               QStringLiteral("Vuoi tornare al menù?")}));
    QCOMPARE(m->registry.loaded(target), nullptr);
    QVERIFY(m->registry.loaded(ScreenId::FormMenu));
    QCOMPARE(platform->beeps, 1);
}

void TestNavigation::tooFewWordsKeepsMenu_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("told");
    QTest::addColumn<QString>("file");
    QTest::addRow("none") << 0 << "nessuna parola" << "lista.txt";
    QTest::addRow("one") << 1 << "una sola parola" << "lista.txt";
    QTest::addRow("five, in LISTA.TXT") << 5 << "solo 5 parole" << "LISTA.TXT";
}

void TestNavigation::tooFewWordsKeepsMenu()
{
    QFETCH(int, count);
    QFETCH(QString, told);
    QFETCH(QString, file);
    cleanup();
    folder = std::make_unique<TestFolder>();
    folder->writeWords(numberedWords(count));
    if (file != QStringLiteral("lista.txt"))
        QVERIFY(QFile::rename(folder->path() + "/lista.txt", folder->path() + '/' + file));
    platform = std::make_unique<ScriptedPlatform>();
    m = std::make_unique<TestProgram>(*platform);
    m->Main();
    FormMenu *menu = openMenu();
    const int taken = platform->randomsTaken;

    QTest::mouseClick(menu->Command2, Qt::LeftButton);
    QTest::mouseClick(menu->Command4, Qt::LeftButton);

    QCOMPARE(platform->informs.size(), 2);
    QVERIFY2(platform->informs[0].contains(told), qPrintable(platform->informs[0]));
    QVERIFY(platform->informs[0].contains(QStringLiteral("(%1)").arg(file)));
    QVERIFY(platform->informs[0].endsWith(QStringLiteral("almeno sei.")));
    QCOMPARE(m->registry.loaded(ScreenId::FormMenu), menu);
    QVERIFY(!m->registry.created(ScreenId::FormTrova));
    QVERIFY(!m->registry.created(ScreenId::FormTrova2));
    QCOMPARE(platform->beeps, 0);
    QCOMPARE(platform->randomsTaken, taken);
}

void TestNavigation::closingAnyScreenEndsWithoutQuestion_data()
{
    QTest::addColumn<int>("screen");
    QTest::addRow("start screen") << int(ScreenId::FormAvvio);
    QTest::addRow("menu") << int(ScreenId::FormMenu);
    QTest::addRow("picture to word") << int(ScreenId::FormTrova);
    QTest::addRow("word to picture") << int(ScreenId::FormTrova2);
}

void TestNavigation::closingAnyScreenEndsWithoutQuestion()
{
    QFETCH(int, screen);
    const auto id = ScreenId(screen);
    if (id != ScreenId::FormAvvio) {
        FormMenu *menu = openMenu();
        if (id == ScreenId::FormTrova)
            QTest::mouseClick(menu->Command2, Qt::LeftButton);
        if (id == ScreenId::FormTrova2)
            QTest::mouseClick(menu->Command4, Qt::LeftButton);
    }
    Screen *open = m->registry.loaded(id);
    QVERIFY(open);
    QVERIFY(open->close());
    QCOMPARE(m->registry.loadedCount(), 0);
    QCOMPARE(platform->endStatus, 0);
    QVERIFY(platform->questions.isEmpty());
}

void TestNavigation::eachShowBuildsAfresh()
{
    FormMenu *menu = openMenu();
    QCOMPARE(m->registry.loadCount(ScreenId::FormMenu), 1);
    QPointer<QPushButton> firstExit = menu->Command1;
    QTest::mouseClick(menu->Command2, Qt::LeftButton);
    platform->answers = {true};
    QTest::mouseClick(m->registry.loaded(ScreenId::FormTrova)->findChild<QPushButton *>("Command1"),
                      Qt::LeftButton);
    flushDeletes();
    auto *again = qobject_cast<FormMenu *>(m->registry.loaded(ScreenId::FormMenu));
    QVERIFY(again);
    QVERIFY(firstExit.isNull());
    QCOMPARE(m->registry.loadCount(ScreenId::FormMenu), 2);
    QCOMPARE(again->focusWidget(), again->Command1);
    QVERIFY(m->registry.created(ScreenId::FormTrova));
    QVERIFY(!m->registry.created(ScreenId::FormTrova2));
}

void TestNavigation::resizingMovesNothing()
{
    FormMenu *menu = openMenu();
    menu->resize(1000, 700);
    QCoreApplication::processEvents();
    QCOMPARE(menu->Command1->geometry(), QRect(536, 384, 89, 49));
    menu->resize(300, 200);
    QCoreApplication::processEvents();
    QCOMPARE(menu->Command2->geometry(), QRect(184, 200, 313, 49));
}

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
