#pragma once

#include "core/Settings.h"
#include "editor/Entry.h"
#include "editor/FileOps.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The settings a save writes, and the file they were read from: its comments, other sections and
// keys of a newer version are written back.
struct FolderSettings {
    Settings values;
    QByteArray file;
};

// A folder as the exercise program reads it. A folder without lista.txt is a new, empty one.
// A word whose picture is missing has an empty picture.
struct LoadedFolder {
    QList<Entry> entries;
    QStringList others;      // the other entries of jpg/, which a save leaves where they are
    QStringList otherVoices; // the same of voce/
    FolderSettings settings;
    QString settingsCause; // why diveva.ini cannot be used (then the settings are the defaults)
    QString cause;         // why the folder cannot be opened, naming the file; empty when it can
    bool ok() const { return cause.isEmpty(); }
};
LoadedFolder loadFolder(const QString &folder);

// Makes the folder ready for the editor's changes: its working area, made when missing, must be a
// plain folder of the user's, and jpg/ and voce/ folders, not links. Returns why the folder can
// only be read (a CD, a link a zip carried), or an empty string.
QString prepareFolder(const QString &folder, FileOps &ops);

// What opening a folder found of a save that had stopped, and did about it. A journal written
// before the first switch rolls the save back; one found after it finishes the save.
struct Recovery {
    QString notice;        // for the teacher: a save dropped or finished; empty when there was none
    QString blocked;       // why the folder can only be read, now that a save cannot be put right
    bool finished = false; // a save's new content was put in place
};
Recovery recoverFolder(const QString &folder, FileOps &ops);

// Writes entries and settings as the folder's new content. The editor owns lista.txt, diveva.ini
// and, in jpg/ and voce/, the numbered pictures and voices up to the larger of the old and the new
// word count: new ones are written in the working area and flushed, a journal is written, the other
// entries of jpg/ go into the new jpg/, and the parts are switched by renames (an atomic exchange
// where the file system has one). The old list, pictures, voices and settings become the folder's
// one backup. On failure the folder keeps its old content, or a switch begun is finished, and the
// cause is returned. progress(done, total) is called after each picture, from the thread that
// saves.
QString saveFolder(const QString &folder, const QList<Entry> &entries, QSize shape, FileOps &ops,
                   const std::function<void(int, int)> &progress = {},
                   const FolderSettings &settings = {});
