#pragma once

#include <QByteArray>
#include <QString>

// The file operations a save is made of, one call per step, so that a test can fail it at any
// step. Each returns an empty string on success, otherwise the Italian cause.
class FileOps {
public:
    virtual ~FileOps() = default;
    virtual QString makeDir(const QString &path) = 0;
    // Creates or replaces path with data and flushes it to the disk before returning.
    virtual QString writeFile(const QString &path, const QByteArray &data) = 0;
    // Flushes a folder's entries (new names, renames) to the disk.
    virtual QString syncDir(const QString &path) = 0;
    // Swaps two existing entries in one atomic step; "unsupported" where the file system cannot.
    virtual QString exchange(const QString &a, const QString &b) = 0;
    // Renames from to an unused name to.
    virtual QString rename(const QString &from, const QString &to) = 0;
    // Removes a file or a folder with everything in it; nothing to remove is no failure.
    virtual QString removeTree(const QString &path) = 0;
};

// The real file system, through POSIX calls (Qt has no fsync of a folder nor an exchange).
class DiskFileOps : public FileOps {
public:
    static constexpr const char *Unsupported = "unsupported";
    QString makeDir(const QString &path) override;
    QString writeFile(const QString &path, const QByteArray &data) override;
    QString syncDir(const QString &path) override;
    QString exchange(const QString &a, const QString &b) override;
    QString rename(const QString &from, const QString &to) override;
    QString removeTree(const QString &path) override;
};

// The Italian cause of a system error number, for the teacher.
QString systemCause(int error);
