#include "PictureDecoder.h"

#include "PictureHeader.h"
#include "SafeFile.h"

#include <QBuffer>
#include <QImageReader>

bool jpegIsTruncated(const QByteArray &data) { return !jpegReachesEndOfImage(data); }

QString jpegTruncatedCause() { return QStringLiteral("l'immagine è incompleta (il file è troncato)"); }

PictureResult decodePictureData(const QByteArray &data, QSize pixelSize)
{
    PictureResult out;
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
    // The scaled size applies before the EXIF rotation: ask for the transposed box when the
    // picture will be turned by 90 degrees.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    reader.setScaledSize(turned ? pixelSize.transposed() : pixelSize);
    QImage image = reader.read();
    if (image.isNull()) {
        out.cause = QStringLiteral("non è un'immagine valida (%1)").arg(reader.errorString());
        return out;
    }
    if (image.size() != pixelSize)
        image = image.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    out.image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
    return out;
}

PictureResult decodePicture(const QString &path, QSize pixelSize)
{
    const FileContents file = readRegularFile(path, MaxPictureFileBytes);
    if (!file.ok())
        return PictureResult{{}, file.cause};
    return decodePictureData(file.data, pixelSize);
}
