#include "pictures/PictureDecoder.h"

#include "pictures/PictureHeader.h"
#include "core/SafeFile.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>

namespace {

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

bool jpegIsTruncated(const QByteArray &data) { return !jpegReachesEndOfImage(data); }

QString jpegTruncatedCause() { return QStringLiteral("l'immagine è incompleta (il file è troncato)"); }

PictureSizes decodePictureDataSizes(const QByteArray &data, const QList<QSize> &pixelSizes)
{
    PictureSizes out;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    // The header alone decides whether decoding may start: nothing is allocated for a bomb.
    const PictureHeader header = readPictureHeader(buffer);
    if (!header.ok()) {
        out.cause = header.cause;
        return out;
    }
    if (header.format == "jpeg" && jpegIsTruncated(data)) {
        out.cause = jpegTruncatedCause();
        return out;
    }
    QImageReader reader(&buffer, header.format);
    reader.setAutoTransform(true);
    const QSize stored = header.size;
    if (header.format == "jpeg") {
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
