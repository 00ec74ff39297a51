#include "editor/FileOps.h"

#include "core/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString systemCause(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato: la cartella non si può modificare");
    case EROFS:
        return QStringLiteral("la cartella è in sola lettura");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("il disco è pieno");
    case ENOENT:
        return QStringLiteral("la cartella non esiste più (è stata tolta o spostata?)");
    case EIO:
        return QStringLiteral("errore di lettura o scrittura sul disco");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

namespace {
QString failure(const QString &path, int error)
{
    return QStringLiteral("File: %1\nCausa: %2").arg(path, systemCause(error));
}
} // namespace

QString DiskFileOps::makeDir(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0 || errno == EEXIST)
        return QFileInfo(path).isDir() ? QString() : failure(path, EEXIST);
    return failure(path, errno);
}

QString DiskFileOps::writeFile(const QString &path, const QByteArray &data)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return failure(path, errno);
    if (!writeAll(fd, data.constData(), data.size())) {
        const int error = errno;
        ::close(fd);
        return failure(path, error);
    }
    const int synced = ::fsync(fd) == 0 ? 0 : errno;
    const int closed = ::close(fd) == 0 ? 0 : errno;
    return synced ? failure(path, synced) : closed ? failure(path, closed) : QString();
}

QString DiskFileOps::syncDir(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return failure(path, errno);
    // Some file systems (FAT on a USB stick) cannot flush a folder; its entries go with the files.
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error ? failure(path, error) : QString();
}

QString DiskFileOps::exchange(const QString &a, const QString &b)
{
    if (::renameat2(AT_FDCWD, QFile::encodeName(a).constData(), AT_FDCWD,
                    QFile::encodeName(b).constData(), RENAME_EXCHANGE)
        == 0)
        return {};
    return errno == EINVAL || errno == ENOSYS ? QString::fromLatin1(Unsupported)
                                              : failure(a, errno);
}

QString DiskFileOps::rename(const QString &from, const QString &to)
{
    if (::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                    QFile::encodeName(to).constData(), RENAME_NOREPLACE)
        == 0)
        return {};
    // Without RENAME_NOREPLACE the caller has made sure that to is free.
    if ((errno == EINVAL || errno == ENOSYS)
        && ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return {};
    return failure(from, errno);
}

QString DiskFileOps::removeTree(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    const bool removed =
        info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    return removed ? QString() : failure(path, EIO);
}
