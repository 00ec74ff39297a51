#include "app/CommandLine.h"

#include "desktop/ItalianTranslation.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

CommandLine readCommandLine(int argc, char *argv[], const char *name, const QString &description,
                            const QString &folder, bool fullScreenOption)
{
    QCommandLineParser parser;
    // After a blank line: the manual page makes the usage line a paragraph of its own.
    parser.setApplicationDescription(QLatin1Char('\n') + description);
    const QCommandLineOption help({"h", "help"}, QStringLiteral("Mostra questo aiuto ed esce."));
    const QCommandLineOption version({"v", "version"},
                                     QStringLiteral("Mostra la versione del programma ed esce."));
    const QCommandLineOption fullScreen(
        QStringLiteral("schermo-intero"),
        QStringLiteral("Ogni finestra riempie lo schermo (per una lavagna interattiva), "
                       "qualunque cosa dicano le impostazioni della cartella."));
    if (fullScreenOption)
        parser.addOption(fullScreen);
    parser.addOptions({help, version});
    parser.addPositionalArgument(QStringLiteral("cartella"), folder, QStringLiteral("[cartella]"));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool parsed = parser.parse(arguments);
    const QStringList positional = parser.positionalArguments();
    if (parsed && !parser.isSet(help) && !parser.isSet(version) && positional.size() <= 1) {
        CommandLine out;
        out.fullScreen = fullScreenOption && parser.isSet(fullScreen);
        // The folder's own bytes, which a name that is not valid UTF-8 would lose as a QString.
        for (int i = argc - 1; i > 0 && !positional.isEmpty() && out.folder.isEmpty(); --i)
            if (QString::fromLocal8Bit(argv[i]) == positional.first())
                out.folder = argv[i];
        return out;
    }
    if (!parsed || positional.size() > 1) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString why =
            parsed ? QStringLiteral("si apre una cartella sola, non %1").arg(positional.size())
            : unknown.isEmpty()
                ? QStringLiteral("argomenti non validi (%1)").arg(parser.errorText())
                : QStringLiteral("l'opzione %1%2 non esiste")
                      .arg(unknown.first().size() == 1 ? "-" : "--", unknown.first());
        std::fprintf(stderr, "%s: %s\nPer l'aiuto: %s --help\n", name, qPrintable(why), name);
        return {{}, 2};
    }
    // Qt's own words of the help («Utilizzo», «Opzioni») in Italian, under the program's bare
    // name rather than the path it was started by.
    char *bare[] = {const_cast<char *>(name), nullptr};
    int count = 1;
    QCoreApplication app(count, bare);
    installItalianTranslation(app);
    if (parser.isSet(help))
        std::fputs(qPrintable(parser.helpText()), stdout);
    else
        std::printf("%s %s\n", name, DIVEVA_VERSION);
    return {{}, 0};
}
