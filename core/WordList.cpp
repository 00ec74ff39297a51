#include "core/WordList.h"

#include <QStringDecoder>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool endsField(char c) { return c == ',' || c == '\r' || c == '\n'; }

const QByteArray utf8Bom("\xEF\xBB\xBF", 3);

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes); // decode() is lazy: converting runs it
    return !utf8.hasError();
}

// The code points of 0x80..0x9F in Windows-1252; the five unassigned bytes keep the C1 control
// of the same value, as the system converters do.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString decodeWindows1252(const QByteArray &bytes)
{
    QStringDecoder system("windows-1252", QStringDecoder::Flag::Stateless);
    if (system.isValid())
        return system.decode(bytes);
    // Without ICU the table above does the same work.
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(cp1252High[b - 0x80]) : QChar(b));
    }
    return out;
}

QList<QByteArray> splitFields(const QByteArray &bytes, int maxFields)
{
    QList<QByteArray> fields;
    const qsizetype n = bytes.size();
    const char *b = bytes.constData();
    qsizetype i = 0;
    // The end test comes before each field, so a line end after the last field adds nothing.
    while (i < n && fields.size() <= maxFields) {
        while (i < n && isBlank(b[i]))
            ++i;
        qsizetype start = i;
        qsizetype end = i;
        if (i < n && b[i] == '"') {
            start = ++i;
            while (i < n && b[i] != '"')
                ++i;
            end = i;
            while (i < n && !endsField(b[i]))
                ++i;
        } else {
            while (i < n && !endsField(b[i]))
                ++i;
            end = i;
            while (end > start && isBlank(b[end - 1]))
                --end;
        }
        fields.append(QByteArray(b + start, end - start));
        if (i < n) {
            if (b[i] == '\r' && i + 1 < n && b[i + 1] == '\n')
                ++i;
            ++i;
        }
    }
    return fields;
}

namespace {

// Why bytes holding control characters are no word list, or an empty string.
QString controlCharacterCause(const QByteArray &bytes)
{
    // A list saved as "Unicode" (UTF-16) has a NUL byte after every letter: say so, since shown as
    // text it would be nonsense.
    if (const qsizetype at = bytes.indexOf('\0'); at >= 0)
        return QStringLiteral(
                   "il file contiene byte nulli (il primo al byte %1): non è testo semplice; "
                   "se è stato salvato come Unicode (UTF-16), salvarlo di nuovo come ANSI o "
                   "UTF-8")
            .arg(at + 1);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r')
            return QStringLiteral(
                       "il file contiene caratteri di controllo (il primo, 0x%1, al byte %2): "
                       "non è testo semplice")
                .arg(int(b), 2, 16, QLatin1Char('0'))
                .arg(i + 1);
    }
    return {};
}

} // namespace

WordList parseWordList(const QByteArray &file)
{
    WordList list;
    // Old DOS and Windows editors end a text with the byte 0x1A: it is no part of the list.
    const QByteArray raw = file.endsWith('\x1A') ? file.chopped(1) : file;
    if (QString cause = controlCharacterCause(raw); !cause.isEmpty()) {
        list.cause = std::move(cause);
        return list;
    }
    const bool hasBom = raw.startsWith(utf8Bom);
    const QByteArray bytes = hasBom ? raw.mid(utf8Bom.size()) : raw;
    const QList<QByteArray> fields = splitFields(bytes, WordList::Capacity);
    if (fields.size() > WordList::Capacity) {
        list.cause = QStringLiteral("l'elenco contiene più di %1 parole (il massimo è %1)")
                         .arg(WordList::Capacity);
        return list;
    }
    // Field boundaries are ASCII bytes, which never occur inside a UTF-8 sequence, so splitting
    // before decoding is safe for both encodings.
    const bool utf8 = isValidUtf8(bytes);
    for (const QByteArray &f : fields)
        list.words.append(utf8 ? QString::fromUtf8(f) : decodeWindows1252(f));
    return list;
}
