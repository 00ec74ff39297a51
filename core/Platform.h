#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// The result of reading one picture file: the image at the size asked for, or the reason it
// could not be shown (an Italian phrase, empty on success).
struct PictureResult {
    QImage image;
    QString cause;
    bool ok() const { return cause.isEmpty(); }
};

// One picture a screen needs: the file and the size of its box in device pixels.
struct PictureRequest {
    QString path;
    QSize pixelSize;
};

// A picture file that cannot be shown: its number in the list, its path and why.
struct PictureProblem {
    int number = 0;
    QString path;
    QString cause;
};

// A size in device-independent pixels in device pixels, rounded as the picture boxes ask.
inline QSize devicePixels(QSize size, qreal devicePixelRatio)
{
    return (QSizeF(size) * devicePixelRatio).toSize();
}

// The property a window that scales the whole design to fill its screen carries: the factor, a
// qreal. The platform's boxes asked from that window are scaled by it too.
inline constexpr char DesignScaleProperty[] = "designScale";

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
    // Modal Yes/No question titled with the program's name, at the scale of the window it is
    // asked from; true for Yes.
    virtual bool askYesNo(const QString &prompt) = 0;
    // Modal information box titled with the program's name.
    virtual void inform(const QString &text) = 0;
    // Reports a failure that the program cannot go on from and ends it with a non-zero status.
    [[noreturn]] virtual void fatal(const QString &report) = 0;
    // Ends the program with the given status after the running handler returns.
    virtual void endProgram(int status) = 0;
    // Reads the picture file at path and gives it scaled to exactly pixelSize.
    virtual PictureResult loadPicture(const QString &path, QSize pixelSize) = 0;
    // Several pictures at once, results in the order asked. The desktop platform reads them in
    // parallel; by default they are read one after the other.
    virtual QList<PictureResult> loadPictures(const QList<PictureRequest> &requests)
    {
        QList<PictureResult> results;
        for (const PictureRequest &r : requests)
            results.append(loadPicture(r.path, r.pixelSize));
        return results;
    }
    // Looks at picture files n = 1, 2... (paths[n - 1]) before any screen needs them, cheaply
    // (no decoding), and gives those that cannot be shown, in order.
    virtual QList<PictureProblem> checkPictures(const QStringList &paths) = 0;
    // The pictures the screens will ask for from now on, and the sizes they will ask for them
    // at. The platform may read them ahead, in the background; a picture that cannot be read is
    // reported only when a screen loads it. By default nothing is read ahead.
    virtual void preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes)
    {
        Q_UNUSED(paths);
        Q_UNUSED(pixelSizes);
    }

    // The teacher's voices (files of any sound format) the exercises will speak, given once the
    // start screen has been painted: the platform may open its sound system now and decode them
    // ahead, in the background. By default nothing is prepared.
    virtual void prepareVoices(const QStringList &paths) { Q_UNUSED(paths); }
    // Starts the voice in the file, cutting off the one speaking. Never waits for a sound system
    // or shows anything: a voice that cannot be heard leaves silence, its cause on standard
    // error. By default silent.
    virtual void speak(const QString &path) { Q_UNUSED(path); }
    // Whether speak(path) would be heard as far as the platform can tell: the file decodes and a
    // sound system takes sound. May wait for the voice's decode. By default no.
    virtual bool canSpeak(const QString &path)
    {
        Q_UNUSED(path);
        return false;
    }
};
