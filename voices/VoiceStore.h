#pragma once

#include "voices/VoiceDecoder.h"

#include <QHash>
#include <QThreadPool>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// The voices decoded so far, held in memory as sound, and the workers that decode them ahead of
// the questions that speak them.
//
// How the program uses it: once the start screen is up, readAhead with every voice of the list;
// when a question speaks, voice(path) from the window's thread gives the sound (or why there is
// none) to hand to VoicePlayer. A voice already held costs a stat; one a worker is decoding is
// awaited (tens of milliseconds), not decoded twice; one not yet reached is decoded at once in the
// calling thread. Every use looks at the file: a voice replaced since it was decoded is decoded
// again, and a removed one gives the cause a direct read gives. Failures are kept like voices, so a
// damaged file is decoded once. Thread-safe; the workers are not Qt's global pool.
class VoiceStore {
public:
    // Decodes one file; tests replace it to count or hold the decodes.
    using Decoder = std::function<Voice(const QString &path)>;

    // threads: background workers. One by default: the pictures' readers have the other cores,
    // and a voice takes tens of milliseconds. Without a decoder, voices are read by
    // decodeVoiceFile.
    explicit VoiceStore(int threads = 1, Decoder decoder = {});
    // Drops the reading ahead not yet started and waits for the voices being decoded.
    ~VoiceStore();
    VoiceStore(const VoiceStore &) = delete;
    VoiceStore &operator=(const VoiceStore &) = delete;

    // The voice of the file as it is now, decoded in this thread if no one has it; blocks while a
    // worker decodes it.
    Voice voice(const QString &path);
    // Its length, for the editor's warning about long voices; 0 when it cannot be heard.
    qint64 durationMs(const QString &path) { return voice(path).durationMs(); }

    // Decodes the files in the background, in this order. Returns at once.
    void readAhead(const QStringList &paths);
    // Until nothing is queued and no worker runs.
    void waitForReadAhead();
    // Drops the queue and waits for the workers; voice still works afterwards, in its own thread.
    void stop();

    // Figures for tests and the benchmark.
    int decodeCount() const;
    int waitingLoads() const;
    int queuedCount() const;
    qsizetype heldBytes() const;

private:
    struct FileStamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modified = 0; // ns
        qint64 changed = 0;  // ns; any write or rename of the file moves it
        bool operator==(const FileStamp &) const = default;
    };
    struct Entry {
        FileStamp stamp;
        Voice voice;
        bool decoding = false;
    };

    static bool stampOf(const QString &path, FileStamp &stamp);
    Voice decodeInto(std::unique_lock<std::mutex> &lock, const QString &path,
                     const FileStamp &stamp);
    void startWorkers();
    void drain();

    const int m_threads;
    const Decoder m_decoder;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed; // a voice finished decoding, or a worker ended
    QHash<QString, Entry> m_entries;
    std::deque<QString> m_queue;
    int m_decodes = 0;
    int m_running = 0; // workers started and not yet ended
    int m_waiting = 0; // voice() calls waiting for a worker's decode
    bool m_stopping = false;

    QThreadPool m_pool;
};
