#include "pictures/PictureHeader.h"

#include "pictures/JpegDecoder.h"

#include <QIODevice>
#include <QImage>
#include <QImageReader>

namespace {

// Bytes per pixel of the image a reader gives for a format it reports in its header; unknown
// formats count as the widest Qt has.
qint64 bytesPerPixel(QImage::Format format)
{
    if (format == QImage::Format_Invalid)
        return 8;
    return qMax(1, QImage::toPixelFormat(format).bitsPerPixel() / 8);
}

// The formats other than JPEG that a teacher's folder holds under a ".jpg" name, saved so by
// Windows tools, told by their first bytes; empty for any other content.
QByteArray otherFormat(const QByteArray &head)
{
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return "png";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gif";
    if (head.startsWith("BM"))
        return "bmp";
    return {};
}

QString tooLarge(QSize size, const QString &limit)
{
    return QStringLiteral("l'immagine è troppo grande (%1 x %2 pixel%3)")
        .arg(size.width())
        .arg(size.height())
        .arg(limit);
}

} // namespace

PictureHeader readPictureHeader(QIODevice &device, qint64 budgetBytes)
{
    PictureHeader out;
    const qint64 start = device.pos();
    if (device.size() == 0) {
        out.cause = QStringLiteral("il file è vuoto");
        return out;
    }
    QImage::Format pixelFormat = QImage::Format_Invalid;
    JpegHeader jpeg;
    // A JPEG is told by its first two bytes, as Qt's own JPEG reader tells it: the plugin look-up
    // and the format probes of QImageReader cost more than the whole header read.
    if (device.peek(2) == QByteArrayView("\xFF\xD8", 2)) {
        out.format = "jpeg";
        jpeg = readJpegHeader(device);
        out.size = jpeg.ok ? jpeg.size : QSize();
    } else if (const QByteArray format = otherFormat(device.peek(8)); !format.isEmpty()) {
        // Only the reader of the format the first bytes name parses the file: no other image
        // plugin installed on the machine ever sees what a folder holds.
        QImageReader reader(&device, format);
        reader.setAutoDetectImageFormat(false);
        out.format = format;
        out.size = reader.size();
        pixelFormat = reader.imageFormat();
    }
    device.seek(start);
    if (out.format.isEmpty()) {
        out.cause = QStringLiteral("non è un'immagine valida");
        return out;
    }
    if (!out.size.isValid() || out.size.isEmpty()) {
        out.cause = QStringLiteral("non è un'immagine valida (l'intestazione %1 non si legge)")
                        .arg(QString::fromLatin1(out.format.toUpper()));
        return out;
    }

    const qint64 width = out.size.width();
    const qint64 height = out.size.height();
    if (width * height > PictureLimits::MaxPixels) {
        out.cause = tooLarge(out.size, QStringLiteral(", al massimo %1 milioni di pixel")
                                           .arg(PictureLimits::MaxPixels / 1000000));
        return out;
    }

    if (out.format == "jpeg") {
        // Decoded at no less than 1/8 of its size, then scaled to the box.
        const qint64 box = PictureLimits::LargestBox;
        out.decodeBytes = qMin(width * height, (width / 8 + box) * (height / 8 + box)) * 4;
        if (jpeg.wholeImageBuffered)
            out.decodeBytes += jpeg.coefficientBytes;
    } else {
        // Other formats are decoded at full size, then converted for smooth scaling.
        out.decodeBytes = width * height * (bytesPerPixel(pixelFormat) + 4);
    }
    if (out.decodeBytes > budgetBytes) {
        constexpr qint64 MiB = DecodeBudget::MiB;
        out.cause =
            tooLarge(out.size, QStringLiteral(": per mostrarla servirebbero %1 MB di memoria, "
                                              "al massimo %2 MB")
                                   .arg((out.decodeBytes + MiB - 1) / MiB)
                                   .arg(budgetBytes / MiB));
    }
    return out;
}
