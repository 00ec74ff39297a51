#include "desktop/ItalianTranslation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QTest>

// The question boxes of the program must read "Sì" and "No" on any desktop, whatever its locale.
class TestItalianTranslation : public QObject {
    Q_OBJECT
private slots:
    void questionButtonsAreItalian();
};

namespace {

QString buttonText(QMessageBox &box, QMessageBox::StandardButton which)
{
    QAbstractButton *button = box.button(which);
    return button ? button->text().remove(QLatin1Char('&')) : QStringLiteral("(none)");
}

} // namespace

void TestItalianTranslation::questionButtonsAreItalian()
{
    // The test runs with LANG=C: without the translation the buttons are English.
    QCOMPARE(QLocale().language(), QLocale::C);
    {
        QMessageBox before(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("?"),
                           QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(buttonText(before, QMessageBox::Yes), QStringLiteral("Yes"));
    }

    QVERIFY2(installItalianTranslation(*qApp),
             "qtbase_it.qm missing: install the Debian package qt6-translations-l10n");

    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(buttonText(box, QMessageBox::Yes), QStringLiteral("Sì"));
    QCOMPARE(buttonText(box, QMessageBox::No), QStringLiteral("No"));
    QMessageBox info(QMessageBox::Information, QStringLiteral("t"), QStringLiteral("i"),
                     QMessageBox::Ok);
    QCOMPARE(buttonText(info, QMessageBox::Ok), QStringLiteral("OK"));
}

QTEST_MAIN(TestItalianTranslation)
#include "tst_italiantranslation.moc"
