#include "tests/support/TestPictures.h"

#include <QBuffer>
#include <QRandomGenerator>

QImage noisyImage(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator generator(seed);
    for (int y = 0; y < size.height(); ++y)
        generator.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)), size.width());
    return image;
}

QByteArray jpegBytes(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    // TIFF header, big-endian ("MM"), then one directory with one entry: tag 0x0112
    // (orientation), type 3 (16-bit), count 1, the value left-aligned in the 4-byte field,
    // and no next directory.
    QByteArray tiff("MM\x00\x2A\x00\x00\x00\x08", 8);
    tiff += QByteArray("\x00\x01", 2);
    tiff += QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01", 8);
    tiff += char(0);
    tiff += char(orientation);
    tiff += QByteArray(2, '\0');
    tiff += QByteArray(4, '\0');
    const QByteArray payload = QByteArray("Exif\x00\x00", 6) + tiff;
    const int length = int(payload.size()) + 2; // the length field counts itself
    QByteArray segment("\xFF\xE1", 2);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray manyScanJpeg(QSize size, int scans)
{
    const auto be16 = [](int v) { return QByteArray(1, char(v >> 8)) + char(v & 0xFF); };
    QByteArray jpeg("\xFF\xD8", 2);
    // A quantisation table of ones, table 0.
    jpeg += QByteArray("\xFF\xDB\x00\x43\x00", 5) + QByteArray(64, '\x01');
    // Progressive frame: 8 bits, the size, one component (id 1, sampling 1x1, table 0).
    jpeg += QByteArray("\xFF\xC2\x00\x0B\x08", 5) + be16(size.height()) + be16(size.width())
            + QByteArray("\x01\x01\x11\x00", 4);
    // DC table 0 with a single one-bit code, for category 0.
    jpeg += QByteArray("\xFF\xC4\x00\x14\x00\x01", 6) + QByteArray(15, '\0') + QByteArray(1, '\0');
    // The first DC scan of component 1 without any coded data, over and over: each one still
    // makes the decoder walk every block of the image.
    const QByteArray scan("\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x00", 10);
    for (int i = 0; i < scans; ++i)
        jpeg += scan;
    return jpeg + QByteArray("\xFF\xD9", 2);
}
