#pragma once

#include "DecodeBudget.h"

#include <QList>
#include <QString>

#include <functional>

// The check of the pictures at start-up. A picture that is missing or unreadable would otherwise
// end the program in the middle of an exercise, in a child's hands; checked before any screen, it
// ends it at once with one report that lists every bad file, so the teacher can mend them all.
// Only what is cheap is read: the kind and size of each file, its header, and for a JPEG its last
// two bytes; no picture is decoded but the rare JPEG that does not end with its end marker.

struct PictureProblem {
    int number = 0;
    QString path;
    QString cause;
};

// Why the picture file at path cannot be shown, or an empty string when nothing cheap to see says
// so: among others, a header that needs more memory than the whole of budget. A JPEG that does
// not end with its end-of-image marker is decoded at the smallest scale to tell a file cut short
// from one with data after the image.
QString pictureFileProblem(const QString &path, DecodeBudget &budget = DecodeBudget::shared());

// The pictures among 1..count that cannot be shown, in order; pathOf gives the file of each.
QList<PictureProblem> findPictureProblems(int count, const std::function<QString(int)> &pathOf);

// The error report for those problems among count pictures: the first MaxListedPictureProblems
// of them, one line each with the file and the cause, then how many more.
constexpr int MaxListedPictureProblems = 20;
QString pictureProblemsReport(const QList<PictureProblem> &problems, int count);
