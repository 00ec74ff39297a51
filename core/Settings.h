#pragma once

#include <QByteArray>
#include <QString>

// The teacher's settings for one folder, kept in diveva.ini beside the word list. A folder
// without the file, or a key the file leaves out, keeps the program's own behaviour: the values
// below.
//
// The file is UTF-8 text (a byte-order mark and CR LF line ends are fine) in the INI layout:
//
//     ; comments start with ';' or '#'
//     [esercizi]
//     scelte=3
//     scrittura=maiuscolo
//
// Only the keys of the section [esercizi] are read, in any letter case, with blanks around key
// and value allowed; "sì" is read as "si". Keys this version does not know are skipped, so that a
// file written by a newer editor still opens. A value outside the accepted ones, a key given
// twice or a line without "=" in the section make the file unusable, with a cause that names the
// line and, for a value, the values accepted.
struct Settings {
    enum class Scrittura { ComeElenco, Maiuscolo, Minuscolo };

    int scelte = 6; // choices per question: 6, 4, 3 or 2
    Scrittura scrittura = Scrittura::ComeElenco;
    bool schermoIntero = false;  // schermo=intero: the windows scaled to fill the screen
    bool segnaleAcustico = true; // the beep after answers, the menu's buttons and the reset
    bool punteggio = true;       // the counts and the traffic lights shown
    bool voce = true;            // the words' voices, where the folder has them
    bool ascolto = false;        // word to picture asked by the voice alone

    static constexpr qint64 MaxFileBytes = 64 * 1024;

    // A word of the list as the screens show it: as written, or in capitals or lower case by the
    // Italian rules («città» becomes «CITTÀ»).
    QString shown(const QString &word) const;

    bool operator==(const Settings &) const = default;
};

// The settings a file gives, or why it cannot be used.
struct SettingsFile {
    Settings settings;
    QString cause; // "riga N: ...", in Italian; empty when the file can be used
    bool ok() const { return cause.isEmpty(); }
};

SettingsFile parseSettings(const QByteArray &bytes);

// The file at path, a regular file of at most MaxFileBytes. No file there gives the defaults;
// anything else that cannot be read (a folder, a link to nothing, no permission) gives the cause.
SettingsFile readSettings(const QString &path);

// The bytes the editor saves for settings, made from the file's old content: every line it does
// not own (other sections, comments, unknown keys, blank lines) kept as it was, with its
// byte-order mark and line ends; the keys of [esercizi] written only where they differ from their
// defaults, in place where the old file had them, the others after the section's last key (or in
// a new section at the end). Empty when there is nothing to keep and nothing to say.
QByteArray writeSettings(const Settings &settings, const QByteArray &old = {});
