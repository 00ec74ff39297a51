#pragma once

#include "core/Platform.h"
#include "core/ReadAhead.h"
#include "pictures/DiskCache.h"
#include "pictures/PictureDecoder.h"

#include <QHash>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

// The pictures read so far, held in memory at the sizes of their boxes (never at full size), and
// the workers that read them ahead of the screens.
//
// Every use looks at the file once (a stat): a picture replaced since it was read is read again,
// and a removed or unreadable one gives the same cause as a direct read. One decode fills every
// size known for the picture, so the smaller boxes cost a smooth scale, not a second decode.
// A picture that a worker is reading when a screen asks for it is awaited, not read twice.
// With a folder on disk, a picture missing in memory is looked for there before it is decoded,
// and what is decoded is stored there for the next run. Past a cap on the memory the pictures
// take, those used least recently are dropped from memory (the disk keeps them).
class PictureCache {
public:
    // Reads one file at several sizes; tests replace it to count or hold the reads.
    using Decoder =
        std::function<PictureSizes(const QString &path, const QList<QSize> &pixelSizes)>;

    // At the design's size a folder of 150 photos takes under 40 MB, all held; windows that fill
    // a 4K screen take about 3.7 MB a photo, and the cap keeps the program's memory within
    // reach of a school laptop (under 300 MB in all at 4K; the pictures dropped come back from
    // the disk in a few milliseconds).
    static constexpr qsizetype DefaultMemoryCapBytes = 96LL * 1024 * 1024;

    // threads: background workers, at most the number of cores. Without a decoder, pictures are
    // read by decodePictureSizes in the program's decoding budget.
    explicit PictureCache(int threads = QThread::idealThreadCount(), Decoder decoder = {},
                          qsizetype memoryCapBytes = DefaultMemoryCapBytes);
    // Drops the reading ahead not yet started and waits for the pictures being read.
    ~PictureCache();
    PictureCache(const PictureCache &) = delete;
    PictureCache &operator=(const PictureCache &) = delete;

    // The picture at pixelSize, read now in this thread if it is not held for the file as it is.
    PictureResult load(const QString &path, QSize pixelSize);
    // Several pictures: those missing are read in parallel by the workers and this thread.
    QList<PictureResult> loadAll(const QList<PictureRequest> &requests);

    // Keeps the pictures also in folder (see DiskCache), within capBytes; an empty folder keeps
    // them in memory only. Called before any other use.
    void setDiskFolder(const QString &folder, qint64 capBytes = DiskCache::DefaultCapBytes);

    // Reads the files in the background, in this order, at these sizes (added to the sizes every
    // later read fills). Returns at once. Failures are kept for load to report.
    void warmUp(const QStringList &paths, const QList<QSize> &pixelSizes);
    // Until nothing is queued and no worker runs.
    void waitForWarmUp();
    // Drops the queue and waits for the workers; load still works afterwards, in its own thread.
    void stop();

    // For the tests: when set, when() is asked before each read stores its images on disk, and
    // true there fails the read as an allocation that ran out of memory (std::bad_alloc).
    void failAllocations(std::function<bool()> when);

    // Figures for tests and the benchmark.
    int decodeCount() const { return m_readAhead.decodeCount(); }
    int diskHits() const { return m_diskHits.load(); }
    int waitingLoads() const { return m_readAhead.waitingLoads(); }
    int queuedCount() const { return m_readAhead.queuedCount(); }
    qsizetype heldBytes() const;

private:
    struct Entry {
        FileStamp stamp;
        QString cause; // the file as stamped cannot be shown, for this reason
        QList<QSize> sizes;
        QList<QImage> images;
        quint64 lastUse = 0;
        QImage find(QSize size) const;
    };

    QList<QSize> withKnownSizes(QSize first) const;
    bool isFresh(const QString &path, QSize size) const;
    PictureSizes decodeInto(ReadAhead::Lock &lock, const QString &path, const FileStamp &stamp,
                            QList<QSize> sizes, const QList<QSize> &diskOnly = {});
    QList<QImage> fromDisk(const QString &path, const FileStamp &stamp,
                           const QList<QSize> &sizes) const;
    ReadAhead::Task readTask(const QString &path, const QList<QSize> &sizes);
    void dropLeastUsed(const QString &kept);

    const Decoder m_decoder;
    const qsizetype m_memoryCap;
    mutable std::atomic<int> m_diskHits{0};
    std::unique_ptr<DiskCache> m_disk;
    std::function<bool()> m_allocationFails;

    // Under m_readAhead's lock:
    QHash<QString, Entry> m_entries;
    quint64 m_uses = 0;   // the clock of Entry::lastUse
    QList<QSize> m_sizes; // filled by every read
    // Asked for by the screens but not read ahead (the start screen's): the reading ahead stores
    // them on disk only, so that the next run's start screen finds them there.
    QList<QSize> m_loadSizes;

    // Last: its workers use the members above, and it is destroyed first.
    ReadAhead m_readAhead;
};
