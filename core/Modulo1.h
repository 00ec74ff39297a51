#pragma once

#include "core/Platform.h"
#include "core/ScreenHost.h"
#include "core/Settings.h"
#include "core/TeacherFolder.h"
#include "core/WordList.h"

#include <QList>
#include <QSize>
#include <QString>

#include <array>

// The state the screens share for the whole run, start-up, and the rules every screen uses:
// drawing word numbers, picture paths, switching screens and the exit question.
class Modulo1 {
public:
    static constexpr int SlotsPerQuestion = 6;
    static constexpr qint16 MaxCount = 32767;

    explicit Modulo1(Platform &platform);

    // Shared state. Parole, NumParole and Percorso are written only by Main.
    // Word n at index n; index 0 unused.
    std::array<QString, WordList::Capacity + 1> Parole;
    qint16 Estratto = 0;  // the word number drawn last
    qint16 NumParole = 0; // words loaded, 0..150
    qint16 Esatti = 0;    // right answers in the open exercise
    qint16 Errati = 0;    // wrong answers in the open exercise
    QString Percorso;     // the working directory at start-up
    QString listFile;     // the list Main read: lista.txt, or LISTA.TXT from Windows...
    Settings settings;    // the folder's diveva.ini, read by Main
    TeacherFolder folder; // the working directory, its list and pictures named once by Main

    // Start-up: records the folder, reads the word list and the settings, checks pictures
    // 1..max(NumParole, 1), names the words' voices (unless the settings say voce=no) and shows
    // the start screen. A folder that a save left half switched, a
    // list or settings file that cannot be read, or any picture that is missing or unreadable,
    // ends the program with an error report before any screen is shown.
    void Main();
    // Ends the program with an error report when the list is no longer the one Main read (the
    // folder saved again meanwhile): its words would go with other pictures.
    void checkFolderUnchanged();

    // The exit question; on Yes the program ends.
    void ConfermaUscita();

    // floor(r x NumParole) + 1: a word number in 1..NumParole (1 when the list is empty).
    qint16 drawWordNumber();
    // floor(r x choices): one of a question's choices, 0..choices - 1 (a slot 0..5 for six).
    int drawSlot(int choices = SlotsPerQuestion);

    // Word n, with n checked against the bounds of the word array.
    const QString &word(int n) const { return Parole.at(static_cast<std::size_t>(n)); }
    // Word n as the screens show it (see Settings::scrittura).
    QString shownWord(int n) const { return settings.shown(word(n)); }

    // A question needs as many different words as it has choices: different entries of the list
    // when words are shown as written, different words as shown when they are shown in capitals
    // or lower case.
    bool exercisesPossible() const { return differentWords() >= settings.scelte; }
    QString tooFewWordsMessage() const;

    // The beep of an answer, a menu button or the reset, unless the settings silence it.
    void beep();

    QString listPath() const;
    // Picture n's path to open, and as reports name it.
    QString picturePath(int n) const;
    QString shownPicturePath(int n) const;

    // Word n's voice, or empty when it has none or the settings turn voices off.
    QString voicePath(int n) const { return folder.voicePath(n); }
    // Says word n, when it has a voice; never waits for the sound.
    void speak(int n);
    // Whether word n would be heard when spoken.
    bool canSpeak(int n);
    // Hands the pictures of the exercises and the voices to the platform to read ahead, once:
    // called when the start screen has been painted, so that neither the reading nor opening the
    // sound system delays the first screen.
    void startReadingAhead();

    // The screen change of every handler: target shown, then the current screen unloaded, so
    // that some screen is loaded at every moment.
    void switchScreen(ScreenId from, ScreenId to);
    // The user closed a screen's window with its frame's close control: it is unloaded without a
    // question, and the program ends with the last one.
    void closedByUser(ScreenId id);

    Platform &platform;
    // The screens, registered by the program's entry before Main.
    ScreenHost *screens = nullptr;
    // The sizes of the exercises' picture boxes, in device-independent pixels: read ahead once
    // the start screen is up, at their pixels in its window. (The start screen is shown only
    // once: its size is not.)
    QList<QSize> readAheadSizes;

private:
    QString inFolder(const QString &relative) const;
    QList<QSize> m_readAheadPixels; // readAheadSizes in the start screen's window
    bool m_readingAhead = false;
    int differentWords() const;
};
