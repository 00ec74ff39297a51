#include "core/ReadAhead.h"

#include <QFile>
#include <QScopeGuard>

#include <sys/stat.h>

#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
// The pool hands a task to its thread through Qt's mutex, which the thread sanitizer does not
// see when Qt is not built for it: the hand-over is declared to it here.
#define DIVEVA_HANDOVER_RELEASE(p) __tsan_release(p)
#define DIVEVA_HANDOVER_ACQUIRE(p) __tsan_acquire(p)
#else
#define DIVEVA_HANDOVER_RELEASE(p) ((void)(p))
#define DIVEVA_HANDOVER_ACQUIRE(p) ((void)(p))
#endif

std::optional<FileStamp> FileStamp::of(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

ReadAhead::ReadAhead(int threads) : m_threads(qMax(1, threads))
{
    m_pool.setMaxThreadCount(m_threads);
}

ReadAhead::~ReadAhead() { stop(); }

void ReadAhead::queue(Lock &, std::deque<Task> tasks, bool ahead)
{
    if (m_stopping)
        return;
    m_queue.insert(ahead ? m_queue.begin() : m_queue.end(), std::make_move_iterator(tasks.begin()),
                   std::make_move_iterator(tasks.end()));
    startWorkers();
}

void ReadAhead::startWorkers()
{
    // Called with the lock held. A worker that finds the queue already empty just ends.
    while (m_running < m_threads && !m_queue.empty()) {
        ++m_running;
        DIVEVA_HANDOVER_RELEASE(this);
        m_pool.start([this] {
            DIVEVA_HANDOVER_ACQUIRE(this);
            drain();
        });
    }
}

void ReadAhead::drain()
{
    Lock lock(m_mutex);
    while (!m_stopping && !m_queue.empty()) {
        const Task task = std::move(m_queue.front());
        m_queue.pop_front();
        const std::optional<FileStamp> stamp = FileStamp::of(task.path);
        if (!stamp || reading(task.path))
            continue;
        try {
            task.job(lock, task.path, *stamp);
        } catch (...) {
        }
    }
    --m_running;
    m_changed.notify_all();
}

void ReadAhead::waitForAll()
{
    Lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && m_running == 0; });
}

void ReadAhead::stop()
{
    {
        Lock lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_changed.wait(lock, [this] { return m_running == 0; });
    }
    m_pool.waitForDone();
}

std::optional<FileStamp> ReadAhead::settled(Lock &lock, const QString &path)
{
    for (;;) {
        const std::optional<FileStamp> stamp = FileStamp::of(path);
        if (!stamp || !reading(path))
            return stamp;
        ++m_waiting;
        m_changed.wait(lock);
        --m_waiting;
        // Then looked at again: the file may have changed meanwhile.
    }
}

void ReadAhead::read(Lock &lock, const QString &path, const std::function<void()> &readFile)
{
    m_reading.insert(path);
    const auto finished = qScopeGuard([&] {
        if (!lock.owns_lock())
            lock.lock();
        m_reading.remove(path);
        m_changed.notify_all();
    });
    lock.unlock();
    readFile();
}

int ReadAhead::waitingLoads() const
{
    Lock lock(m_mutex);
    return m_waiting;
}

int ReadAhead::queuedCount() const
{
    Lock lock(m_mutex);
    return int(m_queue.size());
}
