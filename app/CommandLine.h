#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What a program is started with: --help, --version, a folder and, for the exercises,
// --schermo-intero.
struct CommandLine {
    QByteArray folder;           // as given, in the file system's bytes; empty when none is given
    std::optional<int> exitCode; // the program ends at once with it: help or version shown, or an
                                 // error said
    bool fullScreen = false;     // every window fills the screen, whatever the folder says
};

// Reads the arguments of the program called name before any window exists: the help and the
// version are printed where there is no display (the manual pages are made from them at build
// time), an unknown option or a second folder is said on the standard error. All in Italian.
// fullScreenOption: the program takes --schermo-intero.
CommandLine readCommandLine(int argc, char *argv[], const char *name, const QString &description,
                            const QString &folder, bool fullScreenOption = false);
