#include "editor/EntryTable.h"

#include "voices/VoiceDecoder.h"

#include <QBrush>
#include <QColor>
#include <QDir>
#include <QIODevice>
#include <QLocale>
#include <QMimeData>
#include <QUndoCommand>
#include <QUrl>

// Every step keeps the whole list before and after it: at most 150 short rows, and undo can never
// drift from what the teacher saw.
class EntrySnapshot : public QUndoCommand {
public:
    using Content = EntryTable::Content;
    EntrySnapshot(EntryTable *table, const QString &text, Content before, Content after)
        : QUndoCommand(text), m_table(table), m_before(std::move(before)), m_after(std::move(after))
    {
    }
    void undo() override { m_table->apply(m_before); }
    void redo() override { m_table->apply(m_after); }

private:
    EntryTable *m_table;
    Content m_before, m_after;
};

namespace {
const char *RowMime = "application/x-diveva-riga";

// A voice made ready is told by its bytes, one of the folder by its file.
QString voiceKey(const VoiceSource &voice)
{
    return voice.ogg.isEmpty()
               ? voice.file
               : QStringLiteral("ogg:%1:%2").arg(qHash(voice.ogg)).arg(voice.ogg.size());
}
} // namespace

EntryTable::EntryTable(ExerciseFacts facts, QObject *parent)
    : QAbstractTableModel(parent), m_facts(std::move(facts))
{
    updateProblems();
}

Thumbnail EntryTable::thumbnail(const Entry &entry) const
{
    if (entry.picture.isEmpty())
        return {};
    const QString key = thumbnailKey(entry);
    auto found = m_thumbnails.constFind(key);
    if (found == m_thumbnails.constEnd())
        found = m_thumbnails.insert(
            key, makeThumbnail(entry.picture, entry.crop, m_facts.pictureShape, ThumbnailHeight));
    return *found;
}

void EntryTable::addThumbnail(const Entry &entry, const Thumbnail &thumbnail)
{
    m_thumbnails.insert(thumbnailKey(entry), thumbnail);
}

VoiceCheck EntryTable::voiceCheck(const VoiceSource &voice) const
{
    if (voice.isEmpty())
        return {};
    const QString key = voiceKey(voice);
    auto found = m_voiceChecks.constFind(key);
    if (found == m_voiceChecks.constEnd()) {
        const Voice heard =
            voice.ogg.isEmpty() ? decodeVoiceFile(voice.file) : decodeVoiceData(voice.ogg);
        found = m_voiceChecks.insert(key, {heard.durationMs(), heard.cause});
    }
    return *found;
}

void EntryTable::addVoiceCheck(const VoiceSource &voice, const VoiceCheck &check)
{
    if (!voice.isEmpty())
        m_voiceChecks.insert(voiceKey(voice), check);
}

void EntryTable::forgetThumbnailsUnder(const QString &folder)
{
    // A row's picture names its folder as it was given or as an absolute path.
    const QString given = folder + u'/', absolute = QDir(folder).absolutePath() + u'/';
    const auto under = [&](const auto &item) {
        return item.key().startsWith(given) || item.key().startsWith(absolute);
    };
    m_thumbnails.removeIf(under);
    m_voiceChecks.removeIf(under);
}

void EntryTable::setWord(int row, const QString &word)
{
    if (m_entries.value(row).word == word)
        return;
    QList<Entry> after = m_entries;
    after[row].word = word;
    change(tr("Modifica della parola %1").arg(row + 1), after);
}

void EntryTable::insertEntries(int row, const QList<Entry> &entries)
{
    QList<Entry> after = m_entries;
    row = qBound(0, row, int(after.size()));
    for (int i = 0; i < entries.size(); ++i)
        after.insert(row + i, entries[i]);
    // Italian singular and plural by hand: Qt tells them apart only through a translation file.
    change(entries.size() == 1 ? tr("Aggiunta di un'immagine")
                               : tr("Aggiunta di %1 immagini").arg(entries.size()),
           after);
}

void EntryTable::removeEntries(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<Entry> after = m_entries;
    for (int row : rows)
        if (row >= 0 && row < after.size())
            after.removeAt(row);
    const qsizetype removed = m_entries.size() - after.size();
    if (removed > 0)
        change(removed == 1 ? tr("Eliminazione di una riga")
                            : tr("Eliminazione di %1 righe").arg(removed),
               after);
}

void EntryTable::moveEntry(int from, int to)
{
    if (from < 0 || from >= m_entries.size() || to < 0 || to >= m_entries.size() || from == to)
        return;
    QList<Entry> after = m_entries;
    after.move(from, to);
    change(tr("Spostamento della riga %1").arg(from + 1), after);
}

void EntryTable::setPicture(int row, const QString &path)
{
    QList<Entry> after = m_entries;
    after[row].picture = path;
    after[row].crop = {};
    change(tr("Nuova immagine alla riga %1").arg(row + 1), after);
}

void EntryTable::setCrop(int row, const Crop &crop)
{
    if (m_entries.value(row).crop == crop)
        return;
    QList<Entry> after = m_entries;
    after[row].crop = crop;
    change(tr("Ritaglio della riga %1").arg(row + 1), after);
}

void EntryTable::setVoice(int row, const QByteArray &ogg, const QString &text)
{
    setVoices({{row, ogg}}, text);
}

void EntryTable::setVoices(const QHash<int, QByteArray> &voices, const QString &text)
{
    QList<Entry> after = m_entries;
    for (auto it = voices.cbegin(); it != voices.cend(); ++it)
        if (it.key() >= 0 && it.key() < after.size())
            after[it.key()].voice = {{}, it.value(), {}};
    if (after != m_entries)
        change(text, after);
}

void EntryTable::setSettings(const Settings &settings)
{
    if (settings != m_settings)
        change(tr("Impostazioni dell'esercizio"), Content{m_entries, settings});
}

void EntryTable::reset(const QList<Entry> &entries, const Settings &settings)
{
    m_undo.clear();
    apply({entries, settings});
    m_undo.setClean();
}

void EntryTable::change(const QString &text, const QList<Entry> &after)
{
    change(text, Content{after, m_settings});
}

void EntryTable::change(const QString &text, const Content &after)
{
    m_undo.push(new EntrySnapshot(this, text, {m_entries, m_settings}, after));
}

void EntryTable::apply(const Content &content)
{
    const QList<Entry> &entries = content.entries;
    if (entries.size() == m_entries.size()) {
        m_entries = entries;
        if (!m_entries.isEmpty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    } else {
        beginResetModel();
        m_entries = entries;
        endResetModel();
    }
    const bool settingsChanged = content.settings != m_settings;
    m_settings = content.settings;
    if (settingsChanged)
        emit this->settingsChanged();
    updateProblems();
}

void EntryTable::updateProblems()
{
    QHash<int, QString> unreadable;
    QHash<int, VoiceCheck> voices;
    for (int row = 0; row < m_entries.size(); ++row) {
        const Thumbnail t = thumbnail(m_entries[row]);
        if (!t.cause.isEmpty())
            unreadable.insert(row, t.cause);
        voices.insert(row, voiceCheck(m_entries[row].voice));
    }
    m_problems = listProblems(m_entries, m_facts, m_settings, unreadable, voices);
    if (!m_entries.isEmpty())
        emit dataChanged(index(0, ProblemColumn), index(rowCount() - 1, ProblemColumn));
    emit problemsChanged();
}

int EntryTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int EntryTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EntryTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const Entry &e = m_entries[index.row()];
    switch (index.column()) {
    case PictureColumn:
        if (role == Qt::DecorationRole)
            return thumbnail(e).image;
        if (role == Qt::ToolTipRole)
            return e.picture;
        break;
    case WordColumn:
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return e.word;
        break;
    case VoiceColumn:
        if (role == Qt::DisplayRole) {
            if (e.voice.isEmpty())
                return tr("senza voce");
            const VoiceCheck v = voiceCheck(e.voice);
            return v.cause.isEmpty()
                       ? tr("voce, %1 s")
                             .arg(QLocale(QLocale::Italian).toString(v.ms / 1000.0, 'f', 1))
                       : tr("voce illeggibile");
        }
        if (role == Qt::ToolTipRole)
            return e.voice.file.isEmpty() ? QVariant() : e.voice.file;
        break;
    case CropColumn:
        if (e.picture.isEmpty())
            break;
        if (role == Qt::CheckStateRole)
            return e.crop.enabled ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::DisplayRole)
            return tr("ritaglia");
        break;
    case ProblemColumn: {
        QStringList texts;
        bool blocking = false;
        for (const Problem &p : m_problems)
            if (p.row == index.row()) {
                texts << p.text;
                blocking = blocking || p.blocking;
            }
        if (role == Qt::DisplayRole)
            return texts.join(u'\n');
        if (role == Qt::ForegroundRole && !texts.isEmpty())
            return QBrush(blocking ? QColor(0xb0, 0, 0) : QColor(0x9a, 0x5b, 0));
        break;
    }
    }
    return {};
}

QVariant EntryTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1; // the picture's number in jpg/
    static const char *titles[] = {"Immagine", "Parola", "Voce", "Ritaglio", "Problemi"};
    return tr(titles[section]);
}

Qt::ItemFlags EntryTable::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index) | Qt::ItemIsDropEnabled;
    if (!index.isValid())
        return f;
    f |= Qt::ItemIsDragEnabled;
    if (index.column() == WordColumn)
        f |= Qt::ItemIsEditable;
    if (index.column() == CropColumn && !m_entries[index.row()].picture.isEmpty())
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool EntryTable::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid())
        return false;
    if (index.column() == WordColumn && role == Qt::EditRole) {
        setWord(index.row(), value.toString());
        return true;
    }
    if (index.column() == CropColumn && role == Qt::CheckStateRole) {
        Crop crop = m_entries[index.row()].crop;
        crop.enabled = value.toInt() == Qt::Checked;
        setCrop(index.row(), crop);
        return true;
    }
    return false;
}

Qt::DropActions EntryTable::supportedDropActions() const { return Qt::MoveAction | Qt::CopyAction; }

QStringList EntryTable::mimeTypes() const
{
    return {QString::fromLatin1(RowMime), QStringLiteral("text/uri-list")};
}

QMimeData *EntryTable::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(RowMime), QByteArray::number(indexes.first().row()));
    return data;
}

bool EntryTable::dropMimeData(const QMimeData *data, Qt::DropAction, int row, int,
                              const QModelIndex &parent)
{
    if (data->hasUrls()) {
        QStringList paths;
        for (const QUrl &url : data->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
        const bool onRow = parent.isValid() && paths.size() == 1;
        emit filesDropped(paths, onRow ? parent.row() : row < 0 ? rowCount() : row, onRow);
        return !paths.isEmpty();
    }
    if (!data->hasFormat(QString::fromLatin1(RowMime)))
        return false;
    const int from = data->data(QString::fromLatin1(RowMime)).toInt();
    // Dropped on a row: it takes that row's place; between rows: before row, where the dragged
    // row itself no longer counts; below the last: at the end.
    const int to = parent.isValid() ? parent.row()
                   : row < 0        ? rowCount() - 1
                   : row > from     ? row - 1
                                    : row;
    moveEntry(from, to);
    // Not accepted as a move: the view would otherwise remove the dragged row afterwards.
    return false;
}
