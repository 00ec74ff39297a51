#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The word list: one word per field, the usual layout one word per line.
//   - blanks (spaces, tabs) in front of a field are skipped;
//   - a field that begins with a double quote runs to the next double quote, commas included;
//     whatever stands between the closing quote and the next comma or line end is ignored;
//   - any other field runs to the next comma or line end, its trailing blanks dropped;
//   - CR LF, a lone LF and a lone CR all end a line; the end of the file closes the last field,
//     and a line end after the last word adds nothing.
// A file that is valid UTF-8 as a whole (with or without byte-order mark) is read as UTF-8, any
// other as Windows-1252. A file holding control characters other than tab, CR and LF (a NUL byte
// above all: a list saved as UTF-16) is not plain text and cannot be used; only the DOS end-of-file
// mark 0x1A as the very last byte is dropped.
struct WordList {
    static constexpr int Capacity = 150;
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    QStringList words; // at most Capacity entries, word k at index k - 1
    QString cause;     // why the list cannot be used; empty when it can
    bool ok() const { return cause.isEmpty(); }
};

// Splits and decodes the bytes of a list. Reading stops at the first field beyond Capacity,
// which makes the list unusable: no word beyond that number is ever kept.
WordList parseWordList(const QByteArray &bytes);

// The fields of the list, undecoded; stops after maxFields + 1 fields so that an overlong list
// is detected without being split to its end.
QList<QByteArray> splitFields(const QByteArray &bytes, int maxFields);

// Text of bytes in Windows-1252, through the system's converter where it has one.
QString decodeWindows1252(const QByteArray &bytes);
