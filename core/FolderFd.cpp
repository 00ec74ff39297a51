#include "core/FolderFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

UniqueFd openFolderAt(int dir, const QByteArray &name)
{
    return UniqueFd(
        ::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool ownedByUser(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid();
}

QList<QByteArray> folderNames(int fd)
{
    QList<QByteArray> names;
    // fdopendir takes the descriptor over: it gets a copy, which closedir closes.
    DIR *dir = ::fdopendir(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (!dir)
        return names;
    ::rewinddir(dir);
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool isSingleName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/')
           && !name.contains('\0');
}

QByteArray findName(const QList<QByteArray> &names, const QByteArray &name)
{
    if (std::binary_search(names.begin(), names.end(), name))
        return name;
    for (const QByteArray &n : names)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return n;
    return {};
}
