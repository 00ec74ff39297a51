#include "core/SafeFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString causeOfErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("file non trovato");
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso di lettura negato");
    case ELOOP:
        return QStringLiteral("collegamento simbolico circolare");
    case EISDIR:
        return QStringLiteral("è una cartella, non un file");
    default:
        return QStringLiteral("impossibile leggere il file (%1)")
            .arg(QString::fromLocal8Bit(strerror(err)));
    }
}

QString causeOfKind(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("è una cartella, non un file");
    if (S_ISREG(mode))
        return {};
    if (S_ISFIFO(mode))
        return QStringLiteral("non è un file normale (è una pipe con nome)");
    if (S_ISSOCK(mode))
        return QStringLiteral("non è un file normale (è un socket)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("non è un file normale (è un dispositivo)");
    return QStringLiteral("non è un file normale");
}

// Why open() failed on path, said as precisely as the file system allows: "file non trovato" for a
// link whose target is gone would send the teacher looking for a file that is plainly there.
QString causeOfOpenFailure(const QString &path, int err)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (err == ENOENT && ::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        const QString target = QFileInfo(path).symLinkTarget();
        return QStringLiteral("è un collegamento simbolico a un file che non esiste (%1)")
            .arg(QDir::toNativeSeparators(target));
    }
    // A socket cannot be opened at all (ENXIO); its kind is the better cause.
    if (err == ENXIO && ::stat(native.constData(), &st) == 0)
        if (const QString kind = causeOfKind(st.st_mode); !kind.isEmpty())
            return kind;
    return causeOfErrno(err);
}

} // namespace

QString openRegularFile(const QString &path, qint64 maxBytes, QFile &file)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return causeOfOpenFailure(path, errno);
    // The kind is judged on what was opened, not on a name that may since point elsewhere.
    struct stat st {};
    QString cause;
    if (::fstat(fd, &st) != 0)
        cause = causeOfErrno(errno);
    else if (const QString kind = causeOfKind(st.st_mode); !kind.isEmpty())
        cause = kind;
    else if (st.st_size > maxBytes)
        cause = QStringLiteral("il file è troppo grande (%1 byte, al massimo %2)")
                    .arg(st.st_size)
                    .arg(maxBytes);
    else if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        cause = QStringLiteral("impossibile leggere il file (%1)").arg(file.errorString());
    else
        return {};
    ::close(fd);
    return cause;
}

FileContents readRegularFile(const QString &path, qint64 maxBytes)
{
    FileContents out;
    QFile file;
    out.cause = openRegularFile(path, maxBytes, file);
    if (!out.ok())
        return out;
    // The file may grow while it is read: never take more than maxBytes + 1.
    out.data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        out.cause = QStringLiteral("impossibile leggere il file (%1)").arg(file.errorString());
    else if (out.data.size() > maxBytes)
        out.cause = QStringLiteral("il file è troppo grande (più di %1 byte)").arg(maxBytes);
    if (!out.ok())
        out.data.clear();
    return out;
}

bool writeAll(int fd, const void *data, qint64 bytes)
{
    const auto *p = static_cast<const char *>(data);
    while (bytes > 0) {
        const ssize_t n = ::write(fd, p, size_t(bytes));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errno = n < 0 ? errno : ENOSPC;
            return false;
        }
        p += n;
        bytes -= n;
    }
    return true;
}
