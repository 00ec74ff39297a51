#include "editor/PictureExport.h"

#include "core/SafeFile.h"
#include "editor/HeicPicture.h"
#include "pictures/PictureDecoder.h"
#include "pictures/PictureHeader.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <cmath>

namespace {

struct Probe {
    QByteArray format;
    QSize upright;
    bool turned = false; // the EXIF orientation asks for any change
};

Probe probe(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    Probe p{reader.format(), reader.size(),
            reader.transformation() != QImageIOHandler::TransformationNone};
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        p.upright.transpose();
    return p;
}

// Bytes a pixel of format takes; an unknown one counts as the widest Qt has.
qint64 bytesPerPixel(QImage::Format format)
{
    if (format == QImage::Format_Invalid)
        return 8;
    return qMax(1, QImage::toPixelFormat(format).bitsPerPixel() / 8);
}

// A picture in a format other than JPEG and HEIC (PNG and whatever else Qt reads), upright at
// size. Qt's readers decode the whole picture: its memory, and that of the 32-bit copy that smooth
// scaling makes of it, is reserved first, from the size and pixel format in its header.
PictureResult readWithQt(const QByteArray &data, QSize size, DecodeBudget &budget)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const qint64 pixels = qint64(stored.width()) * stored.height();
    const qint64 bytes = pixels * (bytesPerPixel(reader.imageFormat()) + 4);
    if (pixels > PictureLimits::MaxPixels || bytes > budget.total())
        return {{}, tooLargeToRead(stored, bytes, budget.total())};
    const DecodeBudget::Reservation memory = budget.reserve(bytes);
    // Qt's own limit (128 MB) gives way to the budget, which already let this picture in.
    reader.setAllocationLimit(int(bytes / DecodeBudget::MiB) + 1);
    const QImage image = reader.read();
    if (image.isNull())
        return {{}, QStringLiteral("non è un'immagine valida (%1)").arg(reader.errorString())};
    return {image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), {}};
}

// Why content that no reader recognises is not a picture.
QString notAPicture(const QByteArray &data)
{
    if (data.isEmpty())
        return QStringLiteral("il file è vuoto");
    // Fewer bytes than the longest signature the formats are told apart by (HEIC's box).
    if (data.size() < 12)
        return QStringLiteral("il file è troppo corto per essere un'immagine (%1 byte)")
            .arg(data.size());
    return QStringLiteral("formato sconosciuto: non è un'immagine che l'editor sa leggere");
}

} // namespace

RenderedPicture renderPicture(const QByteArray &data, const Crop &crop, QSize shape, int longest,
                              DecodeBudget &budget)
{
    RenderedPicture out;
    HeicImage heic;
    Probe p;
    if (isHeic(data)) {
        heic = decodeHeic(data, longest < MaxSavedSide ? longest : 0, budget);
        out.cause = heic.cause;
        p.upright = heic.image.size();
    } else {
        p = probe(data);
        if (p.format.isEmpty())
            out.cause = notAPicture(data);
        else if (!p.upright.isValid())
            out.cause = QStringLiteral("non è un'immagine %1 valida: l'intestazione non si legge")
                            .arg(QString::fromLatin1(p.format.toUpper()));
    }
    if (!out.ok())
        return out;
    out.fullSize = p.upright;
    // Scaled whole, then cut: the kept part of a picture at full size is never copied.
    const QRect kept = keptRect(p.upright, crop, shape);
    const double s = qMin(1.0, double(longest) / qMax(kept.width(), kept.height()));
    const QSize decoded(qMax(1, int(std::lround(p.upright.width() * s))),
                        qMax(1, int(std::lround(p.upright.height() * s))));
    PictureResult picture;
    if (!heic.image.isNull())
        picture.image =
            heic.image.size() == decoded
                ? heic.image
                : heic.image.scaled(decoded, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    else if (p.format == "jpeg")
        picture = decodePictureData(data, decoded, budget);
    else
        picture = readWithQt(data, decoded, budget);
    if (!picture.ok()) {
        out.cause = picture.cause;
        return out;
    }
    const QRect scaled(int(std::lround(kept.x() * s)), int(std::lround(kept.y() * s)),
                       qMax(1, int(std::lround(kept.width() * s))),
                       qMax(1, int(std::lround(kept.height() * s))));
    out.image = picture.image.copy(scaled & picture.image.rect());
    return out;
}

ExportedPicture exportPicture(const QString &path, const Crop &crop, QSize shape,
                              DecodeBudget &budget)
{
    const FileContents file = readRegularFile(path, MaxPictureFileBytes);
    if (!file.ok())
        return {{}, file.cause};
    const Probe p = probe(file.data);
    if (p.format == "jpeg" && !p.turned && !crop.enabled
        && qMax(p.upright.width(), p.upright.height()) <= MaxSavedSide
        && decodePictureData(file.data, QSize(1, 1), budget).ok()) // whole: no truncation warning
        return {file.data, {}};
    const RenderedPicture picture = renderPicture(file.data, crop, shape, MaxSavedSide, budget);
    if (!picture.ok())
        return {{}, picture.cause};
    // JPEG has no transparency: transparent parts become white, as on the exercises' background.
    QImage opaque(picture.image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, picture.image);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(SavedJpegQuality);
    if (!writer.write(opaque))
        return {{},
                QStringLiteral("non si è potuto scrivere il JPEG (%1)").arg(writer.errorString())};
    return {buffer.data(), {}};
}
