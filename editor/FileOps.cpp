#include "editor/FileOps.h"

#include "core/SafeFile.h"
#include "core/UniqueFd.h"

#include <QFile>

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
    case ELOOP:
        return QStringLiteral("è un collegamento a un'altra cartella, che l'editor non cambia");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString failure(const QString &path, int error)
{
    return QStringLiteral("File: %1\nCausa: %2").arg(path, systemCause(error));
}

QString OpenDir::nameOf(const QByteArray &name) const
{
    return withNames ? shown + u'/' + QFile::decodeName(name) : shown;
}

QString DiskFileOps::makeDir(const OpenDir &at, const QByteArray &name)
{
    struct stat st {};
    if (::mkdirat(at.fd, name.constData(), 0777) == 0)
        return {};
    const int error = errno;
    if (error == EEXIST && ::fstatat(at.fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISDIR(st.st_mode))
        return {};
    return failure(at.nameOf(name), error);
}

QString DiskFileOps::writeFile(const OpenDir &at, const QByteArray &name, const QByteArray &data)
{
    const UniqueFd fd(::openat(at.fd, name.constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd)
        return failure(at.nameOf(name), errno);
    if (!writeAll(fd.get(), data.constData(), data.size()) || ::fsync(fd.get()) != 0)
        return failure(at.nameOf(name), errno);
    return {};
}

QString DiskFileOps::syncDir(const OpenDir &dir)
{
    // Some file systems (FAT on a USB stick) cannot flush a folder; its entries go with the files.
    return ::fsync(dir.fd) == 0 || errno == EINVAL ? QString() : failure(dir.shown, errno);
}

QString DiskFileOps::exchange(const OpenDir &a, const QByteArray &nameA, const OpenDir &b,
                              const QByteArray &nameB)
{
    if (::renameat2(a.fd, nameA.constData(), b.fd, nameB.constData(), RENAME_EXCHANGE) == 0)
        return {};
    return errno == EINVAL || errno == ENOSYS ? QString::fromLatin1(Unsupported)
                                              : failure(a.nameOf(nameA), errno);
}

QString DiskFileOps::rename(const OpenDir &a, const QByteArray &nameA, const OpenDir &b,
                            const QByteArray &nameB)
{
    if (::renameat2(a.fd, nameA.constData(), b.fd, nameB.constData(), RENAME_NOREPLACE) == 0)
        return {};
    // A file system without RENAME_NOREPLACE: the target is checked to be free first.
    struct stat st {};
    if (errno == EINVAL || errno == ENOSYS) {
        if (::fstatat(b.fd, nameB.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            errno = EEXIST;
        else if (errno == ENOENT
                 && ::renameat(a.fd, nameA.constData(), b.fd, nameB.constData()) == 0)
            return {};
    }
    return failure(a.nameOf(nameA), errno);
}

QString DiskFileOps::remove(const OpenDir &at, const QByteArray &name, bool folder)
{
    if (::unlinkat(at.fd, name.constData(), folder ? AT_REMOVEDIR : 0) == 0 || errno == ENOENT)
        return {};
    return failure(at.nameOf(name), errno);
}
