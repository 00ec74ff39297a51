#include "desktop/DesktopPlatform.h"
#include "desktop/ItalianTranslation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

// The program's Yes/No questions: Italian buttons on any desktop, and no way out but an answer.
class TestQuestions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void onlyAnAnswerEndsTheQuestion_data();
    void onlyAnAnswerEndsTheQuestion();
};

void TestQuestions::initTestCase()
{
    // The test runs with LANG=C: without the translation the buttons are English.
    QCOMPARE(QLocale().language(), QLocale::C);
    QVERIFY2(installItalianTranslation(*qApp),
             "qtbase_it.qm missing: install the Debian package qt6-translations-l10n");
}

void TestQuestions::onlyAnAnswerEndsTheQuestion_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Enter takes the default") << QList<int>{Qt::Key_Return} << true;
    QTest::newRow("Tab to No, then Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << false;
    QTest::newRow("Right arrow to No, then Space")
        << QList<int>{Qt::Key_Right, Qt::Key_Space} << false;
}

void TestQuestions::onlyAnAnswerEndsTheQuestion()
{
    QFETCH(QList<int>, keys);
    QFETCH(bool, yes);
    DesktopPlatform platform;
    QString seen;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = box->windowTitle() + '|' + box->text() + '|'
               + box->button(QMessageBox::Yes)->text().remove('&') + '|'
               + box->button(QMessageBox::No)->text().remove('&');
        QApplication::setActiveWindow(box);
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
    QCOMPARE(platform.askYesNo(QStringLiteral("Vuoi uscire dal programma?")), yes);
    QCOMPARE(seen, QStringLiteral("Diveva PAROLE/IMMAGINI|Vuoi uscire dal programma?|Sì|No"));
}

QTEST_MAIN(TestQuestions)
#include "tst_questions.moc"
