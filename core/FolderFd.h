#pragma once

#include "core/UniqueFd.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Folders opened by descriptor, one name component at a time. O_NOFOLLOW guards only the last
// component of a path, so a folder is never reached through a path: each step opens one name
// inside a folder already open, and a link where a folder is expected is refused, never followed.

// Opens name, one component inside the open folder dir, as a folder that is not a link; an
// invalid descriptor with errno set otherwise (ELOOP or ENOTDIR for a link or a file).
UniqueFd openFolderAt(int dir, const QByteArray &name);

// Whether the folder open at fd belongs to the user running the program.
bool ownedByUser(int fd);

// The names in the open folder fd, "." and ".." left out, in byte order.
QList<QByteArray> folderNames(int fd);

// Whether name is a single component: not empty, without '/' or NUL, neither "." nor "..".
bool isSingleName(const QByteArray &name);

// The entry of names that is name, or else the first that equals it without regard to letter
// case (folders prepared on Windows: LISTA.TXT, JPG, 7.JPG); empty when there is none.
QByteArray findName(const QList<QByteArray> &names, const QByteArray &name);
