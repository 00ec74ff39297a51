#pragma once

#include <QList>
#include <QString>

struct PictureProblem;

// The program's own texts that more than one part shows.
namespace Messages {

// The title of every message box.
inline const QString Title = QStringLiteral("Diveva PAROLE/IMMAGINI");

// The text of an error report: what failed, the file, and why.
QString errorReport(const QString &what, const QString &path, const QString &cause);

// The report for the pictures among count that cannot be shown: the first MaxListedProblems of
// them, one line each with the file and the cause, then how many more.
constexpr int MaxListedProblems = 20;
QString pictureProblemsReport(const QList<PictureProblem> &problems, int count);

// Why the exercises cannot open with a list of count words, read from the file named listFile,
// when a question needs `needed` of them (two to six). With shownAs ("in maiuscolo"), count is
// the number of different words as they are shown so.
QString tooFewWords(int count, const QString &listFile, int needed, const QString &shownAs = {});

} // namespace Messages
