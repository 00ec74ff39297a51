#include "editor/FolderStore.h"

#include "core/FolderFd.h"
#include "core/TeacherFolder.h"
#include "core/WordList.h"
#include "editor/ListFile.h"
#include "editor/PictureExport.h"
#include "editor/Thumbnails.h"
#include "voices/VoiceDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

using TF = TeacherFolder;

namespace {

// A folder open by descriptor for the length of a save or a recovery.
struct Folder {
    UniqueFd fd;
    OpenDir dir;
    explicit operator bool() const { return fd.valid(); }
};

Folder openIn(const OpenDir &parent, const QByteArray &name, const QString &shown,
              bool withNames = true)
{
    Folder folder{openFolderAt(parent.fd, name), {}};
    folder.dir = {folder.fd.get(), shown, withNames};
    return folder;
}

bool exists(int dir, const QByteArray &name)
{
    struct stat st {};
    return ::fstatat(dir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// The teacher's folder and its working area, open for a recovery or a save. Whatever the
// working area holds is named to the teacher as the folder's own part.
struct Work {
    TeacherFolder folder;
    OpenDir root;
    Folder area;
    explicit Work(const QString &path) : folder(path), root{folder.fd(), path}
    {
        area = openIn({folder.fd(), path}, TF::WorkingArea, path, false);
    }
    QString shown(const FolderPart &part) const { return root.nameOf(part.name); }
    Folder sub(const QByteArray &name) const { return openIn(area.dir, name, root.shown); }
};

// The part's folder inside dir, found in any letter case.
Folder partIn(const OpenDir &dir, const FolderPart &part, const QString &shown)
{
    const QByteArray name = findName(folderNames(dir.fd), part.name);
    return name.isEmpty() ? Folder{} : openIn(dir, name, shown);
}

QString notPlainFolder(const QString &folder, const QByteArray &name)
{
    return QStringLiteral("La cartella nascosta %1 di %2 non è una cartella normale dell'utente "
                          "(è un collegamento, un file o di un altro utente): l'editor la lascia "
                          "com'è.")
        .arg(QFile::decodeName(name), folder);
}

// The working area and the folders in it must be plain folders of the user's: a link there (a zip
// can carry one) would take the save's removals and renames somewhere else.
QString areaProblem(const Work &w)
{
    if (!w.area || !ownedByUser(w.area.fd.get()))
        return notPlainFolder(w.root.shown, TF::WorkingArea);
    for (const QByteArray &name : {TF::Staging, TF::Replaced, TF::Backup}) {
        const UniqueFd sub = openFolderAt(w.area.fd.get(), name);
        if (exists(w.area.fd.get(), name) && (!sub || !ownedByUser(sub.get())))
            return notPlainFolder(w.root.shown, TF::WorkingArea + '/' + name);
    }
    return {};
}

// Removes what the editor owns in the tree name inside dir (a list, a pictures' folder and its
// numbered pictures, in any letter case), then the tree once it is empty. A tree that holds
// anything else (a file of the teacher's) stays where it is; gone says whether it went.
QString dropTree(FileOps &ops, const OpenDir &dir, const QByteArray &name, bool *gone = nullptr)
{
    const Folder tree = openIn(dir, name, dir.shown, dir.withNames);
    if (gone)
        *gone = !exists(dir.fd, name);
    if (!tree)
        return {};
    QString cause;
    for (const QByteArray &entry : folderNames(tree.fd.get()))
        for (const FolderPart &part : folderParts()) {
            if (!cause.isEmpty() || entry.compare(part.name, Qt::CaseInsensitive) != 0)
                continue;
            if (part.kind == FolderPart::File) {
                // A folder under the list's name was the teacher's, not a list.
                if (!openFolderAt(tree.fd.get(), entry))
                    cause = ops.remove(tree.dir, entry, false);
                continue;
            }
            const Folder pictures = openIn(tree.dir, entry, tree.dir.nameOf(part.name));
            if (!pictures)
                continue;
            for (const QByteArray &picture : folderNames(pictures.fd.get()))
                if (cause.isEmpty() && TF::entryNumber(picture, part) > 0)
                    cause = ops.remove(pictures.dir, picture, false);
            if (cause.isEmpty() && folderNames(pictures.fd.get()).isEmpty())
                cause = ops.remove(tree.dir, entry, true);
        }
    if (cause.isEmpty() && folderNames(tree.fd.get()).isEmpty())
        cause = ops.remove(dir, name, true);
    if (gone)
        *gone = !exists(dir.fd, name);
    return cause;
}

// Moves the teacher's entries names from one folder of a part to the other, where it lacks them.
QString moveOthers(FileOps &ops, const Folder &from, const Folder &to,
                   const QList<QByteArray> &names)
{
    if (!from || !to)
        return {};
    QString cause;
    bool moved = false;
    for (const QByteArray &name : names)
        if (cause.isEmpty() && exists(from.fd.get(), name) && !exists(to.fd.get(), name)) {
            cause = ops.rename(from.dir, name, to.dir, name);
            moved = true;
        }
    if (moved && cause.isEmpty() && (cause = ops.syncDir(from.dir)).isEmpty())
        cause = ops.syncDir(to.dir);
    return cause;
}

// Drops a tree of the working area. One that holds a file of the teacher's is kept, under a name
// of its own ("copia-2"), out of the way of the next save.
QString clearTree(FileOps &ops, const Work &w, const QByteArray &name)
{
    bool gone = false;
    QString cause = dropTree(ops, w.area.dir, name, &gone);
    for (int k = 2; cause.isEmpty() && !gone && k < 100; ++k) {
        const QByteArray aside = name + '-' + QByteArray::number(k);
        if (!exists(w.area.fd.get(), aside))
            gone = (cause = ops.rename(w.area.dir, name, w.area.dir, aside)).isEmpty();
    }
    return cause;
}

// The old backup goes and the parts switched out become the backup.
QString rotateBackup(FileOps &ops, const Work &w)
{
    const Folder replaced = w.sub(TF::Replaced);
    if (!replaced)
        return {};
    if (folderNames(replaced.fd.get()).isEmpty())
        return ops.remove(w.area.dir, TF::Replaced, true);
    QString cause = clearTree(ops, w, TF::Backup);
    if (cause.isEmpty())
        cause = ops.rename(w.area.dir, TF::Replaced, w.area.dir, TF::Backup);
    return cause.isEmpty() ? ops.syncDir(w.area.dir) : cause;
}

// Drops a save that switched nothing: the teacher's entries go back to the folder's own part
// (unless the journal is void: then nothing is moved), what the save wrote goes.
QString rollBack(FileOps &ops, const Work &w, const SaveJournal &j, bool moveBack)
{
    QString cause;
    const Folder staged = w.sub(TF::Staging);
    for (const SaveJournal::Part &p : j.parts) {
        const FolderPart &part = folderParts()[p.part];
        if (moveBack && staged && cause.isEmpty() && part.kind == FolderPart::NumberedFiles)
            cause = moveOthers(ops, partIn(staged.dir, part, w.shown(part)),
                               partIn(w.root, part, w.shown(part)), p.others);
    }
    for (const QByteArray &tree : {TF::Staging, TF::Replaced})
        if (cause.isEmpty())
            cause = clearTree(ops, w, tree);
    if (cause.isEmpty())
        cause = ops.remove(w.area.dir, TF::Journal, false);
    return cause.isEmpty() ? ops.syncDir(w.area.dir) : cause;
}

// Puts the staged part in the folder: an atomic exchange where the part has its own name and the
// file system allows, or two renames, between which the part is missing for a moment.
QString switchPart(FileOps &ops, const Work &w, const Folder &staged, const Folder &replaced,
                   const FolderPart &part)
{
    const QByteArray now = findName(folderNames(w.root.fd), part.name);
    QString cause;
    if (now == part.name) {
        cause = ops.exchange(w.root, now, staged.dir, part.name);
        if (cause != QLatin1String(DiskFileOps::Unsupported))
            return cause;
    }
    if (!now.isEmpty() && !(cause = ops.rename(w.root, now, replaced.dir, part.name)).isEmpty())
        return cause;
    return ops.rename(staged.dir, part.name, w.root, part.name);
}

// Finishes a save whose journal is written: every part not yet switched is, the teacher's entries
// go with the new parts, and the journal goes. What stands in the way is returned; the folder is
// then left for the next open to try again.
QString rollForward(FileOps &ops, const Work &w, const SaveJournal &j)
{
    QString cause = ops.makeDir(w.area.dir, TF::Replaced);
    const Folder staged = w.sub(TF::Staging), replaced = w.sub(TF::Replaced);
    if (cause.isEmpty() && !replaced)
        cause = failure(w.root.shown, errno);
    for (const FolderPart &part : folderParts()) {
        const auto p =
            std::find_if(j.parts.begin(), j.parts.end(), [&](const SaveJournal::Part &p) {
                return folderParts()[p.part].id == part.id;
            });
        if (!cause.isEmpty() || p == j.parts.end())
            continue;
        const bool numbered = part.kind == FolderPart::NumberedFiles;
        const QString shown = w.shown(part);
        const QByteArray now = TF::print(w.root.fd, part, j.count);
        if (now != p->newPrint) {
            // Still the old part, or none while it was on its way: anything else is the teacher's.
            if (now != p->oldPrint
                && exists(w.root.fd, findName(folderNames(w.root.fd), part.name)))
                return QStringLiteral("%1 è stato cambiato dopo il salvataggio interrotto.")
                    .arg(shown);
            if (!staged || TF::print(staged.fd.get(), part, j.count) != p->newPrint)
                return QStringLiteral("il nuovo contenuto di %1, preparato dal salvataggio "
                                      "interrotto, non c'è più.")
                    .arg(shown);
            if (numbered)
                cause = moveOthers(ops, partIn(w.root, part, shown),
                                   partIn(staged.dir, part, shown), p->others);
            if (cause.isEmpty())
                cause = switchPart(ops, w, staged, replaced, part);
        }
        // The new part is in place; what the staging folder still holds of it is the old one.
        if (cause.isEmpty() && staged && exists(staged.fd.get(), part.name)
            && !exists(replaced.fd.get(), part.name))
            cause = ops.rename(staged.dir, part.name, replaced.dir, part.name);
    }
    for (const OpenDir &dir : {w.root, replaced.dir})
        if (cause.isEmpty())
            cause = ops.syncDir(dir);
    if (cause.isEmpty())
        cause = clearTree(ops, w, TF::Staging);
    if (cause.isEmpty())
        cause = ops.remove(w.area.dir, TF::Journal, false);
    if (cause.isEmpty())
        cause = ops.syncDir(w.area.dir);
    // The save is done; a backup not yet in place is put there at the next open.
    if (cause.isEmpty())
        rotateBackup(ops, w);
    return cause;
}

} // namespace

LoadedFolder loadFolder(const QString &path)
{
    LoadedFolder out;
    TeacherFolder folder(path);
    folder.resolveParts();
    const FileContents settingsFile =
        readRegularFile(folder.path(settingsPart()), Settings::MaxFileBytes);
    if (exists(folder.fd(), folder.partName(settingsPart()))) {
        const SettingsFile read = settingsFile.ok() ? parseSettings(settingsFile.data)
                                                    : SettingsFile{{}, settingsFile.cause};
        out.settings = {read.settings, read.ok() ? settingsFile.data : QByteArray()};
        if (!read.ok())
            out.settingsCause = QStringLiteral("File: %1\nCausa: %2")
                                    .arg(folder.shownPath(settingsPart()), read.cause);
    }
    if (!exists(folder.fd(), folder.partName(listPart())))
        return out;
    const FileContents file = folder.readList();
    WordList list;
    if (file.ok())
        list = parseWordList(file.data);
    const QString cause = file.ok() ? list.cause : file.cause;
    if (!cause.isEmpty()) {
        out.cause = QStringLiteral("File: %1\nCausa: %2").arg(folder.shownPath(listPart()), cause);
        return out;
    }
    const int count = int(list.words.size());
    folder.resolvePictures(count);
    folder.resolveVoices(count);
    for (int k = 1; k <= count; ++k) {
        const QString picture = folder.picturePath(k);
        VoiceSource voice{folder.voicePath(k), {}, {}};
        for (const QByteArray &ignored : folder.ignoredVoices(k))
            voice.ignored << QFile::decodeName(ignored);
        out.entries.append(
            {list.words[k - 1], QFileInfo::exists(picture) ? picture : QString(), {}, voice});
    }
    for (const QByteArray &name : folder.otherEntries(picturesPart(), count))
        out.others << QFile::decodeName(name);
    for (const QByteArray &name : folder.otherEntries(voicesPart(), count))
        out.otherVoices << QFile::decodeName(name);
    return out;
}

QString prepareFolder(const QString &path, FileOps &ops)
{
    TeacherFolder folder(path);
    if (!folder.isOpen())
        return failure(path, errno);
    folder.resolveParts();
    for (const FolderPart *part : {&picturesPart(), &voicesPart()}) {
        const QByteArray name = folder.partName(*part);
        if (exists(folder.fd(), name) && !openFolderAt(folder.fd(), name))
            return QStringLiteral("File: %1\nCausa: non è una cartella ma un collegamento o un "
                                  "file: l'editor non la cambia")
                .arg(folder.shownPath(*part));
    }
    if (!exists(folder.fd(), TF::WorkingArea))
        if (const QString cause = ops.makeDir({folder.fd(), path, false}, TF::WorkingArea);
            !cause.isEmpty())
            return cause;
    return areaProblem(Work(path));
}

Recovery recoverFolder(const QString &path, FileOps &ops)
{
    Recovery r;
    const Work w(path);
    if (!w.area && !exists(w.root.fd, TF::WorkingArea))
        return r;
    if ((r.blocked = areaProblem(w)).isEmpty() == false)
        return r;
    const SaveJournal j = TF::readJournal(w.area.fd.get());
    const bool judged = j.status == SaveJournal::Valid || j.status == SaveJournal::Invalid;
    const SaveState state = judged ? w.folder.judge(j) : SaveState::Before;
    const QString interrupted =
        QStringLiteral("Un salvataggio si era interrotto: la cartella è com'era prima.");
    QString cause;
    if (j.status == SaveJournal::OtherVersion) {
        r.blocked = QStringLiteral("Un salvataggio interrotto di %1 ha un giornale di un'altra "
                                   "versione del programma, che questa non sa completare.")
                        .arg(path);
    } else if (!judged) {
        // Cut short before its journal was whole: nothing was switched.
        const bool begun = exists(w.area.fd.get(), TF::Staging) || j.status != SaveJournal::Absent;
        if ((cause = clearTree(ops, w, TF::Staging)).isEmpty()
            && j.status == SaveJournal::Incomplete)
            cause = ops.remove(w.area.dir, TF::Journal, false);
        if (cause.isEmpty())
            cause = rotateBackup(ops, w);
        r.notice = begun ? interrupted : QString();
    } else if (state == SaveState::Before) {
        cause = rollBack(ops, w, j, j.status == SaveJournal::Valid);
        r.notice =
            j.status == SaveJournal::Valid
                ? interrupted
                : QStringLiteral("Un salvataggio si era interrotto e il suo giornale non era "
                                 "valido: è stato ignorato, e la cartella è com'era prima.");
    } else if (j.status == SaveJournal::Invalid) {
        r.blocked =
            QStringLiteral("Un salvataggio interrotto di %1 ha già cambiato una parte della "
                           "cartella, ma il suo giornale non è valido: l'editor non sa "
                           "completarlo.")
                .arg(path);
    } else {
        cause = rollForward(ops, w, j);
        r.finished = cause.isEmpty();
        r.notice = QStringLiteral("Un salvataggio si era interrotto a metà: è stato completato.");
    }
    if (!cause.isEmpty())
        r.blocked =
            QStringLiteral("Un salvataggio interrotto non si è potuto rimettere in ordine: ")
            + cause;
    return r;
}

namespace {

// The bytes of word k's voice and its name in voce/: made ready, or the folder's file as it is.
QString voiceFile(const VoiceSource &voice, int k, QByteArray &name, QByteArray &bytes)
{
    if (!voice.ogg.isEmpty()) {
        name = QByteArray::number(k) + ".ogg";
        bytes = voice.ogg;
        return {};
    }
    const FileContents file = readRegularFile(voice.file, VoiceLimits::MaxFileBytes);
    if (!file.ok())
        return QStringLiteral("File: %1\nCausa: %2").arg(voice.file, file.cause);
    const QByteArray base = QFile::encodeName(QFileInfo(voice.file).fileName());
    name = QByteArray::number(k) + base.mid(base.indexOf('.')).toLower();
    bytes = file.data;
    return {};
}

} // namespace

QString saveFolder(const QString &path, const QList<Entry> &entries, QSize shape, FileOps &ops,
                   const std::function<void(int, int)> &progress, const FolderSettings &settings)
{
    if (const QString cause = prepareFolder(path, ops); !cause.isEmpty())
        return cause;
    if (const Recovery r = recoverFolder(path, ops); !r.blocked.isEmpty())
        return r.blocked;
    Work w(path);
    w.folder.resolveParts();
    const FileContents oldList = w.folder.readList();
    SaveJournal j;
    j.count = int(qMin<qsizetype>(qMax(entries.size(), parseWordList(oldList.data).words.size()),
                                  WordList::Capacity));
    QString cause;
    auto step = [&cause](const QString &result) {
        if (cause.isEmpty())
            cause = result;
        return cause.isEmpty();
    };
    Folder staged, pictures, voices;
    if (step(ops.makeDir(w.area.dir, TF::Staging)) && (staged = w.sub(TF::Staging))
        && step(ops.makeDir(staged.dir, picturesPart().name)))
        pictures = openIn(staged.dir, picturesPart().name, w.shown(picturesPart()));
    if (cause.isEmpty() && !pictures)
        cause = failure(path, errno);
    // voce/ is made where a word has a voice, or the folder had one (whose other files it keeps).
    const bool hadVoices = exists(w.root.fd, w.folder.partName(voicesPart()));
    if (cause.isEmpty()
        && (hadVoices || std::any_of(entries.begin(), entries.end(), [](const Entry &e) {
                return !e.voice.isEmpty();
            }))) {
        if (step(ops.makeDir(staged.dir, voicesPart().name)))
            voices = openIn(staged.dir, voicesPart().name, w.shown(voicesPart()));
        if (cause.isEmpty() && !voices)
            cause = failure(path, errno);
    }
    for (int k = 1; k <= entries.size() && cause.isEmpty(); ++k) {
        QByteArray name, bytes;
        if (!entries[k - 1].voice.isEmpty()
            && step(voiceFile(entries[k - 1].voice, k, name, bytes)))
            step(ops.writeFile(voices.dir, name, bytes));
    }
    // Written as it was read at open, but for the keys the settings own; an empty file only where
    // the folder had one, so that the switch replaces it.
    const QByteArray ini = writeSettings(settings.values, settings.file);
    if (cause.isEmpty() && (!ini.isEmpty() || exists(w.root.fd, w.folder.partName(settingsPart()))))
        step(ops.writeFile(staged.dir, settingsPart().name, ini));
    // Pictures are made on every core, in order, and written one by one as they come.
    QFuture<ExportedPicture> exported =
        QtConcurrent::mapped(pictureThreads(), entries, [shape](const Entry &e) {
            return exportPicture(e.picture, e.crop, shape);
        });
    for (int k = 1; k <= entries.size() && cause.isEmpty(); ++k) {
        const ExportedPicture picture = exported.resultAt(k - 1);
        if (!picture.ok())
            cause =
                QStringLiteral("File: %1\nCausa: %2").arg(entries[k - 1].picture, picture.cause);
        else
            step(ops.writeFile(pictures.dir, QByteArray::number(k) + picturesPart().extension,
                               picture.bytes));
        if (progress)
            progress(k, int(entries.size()));
    }
    exported.cancel();
    exported.waitForFinished();
    QStringList words;
    for (const Entry &e : entries)
        words.append(e.word);
    if (step(ops.writeFile(staged.dir, listPart().name, encodeWordList(words)))
        && step(ops.syncDir(pictures.dir)) && (!voices || step(ops.syncDir(voices.dir)))
        && step(ops.syncDir(staged.dir))) {
        for (int i = 0; i < folderParts().size(); ++i) {
            const FolderPart &part = folderParts()[i];
            SaveJournal::Part p{i,
                                findName(folderNames(w.root.fd), part.name),
                                TF::print(w.root.fd, part, j.count),
                                TF::print(staged.fd.get(), part, j.count),
                                {}};
            const Folder old = part.kind == FolderPart::NumberedFiles && !p.oldName.isEmpty()
                                   ? openIn(w.root, p.oldName, w.shown(part))
                                   : Folder{};
            if (old) {
                p.others = folderNames(old.fd.get());
                for (const QByteArray &owned : TF::ownedEntries(p.others, part, j.count))
                    p.others.removeOne(owned);
            }
            j.parts.append(p);
        }
        // From here on the new content is complete on the disk and the journal says so.
        if (step(ops.writeFile(w.area.dir, TF::Journal, j.text())) && step(ops.syncDir(w.area.dir)))
            step(rollForward(ops, w, j));
    }
    if (cause.isEmpty())
        return {};
    // Put right: the old content before the first switch, the new one from there on.
    const Recovery r = recoverFolder(path, ops);
    const bool saved =
        !j.parts.isEmpty()
        && std::all_of(j.parts.begin(), j.parts.end(), [&](const SaveJournal::Part &p) {
               return TF::print(w.root.fd, folderParts()[p.part], j.count) == p.newPrint;
           });
    if (saved)
        return {};
    if (!r.blocked.isEmpty())
        return cause + u'\n' + r.blocked;
    return cause + QStringLiteral("\nLa cartella è rimasta com'era prima.");
}
