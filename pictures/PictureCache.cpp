#include "pictures/PictureCache.h"

#include <malloc.h>

#include <new>
#include <utility>

PictureCache::PictureCache(int threads, Decoder decoder, qsizetype memoryCapBytes)
    : m_decoder(decoder
                    ? std::move(decoder)
                    : [](const QString &path,
                         const QList<QSize> &sizes) { return decodePictureSizes(path, sizes); }),
      m_memoryCap(memoryCapBytes),
      m_readAhead(qBound(1, threads, qMax(1, QThread::idealThreadCount())))
{
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
    return it != m_entries.cend() && !m_readAhead.reading(path) && it->stamp == FileStamp::of(path)
           && (!it->cause.isEmpty() || it->sizes.contains(size));
}

PictureSizes PictureCache::decodeInto(ReadAhead::Lock &lock, const QString &path,
                                      const FileStamp &stamp, QList<QSize> sizes,
                                      const QList<QSize> &diskOnly)
{
    // Sizes already held for the same file are kept: the new read fills them too.
    if (const auto it = m_entries.constFind(path);
        it != m_entries.cend() && it->stamp == stamp && it->cause.isEmpty())
        for (const QSize &s : std::as_const(it->sizes))
            if (!sizes.contains(s))
                sizes.append(s);
    const auto keyOf = [&](QSize size) {
        return DiskCache::Key{path, stamp.size, stamp.modified, stamp.inode, size};
    };
    PictureSizes decoded;
    // The stamp was taken before the file is read: if the file changes meanwhile, the next use
    // sees a different stamp and reads it again.
    m_readAhead.read(lock, path, [&] {
        decoded.images = fromDisk(path, stamp, sizes);
        QList<QSize> all = sizes;
        if (m_disk)
            for (const QSize &s : diskOnly)
                if (!sizes.contains(s) && !m_disk->contains(keyOf(s)))
                    all.append(s);
        if (sizes.isEmpty() || all.size() > sizes.size() || decoded.images.contains(QImage())) {
            QList<QImage> stored = std::exchange(decoded.images, {});
            m_readAhead.countDecode();
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
    });
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
            if (!m_readAhead.reading(it.key()) && !it->images.isEmpty() && it.key() != kept
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
    ReadAhead::Lock lock = m_readAhead.lock();
    if (!m_loadSizes.contains(pixelSize))
        m_loadSizes.append(pixelSize);
    const std::optional<FileStamp> stamp = m_readAhead.settled(lock, path);
    if (!stamp) {
        // Gone or out of reach: read directly, for the cause the report gives.
        m_entries.remove(path);
        lock.unlock();
        m_readAhead.countDecode();
        const PictureSizes direct = m_decoder(path, {pixelSize});
        return direct.ok() ? PictureResult{direct.images.first(), {}}
                           : PictureResult{{}, direct.cause};
    }
    if (const auto it = m_entries.find(path); it != m_entries.end() && it->stamp == *stamp) {
        if (!it->cause.isEmpty())
            return PictureResult{{}, it->cause};
        if (QImage image = it->find(pixelSize); !image.isNull()) {
            it->lastUse = ++m_uses;
            return PictureResult{image, {}};
        }
    }
    const PictureSizes decoded = decodeInto(lock, path, *stamp, withKnownSizes(pixelSize));
    return decoded.ok() ? PictureResult{decoded.images.first(), {}}
                        : PictureResult{{}, decoded.cause};
}

QList<PictureResult> PictureCache::loadAll(const QList<PictureRequest> &requests)
{
    {
        // The first missing picture is read by this thread; the others go to the workers ahead
        // of any reading in the background, in their order.
        ReadAhead::Lock lock = m_readAhead.lock();
        std::deque<ReadAhead::Task> misses;
        for (const PictureRequest &r : requests)
            if (!isFresh(r.path, r.pixelSize))
                misses.push_back(readTask(r.path, withKnownSizes(r.pixelSize)));
        if (misses.size() > 1) {
            misses.pop_front();
            m_readAhead.queue(lock, std::move(misses), true);
        }
    }
    QList<PictureResult> results;
    for (const PictureRequest &r : requests)
        results.append(load(r.path, r.pixelSize));
    return results;
}

void PictureCache::warmUp(const QStringList &paths, const QList<QSize> &pixelSizes)
{
    ReadAhead::Lock lock = m_readAhead.lock();
    for (const QSize &s : pixelSizes)
        if (!m_sizes.contains(s))
            m_sizes.append(s);
    std::deque<ReadAhead::Task> tasks;
    for (const QString &path : paths)
        tasks.push_back(readTask(path, pixelSizes));
    m_readAhead.queue(lock, std::move(tasks));
}

ReadAhead::Task PictureCache::readTask(const QString &path, const QList<QSize> &sizes)
{
    return {path, [this, sizes](ReadAhead::Lock &lock, const QString &p, const FileStamp &stamp) {
                const auto it = m_entries.constFind(p);
                bool held = it != m_entries.cend() && it->stamp == stamp;
                for (const QSize &s : sizes)
                    held = held && (!it->cause.isEmpty() || it->sizes.contains(s));
                if (held)
                    return;
                QList<QSize> diskOnly;
                for (const QSize &s : std::as_const(m_loadSizes))
                    if (!sizes.contains(s))
                        diskOnly.append(s);
                decodeInto(lock, p, stamp, sizes, diskOnly);
            }};
}

void PictureCache::waitForWarmUp() { m_readAhead.waitForAll(); }

void PictureCache::stop() { m_readAhead.stop(); }

qsizetype PictureCache::heldBytes() const
{
    ReadAhead::Lock lock = m_readAhead.lock();
    qsizetype bytes = 0;
    for (const Entry &e : m_entries)
        for (const QImage &image : e.images)
            bytes += image.sizeInBytes();
    return bytes;
}
