#pragma once

#include "core/Platform.h"
#include "pictures/DecodeBudget.h"

#include <QList>
#include <QString>
#include <QStringList>

// The check of the pictures at start-up. A picture that is missing or unreadable would otherwise
// end the program in the middle of an exercise, in a child's hands; checked before any screen, it
// ends it at once with one report that lists every bad file, so the teacher can mend them all.
// Only what is cheap is read: the kind and size of each file, its header, and for a JPEG its last
// two bytes; no picture is decoded but the rare JPEG that does not end with its end marker.

// Why the picture file at path cannot be shown, or an empty string when nothing cheap to see says
// so: among others, a header that needs more memory than the whole of budget. A JPEG that does
// not end with its end-of-image marker is decoded at the smallest scale to tell a file cut short
// from one with data after the image.
QString pictureFileProblem(const QString &path, DecodeBudget &budget = DecodeBudget::shared());

// The pictures among paths (picture n at paths[n - 1]) that cannot be shown, in order.
QList<PictureProblem> findPictureProblems(const QStringList &paths);
