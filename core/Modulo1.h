#pragma once

#include "Platform.h"
#include "ScreenRegistry.h"

#include <QList>
#include <QSize>
#include <QString>

#include <array>

class PictureBox;

// The state the screens share for the whole run, start-up, and the operations every screen uses:
// drawing word numbers, loading pictures, switching screens and the exit question.
class Modulo1 {
public:
    static constexpr int MaxWords = 150;
    static constexpr int SlotsPerQuestion = 6;
    static constexpr qint16 MaxCount = 32767;
    static const QString Title;
    // The picture boxes of the two exercises, in device-independent pixels: the sizes the
    // pictures are read ahead at once the start screen is up. (The start screen itself is shown
    // only once, so its size is not read ahead.)
    static constexpr std::array<QSize, 2> ExercisePictureSizes{QSize(153, 161), QSize(121, 129)};

    explicit Modulo1(Platform &platform);

    // Shared state. Parole, NumParole and Percorso are written only by Main.
    std::array<QString, MaxWords + 1> Parole; // word n at index n; index 0 unused
    qint16 Estratto = 0;  // the word number drawn last
    qint16 NumParole = 0; // words loaded, 0..150
    qint16 Esatti = 0;    // right answers in the open exercise
    qint16 Errati = 0;    // wrong answers in the open exercise
    QString Percorso;     // the working directory at start-up

    // Start-up: records the folder, reads the word list, checks pictures 1..max(NumParole, 1) and
    // shows the start screen. A list that cannot be read, or any picture that is missing or
    // unreadable, ends the program with an error report before any screen is shown.
    void Main();

    // The exit question; on Yes the program ends.
    void ConfermaUscita();

    // floor(r x NumParole) + 1: a word number in 1..NumParole (1 when the list is empty).
    qint16 drawWordNumber();
    // floor(r x 6): a slot 0..5 of a question.
    int drawSlot();

    // Word n, with n checked against the bounds of the word array.
    const QString &word(int n) const { return Parole.at(static_cast<std::size_t>(n)); }

    // The exercises need six different words for a question.
    bool exercisesPossible() const { return NumParole >= SlotsPerQuestion; }
    QString tooFewWordsMessage() const;

    QString listPath() const;
    QString picturePath(int n) const;

    // Shows picture n in box, read at the box's size in device pixels. A picture that cannot be
    // read ends the program with an error report naming the file and the cause.
    void loadPicture(PictureBox &box, int n);
    // The same for several boxes at once: the platform may read the pictures in parallel. The
    // first picture that cannot be read, in the order given, is the one reported.
    void loadPictures(const QList<PictureBox *> &boxes, const QList<int> &numbers);

    // The screen change of every handler: target shown, then the current screen unloaded.
    void switchScreen(const Screen &from, ScreenId to);

    Platform &platform;
    ScreenRegistry registry;

private:
    QString inFolder(const QString &relative) const;
    void showPicture(PictureBox &box, int n, const QString &path, const PictureResult &result);
};

// A size in device-independent pixels in device pixels, rounded as the picture boxes ask.
QSize devicePixels(QSize size, qreal devicePixelRatio);

// The text of an error report: what failed, the file, and why.
QString errorReport(const QString &what, const QString &path, const QString &cause);
