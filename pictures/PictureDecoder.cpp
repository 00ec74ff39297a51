#include "pictures/PictureDecoder.h"

#include "core/SafeFile.h"
#include "pictures/JpegDecoder.h"
#include "pictures/PictureHeader.h"

#include <QBuffer>
#include <QImageReader>
#include <QTransform>

#include <cmath>

namespace {

// The scale to ask libjpeg for, in eighths of the stored size: as small as it can be while every
// box still fits in it. Decoding at 1/8 skips most of the work; the boxes are then made from this
// picture by a smooth scale, so one decode serves all sizes at the same quality.
int dctEighths(QSize stored, QSize largest)
{
    const double f =
        qMin(double(stored.width()) / largest.width(), double(stored.height()) / largest.height());
    return qBound(1, int(std::ceil(8 / f)), 8);
}

// What QImageReader's automatic transform does: mirrored first, then turned clockwise.
QImage oriented(QImage image, QImageIOHandler::Transformations t)
{
    if (t & (QImageIOHandler::TransformationMirror | QImageIOHandler::TransformationFlip))
        image = image.mirrored(t & QImageIOHandler::TransformationMirror,
                               t & QImageIOHandler::TransformationFlip);
    if (t & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

} // namespace

PictureSizes decodePictureDataSizes(const QByteArray &data, const QList<QSize> &pixelSizes,
                                    DecodeBudget &budget)
{
    PictureSizes out;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    // The header alone decides whether decoding may start: nothing is allocated for a bomb.
    const PictureHeader header = readPictureHeader(buffer, budget.total());
    if (!header.ok()) {
        out.cause = header.cause;
        return out;
    }
    // Held until the images are made; within the total, so it only waits.
    const DecodeBudget::Reservation memory = budget.reserve(header.decodeBytes);
    QImage image;
    if (header.format == "jpeg") {
        // The EXIF orientation as Qt reads it. The scale applies before the rotation: boxes are
        // turned to the stored orientation when the picture will be turned by 90 degrees.
        const QImageIOHandler::Transformations turn =
            QImageReader(&buffer, "jpeg").transformation();
        QSize largest(1, 1);
        for (const QSize &s : pixelSizes)
            largest = largest.expandedTo(
                turn & QImageIOHandler::TransformationRotate90 ? s.transposed() : s);
        JpegImage jpeg = decodeJpeg(data, dctEighths(header.size, largest), memory.bytes());
        if (!jpeg.cause.isEmpty()) {
            out.cause = jpeg.cause;
            return out;
        }
        image = oriented(std::move(jpeg.image), turn);
    } else {
        QImageReader reader(&buffer, header.format);
        reader.setAutoDetectImageFormat(false);
        reader.setAutoTransform(true);
        // Qt's own limit (128 MB) gives way to the budget, which already let this picture in.
        reader.setAllocationLimit(int(memory.bytes() / DecodeBudget::MiB) + 1);
        image = reader.read();
        if (image.isNull()) {
            out.cause = QStringLiteral("non è un'immagine valida (%1)").arg(reader.errorString());
            return out;
        }
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

PictureSizes decodePictureSizes(const QString &path, const QList<QSize> &pixelSizes,
                                DecodeBudget &budget)
{
    const FileContents file = readRegularFile(path, MaxPictureFileBytes);
    if (!file.ok())
        return PictureSizes{{}, file.cause};
    return decodePictureDataSizes(file.data, pixelSizes, budget);
}

PictureResult decodePictureData(const QByteArray &data, QSize pixelSize, DecodeBudget &budget)
{
    PictureSizes sizes = decodePictureDataSizes(data, {pixelSize}, budget);
    if (!sizes.ok())
        return PictureResult{{}, sizes.cause};
    return PictureResult{sizes.images.first(), {}};
}

PictureResult decodePicture(const QString &path, QSize pixelSize, DecodeBudget &budget)
{
    const FileContents file = readRegularFile(path, MaxPictureFileBytes);
    if (!file.ok())
        return PictureResult{{}, file.cause};
    return decodePictureData(file.data, pixelSize, budget);
}
