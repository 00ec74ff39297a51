#include "PictureDecoder.h"

#include "SafeFile.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>
#include <cstring>

namespace {

// Markers are 0xFF followed by a code. The searches stop at every 0xFF (memchr and memrchr find
// them at memory speed), which matters for a photo of several megabytes: a byte-by-byte search
// for the two bytes took a tenth of the time of decoding it.

// The first marker with this code at or after from, or -1.
qsizetype firstMarker(const QByteArray &data, uchar code, qsizetype from)
{
    const char *bytes = data.constData();
    qsizetype at = from;
    while (at + 1 < data.size()) {
        const void *ff = std::memchr(bytes + at, 0xFF, size_t(data.size() - 1 - at));
        if (!ff)
            return -1;
        at = static_cast<const char *>(ff) - bytes;
        if (uchar(bytes[at + 1]) == code)
            return at;
        ++at;
    }
    return -1;
}

// The last marker with this code that starts at or after from, or -1.
qsizetype lastMarker(const QByteArray &data, uchar code, qsizetype from)
{
    const char *bytes = data.constData();
    qsizetype end = data.size() - 1; // a marker needs a byte after its 0xFF
    while (end > from) {
        const void *ff = memrchr(bytes + from, 0xFF, size_t(end - from));
        if (!ff)
            return -1;
        end = static_cast<const char *>(ff) - bytes;
        if (uchar(bytes[end + 1]) == code)
            return end;
    }
    return -1;
}

// The size to ask libjpeg for: its DCT scaling (M/8 of the stored size, M = 1..8) as small as it
// can be while every box still fits in it. Decoding at 1/8 skips most of the work; the boxes are
// then made from this picture by a smooth scale, which is what the JPEG reader itself does after
// its DCT scaling when asked for one size, so one decode serves all sizes at the same quality.
QSize dctScaledSize(QSize stored, QSize largest)
{
    const double f = qMin(double(stored.width()) / largest.width(),
                          double(stored.height()) / largest.height());
    const int m = qBound(1, int(std::ceil(8 / f)), 8);
    // Rounded down: the reader picks the same M from it (rounded up it could pick M + 1).
    return QSize(qMax(1, stored.width() * m / 8), qMax(1, stored.height() * m / 8));
}

} // namespace

bool jpegIsTruncated(const QByteArray &data)
{
    // Inside entropy-coded data 0xFF is always followed by 0x00 or a restart marker, so the end
    // marker 0xFF 0xD9 after the last start-of-scan (0xFF 0xDA) means the image was written to
    // its end. (An EXIF thumbnail has its own end marker, but before the main image's scans.)
    // The end marker is looked for from the end, where it is; then a scan after it, or none at
    // all, means the image is cut short.
    const qsizetype lastEnd = lastMarker(data, 0xD9, 0);
    if (lastEnd < 0)
        return true;
    return lastMarker(data, 0xDA, lastEnd) >= 0 || firstMarker(data, 0xDA, 0) < 0;
}

PictureSizes decodePictureDataSizes(const QByteArray &data, const QList<QSize> &pixelSizes)
{
    PictureSizes out;
    if (data.isEmpty()) {
        out.cause = QStringLiteral("il file è vuoto");
        return out;
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    const QSize stored = reader.size();
    if (format.isEmpty() || !stored.isValid() || stored.isEmpty()) {
        out.cause = QStringLiteral("non è un'immagine valida");
        return out;
    }
    if (format == "jpeg" && jpegIsTruncated(data)) {
        out.cause = QStringLiteral("l'immagine è incompleta (il file è troncato)");
        return out;
    }
    if (format == "jpeg") {
        // The scaled size applies before the EXIF rotation: boxes are turned to the stored
        // orientation when the picture will be turned by 90 degrees.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        QSize largest(1, 1);
        for (const QSize &s : pixelSizes)
            largest = largest.expandedTo(turned ? s.transposed() : s);
        reader.setScaledSize(dctScaledSize(stored, largest));
    }
    QImage image = reader.read();
    if (image.isNull()) {
        out.cause = QStringLiteral("non è un'immagine valida (%1)").arg(reader.errorString());
        return out;
    }
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
    for (const QSize &s : pixelSizes) {
        // Stretched to fill the box exactly, ignoring the picture's proportions.
        out.images.append(image.size() == s
                              ? image
                              : image.scaled(s, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return out;
}

PictureSizes decodePictureSizes(const QString &path, const QList<QSize> &pixelSizes)
{
    const FileContents file = readRegularFile(path, MaxPictureFileBytes);
    if (!file.ok())
        return PictureSizes{{}, file.cause};
    return decodePictureDataSizes(file.data, pixelSizes);
}

PictureResult decodePictureData(const QByteArray &data, QSize pixelSize)
{
    PictureSizes sizes = decodePictureDataSizes(data, {pixelSize});
    if (!sizes.ok())
        return PictureResult{{}, sizes.cause};
    return PictureResult{sizes.images.first(), {}};
}

PictureResult decodePicture(const QString &path, QSize pixelSize)
{
    const FileContents file = readRegularFile(path, MaxPictureFileBytes);
    if (!file.ok())
        return PictureResult{{}, file.cause};
    return decodePictureData(file.data, pixelSize);
}
