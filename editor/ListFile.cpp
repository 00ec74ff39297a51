#include "editor/ListFile.h"

#include "core/WordList.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

// The reverse of the reader's own Windows-1252 table, so that what is written reads back alike.
const QHash<QChar, char> &windows1252Bytes()
{
    static const QHash<QChar, char> table = [] {
        QHash<QChar, char> t;
        for (int b = 0x20; b < 0x100; ++b) {
            const QString s = decodeWindows1252(QByteArray(1, char(b)));
            if (s.size() == 1 && s[0].category() != QChar::Other_Control)
                t.insert(s[0], char(b));
        }
        return t;
    }();
    return table;
}

bool needsQuotes(const QString &word)
{
    return word.isEmpty() || word.contains(u',') || word.front().isSpace() || word.back().isSpace();
}

QByteArray joined(const QStringList &words, bool windows)
{
    QByteArray out;
    for (const QString &word : words) {
        const QString field = needsQuotes(word) ? u'"' + word + u'"' : word;
        if (windows) {
            for (QChar c : field)
                out.append(windows1252Bytes().value(c));
        } else {
            out.append(field.toUtf8());
        }
        out.append("\r\n");
    }
    return out;
}

} // namespace

QByteArray encodeWordList(const QStringList &words)
{
    bool fits = true;
    for (const QString &word : words)
        for (QChar c : word)
            fits = fits && windows1252Bytes().contains(c);
    if (fits) {
        // Some Windows-1252 texts are also valid UTF-8 ("Ã©"), which the reader would take as
        // UTF-8: the reader itself decides.
        const QByteArray bytes = joined(words, true);
        if (parseWordList(bytes).words == words)
            return bytes;
    }
    return joined(words, false);
}

QString wordFromFileName(const QString &fileName)
{
    QString base = QFileInfo(fileName).completeBaseName().normalized(QString::NormalizationForm_C);
    base.replace(u'_', u' ');
    base = base.simplified();
    // A camera's name is a maker's prefix and numbers: nothing of it names the picture.
    static const QSet<QString> prefixes = {"img",   "dsc",  "dscn",  "dscf",     "pxl",
                                           "mvimg", "pano", "vid",   "wa",       "mp",
                                           "photo", "foto", "image", "immagine", "screenshot",
                                           "p",     "sam",  "burst", "cover",    "portrait"};
    static const QRegularExpression separators(QStringLiteral("[\\s.\\-]+"));
    const QStringList tokens = base.split(separators, Qt::SkipEmptyParts);
    const bool camera = std::all_of(tokens.begin(), tokens.end(), [](const QString &t) {
        static const QRegularExpression part(QStringLiteral("^([a-z]*)\\d*$"));
        const QRegularExpressionMatch m = part.match(t.toLower());
        return m.hasMatch() && (m.capturedLength(1) == 0 || prefixes.contains(m.captured(1)));
    });
    return camera ? QString() : base;
}
