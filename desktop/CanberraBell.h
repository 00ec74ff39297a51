#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// One sound file played through libcanberra, which is loaded at run time: a machine without it
// still runs the program, in silence. The sounds play one after the other on a thread of their
// own, so ring() never waits for the sound system and two rings are heard as two sounds rather
// than one on top of the other.
class CanberraBell {
public:
    // Longest wait for the sound system to report a sound as finished before the next one starts.
    static constexpr std::chrono::seconds MaxSoundLength{3};

    explicit CanberraBell(QString soundFile);
    ~CanberraBell();
    CanberraBell(const CanberraBell &) = delete;
    CanberraBell &operator=(const CanberraBell &) = delete;

    // libcanberra could be loaded and there is a sound file to play.
    bool available() const;
    // Queues one sound and returns at once; nothing happens when the bell is not available.
    void ring();
    // Sounds the sound system has finished or refused so far, and of those the ones it accepted.
    int handled() const;
    int played() const;

private:
    struct Library;
    void run();
    void soundFinished(std::uint32_t id);

    QString m_file;
    std::unique_ptr<Library> m_library;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_queued = 0;
    bool m_busy = false; // a sound is being played
    int m_handled = 0;
    int m_played = 0;
    std::uint32_t m_finishedId = 0;
    bool m_stopping = false;
    std::thread m_worker;
};

// The file of an event sound of an XDG sound theme, looked up in the theme's "stereo" folder
// under each data folder in turn, for the full event name and then for each shorter name made by
// dropping its last "-part" ("bell-window-system", "bell-window", "bell"). Empty when there is
// none or when the theme disables the sound with a ".disabled" file.
QString findThemeSound(const QStringList &dataDirs, const QString &theme, const QString &eventId);
