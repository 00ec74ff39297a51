#include "core/Settings.h"

#include "core/SafeFile.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <array>
#include <functional>

// QSettings cannot read this file: it reports neither the line of a bad value nor a key given
// twice, splits a value at its commas, and writes a file back whole in its own order, without the
// teacher's comments. The layout is small enough for a reader of its own.

namespace {

const QByteArray Bom = "\xEF\xBB\xBF";
const QString Section = QStringLiteral("esercizi");

// One key of the file: its values as written, the default first, and how the settings hold them.
struct Key {
    QString name;
    QStringList values;
    std::function<int(const Settings &)> get; // the index of the value held
    std::function<void(Settings &, int)> set;
};

// A key of two values held as a flag: true stands for values[trueAt].
Key flag(const char *name, QStringList values, bool Settings::*field, int trueAt)
{
    return {QLatin1String(name), std::move(values),
            [=](const Settings &s) { return s.*field ? trueAt : 1 - trueAt; },
            [=](Settings &s, int i) { s.*field = i == trueAt; }};
}

const std::array<Key, 7> &keys()
{
    using S = Settings;
    static const std::array<int, 4> choices{6, 4, 3, 2};
    const QStringList yes{QStringLiteral("si"), QStringLiteral("no")};
    const QStringList no{QStringLiteral("no"), QStringLiteral("si")};
    static const std::array<Key, 7> table{
        Key{QStringLiteral("scelte"),
            {QStringLiteral("6"), QStringLiteral("4"), QStringLiteral("3"), QStringLiteral("2")},
            [](const S &s) {
                return int(std::find(choices.begin(), choices.end(), s.scelte) - choices.begin());
            },
            [](S &s, int i) { s.scelte = choices.at(std::size_t(i)); }},
        Key{QStringLiteral("scrittura"),
            {QStringLiteral("come-elenco"), QStringLiteral("maiuscolo"),
             QStringLiteral("minuscolo")},
            [](const S &s) { return int(s.scrittura); },
            [](S &s, int i) { s.scrittura = S::Scrittura(i); }},
        flag("schermo", {QStringLiteral("finestra"), QStringLiteral("intero")}, &S::schermoIntero,
             1),
        flag("segnale-acustico", yes, &S::segnaleAcustico, 0),
        flag("punteggio", yes, &S::punteggio, 0),
        flag("voce", yes, &S::voce, 0),
        flag("ascolto", no, &S::ascolto, 1),
    };
    return table;
}

int keyIndex(const QString &name)
{
    for (std::size_t k = 0; k < keys().size(); ++k)
        if (keys()[k].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(k);
    return -1;
}

// One line of the file, told apart the same way by the reader and the writer.
struct Line {
    enum Kind { Blank, Header, Pair, Other } kind = Blank; // comments are Blank
    QString name;                                          // the section's, or the key's
    QString value;
};

Line classify(const QString &text)
{
    const QString line = text.trimmed();
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
        return {};
    if (line.startsWith(u'[')) {
        const qsizetype close = line.indexOf(u']');
        return {Line::Header, line.mid(1, close < 0 ? -1 : close - 1).trimmed(), {}};
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return {Line::Other, {}, {}};
    return {Line::Pair, line.left(eq).trimmed(), line.mid(eq + 1).trimmed()};
}

bool isSection(const Line &line) { return line.name.compare(Section, Qt::CaseInsensitive) == 0; }

// The lines of bytes after any byte-order mark, without their line ends. A file that ends with a
// line end gives no empty last line.
QList<QByteArray> linesOf(const QByteArray &bytes)
{
    QByteArray body = bytes.startsWith(Bom) ? bytes.mid(Bom.size()) : bytes;
    if (body.endsWith('\n'))
        body.chop(1);
    QList<QByteArray> lines = body.isEmpty() ? QList<QByteArray>() : body.split('\n');
    for (QByteArray &l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return lines;
}

} // namespace

QString Settings::shown(const QString &word) const
{
    static const QLocale italian(QLocale::Italian, QLocale::Italy);
    switch (scrittura) {
    case Scrittura::Maiuscolo:
        return italian.toUpper(word);
    case Scrittura::Minuscolo:
        return italian.toLower(word);
    case Scrittura::ComeElenco:
        break;
    }
    return word;
}

SettingsFile parseSettings(const QByteArray &bytes)
{
    SettingsFile out;
    const auto fail = [&out](int line, const QString &cause) {
        out.settings = {};
        out.cause = QStringLiteral("riga %1: %2").arg(line).arg(cause);
        return out;
    };
    const QList<QByteArray> lines = linesOf(bytes);
    std::array<int, 7> givenAt{}; // the line of each key met, 0 while not met
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i) + 1;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(lines[i]);
        if (utf8.hasError())
            return fail(number, QStringLiteral("il testo non è in UTF-8 (salvare il file come "
                                               "UTF-8)"));
        const Line line = classify(text);
        if (line.kind == Line::Header)
            inSection = isSection(line);
        if (!inSection || line.kind == Line::Blank || line.kind == Line::Header)
            continue;
        if (line.kind == Line::Other)
            return fail(number, QStringLiteral("«%1» non è un'impostazione (si scrive "
                                               "chiave=valore)")
                                    .arg(text.trimmed()));
        const int k = keyIndex(line.name);
        if (k < 0)
            continue; // a key of a newer version
        const Key &key = keys()[std::size_t(k)];
        if (givenAt[std::size_t(k)])
            return fail(number, QStringLiteral("«%1» è già data alla riga %2 (ogni impostazione "
                                               "si scrive una volta sola)")
                                    .arg(key.name)
                                    .arg(givenAt[std::size_t(k)]));
        givenAt[std::size_t(k)] = number;
        // "sì" is how "si" is spelt; the plain form is the one written back.
        const QString value = line.value.compare(QStringLiteral("sì"), Qt::CaseInsensitive) == 0
                                  ? QStringLiteral("si")
                                  : line.value;
        qsizetype v = 0;
        while (v < key.values.size() && key.values[v].compare(value, Qt::CaseInsensitive) != 0)
            ++v;
        if (v == key.values.size())
            return fail(number,
                        QStringLiteral("«%1» non è un valore di «%2» (valori ammessi: %3)")
                            .arg(line.value, key.name, key.values.join(QStringLiteral(", "))));
        key.set(out.settings, int(v));
    }
    return out;
}

SettingsFile readSettings(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    const FileContents file = readRegularFile(path, Settings::MaxFileBytes);
    if (!file.ok())
        return {{}, file.cause};
    return parseSettings(file.data);
}

QByteArray writeSettings(const Settings &settings, const QByteArray &old)
{
    const auto pairOf = [&settings](const Key &key) {
        return (key.name + u'=' + key.values.at(key.get(settings))).toUtf8();
    };
    const auto differs = [&settings](const Key &key) { return key.get(settings) != 0; };

    QList<QByteArray> out;
    std::array<bool, 7> written{};
    qsizetype insertAt = -1; // after the last key, or the header, of the first [esercizi]
    bool inSection = false, inFirst = false;
    for (const QByteArray &bytes : linesOf(old)) {
        const Line line = classify(QString::fromUtf8(bytes));
        if (line.kind == Line::Header) {
            inSection = isSection(line);
            inFirst = inSection && insertAt < 0;
            if (inFirst)
                insertAt = out.size() + 1;
        }
        const int k = inSection && line.kind == Line::Pair ? keyIndex(line.name) : -1;
        if (k < 0) {
            out.append(bytes);
        } else {
            // A key of this version: its line says the new value, or goes with the default.
            const Key &key = keys()[std::size_t(k)];
            if (differs(key) && !written[std::size_t(k)])
                out.append(pairOf(key));
            written[std::size_t(k)] = true;
        }
        if (inFirst && line.kind == Line::Pair && out.size() > insertAt)
            insertAt = out.size();
    }

    QList<QByteArray> added;
    for (std::size_t k = 0; k < keys().size(); ++k)
        if (!written[k] && differs(keys()[k]))
            added.append(pairOf(keys()[k]));
    if (!added.isEmpty() && insertAt < 0) {
        if (!out.isEmpty() && !out.last().trimmed().isEmpty())
            out.append(QByteArray());
        out.append('[' + Section.toUtf8() + ']');
        insertAt = out.size();
    }
    for (qsizetype i = 0; i < added.size(); ++i)
        out.insert(insertAt + i, added[i]);

    if (out.isEmpty())
        return old.startsWith(Bom) ? Bom : QByteArray();
    // Lines end as the old file's did; a new file ends them as the word list does.
    const QByteArray end = old.contains('\n') && !old.contains("\r\n") ? "\n" : "\r\n";
    return (old.startsWith(Bom) ? Bom : QByteArray()) + out.join(end) + end;
}
