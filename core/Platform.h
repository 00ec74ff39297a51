#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// The result of reading one picture file: the image at the size asked for, or the reason it
// could not be shown (an Italian phrase, empty on success).
struct PictureResult {
    QImage image;
    QString cause;
    bool ok() const { return cause.isEmpty(); }
};

// Everything the program asks of the machine it runs on. The desktop implementation talks to the
// window system; the scripted one in the tests returns given random numbers, counts beeps,
// answers questions and never shows a window.
class Platform {
public:
    virtual ~Platform() = default;

    // Next value of the single generator, 0 <= r < 1, single precision.
    virtual float nextRandom() = 0;
    // The system's alert sound, once per call; never blocks.
    virtual void beep() = 0;
    // Modal Yes/No question titled with the program's name; true for Yes.
    virtual bool askYesNo(const QString &prompt) = 0;
    // Modal information box titled with the program's name.
    virtual void inform(const QString &text) = 0;
    // Reports a failure that the program cannot go on from and ends it with a non-zero status.
    [[noreturn]] virtual void fatal(const QString &report) = 0;
    // Ends the program with the given status after the running handler returns.
    virtual void endProgram(int status) = 0;
    // Reads the picture file at path and gives it scaled to exactly pixelSize.
    virtual PictureResult loadPicture(const QString &path, QSize pixelSize) = 0;
};
