#pragma once

#include <QByteArray>
#include <QString>

// A folder open for a save, and how a failure inside it is named to the teacher: as the folder
// or part the teacher knows ("…/jpg/16.jpg" for a picture written in the working area), never
// as the editor's working area.
struct OpenDir {
    int fd = -1;
    QString shown;
    bool withNames = true; // a failure names shown/name; otherwise shown alone
    QString nameOf(const QByteArray &name) const;
};

// The file operations a save is made of, one call per step, each on one name inside a folder
// open by descriptor, so that a test can fail it at any step (before or after it is done). Each
// returns an empty string on success, otherwise "File: …\nCausa: …" in Italian.
class FileOps {
public:
    virtual ~FileOps() = default;
    // Creates the folder name; a folder already there is no failure.
    virtual QString makeDir(const OpenDir &at, const QByteArray &name) = 0;
    // Creates the file name, which must not exist, with data and flushes it to the disk.
    virtual QString writeFile(const OpenDir &at, const QByteArray &name,
                              const QByteArray &data) = 0;
    // Flushes a folder's entries (new names, renames) to the disk.
    virtual QString syncDir(const OpenDir &dir) = 0;
    // Swaps two entries in one atomic step; Unsupported where the file system cannot.
    virtual QString exchange(const OpenDir &a, const QByteArray &nameA, const OpenDir &b,
                             const QByteArray &nameB) = 0;
    // Renames to a name that is free.
    virtual QString rename(const OpenDir &a, const QByteArray &nameA, const OpenDir &b,
                           const QByteArray &nameB) = 0;
    // Removes the file name, or the empty folder name; nothing to remove is no failure.
    virtual QString remove(const OpenDir &at, const QByteArray &name, bool folder) = 0;
};

// The real file system, through the POSIX calls on descriptors (Qt has no fsync of a folder, no
// exchange and no call relative to an open folder).
class DiskFileOps : public FileOps {
public:
    static constexpr const char *Unsupported = "unsupported";
    QString makeDir(const OpenDir &at, const QByteArray &name) override;
    QString writeFile(const OpenDir &at, const QByteArray &name, const QByteArray &data) override;
    QString syncDir(const OpenDir &dir) override;
    QString exchange(const OpenDir &a, const QByteArray &nameA, const OpenDir &b,
                     const QByteArray &nameB) override;
    QString rename(const OpenDir &a, const QByteArray &nameA, const OpenDir &b,
                   const QByteArray &nameB) override;
    QString remove(const OpenDir &at, const QByteArray &name, bool folder) override;
};

// The Italian cause of a system error number, for the teacher.
QString systemCause(int error);
// "File: path\nCausa: cause" of a system error number.
QString failure(const QString &path, int error);
