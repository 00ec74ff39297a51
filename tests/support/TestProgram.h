#pragma once

#include "app/ScreenFactory.h"
#include "core/Modulo1.h"
#include "pictures/FolderCheck.h"
#include "ui/ScreenRegistry.h"

#include <QColor>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <functional>
#include <random>

class PictureCache;

// The platform of the tests: random values come from a script (then from a fixed-seed
// generator), questions are answered from a script, every call is counted or kept, and no window
// is ever shown.
class ScriptedPlatform : public Platform {
public:
    float nextRandom() override;
    void beep() override;
    bool askYesNo(const QString &prompt) override
    {
        questions << prompt;
        return !answers.isEmpty() && answers.takeFirst();
    }
    void inform(const QString &text) override { questions << text; }
    // Thrown, so that a test sees where the program would have ended, and with which report.
    [[noreturn]] void fatal(const QString &report) override { throw report; }
    void endProgram(int status) override { endStatus = status; }
    PictureResult loadPicture(const QString &path, QSize pixelSize) override;
    QList<PictureProblem> checkPictures(const QStringList &paths) override
    {
        return findPictureProblems(paths);
    }
    void preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes) override;
    // A voice that would be heard is logged by its file's number.
    void speak(const QString &path) override;
    // The real decoder: a damaged voice is silent.
    bool canSpeak(const QString &path) override;

    // Values nextRandom returns first, in order.
    QList<float> randoms;
    // Answers to the Yes/No questions, in order; No when the script has run out.
    QList<bool> answers;
    // When set, pictures are read through this cache; otherwise they are decoded directly.
    PictureCache *pictureCache = nullptr;
    // Run at every beep before it is counted, and at every picture asked for before it is read:
    // to look at the screens at that moment.
    std::function<void()> onBeep, onLoad;

    int beeps = 0;
    int loads = 0;             // pictures read
    int endStatus = -1;        // -1 while the program has not been ended
    QStringList questions;     // the questions asked and the messages shown, in order
    QStringList preparedPaths; // what the program asked to read ahead, last time
    QList<QSize> preparedSizes;
    // "beep" per beep and the number of each voice heard, in order; a test may log more.
    QStringList events;

private:
    std::mt19937 m_fallback{20260};
};

// A folder the program can start in, made by the test: a word list and small JPEGs, each of
// one flat colour so a test can tell the pictures apart. It becomes the working directory for
// as long as it lives. Given a name, it is a folder of that name, in bytes that need not be
// UTF-8 (a Latin-1 name from an old stick), which the program shows as Qt decodes it.
class TestFolder {
public:
    explicit TestFolder(const QByteArray &name = {});
    ~TestFolder();

    QString path() const { return m_path; }
    // Writes one word per line (CR LF, UTF-8) and pictures 1..count of words.
    void writeWords(const QStringList &words);
    // Writes pictures 1..count (picture 1 for none).
    void writePictures(int count);
    // Picture n's one flat colour tells its number in two channels, in steps of 16: JPEG's
    // rounding of a flat colour stays far below.
    static QColor pictureColour(int n) { return QColor(n % 16 * 16 + 8, 96, n / 16 * 16 + 8); }
    // The picture number whose colour the image shows at its centre, or 0.
    static int pictureNumberOf(const QImage &image);

private:
    QTemporaryDir m_dir;
    QByteArray m_name;
    QString m_previous, m_path;
};

// The module with every screen registered, as the program's entry builds it.
struct TestProgram : Modulo1 {
    explicit TestProgram(Platform &platform)
        : Modulo1(platform),
          registry(*this, [this](ScreenId id) { return createScreen(*this, id); })
    {
        readAheadSizes = exercisePictureSizes();
    }
    ScreenRegistry registry;
};

// Destroys the windows that unloaded screens left for deletion.
inline void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// Word lists "parola1".."parolaN".
inline QStringList numberedWords(int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list << QStringLiteral("parola%1").arg(i);
    return list;
}

// A whole run: a folder with these words and a flat-colour picture each, the scripted platform
// (its first random values given), and the program started by Main on the start screen. Settings
// given are written as the folder's diveva.ini; "--schermo-intero" asks for full screen as the
// command line does. Voices are files written in the folder: "voce/3.ogg" a good voice in the
// format of its extension, "voce/3.ogg=bytes" with those bytes.
struct TestRun {
    enum Names { AsUsual, WindowsNames }; // WindowsNames: LISTA.TXT, JPG/N.JPG
    explicit TestRun(const QStringList &words, QList<float> randoms = {}, Names names = AsUsual,
                     const QByteArray &settings = {}, const QStringList &voices = {});
    ~TestRun();

    template <class T>
    T *screen(ScreenId id) const
    {
        return qobject_cast<T *>(m.registry.loaded(id));
    }
    // From the start screen to the menu, or from the menu to an exercise (the draws of its first
    // question given), with the beeps and draws counted from there.
    void open(ScreenId id, QList<float> randoms = {});

    TestFolder folder;
    ScriptedPlatform platform;
    TestProgram m{platform};
};
