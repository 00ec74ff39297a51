#pragma once

#include "core/Platform.h"

class PictureCache;

#include <QList>
#include <QStringList>

#include <functional>
#include <random>
#include <stdexcept>

// What the scripted platform throws for an error report, so a test can see that the program
// would have ended there and with which text.
struct ScriptedFatal : std::runtime_error {
    explicit ScriptedFatal(const QString &report)
        : std::runtime_error(report.toStdString()), report(report)
    {
    }
    QString report;
};

// The platform of the tests: random values come from a script (then from a fixed-seed
// generator), questions are answered from a script, every call is counted or kept, and no window
// is ever shown.
class ScriptedPlatform : public Platform {
public:
    float nextRandom() override;
    void beep() override;
    bool askYesNo(const QString &prompt) override;
    void inform(const QString &text) override { questions << text; }
    [[noreturn]] void fatal(const QString &report) override { throw ScriptedFatal(report); }
    void endProgram(int status) override { endStatus = status; }
    PictureResult loadPicture(const QString &path, QSize pixelSize) override;
    QList<PictureResult> loadPictures(const QList<PictureRequest> &requests) override;
    QList<PictureProblem> checkPictures(const QStringList &paths) override;
    void preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes) override;

    // Values nextRandom returns first, in order.
    QList<float> randoms;
    // Answers to the Yes/No questions, in order; No when the script has run out.
    QList<bool> answers;
    // When set, pictures are read through this cache, which also reads ahead what the program
    // prepares; otherwise they are decoded directly, one by one.
    PictureCache *pictureCache = nullptr;
    // Run at every beep before it is counted, and when pictures are asked for before they are
    // read: to look at the screens at that moment.
    std::function<void()> onBeep, onLoad;

    int beeps = 0;
    int randomsTaken = 0;
    int loads = 0;             // pictures read
    int endStatus = -1;        // -1 while the program has not been ended
    QStringList questions;     // the questions asked and the messages shown, in order
    QStringList preparedPaths; // what the program asked to read ahead, last time
    QList<QSize> preparedSizes;

private:
    std::mt19937 m_fallback{20260};
};
