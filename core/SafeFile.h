#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Reading of the teacher's files. Only regular files are read (a pipe, socket or device would
// block or never end), never more than a given number of bytes, and every refusal comes with an
// Italian cause that the error report can show.
struct FileContents {
    QByteArray data;
    QString cause; // empty when data holds the whole file
    bool ok() const { return cause.isEmpty(); }
};

FileContents readRegularFile(const QString &path, qint64 maxBytes);

// Opens path into file for reading when it is a regular file of at most maxBytes, for readers that
// take only part of a file (a picture's header); otherwise leaves file closed and gives the cause.
QString openRegularFile(const QString &path, qint64 maxBytes, QFile &file);

// Writes all the bytes to fd, through interrupted and short writes. False, with errno set, when
// it cannot (ENOSPC when the disk takes nothing more).
bool writeAll(int fd, const void *data, qint64 bytes);
