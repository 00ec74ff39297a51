#include "editor/PictureExport.h"

#include "core/SafeFile.h"
#include "editor/HeicPicture.h"
#include "pictures/PictureDecoder.h"

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

} // namespace

RenderedPicture renderPicture(const QByteArray &data, const Crop &crop, QSize shape, int longest)
{
    RenderedPicture out;
    if (isHeic(data)) {
        HeicImage heic = decodeHeic(data, longest < MaxSavedSide ? longest : 0);
        out.cause = heic.cause;
        out.fullSize = heic.image.size();
        if (!heic.image.isNull()) {
            const QRect kept = keptRect(out.fullSize, crop, shape);
            out.image = heic.image.copy(kept);
            if (qMax(kept.width(), kept.height()) > longest)
                out.image = out.image.scaled(QSize(longest, longest), Qt::KeepAspectRatio,
                                             Qt::SmoothTransformation);
        }
        return out;
    }
    const Probe p = probe(data);
    if (!p.upright.isValid()) {
        // The decoder gives the cause in the words the exercise program uses.
        out.cause = decodePictureData(data, QSize(1, 1)).cause;
        if (out.cause.isEmpty())
            out.cause = QStringLiteral("non è un'immagine valida");
        return out;
    }
    out.fullSize = p.upright;
    const QRect kept = keptRect(p.upright, crop, shape);
    const double s = qMin(1.0, double(longest) / qMax(kept.width(), kept.height()));
    const QSize decoded(qMax(1, int(std::lround(p.upright.width() * s))),
                        qMax(1, int(std::lround(p.upright.height() * s))));
    PictureResult picture = decodePictureData(data, decoded);
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

ExportedPicture exportPicture(const QString &path, const Crop &crop, QSize shape)
{
    const FileContents file = readRegularFile(path, MaxPictureFileBytes);
    if (!file.ok())
        return {{}, file.cause};
    const Probe p = probe(file.data);
    if (p.format == "jpeg" && !p.turned && !crop.enabled
        && qMax(p.upright.width(), p.upright.height()) <= MaxSavedSide
        && decodePictureData(file.data, QSize(1, 1)).ok()) // whole: no truncation warning
        return {file.data, {}};
    const RenderedPicture picture = renderPicture(file.data, crop, shape, MaxSavedSide);
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
