#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

// JPEG through libjpeg-turbo directly: the header fields that say what a decode costs, and a
// decode at reduced scale that refuses a file cut short and a file of endless scans, which Qt's
// reader would show half grey or work on for minutes.

// Camera and editor files have about 10 scans (libjpeg's own progression: 10 for colour, 18 for
// CMYK). A crafted file repeats one tiny scan thousands of times and makes the decoder walk the
// whole image for each, some milliseconds a scan at camera sizes: past this limit it is refused.
// 40 is twice the longest usual progression, and costs about what decoding a real progressive
// photo of the same size does, well under 2 s for 48 megapixels.
constexpr int MaxJpegScans = 40;

struct JpegHeader {
    bool ok = false; // the library read a frame and a first scan header
    QSize size;
    int components = 0;
    bool progressive = false;
    // libjpeg keeps every DCT coefficient of the image (128 bytes a block) when it has several
    // scans; otherwise it works a row of blocks at a time.
    bool wholeImageBuffered = false;
    qint64 coefficientBytes = 0; // those buffers, when wholeImageBuffered
};

// Reads from device (at its current position) up to the first scan header, and no further.
JpegHeader readJpegHeader(QIODevice &device);

struct JpegImage {
    QImage image;  // RGB32 or Grayscale8, as stored (no EXIF rotation)
    QString cause; // why it cannot be shown; empty when image holds it
};

// Decodes the JPEG in data at eighths/8 of its stored size (1..8), through libjpeg's DCT scaling.
// maxMemory bounds the library's own buffers.
JpegImage decodeJpeg(const QByteArray &data, int eighths, qint64 maxMemory);

// The cause given for a file that ends before its image does.
QString jpegTruncatedCause();
