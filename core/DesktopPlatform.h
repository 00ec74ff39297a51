#pragma once

#include "Platform.h"
#include "SystemBell.h"

#include <random>

// The platform of the real program: a generator seeded from the clock, the desktop's bell,
// message boxes and the picture decoder. Made after the QApplication.
class DesktopPlatform : public Platform {
public:
    DesktopPlatform();

    float nextRandom() override;
    void beep() override;
    bool askYesNo(const QString &prompt) override;
    void inform(const QString &text) override;
    [[noreturn]] void fatal(const QString &report) override;
    void endProgram(int status) override;
    PictureResult loadPicture(const QString &path, QSize pixelSize) override;

private:
    std::mt19937 m_generator;
    SystemBell m_bell;
};
