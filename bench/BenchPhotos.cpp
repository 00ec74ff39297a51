#include "bench/BenchPhotos.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

#include "tests/support/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QThreadPool>

#include <atomic>
#include <cstdio>

#include <jpeglib.h>
#include <unistd.h>

namespace BenchPhotos {

namespace {

const QString Marker = QStringLiteral("pronto-v1");
const QString MixedMarker = QStringLiteral("misto/pronto-v1");

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// Qt's writer always halves the colour (4:2:0); cameras and editors often keep it whole, which
// is what makes their progressive files costly to decode. libjpeg writes them here.
QByteArray progressive444(const QImage &rgb32, int quality)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors); // the default handler ends the program: fine for a benchmark
    jpeg_create_compress(&c);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(rgb32.width());
    c.image_height = JDIMENSION(rgb32.height());
    c.input_components = 4;
    c.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    for (int i = 0; i < c.num_components; ++i)
        c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uchar *>(rgb32.constScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    free(out);
    return bytes;
}

bool isLarge(int n) { return n % 7 == 1 && n / 7 < LargeCount; }

bool generateMixed(const QString &dir)
{
    const QString mixed = dir + QStringLiteral("/misto");
    if (!QDir().mkpath(mixed + QStringLiteral("/jpg")))
        return false;
    if (!QFile::copy(dir + QStringLiteral("/lista.txt"), mixed + QStringLiteral("/lista.txt"))
        && !QFile::exists(mixed + QStringLiteral("/lista.txt")))
        return false;
    std::atomic<bool> ok{true};
    QThreadPool pool;
    for (int n = 1; n <= Count; ++n) {
        const QString path = mixed + QStringLiteral("/jpg/%1.jpg").arg(n);
        QFile::remove(path);
        if (!isLarge(n)) {
            const QByteArray from = QFile::encodeName(dir + QStringLiteral("/jpg/%1.jpg").arg(n));
            if (::link(from.constData(), QFile::encodeName(path).constData()) != 0)
                return false;
            continue;
        }
        pool.start([&ok, path, n] {
            const QImage image = photoLikeImage(QSize(LargeWidth, LargeHeight), quint32(1000 + n));
            if (!writeAtomically(path, progressive444(image, Quality)))
                ok = false;
        });
    }
    pool.waitForDone();
    const QByteArray big = progressive444(photoLikeImage(QSize(8000, 6000), 4343), Quality);
    if (!ok || !writeAtomically(dir + QStringLiteral("/grande-progressiva.jpg"), big))
        return false;
    return writeAtomically(dir + QLatin1Char('/') + MixedMarker,
                           "20 x 6000x4000 progressive 4:4:4\n");
}

} // namespace

bool ready(const QString &dir)
{
    return QFile::exists(dir + QLatin1Char('/') + Marker)
           && QFile::exists(dir + QLatin1Char('/') + MixedMarker);
}

bool generate(const QString &dir)
{
    if (QFile::exists(dir + QLatin1Char('/') + Marker))
        return generateMixed(dir);
    if (!QDir().mkpath(dir + QStringLiteral("/jpg")))
        return false;
    QByteArray list;
    for (int n = 1; n <= Count; ++n)
        list += "parola" + QByteArray::number(n) + "\r\n";
    if (!writeAtomically(dir + QStringLiteral("/lista.txt"), list))
        return false;

    std::atomic<bool> ok{true};
    QThreadPool pool;
    for (int n = 1; n <= Count; ++n) {
        pool.start([&ok, dir, n] {
            QByteArray jpeg = jpegBytes(photoLikeImage(QSize(Width, Height), quint32(n)), Quality);
            if (n % 4 == 0)
                jpeg = withExifOrientation(jpeg, 6);
            if (!writeAtomically(dir + QStringLiteral("/jpg/%1.jpg").arg(n), jpeg))
                ok = false;
        });
    }
    pool.waitForDone();
    const QByteArray big = jpegBytes(photoLikeImage(QSize(8000, 6000), 4242), Quality);
    if (!ok || !writeAtomically(dir + QStringLiteral("/grande.jpg"), big))
        return false;
    return writeAtomically(dir + QLatin1Char('/') + Marker, "150 x 4032x3024 q90\n")
           && generateMixed(dir);
}

qint64 averageBytes(const QString &dir)
{
    qint64 total = 0;
    for (int n = 1; n <= Count; ++n)
        total += QFileInfo(dir + QStringLiteral("/jpg/%1.jpg").arg(n)).size();
    return total / Count;
}

QString layoutOf(const QString &path)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        return QStringLiteral("missing");
    jpeg_decompress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&c);
    jpeg_stdio_src(&c, file);
    jpeg_read_header(&c, TRUE);
    QStringList factors;
    for (int i = 0; i < c.num_components; ++i)
        factors << QStringLiteral("%1x%2")
                       .arg(c.comp_info[i].h_samp_factor)
                       .arg(c.comp_info[i].v_samp_factor);
    const QString layout =
        (c.progressive_mode ? QStringLiteral("progressive ") : QStringLiteral("sequential "))
        + factors.join(QLatin1Char(','));
    jpeg_destroy_decompress(&c);
    std::fclose(file);
    return layout;
}

} // namespace BenchPhotos

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
