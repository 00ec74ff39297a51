#include "app/ScreenFactory.h"
#include "core/Modulo1.h"
#include "desktop/DesktopPlatform.h"
#include "desktop/ItalianTranslation.h"
#include "ui/ScreenRegistry.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("diveva"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/diveva.xpm")));
    // Wayland desktops find the program's launcher and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(DIVEVA_APP_ID));
    installItalianTranslation(app);
    // The program ends when the user closes the last screen or says Yes to the exit question;
    // a message box closing is no reason to end it.
    QApplication::setQuitOnLastWindowClosed(false);

    DesktopPlatform platform;
    Modulo1 module(platform);
    module.readAheadSizes = exercisePictureSizes();
    ScreenRegistry screens(module, [&module](ScreenId id) { return createScreen(module, id); });
    // For an interactive whiteboard: every window fills the screen, whatever the folder says.
    screens.fillScreensAlways(
        QApplication::arguments().contains(QStringLiteral("--schermo-intero")));
    module.Main();
    return QApplication::exec();
}
