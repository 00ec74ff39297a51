#include "tests/support/TestProgram.h"

#include "screens/FormAvvio.h"
#include "screens/FormMenu.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"

#include <QDir>
#include <QTest>

TestRun::TestRun(const QStringList &words, QList<float> randoms, Names names)
{
    folder.writeWords(words);
    if (names == WindowsNames) {
        QDir dir(folder.path());
        dir.rename(QStringLiteral("lista.txt"), QStringLiteral("LISTA.TXT"));
        dir.rename(QStringLiteral("jpg"), QStringLiteral("JPG"));
        for (int n = 1; n <= qMax(int(words.size()), 1); ++n)
            dir.rename(QStringLiteral("JPG/%1.jpg").arg(n), QStringLiteral("JPG/%1.JPG").arg(n));
    }
    platform.randoms = randoms;
    m.Main();
}

TestRun::~TestRun() { flushDeletes(); }

void TestRun::open(ScreenId id, QList<float> randoms)
{
    if (id == ScreenId::FormMenu) {
        QTest::mouseClick(screen<FormAvvio>(ScreenId::FormAvvio)->Label1, Qt::LeftButton);
    } else {
        auto *menu = screen<FormMenu>(ScreenId::FormMenu);
        if (!menu) {
            open(ScreenId::FormMenu);
            menu = screen<FormMenu>(ScreenId::FormMenu);
        }
        platform.randoms = randoms;
        QTest::mouseClick(id == ScreenId::FormTrova ? menu->Command2 : menu->Command4,
                          Qt::LeftButton);
    }
    flushDeletes();
    platform.beeps = 0;
    platform.randomsTaken = 0;
    platform.loads = 0;
}
