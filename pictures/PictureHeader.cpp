#include "pictures/PictureHeader.h"

#include <QIODevice>
#include <QImage>
#include <QImageReader>

#include <array>

namespace {

constexpr qint64 MiB = 1024 * 1024;

bool isFrameMarker(uchar m)
{
    // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC), which share the range.
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

bool isProgressive(uchar m) { return m == 0xC2 || m == 0xC6 || m == 0xCA || m == 0xCE; }

struct Component {
    int h = 1;
    int v = 1;
};

qint64 roundUp(qint64 value, qint64 step) { return (value + step - 1) / step * step; }

// The bytes of libjpeg's whole-image coefficient arrays: per component, its blocks rounded up to
// whole sampling units, 64 coefficients of two bytes each.
qint64 coefficientBytes(qint64 width, qint64 height, const QList<Component> &components)
{
    int hMax = 1;
    int vMax = 1;
    for (const Component &c : components) {
        hMax = qMax(hMax, c.h);
        vMax = qMax(vMax, c.v);
    }
    qint64 total = 0;
    for (const Component &c : components) {
        const qint64 blocksWide = (width * c.h + qint64(hMax) * 8 - 1) / (qint64(hMax) * 8);
        const qint64 blocksHigh = (height * c.v + qint64(vMax) * 8 - 1) / (qint64(vMax) * 8);
        total += roundUp(blocksWide, c.h) * roundUp(blocksHigh, c.v) * 128;
    }
    return total;
}

int bigEndian16(const QByteArray &bytes, int at)
{
    return (uchar(bytes.at(at)) << 8) | uchar(bytes.at(at + 1));
}

// Bytes per pixel of the image a reader gives for a format it reports in its header; unknown
// formats count as the widest Qt has.
qint64 bytesPerPixel(QImage::Format format)
{
    if (format == QImage::Format_Invalid)
        return 8;
    return qMax(1, QImage::toPixelFormat(format).bitsPerPixel() / 8);
}

QString tooLarge(QSize size, const QString &limit)
{
    return QStringLiteral("l'immagine è troppo grande (%1 x %2 pixel%3)")
        .arg(size.width())
        .arg(size.height())
        .arg(limit);
}

} // namespace

JpegLayout readJpegLayout(QIODevice &device)
{
    JpegLayout out;
    if (device.read(2) != QByteArrayView("\xFF\xD8", 2))
        return out;
    QList<Component> components;
    bool progressive = false;
    // Every segment moves on by two bytes at least; the bound keeps a file made of nothing but
    // markers from being walked to its end.
    for (int segment = 0; segment < 100000; ++segment) {
        char c = 0;
        if (!device.getChar(&c) || uchar(c) != 0xFF)
            return out;
        do {
            if (!device.getChar(&c))
                return out;
        } while (uchar(c) == 0xFF); // fill bytes
        const uchar marker = uchar(c);
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a length
        if (marker == 0xD8 || marker == 0xD9)
            return out;
        const QByteArray lengthBytes = device.read(2);
        if (lengthBytes.size() < 2)
            return out;
        const int length = bigEndian16(lengthBytes, 0);
        if (length < 2)
            return out;
        if (isFrameMarker(marker)) {
            const QByteArray frame = device.read(length - 2);
            if (frame.size() < 6 || frame.size() < 6 + 3 * uchar(frame.at(5)))
                return out;
            out.height = bigEndian16(frame, 1);
            out.width = bigEndian16(frame, 3);
            progressive = isProgressive(marker);
            components.clear();
            for (int i = 0; i < uchar(frame.at(5)); ++i) {
                const uchar factors = uchar(frame.at(6 + 3 * i + 1));
                // libjpeg refuses factors outside 1..4; clamped here only to keep the sums sane.
                components.append({qBound(1, factors >> 4, 4), qBound(1, factors & 0x0F, 4)});
            }
            continue;
        }
        if (marker == 0xDA) {
            const QByteArray scan = device.read(1);
            if (scan.isEmpty() || components.isEmpty())
                return out;
            out.valid = true;
            out.wholeImageBuffered = progressive || uchar(scan.at(0)) < components.size();
            if (out.wholeImageBuffered)
                out.coefficientBytes = coefficientBytes(out.width, out.height, components);
            return out;
        }
        if (!device.seek(device.pos() + length - 2))
            return out;
    }
    return out;
}

bool jpegReachesEndOfImage(QByteArrayView data)
{
    const qsizetype n = data.size();
    if (n < 4 || uchar(data[0]) != 0xFF || uchar(data[1]) != 0xD8)
        return false;
    qsizetype i = 2;
    for (;;) {
        // The next marker; stray bytes before it are skipped, as the decoder does.
        i = data.indexOf('\xFF', i);
        if (i < 0)
            return false;
        while (i < n && uchar(data[i]) == 0xFF)
            ++i; // fill bytes
        if (i >= n)
            return false;
        const uchar marker = uchar(data[i++]);
        if (marker == 0xD9)
            return true;
        if (marker == 0x00 || marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length follows
        if (i + 2 > n)
            return false;
        const qsizetype length = (uchar(data[i]) << 8) | uchar(data[i + 1]);
        if (length < 2 || i + length > n)
            return false;
        i += length;
        if (marker != 0xDA)
            continue;
        // Coded data after a scan header: 0xFF only ever comes with a stuffed 0x00 or a restart
        // marker there; anything else is the marker that ends the scan.
        for (;;) {
            i = data.indexOf('\xFF', i);
            if (i < 0 || i + 1 >= n)
                return false;
            const uchar next = uchar(data[i + 1]);
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
                i += next == 0xFF ? 1 : 2;
                continue;
            }
            break;
        }
    }
}

PictureHeader readPictureHeader(QIODevice &device)
{
    PictureHeader out;
    const qint64 start = device.pos();
    if (device.size() == 0) {
        out.cause = QStringLiteral("il file è vuoto");
        return out;
    }
    QImage::Format pixelFormat = QImage::Format_Invalid;
    {
        QImageReader reader(&device);
        reader.setDecideFormatFromContent(true);
        out.format = reader.format();
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
        JpegLayout layout = readJpegLayout(device);
        device.seek(start);
        if (!layout.valid) {
            // The reader found a header that this walk did not: count it as buffered in full,
            // four components at full resolution.
            layout.coefficientBytes = coefficientBytes(width, height, QList<Component>(4));
            layout.wholeImageBuffered = true;
        }
        if (layout.wholeImageBuffered)
            out.decodeBytes += layout.coefficientBytes;
    } else {
        // Other formats are decoded at full size, then converted for smooth scaling.
        out.decodeBytes = width * height * (bytesPerPixel(pixelFormat) + 4);
    }
    if (out.decodeBytes > PictureLimits::MaxDecodeBytes) {
        out.cause = tooLarge(out.size, QStringLiteral(": per mostrarla servirebbero %1 MB di memoria, "
                                                      "al massimo %2 MB")
                                           .arg((out.decodeBytes + MiB - 1) / MiB)
                                           .arg(PictureLimits::MaxDecodeBytes / MiB));
    }
    return out;
}
