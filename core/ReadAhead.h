#pragma once

#include <QSet>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

// A file as stat sees it when it is read: a file written, renamed over or replaced since then has
// another stamp, and what was read from it is read again.
struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modified = 0; // ns
    qint64 changed = 0;  // ns; any write or rename of the file moves it
    bool operator==(const FileStamp &) const = default;

    // None when the file is gone or out of reach.
    static std::optional<FileStamp> of(const QString &path);
};

// Files read by background workers ahead of their use, as the pictures and the voices are: the
// queue, the workers (started when there is something to read, at most `threads`), and the marks
// of the files being read, so that a use that asks for one waits for that read rather than
// reading the file twice.
//
// What is read is its owner's: the owner keeps it by path, under the lock this object gives, and
// reads a file through read(), which marks it while the lock is released. Thread-safe; the
// workers are not Qt's global pool. The locking uses the standard mutex and condition variable,
// which the thread sanitizer sees (Qt's own mutex is invisible to it unless Qt itself is built
// for it).
class ReadAhead {
public:
    using Lock = std::unique_lock<std::mutex>;
    // One file's read in a worker, given its stamp, with the lock held. A file that cannot be
    // stamped, or that someone else reads right now, is skipped: its use reads it. An exception
    // (memory running out) drops that one read: the use reads the file itself later.
    using Job = std::function<void(Lock &lock, const QString &path, const FileStamp &stamp)>;
    struct Task {
        QString path;
        Job job;
    };

    explicit ReadAhead(int threads);
    // Drops the queue and waits for the reads in progress.
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    Lock lock() const { return Lock(m_mutex); }

    // With the lock held: queues the tasks after those queued, or ahead of them, in their order,
    // and starts the workers. Nothing is queued once stopped.
    void queue(Lock &lock, std::deque<Task> tasks, bool ahead = false);
    // Until nothing is queued and no worker runs.
    void waitForAll();
    // Drops the queue and waits for the workers. Reads in the caller's thread still work.
    void stop();

    // With the lock held: the file's stamp once no one reads it, waiting for the read in progress
    // if there is one; none when the file is gone or out of reach.
    std::optional<FileStamp> settled(Lock &lock, const QString &path);
    // Whether path is being read, with the lock held.
    bool reading(const QString &path) const { return m_reading.contains(path); }
    // With the lock held: marks path as being read and runs readFile with the lock released.
    // However readFile ends (exceptions included) the lock is held again, the mark goes and the
    // uses waiting for it look again: none waits for ever.
    void read(Lock &lock, const QString &path, const std::function<void()> &readFile);

    // Figures for tests and the benchmark.
    void countDecode() { ++m_decodes; }
    int decodeCount() const { return m_decodes.load(); }
    int waitingLoads() const;
    int queuedCount() const;

private:
    void startWorkers();
    void drain();

    const int m_threads;
    std::atomic<int> m_decodes{0};

    mutable std::mutex m_mutex;
    std::condition_variable m_changed; // a read ended, or a worker did
    QSet<QString> m_reading;
    std::deque<Task> m_queue;
    int m_running = 0; // workers started and not yet ended
    int m_waiting = 0; // uses waiting for a worker's read
    bool m_stopping = false;

    QThreadPool m_pool;
};
