#pragma once

#include "core/Platform.h"
#include "desktop/SystemBell.h"
#include "pictures/PictureCache.h"
#include "voices/VoicePlayer.h"
#include "voices/VoiceStore.h"

#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <random>

// The platform of the real program: a generator seeded from the clock, the desktop's bell,
// message boxes, the picture decoder behind a cache that reads the pictures ahead, and the
// voices decoded ahead and played through one output stream. Made after the QApplication.
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
    // Opens the sound system (in the player's own thread) and decodes the voices ahead.
    void prepareVoices(const QStringList &paths) override;
    // The voice is looked up in a worker (a decode not yet done takes tens of milliseconds) and
    // played from the window's thread, unless a later speak came meanwhile.
    void speak(const QString &path) override;
    bool canSpeak(const QString &path) override;

    // For the benchmark: the player, and a wait until everything prepared so far is read.
    VoicePlayer &voicePlayer() { return m_player; }
    void waitForReadAhead();

private:
    std::mt19937 m_generator;
    SystemBell m_bell;
    // Its workers are waited for when the program ends (at most one picture each), however it
    // ends: see preparePictures.
    PictureCache m_pictures;
    // Ended in the reverse order: the lookups are waited for (they use the store and post to the
    // context), then their results still queued are dropped with the context, then the store's
    // workers end, then the player's stream.
    VoicePlayer m_player;
    VoiceStore m_voices;
    QObject m_context;
    QThreadPool m_lookups;
    quint64 m_lastSpoken = 0;
    QSet<QString> m_reported; // voices whose cause went to standard error already
};
