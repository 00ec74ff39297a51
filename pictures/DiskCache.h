#pragma once

#include "core/UniqueFd.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <mutex>

// Box-size pictures kept on disk between runs, in the user's cache folder, so that a folder used
// every lesson starts and reads ahead without decoding its photos again.
//
// An entry is named by a hash of its key and holds a header (magic, format version, the key
// itself, size, pixel format, payload length, a 64-bit XXH3 hash) and the raw pixels. A read checks
// all of it: a damaged, foreign or older entry reads as missing and is overwritten by the next
// write. Writes go to a temporary file renamed into place, so a reader or a second copy of the
// program sees the old entry or the new one, never half of one. Past the size cap, the entries used
// least recently are dropped (a hit renews an entry's time). Every failure of the folder
// (read-only, full, missing) makes the entry a miss: it costs speed, never an error. Thread-safe.
//
// The folder and its parent ("diveva/immagini") are the program's own: made 0700 when missing,
// and used only when both are real folders of this user that no one else can write, so that no
// other user can plant the pictures a child sees and no link can send the pruning into someone
// else's files (the folders above them may be links: that is the user's choice). The folder is
// opened once, and every entry is opened, listed, renamed and removed relative to it. Entries are
// opened without following links or waiting (a named pipe in its place reads as a miss), and
// only regular files of this user are read. The pruning looks only at the cache's own files, its
// entries and its temporary files, and counts only those toward the cap.
class DiskCache {
public:
    // What an entry stands for: the file as it is now and the box size in device pixels.
    struct Key {
        QString path;
        qint64 size = 0;
        qint64 modified = 0; // ns
        quint64 inode = 0;
        QSize pixelSize;
    };

    static constexpr quint32 FormatVersion = 2;
    // A folder of 150 photos takes 37 MB at the design's size, about 850 MB with windows that
    // fill a 4K screen (the start screen's box included): one such folder fits.
    static constexpr qint64 DefaultCapBytes = 1024LL * 1024 * 1024;

    explicit DiskCache(QString folder, qint64 capBytes = DefaultCapBytes);

    // The program's folder: "immagini" in QStandardPaths::CacheLocation.
    static QString defaultFolder();

    const QString &folder() const { return m_folder; }

    // The image stored for key, or a null image.
    QImage read(const Key &key) const;
    // Whether an entry for key is there, unchecked.
    bool contains(const Key &key) const;
    // Stores image for key; false when the folder would not take it.
    bool write(const Key &key, const QImage &image);

private:
    // The folder, opened at the first use; -1 when it cannot be made or trusted.
    int folderFd() const;
    void pruneIfNeeded(qint64 added);

    const QString m_folder;
    mutable std::once_flag m_opening;
    mutable UniqueFd m_dir;
    const qint64 m_cap;
    std::mutex m_pruning;
    std::atomic<qint64> m_bytes{-1}; // in the folder, as last counted plus what was written since
};
