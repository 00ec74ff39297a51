#include "pictures/DiskCache.h"

#include "core/SafeFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr char Magic[8] = {'D', 'I', 'V', 'E', 'V', 'A', 'I', 'M'};
constexpr const char *Suffix = ".img";

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
    quint32 crc; // of this header with crc 0, the key, the pixels
    quint32 reserved;
};
static_assert(sizeof(Header) == 48);

QByteArray keyText(const DiskCache::Key &key)
{
    return QByteArray::number(DiskCache::FormatVersion) + ' ' + QByteArray::number(key.size) + ' '
           + QByteArray::number(key.modified) + ' ' + QByteArray::number(key.inode) + ' '
           + QByteArray::number(key.pixelSize.width()) + 'x'
           + QByteArray::number(key.pixelSize.height()) + ' ' + QFile::encodeName(key.path);
}

quint32 crcOf(const Header &header, const QByteArray &key, const uchar *pixels, qsizetype bytes)
{
    Header h = header;
    h.crc = 0;
    uLong crc = crc32_z(0, reinterpret_cast<const Bytef *>(&h), sizeof h);
    crc = crc32_z(crc, reinterpret_cast<const Bytef *>(key.constData()), size_t(key.size()));
    return quint32(crc32_z(crc, pixels, size_t(bytes)));
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

} // namespace

DiskCache::DiskCache(QString folder, qint64 capBytes) : m_folder(std::move(folder)), m_cap(capBytes)
{
}

QString DiskCache::defaultFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/immagini");
}

QString DiskCache::entryPath(const Key &key) const
{
    const QByteArray hash = QCryptographicHash::hash(keyText(key), QCryptographicHash::Sha1);
    return m_folder + QLatin1Char('/') + QString::fromLatin1(hash.toHex().left(32)) + Suffix;
}

QImage DiskCache::read(const Key &key) const
{
    if (m_folder.isEmpty())
        return {};
    const int fd = ::open(QFile::encodeName(entryPath(key)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const QByteArray text = keyText(key);
    QImage image;
    Header h{};
    struct stat st {};
    QByteArray echo(text.size(), Qt::Uninitialized);
    const bool headerOk =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readFully(fd, &h, sizeof h)
        && std::memcmp(h.magic, Magic, sizeof Magic) == 0 && h.version == FormatVersion
        && h.keyBytes == quint32(text.size()) && readFully(fd, echo.data(), echo.size())
        && echo == text && int(h.width) == key.pixelSize.width()
        && int(h.height) == key.pixelSize.height() && storable(QImage::Format(h.format))
        && qint64(sizeof h) + h.keyBytes + qint64(h.payloadBytes) == qint64(st.st_size);
    if (headerOk) {
        image = QImage(int(h.width), int(h.height), QImage::Format(h.format));
        if (image.isNull() || quint32(image.bytesPerLine()) != h.bytesPerLine
            || quint64(image.sizeInBytes()) != h.payloadBytes
            || !readFully(fd, image.bits(), image.sizeInBytes())
            || crcOf(h, text, image.constBits(), image.sizeInBytes()) != h.crc)
            image = QImage();
        else
            ::futimens(fd, nullptr); // used now: last to go when the cap is reached
    }
    ::close(fd);
    return image;
}

bool DiskCache::contains(const Key &key) const
{
    return !m_folder.isEmpty()
           && ::access(QFile::encodeName(entryPath(key)).constData(), F_OK) == 0;
}

bool DiskCache::write(const Key &key, const QImage &source)
{
    if (m_folder.isEmpty() || source.isNull() || source.size() != key.pixelSize)
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
    h.crc = crcOf(h, text, image.constBits(), image.sizeInBytes());

    if (!QDir().mkpath(m_folder))
        return false;
    // A temporary file in the same folder, renamed over the entry when complete: a reader, or a
    // second copy of the program writing the same entry, sees a whole entry or none. Not synced
    // to disk: an entry a crash leaves damaged fails its check and is written again.
    QByteArray temp = QFile::encodeName(m_folder) + "/.tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, &h, sizeof h) && writeAll(fd, text.constData(), text.size())
                         && writeAll(fd, image.constBits(), image.sizeInBytes());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed
        || ::rename(temp.constData(), QFile::encodeName(entryPath(key)).constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    pruneIfNeeded(qint64(sizeof h) + text.size() + image.sizeInBytes());
    return true;
}

void DiskCache::pruneIfNeeded(qint64 added)
{
    const auto entries = [this] {
        return QDir(m_folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                                            QDir::Time | QDir::Reversed);
    };
    const auto total = [](const QFileInfoList &files) {
        qint64 sum = 0;
        for (const QFileInfo &f : files)
            sum += f.size();
        return sum;
    };
    qint64 bytes = m_bytes.load();
    if (bytes < 0) {
        // Counted once per run, at its first write; written bytes are added from then on.
        std::lock_guard lock(m_pruning);
        if (m_bytes.load() < 0)
            m_bytes.store(total(entries()));
        bytes = m_bytes.fetch_add(added) + added;
    } else {
        bytes = m_bytes.fetch_add(added) + added;
    }
    if (bytes <= m_cap)
        return;
    std::lock_guard lock(m_pruning);
    // Oldest first: down to 90% of the cap, so that pruning is not run at every write. Another
    // copy of the program may remove the same files: a failed removal is no harm.
    const QFileInfoList files = entries();
    qint64 left = total(files);
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo &f : files) {
        const bool entry = f.fileName().endsWith(QLatin1String(Suffix));
        // A temporary file of a write that never finished is dropped once surely abandoned.
        if ((entry && left > m_cap * 9 / 10) || (!entry && f.lastModified() < stale)) {
            if (QFile::remove(f.filePath()))
                left -= f.size();
        }
    }
    m_bytes.store(left);
}
