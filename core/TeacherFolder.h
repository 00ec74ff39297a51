#pragma once

#include "core/SafeFile.h"
#include "core/UniqueFd.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <sys/types.h>

// A part of the teacher's folder that the editor writes whole and a save switches over at once.
// The exercise program reads the parts and nothing else of the folder.
struct FolderPart {
    enum Kind { File, NumberedFiles };
    Kind kind;
    QByteArray id;        // how a save's journal names it
    QByteArray name;      // its name in the folder, found in any letter case
    QByteArray extension; // of a folder's numbered files: ".jpg" for 1.jpg, 2.jpg...; empty for
                          // files of any extension ("3.ogg", "3.M4A", both word 3's)
};

// The parts in the order a save switches them: the pictures, the voices, the settings, and the
// list last, since the exercise program reads it first.
const QList<FolderPart> &folderParts();
const FolderPart &picturesPart();
const FolderPart &voicesPart();
const FolderPart &settingsPart();
const FolderPart &listPart();

// What a save writes in the editor's working area before its first switch: the number of
// entries it owns in the folder parts (1..count), and per part its name in the folder before the
// save, the prints of its old and its new content, and the entries of its folder that the save
// does not own (the teacher's other files), which go with the new folder. Read back, it is
// untrusted: a name is kept only when it is one component that the editor may own or move.
struct SaveJournal {
    static constexpr int Version = 1;
    // Incomplete: cut short by a crash while it was written, before any switch.
    enum Status { Absent, Incomplete, OtherVersion, Invalid, Valid } status = Absent;
    struct Part {
        int part = 0;        // in folderParts()
        QByteArray oldName;  // empty: the folder had no such part
        QByteArray oldPrint; // see TeacherFolder::print
        QByteArray newPrint;
        QList<QByteArray> others;
    };
    int count = 0;
    QList<Part> parts; // the parts whose prints could be read, also from an invalid journal

    QByteArray text() const;
    static SaveJournal parse(const QByteArray &text);
};

// Where a save that left its journal behind stands, judged from the folder's content alone
// (never from inode numbers or times, which a FAT stick does not keep): nothing switched yet,
// everything switched, or some parts switched and some not, or one on its way.
enum class SaveState { Before, Finished, Mixed };

// The teacher's folder, the one place that knows its layout: the word list and its pictures in
// any letter case, the editor's working area and its journal. Opened once by descriptor; names
// inside it are single components, never paths read from a file.
class TeacherFolder {
public:
    // The editor's working area and what it holds.
    static inline const QByteArray WorkingArea = ".diveva-prepara";
    static inline const QByteArray Staging = "nuovo";    // a save being written
    static inline const QByteArray Replaced = "vecchio"; // old parts being switched out
    static inline const QByteArray Backup = "copia";     // the content before the last save
    static inline const QByteArray Journal = "giornale";
    static inline const QByteArray Lock = "blocco";
    // The words' voices: word n's is VoicesFolder/n.<ext>, of these extensions in this order of
    // preference when several are there.
    static inline const QByteArray VoicesFolder = "voce";
    static const QList<QByteArray> &voiceExtensions();

    TeacherFolder() = default;
    // The folder at path (an existing folder, named as the editor was given it).
    explicit TeacherFolder(const QString &path);
    // The working directory, named in messages by shown (its absolute path as the platform
    // gives it); its files are opened by paths relative to it when shown cannot be encoded
    // back to the folder's own name (a name in Latin-1 from an old stick).
    static TeacherFolder workingDirectory(const QString &shown);

    bool isOpen() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }
    const QString &shown() const { return m_shown; }

    // Finds each part's name once: the exact name, else one in other letter case.
    void resolveParts();
    QByteArray partName(const FolderPart &part) const;
    // A part's path to open, and as messages name it.
    QString path(const FolderPart &part) const;
    QString shownPath(const FolderPart &part) const;

    // Another file of the folder (the settings, diveva.ini), found in any letter case as the parts
    // are: its path to open, and as reports name it.
    QString filePath(const QByteArray &name) const;
    QString shownFilePath(const QByteArray &name) const;

    // Finds the names of pictures 1..count with one listing of their folder.
    void resolvePictures(int count);
    QString picturePath(int n) const; // empty for a number not resolved
    QString shownPicturePath(int n) const;

    // Finds the voices of words 1..count with one listing of their folder.
    void resolveVoices(int count);
    QString voicePath(int n) const; // empty for a word without a voice
    QString shownVoicePath(int n) const;
    // The other files that would give word n a voice ("3.m4a" beside "3.ogg"), not heard.
    QList<QByteArray> ignoredVoices(int n) const;
    // The entries of a part's folder (pictures, voices) other than the files of words 1..count.
    QList<QByteArray> otherEntries(const FolderPart &part, int count) const;

    // Reads the list, keeping what it held for listChanged.
    FileContents readList();
    // Whether the list is no longer what readList read (compared by content when its stamp
    // moved), or a save is half-way through switching the folder.
    bool listChanged() const;

    // The working area's lock file and its backup, as paths (see EditorWindow).
    QString lockPath() const;
    QString backupPath() const;

    // The journal in the open working area area (Absent when there is none).
    static SaveJournal readJournal(int area);
    SaveState judge(const SaveJournal &journal) const;
    // A save stopped between its switches: the exercise program must not run on the folder.
    // Without a working area this costs one failed open.
    bool hasUnfinishedSave() const;

    // A print of what part holds in the open folder dir, cheap and the same on any file system:
    // a hash of the list's content; for a folder, per owned entry its number, size and a hash
    // of its first and last 4 KB. "-" when dir has no such part.
    static QByteArray print(int dir, const FolderPart &part, int count);
    // The entries of a folder part that stand for numbers 1..count: of a fixed extension one a
    // number (the exact name first, else one in other letter case), of any extension all of them.
    static QMultiMap<int, QByteArray> ownedEntries(const QList<QByteArray> &names,
                                                   const FolderPart &part, int count);
    // The number an entry of a folder part stands for ("7.JPG": 7, "7.m4a" of any extension), or
    // 0.
    static int entryNumber(const QByteArray &name, const FolderPart &part);

private:
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        qint64 modified = 0, changed = 0;
        bool operator==(const Stamp &) const = default;
    };
    Stamp listStamp() const;
    QByteArray foundName(const QByteArray &name) const;

    UniqueFd m_fd;
    QString m_shown;
    QString m_base; // prefix of the paths to open: the folder and '/', or empty (relative)
    QList<QByteArray> m_partNames;
    QByteArray m_picturesFolder;
    QList<QByteArray> m_pictureNames; // picture n at n - 1; empty where missing
    QByteArray m_voicesFolder;
    QList<QList<QByteArray>> m_voiceNames; // word n's at n - 1, the one heard first
    Stamp m_listStamp;
    QByteArray m_listPrint; // empty until the list is read
};
