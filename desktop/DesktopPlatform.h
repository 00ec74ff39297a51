#pragma once

#include "core/Platform.h"
#include "desktop/SystemBell.h"
#include "pictures/PictureCache.h"

#include <random>

// The platform of the real program: a generator seeded from the clock, the desktop's bell,
// message boxes, and the picture decoder behind a cache that reads the pictures ahead. Made
// after the QApplication.
class DesktopPlatform : public Platform {
public:
    DesktopPlatform();
    ~DesktopPlatform() override;

    float nextRandom() override;
    void beep() override;
    bool askYesNo(const QString &prompt) override;
    void inform(const QString &text) override;
    [[noreturn]] void fatal(const QString &report) override;
    void endProgram(int status) override;
    PictureResult loadPicture(const QString &path, QSize pixelSize) override;
    QList<PictureResult> loadPictures(const QList<PictureRequest> &requests) override;
    QList<PictureProblem> checkPictures(const QStringList &paths) override;
    void preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes) override;

private:
    std::mt19937 m_generator;
    SystemBell m_bell;
    // Its workers are waited for when the program ends (at most one picture each), however it
    // ends: see preparePictures.
    PictureCache m_pictures;
};
