#include "core/TeacherFolder.h"

#include "core/FolderFd.h"
#include "core/WordList.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const QList<FolderPart> &folderParts()
{
    static const QList<FolderPart> parts{
        {FolderPart::NumberedFiles, "jpg", "jpg", ".jpg"},
        {FolderPart::NumberedFiles, "voce", TeacherFolder::VoicesFolder, {}},
        {FolderPart::File, "impostazioni", "diveva.ini", {}},
        {FolderPart::File, "lista", "lista.txt", {}},
    };
    return parts;
}

const FolderPart &picturesPart() { return folderParts()[0]; }
const FolderPart &voicesPart() { return folderParts()[1]; }
const FolderPart &settingsPart() { return folderParts()[2]; }
const FolderPart &listPart() { return folderParts()[3]; }

const QList<QByteArray> &TeacherFolder::voiceExtensions()
{
    static const QList<QByteArray> extensions{"ogg", "opus", "wav", "mp3", "m4a"};
    return extensions;
}

namespace {

constexpr qint64 MaxJournalBytes = 4 * 1024 * 1024;
constexpr qint64 PrintedEdge = 4096;
// A print tells two contents apart and guards nothing (whoever writes a journal can print the
// folder itself): the fastest of Qt's hashes keeps the exercise program's judgement of 150
// pictures within a few milliseconds.
constexpr auto PrintHash = QCryptographicHash::Md5;
const QByteArray NoPart = "-";

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

bool isPrint(const QByteArray &print)
{
    if (print == NoPart)
        return true;
    if (print.size() != 2 * QCryptographicHash::hashLength(PrintHash))
        return false;
    for (char c : print)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// A name of the journal: base64 of one component, or "-" for none.
bool decodeName(const QByteArray &field, QByteArray &name)
{
    if (field == NoPart) {
        name.clear();
        return true;
    }
    auto decoded = QByteArray::fromBase64Encoding(field, QByteArray::AbortOnBase64DecodingErrors);
    name = *decoded;
    return decoded && isSingleName(name);
}

int partIndex(const QByteArray &id)
{
    for (int i = 0; i < folderParts().size(); ++i)
        if (folderParts()[i].id == id)
            return i;
    return -1;
}

// Reads a regular file open at fd, at most maxBytes; false for anything else.
bool readOpenFile(int fd, qint64 maxBytes, QByteArray &data)
{
    QFile file;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return false;
    data = file.read(maxBytes + 1);
    return file.error() == QFileDevice::NoError && data.size() <= maxBytes;
}

QByteArray hashHex(QCryptographicHash &hash) { return hash.result().toHex(); }

} // namespace

QByteArray SaveJournal::text() const
{
    QByteArray text = "diveva-prepara giornale " + QByteArray::number(Version) + "\nnumeri "
                      + QByteArray::number(count) + '\n';
    for (const Part &p : parts) {
        const QByteArray &id = folderParts()[p.part].id;
        text += "parte " + id + ' ' + (p.oldName.isEmpty() ? NoPart : p.oldName.toBase64()) + ' '
                + p.oldPrint + ' ' + p.newPrint + '\n';
        for (const QByteArray &other : p.others)
            text += "altro " + id + ' ' + other.toBase64() + '\n';
    }
    return text + "fine\n";
}

SaveJournal SaveJournal::parse(const QByteArray &text)
{
    SaveJournal j;
    // Written whole and flushed before anything is switched: a journal without its last line
    // was cut short while it was written.
    if (!text.endsWith("\nfine\n")) {
        j.status = Incomplete;
        return j;
    }
    QList<QByteArray> lines = text.chopped(6).split('\n');
    const QList<QByteArray> head = lines.takeFirst().split(' ');
    if (head.size() != 3 || head[0] != "diveva-prepara" || head[1] != "giornale") {
        j.status = Invalid;
        return j;
    }
    if (head[2] != QByteArray::number(Version)) {
        j.status = OtherVersion;
        return j;
    }
    bool valid = true, counted = false;
    for (const QByteArray &line : std::as_const(lines)) {
        const QList<QByteArray> f = line.split(' ');
        const int part = f.size() > 1 ? partIndex(f[1]) : -1;
        const auto declared = [&] {
            for (Part &p : j.parts)
                if (p.part == part)
                    return &p;
            return static_cast<Part *>(nullptr);
        };
        bool ok = false;
        if (f.size() == 2 && f[0] == "numeri" && !counted) {
            j.count = f[1].toInt(&ok);
            ok = ok && j.count >= 0 && j.count <= WordList::Capacity;
            counted = true;
        } else if (f.size() == 5 && f[0] == "parte" && part >= 0 && !declared()) {
            Part p{part, {}, f[3], f[4], {}};
            ok = decodeName(f[2], p.oldName)
                 && (p.oldName.isEmpty()
                     || p.oldName.compare(folderParts()[part].name, Qt::CaseInsensitive) == 0);
            // Prints are only ever compared: the part is judged even when its name is not valid.
            if (isPrint(p.oldPrint) && isPrint(p.newPrint))
                j.parts.append(p);
            else
                ok = false;
        } else if (f.size() == 3 && f[0] == "altro" && part >= 0 && declared()
                   && folderParts()[part].kind == FolderPart::NumberedFiles) {
            QByteArray name;
            ok = decodeName(f[2], name) && !name.isEmpty();
            if (ok)
                declared()->others.append(name);
        }
        valid = valid && ok;
    }
    j.status = valid && counted ? Valid : Invalid;
    return j;
}

TeacherFolder::TeacherFolder(const QString &path)
    : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
      m_shown(path), m_base(joined(path, {}))
{
}

TeacherFolder TeacherFolder::workingDirectory(const QString &shown)
{
    TeacherFolder folder(QStringLiteral("."));
    folder.m_shown = shown;
    char *own = ::getcwd(nullptr, 0);
    folder.m_base = own && QFile::encodeName(shown) == own ? joined(shown, {}) : QString();
    ::free(own);
    return folder;
}

QByteArray TeacherFolder::foundName(const QByteArray &name) const
{
    struct stat st {};
    if (::fstatat(fd(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return name;
    const QByteArray other = findName(folderNames(fd()), name);
    return other.isEmpty() ? name : other;
}

void TeacherFolder::resolveParts()
{
    m_partNames.clear();
    for (const FolderPart &part : folderParts())
        m_partNames.append(foundName(part.name));
}

QString TeacherFolder::filePath(const QByteArray &name) const
{
    return m_base + QFile::decodeName(foundName(name));
}

QString TeacherFolder::shownFilePath(const QByteArray &name) const
{
    return joined(m_shown, QFile::decodeName(foundName(name)));
}

QByteArray TeacherFolder::partName(const FolderPart &part) const
{
    for (qsizetype i = 0; i < m_partNames.size(); ++i)
        if (folderParts()[i].id == part.id)
            return m_partNames[i];
    return part.name;
}

QString TeacherFolder::path(const FolderPart &part) const
{
    return m_base + QFile::decodeName(partName(part));
}

QString TeacherFolder::shownPath(const FolderPart &part) const
{
    return joined(m_shown, QFile::decodeName(partName(part)));
}

void TeacherFolder::resolvePictures(int count)
{
    // Read through a link: the exercise program only reads, and so does this.
    m_picturesFolder = partName(picturesPart());
    const UniqueFd folder(
        ::openat(fd(), m_picturesFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QMultiMap<int, QByteArray> owned = ownedEntries(
        folder ? folderNames(folder.get()) : QList<QByteArray>(), picturesPart(), count);
    m_pictureNames.clear();
    for (int n = 1; n <= count; ++n)
        m_pictureNames.append(owned.value(n, QByteArray::number(n) + picturesPart().extension));
}

QString TeacherFolder::picturePath(int n) const
{
    if (n < 1 || n > m_pictureNames.size())
        return {};
    return m_base + QFile::decodeName(m_picturesFolder + '/' + m_pictureNames[n - 1]);
}

QString TeacherFolder::shownPicturePath(int n) const
{
    if (n < 1 || n > m_pictureNames.size())
        return {};
    return joined(m_shown, QFile::decodeName(m_picturesFolder + '/' + m_pictureNames[n - 1]));
}

void TeacherFolder::resolveVoices(int count)
{
    m_voicesFolder = partName(voicesPart());
    const UniqueFd folder(
        ::openat(fd(), m_voicesFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QMultiMap<int, QByteArray> owned =
        ownedEntries(folder ? folderNames(folder.get()) : QList<QByteArray>(), voicesPart(), count);
    m_voiceNames = QList<QList<QByteArray>>(count);
    const auto rank = [](const QByteArray &name) {
        const QByteArray extension = name.mid(name.indexOf('.') + 1).toLower();
        return voiceExtensions().indexOf(extension);
    };
    for (auto it = owned.cbegin(); it != owned.cend(); ++it)
        if (rank(it.value()) >= 0)
            m_voiceNames[it.key() - 1].append(it.value());
    for (QList<QByteArray> &names : m_voiceNames)
        std::sort(names.begin(), names.end(), [&](const QByteArray &a, const QByteArray &b) {
            return std::pair(rank(a), a) < std::pair(rank(b), b);
        });
}

QString TeacherFolder::voicePath(int n) const
{
    if (n < 1 || n > m_voiceNames.size() || m_voiceNames[n - 1].isEmpty())
        return {};
    return m_base + QFile::decodeName(m_voicesFolder + '/' + m_voiceNames[n - 1].first());
}

QString TeacherFolder::shownVoicePath(int n) const
{
    const QString path = voicePath(n);
    return path.isEmpty()
               ? path
               : joined(m_shown,
                        QFile::decodeName(m_voicesFolder + '/' + m_voiceNames[n - 1].first()));
}

QList<QByteArray> TeacherFolder::ignoredVoices(int n) const
{
    return n < 1 || n > m_voiceNames.size() ? QList<QByteArray>() : m_voiceNames[n - 1].mid(1);
}

QList<QByteArray> TeacherFolder::otherEntries(const FolderPart &part, int count) const
{
    const UniqueFd folder = openFolderAt(fd(), partName(part));
    QList<QByteArray> names = folder ? folderNames(folder.get()) : QList<QByteArray>();
    for (const QByteArray &owned : ownedEntries(names, part, count))
        names.removeOne(owned);
    return names;
}

TeacherFolder::Stamp TeacherFolder::listStamp() const
{
    Stamp s;
    struct stat st {};
    if (::fstatat(fd(), partName(listPart()).constData(), &st, 0) == 0)
        s = {st.st_dev, st.st_ino, st.st_size,
             qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
             qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
    return s;
}

FileContents TeacherFolder::readList()
{
    // Stamped before it is read: a list replaced meanwhile shows as changed at the next look.
    m_listStamp = listStamp();
    FileContents file = readRegularFile(path(listPart()), WordList::MaxFileBytes);
    m_listPrint = file.ok() ? QCryptographicHash::hash(file.data, PrintHash).toHex() : QByteArray();
    return file;
}

bool TeacherFolder::listChanged() const
{
    if (m_listPrint.isEmpty())
        return false;
    if (listStamp() != m_listStamp) {
        const FileContents file = readRegularFile(path(listPart()), WordList::MaxFileBytes);
        if (!file.ok() || QCryptographicHash::hash(file.data, PrintHash).toHex() != m_listPrint)
            return true;
    }
    return hasUnfinishedSave();
}

QString TeacherFolder::lockPath() const
{
    return joined(m_shown, QFile::decodeName(WorkingArea + '/' + Lock));
}

QString TeacherFolder::backupPath() const
{
    return joined(m_shown, QFile::decodeName(WorkingArea + '/' + Backup));
}

SaveJournal TeacherFolder::readJournal(int area)
{
    SaveJournal journal;
    const UniqueFd file(
        ::openat(area, Journal.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file && errno == ENOENT)
        return journal;
    QByteArray text;
    if (!readOpenFile(file.get(), MaxJournalBytes, text)) {
        journal.status = SaveJournal::Invalid;
        return journal;
    }
    return SaveJournal::parse(text);
}

SaveState TeacherFolder::judge(const SaveJournal &journal) const
{
    bool switched = false, pending = false;
    for (const SaveJournal::Part &p : journal.parts) {
        const QByteArray now = print(fd(), folderParts()[p.part], journal.count);
        // A part that is neither old nor new is on its way, or was changed since.
        switched = switched || now != p.oldPrint;
        pending = pending || now != p.newPrint;
    }
    return !switched ? SaveState::Before : !pending ? SaveState::Finished : SaveState::Mixed;
}

bool TeacherFolder::hasUnfinishedSave() const
{
    const UniqueFd area = openFolderAt(fd(), WorkingArea);
    if (!area)
        return false;
    const SaveJournal journal = readJournal(area.get());
    return (journal.status == SaveJournal::Valid || journal.status == SaveJournal::Invalid)
           && judge(journal) == SaveState::Mixed;
}

QByteArray TeacherFolder::print(int dir, const FolderPart &part, int count)
{
    const QByteArray name = findName(folderNames(dir), part.name);
    if (name.isEmpty())
        return NoPart;
    QCryptographicHash hash(PrintHash);
    if (part.kind == FolderPart::File) {
        const UniqueFd file(::openat(dir, name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        QByteArray data;
        hash.addData(readOpenFile(file.get(), WordList::MaxFileBytes, data) ? data
                                                                            : QByteArray("?"));
        return hashHex(hash);
    }
    const UniqueFd folder = openFolderAt(dir, name);
    if (!folder)
        return QCryptographicHash::hash("?", PrintHash).toHex();
    const QMultiMap<int, QByteArray> owned = ownedEntries(folderNames(folder.get()), part, count);
    for (auto it = owned.cbegin(); it != owned.cend(); ++it) {
        hash.addData(QByteArray::number(it.key()) + ' ');
        const UniqueFd file(::openat(folder.get(), it.value().constData(),
                                     O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            hash.addData("?\n");
            continue;
        }
        QByteArray edges(2 * PrintedEdge, '\0');
        const qint64 head = ::pread(file.get(), edges.data(), PrintedEdge, 0);
        const qint64 tail = ::pread(file.get(), edges.data() + PrintedEdge, PrintedEdge,
                                    qMax<qint64>(0, st.st_size - PrintedEdge));
        hash.addData(QByteArray::number(qint64(st.st_size)) + ' ');
        hash.addData(QByteArrayView(edges.constData(), qMax<qint64>(head, 0)));
        hash.addData(QByteArrayView(edges.constData() + PrintedEdge, qMax<qint64>(tail, 0)));
        hash.addData("\n");
    }
    return hashHex(hash);
}

QMultiMap<int, QByteArray> TeacherFolder::ownedEntries(const QList<QByteArray> &names,
                                                       const FolderPart &part, int count)
{
    QMultiMap<int, QByteArray> owned;
    if (part.extension.isEmpty()) {
        for (const QByteArray &name : names)
            if (const int k = entryNumber(name, part); k >= 1 && k <= count)
                owned.insert(k, name);
        return owned;
    }
    for (int k = 1; k <= count; ++k)
        if (const QByteArray name = findName(names, QByteArray::number(k) + part.extension);
            !name.isEmpty())
            owned.insert(k, name);
    return owned;
}

int TeacherFolder::entryNumber(const QByteArray &name, const FolderPart &part)
{
    // Of any extension: the digits up to the first dot, and something after it.
    const qsizetype dot = name.indexOf('.');
    if (part.extension.isEmpty() && (dot < 1 || dot == name.size() - 1))
        return 0;
    const qsizetype digits = part.extension.isEmpty() ? dot : name.size() - part.extension.size();
    if (digits < 1 || digits > 6 || name[0] == '0'
        || (!part.extension.isEmpty()
            && name.mid(digits).compare(part.extension, Qt::CaseInsensitive) != 0))
        return 0;
    for (qsizetype i = 0; i < digits; ++i)
        if (name[i] < '0' || name[i] > '9')
            return 0;
    return name.left(digits).toInt();
}
