#pragma once

#include "pictures/DecodeBudget.h"

#include <QByteArray>
#include <QSize>
#include <QString>

class QIODevice;

// What a picture may cost. A decompression bomb (a header that claims a huge image over a few bytes
// of data) is refused from its header alone, before the decoder allocates anything for it.
namespace PictureLimits {
// Beyond any camera (the largest phone sensors give 200 million): such a header is broken or made
// up.
constexpr qint64 MaxPixels = 250'000'000;
// The largest box any screen asks a picture for, in device pixels: windows that fill an 8K screen
// (7680 x 4320) show the largest box at 1459 x 1536. The JPEG decoder works at no less than 1/8
// of the stored size above this.
constexpr int LargestBox = 1536;
} // namespace PictureLimits

// A picture as its header describes it, and whether it may be decoded.
struct PictureHeader {
    QByteArray format;      // read from the content, not the name: "jpeg", "png", "gif"...
    QSize size;             // as stored, before any EXIF rotation
    qint64 decodeBytes = 0; // the memory decoding it at a box's size takes, reserved in the budget
    QString cause;          // why it must not be decoded; empty when it may
    bool ok() const { return cause.isEmpty(); }
};

// Reads the header of the picture in device (open for reading, random access, at its start) and
// nothing more, and judges it: content the program can read, a valid size, within the pixel limit
// and, to be decoded, needing no more than budgetBytes of memory. Leaves device at its start.
PictureHeader readPictureHeader(QIODevice &device,
                                qint64 budgetBytes = DecodeBudget::shared().total());
