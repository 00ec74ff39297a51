#include "pictures/DiskCache.h"

#include "core/SafeFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

namespace {

constexpr char Magic[8] = {'D', 'I', 'V', 'E', 'V', 'A', 'I', 'M'};
constexpr const char *Suffix = ".img";
constexpr const char *TempPrefix = ".tmp-";

// Fixed part of an entry, in the machine's byte order: an entry from a machine of the other
// order fails on its version.
struct Header {
    char magic[8];
    quint32 version;
    quint32 keyBytes;
    quint32 width;
    quint32 height;
    quint32 format;
    quint32 bytesPerLine;
    quint64 payloadBytes;
    quint64 hash; // of the pixels, seeded with that of this header (hash 0) and the key
};
static_assert(sizeof(Header) == 48);

QByteArray keyText(const DiskCache::Key &key)
{
    return QByteArray::number(DiskCache::FormatVersion) + ' ' + QByteArray::number(key.size) + ' '
           + QByteArray::number(key.modified) + ' ' + QByteArray::number(key.inode) + ' '
           + QByteArray::number(key.pixelSize.width()) + 'x'
           + QByteArray::number(key.pixelSize.height()) + ' ' + QFile::encodeName(key.path);
}

// XXH3, five times as fast as zlib's CRC-32 was (15 GB/s against 3): a click at 4K full screen
// may check six pictures of 1.4 MB, and the CRC took half of its time.
quint64 hashOf(const Header &header, const QByteArray &key, const uchar *pixels, qsizetype bytes)
{
    Header h = header;
    h.hash = 0;
    const QByteArray fixed = QByteArray(reinterpret_cast<const char *>(&h), sizeof h) + key;
    return XXH3_64bits_withSeed(pixels, size_t(bytes),
                                XXH3_64bits(fixed.constData(), size_t(fixed.size())));
}

bool readFully(int fd, void *to, qint64 bytes)
{
    auto *p = static_cast<char *>(to);
    while (bytes > 0) {
        const ssize_t n = ::read(fd, p, size_t(bytes));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        bytes -= n;
    }
    return true;
}

bool storable(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32_Premultiplied;
}

QByteArray entryName(const DiskCache::Key &key)
{
    return QCryptographicHash::hash(keyText(key), QCryptographicHash::Sha1).toHex().left(32)
           + Suffix;
}

// A folder of this user's that no one else can write, named name inside the folder at, made 0700
// when missing. A link, a file or a folder that is someone else's or open to others gives none.
UniqueFd openOwnFolder(int at, const QString &name)
{
    const QByteArray native = QFile::encodeName(name);
    if (::mkdirat(at, native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    UniqueFd fd(::openat(at, native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()
        || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    return fd;
}

// Makes the missing folders of path, each 0700, as the user's cache folder should be.
void makePath(const QString &path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return;
    makePath(QFileInfo(path).path());
    ::mkdir(QFile::encodeName(path).constData(), 0700);
}

} // namespace

DiskCache::DiskCache(QString folder, qint64 capBytes) : m_folder(std::move(folder)), m_cap(capBytes)
{
}

QString DiskCache::defaultFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/immagini");
}

int DiskCache::folderFd() const
{
    std::call_once(m_opening, [this] {
        const QString folder = QDir::cleanPath(m_folder), parent = QFileInfo(folder).path();
        const QString base = QFileInfo(parent).path();
        if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || base == parent)
            return;
        makePath(base);
        const UniqueFd top(
            ::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const UniqueFd program =
            top ? openOwnFolder(top.get(), QFileInfo(parent).fileName()) : UniqueFd();
        if (program)
            m_dir = openOwnFolder(program.get(), QFileInfo(folder).fileName());
    });
    return m_dir.get();
}

QImage DiskCache::read(const Key &key) const
{
    const int dir = folderFd();
    if (dir < 0)
        return {};
    const UniqueFd fd(
        ::openat(dir, entryName(key).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return {};
    const QByteArray text = keyText(key);
    QImage image;
    Header h{};
    struct stat st {};
    QByteArray echo(text.size(), Qt::Uninitialized);
    const bool headerOk =
        ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
        && readFully(fd.get(), &h, sizeof h) && std::memcmp(h.magic, Magic, sizeof Magic) == 0
        && h.version == FormatVersion && h.keyBytes == quint32(text.size())
        && readFully(fd.get(), echo.data(), echo.size()) && echo == text
        && int(h.width) == key.pixelSize.width() && int(h.height) == key.pixelSize.height()
        && storable(QImage::Format(h.format))
        && qint64(sizeof h) + h.keyBytes + qint64(h.payloadBytes) == qint64(st.st_size);
    if (headerOk) {
        image = QImage(int(h.width), int(h.height), QImage::Format(h.format));
        if (image.isNull() || quint32(image.bytesPerLine()) != h.bytesPerLine
            || quint64(image.sizeInBytes()) != h.payloadBytes
            || !readFully(fd.get(), image.bits(), image.sizeInBytes())
            || hashOf(h, text, image.constBits(), image.sizeInBytes()) != h.hash)
            image = QImage();
        else
            ::futimens(fd.get(), nullptr); // used now: last to go when the cap is reached
    }
    return image;
}

bool DiskCache::contains(const Key &key) const
{
    const int dir = folderFd();
    struct stat st {};
    return dir >= 0 && ::fstatat(dir, entryName(key).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
           && S_ISREG(st.st_mode);
}

bool DiskCache::write(const Key &key, const QImage &source)
{
    if (source.isNull() || source.size() != key.pixelSize)
        return false;
    const int dir = folderFd();
    if (dir < 0)
        return false;
    const QImage image =
        storable(source.format())
            ? source
            : source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
    const QByteArray text = keyText(key);
    Header h{};
    std::memcpy(h.magic, Magic, sizeof Magic);
    h.version = FormatVersion;
    h.keyBytes = quint32(text.size());
    h.width = quint32(image.width());
    h.height = quint32(image.height());
    h.format = quint32(image.format());
    h.bytesPerLine = quint32(image.bytesPerLine());
    h.payloadBytes = quint64(image.sizeInBytes());
    h.hash = hashOf(h, text, image.constBits(), image.sizeInBytes());

    // A temporary file in the same folder, renamed over the entry when complete: a reader, or a
    // second copy of the program writing the same entry, sees a whole entry or none. Not synced
    // to disk: an entry a crash leaves damaged fails its check and is written again.
    const QByteArray temp =
        TempPrefix + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    UniqueFd fd(::openat(dir, temp.constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        return false;
    const bool written = writeAll(fd.get(), &h, sizeof h)
                         && writeAll(fd.get(), text.constData(), text.size())
                         && writeAll(fd.get(), image.constBits(), image.sizeInBytes());
    const bool closed = ::close(fd.release()) == 0;
    if (!written || !closed
        || ::renameat(dir, temp.constData(), dir, entryName(key).constData()) != 0) {
        ::unlinkat(dir, temp.constData(), 0);
        return false;
    }
    pruneIfNeeded(qint64(sizeof h) + text.size() + image.sizeInBytes());
    return true;
}

namespace {

struct OwnFile {
    QByteArray name;
    qint64 bytes;
    qint64 modified; // ns
    bool temporary;
};

// The cache's own files in the folder, regular files of this user with the names it gives, the
// least recently used first.
std::vector<OwnFile> ownFiles(int dir)
{
    // The names the cache gives its files: an entry, or a temporary file of a write.
    const QRegularExpression own(QStringLiteral("^[0-9a-f]{32}\\.img$|^(\\.tmp-)[0-9A-Za-z]+$"));
    std::vector<OwnFile> files;
    // A copy of the folder's descriptor, which shares its place in the listing: from the start.
    const int copy = ::dup(dir);
    DIR *listing = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!listing) {
        if (copy >= 0)
            ::close(copy);
        return files;
    }
    ::rewinddir(listing);
    while (const dirent *e = ::readdir(listing)) {
        const QRegularExpressionMatch name = own.match(QLatin1String(e->d_name));
        struct stat st {};
        if (name.hasMatch() && ::fstatat(dir, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            files.push_back({e->d_name, qint64(st.st_size),
                             qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                             name.hasCaptured(1)});
    }
    ::closedir(listing);
    std::sort(files.begin(), files.end(),
              [](const OwnFile &a, const OwnFile &b) { return a.modified < b.modified; });
    return files;
}

qint64 totalOf(const std::vector<OwnFile> &files)
{
    qint64 sum = 0;
    for (const OwnFile &f : files)
        sum += f.bytes;
    return sum;
}

} // namespace

void DiskCache::pruneIfNeeded(qint64 added)
{
    const int dir = folderFd();
    qint64 bytes = m_bytes.load();
    if (bytes < 0) {
        // Counted once per run, at its first write; written bytes are added from then on.
        std::lock_guard lock(m_pruning);
        if (m_bytes.load() < 0)
            m_bytes.store(totalOf(ownFiles(dir)));
        bytes = m_bytes.fetch_add(added) + added;
    } else {
        bytes = m_bytes.fetch_add(added) + added;
    }
    if (bytes <= m_cap)
        return;
    std::lock_guard lock(m_pruning);
    // Least recently used first: down to 90% of the cap, so that pruning is not run at every
    // write. Another copy of the program may remove the same files: a failed removal is no harm.
    const std::vector<OwnFile> files = ownFiles(dir);
    qint64 left = totalOf(files);
    const qint64 stale = (QDateTime::currentMSecsSinceEpoch() - 3600 * 1000) * qint64(1000000);
    for (const OwnFile &f : files) {
        // A temporary file of a write that never finished is dropped once surely abandoned.
        if ((!f.temporary && left > m_cap * 9 / 10) || (f.temporary && f.modified < stale)) {
            if (::unlinkat(dir, f.name.constData(), 0) == 0)
                left -= f.bytes;
        }
    }
    m_bytes.store(left);
}
