#include "voices/VoiceStore.h"

#include <QFile>

#include <sys/stat.h>

#include <utility>

VoiceStore::VoiceStore(int threads, Decoder decoder)
    : m_threads(qMax(1, threads)),
      m_decoder(decoder ? std::move(decoder) : [](const QString &p) { return decodeVoiceFile(p); })
{
    m_pool.setMaxThreadCount(m_threads);
}

VoiceStore::~VoiceStore() { stop(); }

bool VoiceStore::stampOf(const QString &path, FileStamp &stamp)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

Voice VoiceStore::decodeInto(std::unique_lock<std::mutex> &lock, const QString &path,
                             const FileStamp &stamp)
{
    m_entries[path].decoding = true;
    ++m_decodes;
    // The stamp was taken before the file is read: if the file changes meanwhile, the next use
    // sees a different stamp and decodes it again.
    lock.unlock();
    Voice voice;
    try {
        voice = m_decoder(path);
    } catch (...) {
        lock.lock();
        m_entries.remove(path);
        m_changed.notify_all();
        throw;
    }
    lock.lock();
    m_entries[path] = Entry{stamp, voice, false};
    m_changed.notify_all();
    return voice;
}

Voice VoiceStore::voice(const QString &path)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        FileStamp stamp;
        if (!stampOf(path, stamp)) {
            // Gone or out of reach: read directly, for the cause.
            const auto it = m_entries.find(path);
            if (it != m_entries.end() && !it->decoding)
                m_entries.erase(it);
            lock.unlock();
            return m_decoder(path);
        }
        const auto it = m_entries.constFind(path);
        if (it != m_entries.cend() && it->decoding) {
            ++m_waiting;
            m_changed.wait(lock);
            --m_waiting;
            continue; // looked at again: the file may have changed meanwhile
        }
        if (it != m_entries.cend() && it->stamp == stamp)
            return it->voice;
        return decodeInto(lock, path, stamp);
    }
}

void VoiceStore::readAhead(const QStringList &paths)
{
    std::lock_guard lock(m_mutex);
    if (m_stopping)
        return;
    m_queue.insert(m_queue.end(), paths.begin(), paths.end());
    startWorkers();
}

void VoiceStore::startWorkers()
{
    // Called with the lock held. A worker that finds the queue already empty just ends.
    while (m_running < m_threads && !m_queue.empty()) {
        ++m_running;
        m_pool.start([this] { drain(); });
    }
}

void VoiceStore::drain()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping && !m_queue.empty()) {
        const QString path = std::move(m_queue.front());
        m_queue.pop_front();
        FileStamp stamp;
        if (!stampOf(path, stamp))
            continue; // reported when the voice is asked for
        const auto it = m_entries.constFind(path);
        if (it != m_entries.cend() && (it->decoding || it->stamp == stamp))
            continue; // held, or someone else decodes it right now
        try {
            decodeInto(lock, path, stamp);
        } catch (...) {
            // Out of memory in the background: the question decodes its voice itself later.
        }
    }
    --m_running;
    m_changed.notify_all();
}

void VoiceStore::waitForReadAhead()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && m_running == 0; });
}

void VoiceStore::stop()
{
    {
        std::unique_lock lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_changed.wait(lock, [this] { return m_running == 0; });
    }
    m_pool.waitForDone();
}

int VoiceStore::decodeCount() const
{
    std::lock_guard lock(m_mutex);
    return m_decodes;
}

int VoiceStore::waitingLoads() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting;
}

int VoiceStore::queuedCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_queue.size());
}

qsizetype VoiceStore::heldBytes() const
{
    std::lock_guard lock(m_mutex);
    qsizetype bytes = 0;
    for (const Entry &e : m_entries)
        bytes += e.voice.pcm.size();
    return bytes;
}
