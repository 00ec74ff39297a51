#pragma once

#include "editor/Entry.h"
#include "editor/FileOps.h"

#include <QList>
#include <QString>

#include <functional>

// Where the editor keeps its own things inside a teacher's folder. The exercise program reads only
// lista.txt and jpg/N.jpg, so it never sees them.
namespace EditorFolder {
inline const QString Hidden = QStringLiteral(".diveva-prepara");
inline const QString Backup = Hidden + QStringLiteral("/copia"); // the content before the last save
inline const QString Staging = Hidden + QStringLiteral("/nuovo");    // a save being written
inline const QString Replaced = Hidden + QStringLiteral("/vecchio"); // old parts being switched out
inline const QString Journal = Hidden + QStringLiteral("/giornale"); // a save being switched over
} // namespace EditorFolder

// A folder as the exercise program reads it. A folder without lista.txt is a new, empty one.
// A word whose picture is missing has an empty picture.
struct LoadedFolder {
    QList<Entry> entries;
    QString cause; // why the folder cannot be opened, naming the file; empty when it can
    bool ok() const { return cause.isEmpty(); }
};
LoadedFolder loadFolder(const QString &folder);

// Finishes a save that was switching over when it stopped, or drops one that had not got there.
// Returns the cause when the folder cannot be put right.
QString recoverFolder(const QString &folder, FileOps &ops);

// Writes entries as the folder's new content: lista.txt and jpg/1.jpg... are written beside the
// old ones and flushed, a journal is written, the two are switched by renames (an atomic exchange
// where the file system has one), and the old content becomes the folder's one backup. On failure
// the folder keeps its old content (or a switch begun is finished) and the cause is returned.
// progress(done, total) is called after each picture.
QString saveFolder(const QString &folder, const QList<Entry> &entries, QSize shape, FileOps &ops,
                   const std::function<void(int, int)> &progress = {});
