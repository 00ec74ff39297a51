#include "editor/FolderStore.h"

#include "core/SafeFile.h"
#include "core/WordList.h"
#include "editor/ListFile.h"
#include "editor/PictureExport.h"
#include "editor/Thumbnails.h"
#include "pictures/PictureDecoder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QtConcurrent>

using namespace EditorFolder;

namespace {

const QString ListName = QStringLiteral("lista.txt");
const QString PicturesName = QStringLiteral("jpg");

// What a part of the folder holds, so that a save can tell the new content from the old after a
// crash, whatever the file system does with inode numbers (FAT renumbers them at every mount).
QByteArray fingerprint(const QString &path)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QFileInfo info(path);
    if (info.isDir()) {
        const QStringList names = QDir(path).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QString &name : names) {
            hash.addData(name.toUtf8() + '\0');
            hash.addData(readRegularFile(path + u'/' + name, MaxPictureFileBytes).data);
        }
    } else if (info.isFile()) {
        hash.addData(readRegularFile(path, WordList::MaxFileBytes).data);
    } else {
        return {};
    }
    return hash.result().toHex();
}

QString within(const QString &folder, const QString &relative) { return folder + u'/' + relative; }

// The existing name of a part, as the exercise program finds it (LISTA.TXT on a Windows folder).
QString existingName(const QString &folder, const QString &name)
{
    const QString path = resolveLetterCase(within(folder, name));
    return QFileInfo::exists(path) ? QFileInfo(path).fileName() : QString();
}

struct JournalData {
    // per part: its name in the folder before the save (empty: none) and the new content's print
    QString oldName[2];
    QByteArray print[2];
};

QByteArray journalText(const JournalData &j)
{
    QByteArray text;
    for (int i = 0; i < 2; ++i)
        text += j.oldName[i].toUtf8().toBase64() + ' ' + j.print[i] + '\n';
    return text + "fine\n";
}

// A journal cut short by a crash was never complete, and the switch had not begun.
bool readJournal(const QString &folder, JournalData &j)
{
    const FileContents file = readRegularFile(within(folder, EditorFolder::Journal), 4096);
    const QList<QByteArray> lines = file.data.split('\n');
    if (!file.ok() || lines.size() != 4 || lines[2] != "fine")
        return false;
    for (int i = 0; i < 2; ++i) {
        const QList<QByteArray> f = lines[i].split(' ');
        if (f.size() != 2)
            return false;
        j.oldName[i] = QString::fromUtf8(QByteArray::fromBase64(f[0]));
        j.print[i] = f[1];
    }
    return true;
}

QString switchPart(const QString &folder, const JournalData &j, int i, FileOps &ops)
{
    const QString name = i == 0 ? PicturesName : ListName;
    const QString target = within(folder, name);
    const QString staged = within(folder, Staging + u'/' + name);
    const QString replaced = within(folder, Replaced + u'/' + name);
    QString cause;
    if (fingerprint(target) == j.print[i]) {
        // Switched already: what is left in the staging folder is the old part after an exchange.
        if (QFileInfo::exists(staged))
            cause = ops.rename(staged, replaced);
        return cause;
    }
    const QString old = j.oldName[i].isEmpty() ? QString() : within(folder, j.oldName[i]);
    if (!old.isEmpty() && QFileInfo::exists(old)) {
        if (j.oldName[i] == name) {
            cause = ops.exchange(target, staged);
            if (cause.isEmpty())
                return ops.rename(staged, replaced);
            if (cause != QLatin1String(DiskFileOps::Unsupported))
                return cause;
        }
        // No atomic exchange here: for a moment the part is missing; the journal finishes it.
        if (!(cause = ops.rename(old, replaced)).isEmpty())
            return cause;
    }
    return ops.rename(staged, target);
}

} // namespace

LoadedFolder loadFolder(const QString &folder)
{
    LoadedFolder out;
    const QString listPath = resolveLetterCase(within(folder, ListName));
    if (!QFileInfo::exists(listPath) && !QFileInfo(listPath).isSymLink())
        return out;
    const FileContents file = readRegularFile(listPath, WordList::MaxFileBytes);
    WordList list;
    if (file.ok())
        list = parseWordList(file.data);
    const QString cause = file.ok() ? list.cause : file.cause;
    if (!cause.isEmpty()) {
        out.cause = QStringLiteral("File: %1\nCausa: %2").arg(listPath, cause);
        return out;
    }
    for (int k = 1; k <= list.words.size(); ++k) {
        const QString picture =
            resolveLetterCase(within(folder, QStringLiteral("jpg/%1.jpg").arg(k)));
        out.entries.append(
            {list.words[k - 1], QFileInfo::exists(picture) ? picture : QString(), {}});
    }
    return out;
}

QString recoverFolder(const QString &folder, FileOps &ops)
{
    if (!QFileInfo::exists(within(folder, Hidden)))
        return {};
    JournalData j;
    QString cause;
    if (readJournal(folder, j)) {
        for (int i = 0; i < 2 && cause.isEmpty(); ++i)
            cause = switchPart(folder, j, i, ops);
        if (cause.isEmpty())
            cause = ops.syncDir(folder);
        if (cause.isEmpty() && QFileInfo::exists(within(folder, Replaced))) {
            if ((cause = ops.removeTree(within(folder, Backup))).isEmpty())
                cause = ops.rename(within(folder, Replaced), within(folder, Backup));
        }
    }
    // Without a complete journal nothing was switched: what was being written is dropped.
    for (const QString &part : {Staging, Replaced, EditorFolder::Journal})
        if (cause.isEmpty())
            cause = ops.removeTree(within(folder, part));
    if (cause.isEmpty())
        cause = ops.syncDir(within(folder, Hidden));
    // A first save that failed leaves nothing behind; rmdir keeps a folder that holds a backup.
    QDir(folder).rmdir(Hidden);
    return cause;
}

QString saveFolder(const QString &folder, const QList<Entry> &entries, QSize shape, FileOps &ops,
                   const std::function<void(int, int)> &progress)
{
    QString cause = recoverFolder(folder, ops);
    const QString staged = within(folder, Staging);
    JournalData j;
    j.oldName[0] = existingName(folder, PicturesName);
    j.oldName[1] = existingName(folder, ListName);
    auto step = [&cause](const QString &result) {
        if (cause.isEmpty())
            cause = result;
        return cause.isEmpty();
    };
    bool committed = false;
    step(ops.makeDir(within(folder, Hidden))) && step(ops.makeDir(staged))
        && step(ops.makeDir(staged + u'/' + PicturesName));
    // Pictures are made on every core, in order, and written one by one as they come.
    QFuture<ExportedPicture> pictures =
        QtConcurrent::mapped(pictureThreads(), entries, [shape](const Entry &e) {
            return exportPicture(e.picture, e.crop, shape);
        });
    for (int k = 1; k <= entries.size() && cause.isEmpty(); ++k) {
        const Entry &e = entries[k - 1];
        const ExportedPicture picture = pictures.resultAt(k - 1);
        if (!picture.ok())
            cause = QStringLiteral("File: %1\nCausa: %2").arg(e.picture, picture.cause);
        else
            step(ops.writeFile(staged + QStringLiteral("/jpg/%1.jpg").arg(k), picture.bytes));
        if (progress)
            progress(k, entries.size());
    }
    pictures.cancel();
    pictures.waitForFinished();
    QStringList words;
    for (const Entry &e : entries)
        words.append(e.word);
    if (step(ops.writeFile(staged + u'/' + ListName, encodeWordList(words)))
        && step(ops.syncDir(staged + u'/' + PicturesName)) && step(ops.syncDir(staged))
        && step(ops.makeDir(within(folder, Replaced)))) {
        j.print[0] = fingerprint(staged + u'/' + PicturesName);
        j.print[1] = fingerprint(staged + u'/' + ListName);
        // From here on the new content is complete on the disk and the journal says so.
        committed = step(ops.writeFile(within(folder, EditorFolder::Journal), journalText(j)));
        step(ops.syncDir(within(folder, Hidden)));
    }
    // Whatever failed, the folder is put back to one whole content: the new one once the journal
    // is written (the save is then done), the old one before.
    QString repaired = recoverFolder(folder, ops);
    if (!repaired.isEmpty()) // a rename that failed once may well succeed the second time
        repaired = recoverFolder(folder, ops);
    if (repaired.isEmpty())
        return committed ? QString() : cause;
    return (cause.isEmpty() ? QString() : cause + u'\n')
           + QStringLiteral("La cartella non si è potuta rimettere in ordine (%1): la prossima "
                            "apertura ci riproverà.")
                 .arg(repaired);
}
