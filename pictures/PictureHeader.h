#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

class QIODevice;

// What a picture may cost. A decompression bomb (a header that claims a huge image over a few bytes
// of data) is refused from its header alone, before the decoder allocates anything for it.
namespace PictureLimits {
// Beyond any camera (the largest phone sensors give 200 million): such a header is broken or made up.
constexpr qint64 MaxPixels = 250'000'000;
// Memory the decoder may take for one picture read at a box's size.
constexpr qint64 MaxDecodeBytes = 128 * 1024 * 1024;
// The largest box any screen asks a picture for, in device pixels, with room for high-density
// screens; the JPEG decoder works at no less than 1/8 of the stored size above this.
constexpr int LargestBox = 512;
} // namespace PictureLimits

// A picture as its header describes it, and whether it may be decoded.
struct PictureHeader {
    QByteArray format;      // read from the content, not the name: "jpeg", "png", "gif"...
    QSize size;             // as stored, before any EXIF rotation
    qint64 decodeBytes = 0; // estimate of the memory decoding it at a box's size takes
    QString cause;          // why it must not be decoded; empty when it may
    bool ok() const { return cause.isEmpty(); }
};

// Reads the header of the picture in device (open for reading, random access, at its start) and
// nothing more, and judges it: content the program can read, a valid size, within the limits
// above. Leaves device at its start.
PictureHeader readPictureHeader(QIODevice &device);

// How a JPEG decodes, as far as memory goes. libjpeg keeps the whole image's DCT coefficients
// (128 bytes per 8 x 8 block of each component) when the image is progressive or its first scan
// does not carry every component; otherwise it works a row of blocks at a time.
struct JpegLayout {
    bool valid = false; // a frame header and a scan header were found
    int width = 0;
    int height = 0;
    bool wholeImageBuffered = false;
    qint64 coefficientBytes = 0; // the whole-image buffers, when wholeImageBuffered
};

// Walks the JPEG's marker segments in device from its current position to the first scan header.
JpegLayout readJpegLayout(QIODevice &device);

// True when the JPEG in data runs from its start-of-image marker through its segments and scans
// to its end-of-image marker. Whatever follows that marker (a phone's motion-photo video, padding)
// plays no part; a file cut short anywhere before it gives false.
bool jpegReachesEndOfImage(QByteArrayView data);
