#include "pictures/PictureCache.h"

#include <QFile>
#include <QScopeGuard>

#include <malloc.h>
#include <sys/stat.h>

#include <new>
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

PictureCache::PictureCache(int threads, Decoder decoder, qsizetype memoryCapBytes)
    : m_threads(qBound(1, threads, qMax(1, QThread::idealThreadCount()))),
      m_decoder(decoder
                    ? std::move(decoder)
                    : [](const QString &path,
                         const QList<QSize> &sizes) { return decodePictureSizes(path, sizes); }),
      m_memoryCap(memoryCapBytes)
{
    m_pool.setMaxThreadCount(m_threads);
    // The workers read the pictures and the window's thread drops them. glibc gives each thread
    // a heap of its own, and the space of a picture a worker read serves only that worker's later
    // reads: at 4K full screen the program grew by 70 MB over 600 questions. With one heap for
    // the whole program, a picture read takes the space of one dropped.
    mallopt(M_ARENA_MAX, 1);
}

PictureCache::~PictureCache() { stop(); }

QImage PictureCache::Entry::find(QSize size) const
{
    const qsizetype i = sizes.indexOf(size);
    return i < 0 ? QImage() : images.at(i);
}

bool PictureCache::stampOf(const QString &path, FileStamp &stamp)
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

QList<QSize> PictureCache::withKnownSizes(QSize first) const
{
    QList<QSize> sizes{first};
    for (const QSize &s : m_sizes)
        if (!sizes.contains(s))
            sizes.append(s);
    return sizes;
}

bool PictureCache::isFresh(const QString &path, QSize size) const
{
    const auto it = m_entries.constFind(path);
    FileStamp stamp;
    return it != m_entries.cend() && !it->decoding && stampOf(path, stamp) && it->stamp == stamp
           && (!it->cause.isEmpty() || it->sizes.contains(size));
}

PictureSizes PictureCache::decodeInto(std::unique_lock<std::mutex> &lock, const QString &path,
                                      const FileStamp &stamp, QList<QSize> sizes,
                                      const QList<QSize> &diskOnly)
{
    {
        Entry &entry = m_entries[path];
        // Sizes already held for the same file are kept: the new read fills them too.
        if (entry.stamp == stamp && entry.cause.isEmpty())
            for (const QSize &s : std::as_const(entry.sizes))
                if (!sizes.contains(s))
                    sizes.append(s);
        entry.decoding = true;
    }
    // However the read ends (a picture, a cause, an exception such as memory running out on the
    // way), the mark goes and the loads waiting for it look again: none waits for ever.
    const auto finished = qScopeGuard([&] {
        if (!lock.owns_lock())
            lock.lock();
        if (const auto it = m_entries.find(path); it != m_entries.end())
            it->decoding = false;
        m_changed.notify_all();
    });
    // The stamp was taken before the file is read: if the file changes meanwhile, the next use
    // sees a different stamp and reads it again.
    lock.unlock();
    const auto keyOf = [&](QSize size) {
        return DiskCache::Key{path, stamp.size, stamp.modified, stamp.inode, size};
    };
    PictureSizes decoded;
    decoded.images = fromDisk(path, stamp, sizes);
    QList<QSize> all = sizes;
    if (m_disk)
        for (const QSize &s : diskOnly)
            if (!sizes.contains(s) && !m_disk->contains(keyOf(s)))
                all.append(s);
    if (sizes.isEmpty() || all.size() > sizes.size() || decoded.images.contains(QImage())) {
        QList<QImage> stored = std::exchange(decoded.images, {});
        ++m_decodes;
        decoded = m_decoder(path, all);
        stored.resize(all.size());
        if (m_allocationFails && m_allocationFails())
            throw std::bad_alloc();
        if (m_disk && decoded.ok())
            for (qsizetype i = 0; i < all.size(); ++i)
                if (stored[i].isNull())
                    m_disk->write(keyOf(all[i]), decoded.images.value(i));
        decoded.images.resize(qMin(decoded.images.size(), sizes.size()));
    }
    lock.lock();
    Entry &entry = m_entries[path];
    entry.stamp = stamp;
    entry.cause = decoded.cause;
    entry.sizes = decoded.ok() ? sizes : QList<QSize>();
    entry.images = decoded.images;
    entry.lastUse = ++m_uses;
    dropLeastUsed(path);
    return decoded;
}

void PictureCache::dropLeastUsed(const QString &kept)
{
    const auto bytesOf = [](const Entry &e) {
        qsizetype bytes = 0;
        for (const QImage &image : e.images)
            bytes += image.sizeInBytes();
        return bytes;
    };
    qsizetype held = 0;
    for (const Entry &e : std::as_const(m_entries))
        held += bytesOf(e);
    while (held > m_memoryCap) {
        auto oldest = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (!it->decoding && !it->images.isEmpty() && it.key() != kept
                && (oldest == m_entries.end() || it->lastUse < oldest->lastUse))
                oldest = it;
        if (oldest == m_entries.end())
            return;
        held -= bytesOf(*oldest);
        m_entries.erase(oldest);
    }
}

void PictureCache::setDiskFolder(const QString &folder, qint64 capBytes)
{
    m_disk = folder.isEmpty() ? nullptr : std::make_unique<DiskCache>(folder, capBytes);
}

void PictureCache::failAllocations(std::function<bool()> when)
{
    m_allocationFails = std::move(when);
}

QList<QImage> PictureCache::fromDisk(const QString &path, const FileStamp &stamp,
                                     const QList<QSize> &sizes) const
{
    QList<QImage> images(sizes.size());
    if (!m_disk)
        return images;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        images[i] = m_disk->read({path, stamp.size, stamp.modified, stamp.inode, sizes[i]});
        m_diskHits += !images[i].isNull();
    }
    return images;
}

PictureResult PictureCache::load(const QString &path, QSize pixelSize)
{
    std::unique_lock lock(m_mutex);
    if (!m_loadSizes.contains(pixelSize))
        m_loadSizes.append(pixelSize);
    for (;;) {
        FileStamp stamp;
        if (!stampOf(path, stamp)) {
            // Gone or out of reach: read directly, for the cause the report gives.
            const auto it = m_entries.find(path);
            if (it != m_entries.end() && !it->decoding)
                m_entries.erase(it);
            lock.unlock();
            ++m_decodes;
            const PictureSizes direct = m_decoder(path, {pixelSize});
            return direct.ok() ? PictureResult{direct.images.first(), {}}
                               : PictureResult{{}, direct.cause};
        }
        const auto it = m_entries.find(path);
        if (it != m_entries.end()) {
            if (it->decoding) {
                ++m_waiting;
                m_changed.wait(lock);
                --m_waiting;
                continue; // looked at again: the file may have changed meanwhile
            }
            if (it->stamp == stamp) {
                if (!it->cause.isEmpty())
                    return PictureResult{{}, it->cause};
                if (QImage image = it->find(pixelSize); !image.isNull()) {
                    it->lastUse = ++m_uses;
                    return PictureResult{image, {}};
                }
            }
        }
        const PictureSizes decoded = decodeInto(lock, path, stamp, withKnownSizes(pixelSize));
        return decoded.ok() ? PictureResult{decoded.images.first(), {}}
                            : PictureResult{{}, decoded.cause};
    }
}

QList<PictureResult> PictureCache::loadAll(const QList<PictureRequest> &requests)
{
    {
        // The first missing picture is read by this thread; the others go to the workers ahead
        // of any reading in the background, in their order.
        std::unique_lock lock(m_mutex);
        std::deque<Job> misses;
        for (const PictureRequest &r : requests)
            if (!isFresh(r.path, r.pixelSize))
                misses.push_back(Job{r.path, withKnownSizes(r.pixelSize)});
        if (!m_stopping && misses.size() > 1) {
            m_queue.insert(m_queue.begin(), misses.begin() + 1, misses.end());
            startWorkers();
        }
    }
    QList<PictureResult> results;
    for (const PictureRequest &r : requests)
        results.append(load(r.path, r.pixelSize));
    return results;
}

void PictureCache::warmUp(const QStringList &paths, const QList<QSize> &pixelSizes)
{
    std::unique_lock lock(m_mutex);
    if (m_stopping)
        return;
    for (const QSize &s : pixelSizes)
        if (!m_sizes.contains(s))
            m_sizes.append(s);
    for (const QString &path : paths)
        m_queue.push_back(Job{path, pixelSizes});
    startWorkers();
}

void PictureCache::runJob(std::unique_lock<std::mutex> &lock, const Job &job)
{
    FileStamp stamp;
    if (!stampOf(job.path, stamp))
        return; // reported when a screen loads it
    const auto it = m_entries.constFind(job.path);
    if (it != m_entries.cend()) {
        if (it->decoding)
            return; // someone else reads it right now
        bool held = it->stamp == stamp;
        for (const QSize &s : job.sizes)
            held = held && (!it->cause.isEmpty() || it->sizes.contains(s));
        if (held)
            return;
    }
    try {
        QList<QSize> diskOnly;
        for (const QSize &s : std::as_const(m_loadSizes))
            if (!job.sizes.contains(s))
                diskOnly.append(s);
        decodeInto(lock, job.path, stamp, job.sizes, diskOnly);
    } catch (...) {
        // Out of memory in the background: the screen reads the picture itself later.
    }
}

void PictureCache::startWorkers()
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

void PictureCache::drain()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping && !m_queue.empty()) {
        const Job job = std::move(m_queue.front());
        m_queue.pop_front();
        runJob(lock, job);
    }
    --m_running;
    m_changed.notify_all();
}

void PictureCache::waitForWarmUp()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && m_running == 0; });
}

void PictureCache::stop()
{
    {
        std::unique_lock lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        m_changed.wait(lock, [this] { return m_running == 0; });
    }
    m_pool.waitForDone();
}

int PictureCache::waitingLoads() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting;
}

int PictureCache::queuedCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_queue.size());
}

qsizetype PictureCache::heldBytes() const
{
    std::lock_guard lock(m_mutex);
    qsizetype bytes = 0;
    for (const Entry &e : m_entries)
        for (const QImage &image : e.images)
            bytes += image.sizeInBytes();
    return bytes;
}
