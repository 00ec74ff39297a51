#include "tests/support/TestPictures.h"

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace {

struct XorShift {
    quint32 s;
    quint32 operator()()
    {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
};

} // namespace

QImage photoLikeImage(QSize size, quint32 seed)
{
    XorShift rnd{seed * 2654435761u + 12345u};
    // The shapes are painted at a quarter of the size and enlarged: soft edges, as a lens gives.
    const QSize small((size.width() + 3) / 4, (size.height() + 3) / 4);
    QImage base(small, QImage::Format_RGB32);
    {
        QPainter p(&base);
        QLinearGradient sky(0, 0, small.width() * 0.3, small.height());
        sky.setColorAt(0, QColor::fromHsv(int(rnd() % 360), 90 + int(rnd() % 80), 200));
        sky.setColorAt(1, QColor::fromHsv(int(rnd() % 360), 120 + int(rnd() % 100), 70));
        p.fillRect(base.rect(), sky);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 14; ++i) {
            const QPointF c(rnd() % small.width(), rnd() % small.height());
            const qreal r = small.height() * (0.04 + (rnd() % 100) / 350.0);
            QColor colour =
                QColor::fromHsv(int(rnd() % 360), 60 + int(rnd() % 190), 50 + int(rnd() % 200));
            QRadialGradient blob(c, r);
            blob.setColorAt(0, colour);
            blob.setColorAt(0.7, colour.darker(130));
            colour.setAlpha(0);
            blob.setColorAt(1, colour);
            p.setBrush(blob);
            p.drawEllipse(c, r, r);
        }
    }
    QImage image = base.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    // Texture (a fabric-like ripple) and per-pixel noise, as a sensor adds.
    const double fx = 0.02 + (rnd() % 100) / 2000.0, fy = 0.015 + (rnd() % 100) / 3000.0;
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const quint32 r = rnd();
            const int n = int(r % 19) - 9;
            const int m = int((r >> 8) % 7) - 3;
            const int t = int(12 * std::sin(x * fx + y * fy) * std::sin(y * 0.011 - x * 0.004));
            const QRgb v = line[x];
            line[x] = qRgb(qBound(0, qRed(v) + n + t, 255), qBound(0, qGreen(v) + n + m + t, 255),
                           qBound(0, qBlue(v) + n - m, 255));
        }
    }
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

double psnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d[3] = {qRed(p[col]) - qRed(q[col]), qGreen(p[col]) - qGreen(q[col]),
                              qBlue(p[col]) - qBlue(q[col])};
            for (int e : d)
                sum += double(e) * e;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
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
