#include "DesktopPlatform.h"
#include "Modulo1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("diveva"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/diveva.xpm")));
    // The program ends when the user closes the last screen or says Yes to the exit question;
    // a message box closing is no reason to end it.
    QApplication::setQuitOnLastWindowClosed(false);

    DesktopPlatform platform;
    Modulo1 module(platform);
    module.Main();
    return QApplication::exec();
}
