#include "app/CommandLine.h"
#include "app/ScreenFactory.h"
#include "core/Modulo1.h"
#include "desktop/DesktopPlatform.h"
#include "desktop/ItalianTranslation.h"
#include "ui/ScreenRegistry.h"

#include <QApplication>
#include <QIcon>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char *argv[])
{
    const CommandLine line = readCommandLine(
        argc, argv, "diveva",
        QStringLiteral("Diveva PAROLE/IMMAGINI: esercizi per abbinare parole scritte e immagini.\n"
                       "Legge dalla cartella degli esercizi l'elenco delle parole, lista.txt, e "
                       "un'immagine per parola nella cartella jpg (1.jpg, 2.jpg...)."),
        QStringLiteral("La cartella degli esercizi; se manca, quella in cui il programma è "
                       "avviato."),
        true);
    if (line.exitCode)
        return *line.exitCode;
    // The program reads the folder it works in: the one given becomes it.
    if (!line.folder.isEmpty() && ::chdir(line.folder.constData()) != 0) {
        const int err = errno;
        std::fprintf(stderr, "diveva: la cartella %s non si può aprire: %s\n",
                     line.folder.constData(),
                     err == ENOENT    ? "non esiste"
                     : err == ENOTDIR ? "non è una cartella"
                     : err == EACCES  ? "permesso negato"
                                      : std::strerror(err));
        return 2;
    }
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
    screens.fillScreensAlways(line.fullScreen);
    module.Main();
    return QApplication::exec();
}
