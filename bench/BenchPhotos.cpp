#include "bench/BenchPhotos.h"

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
    const QString layout = (c.progressive_mode ? QStringLiteral("progressive ")
                                               : QStringLiteral("sequential "))
                           + factors.join(QLatin1Char(','));
    jpeg_destroy_decompress(&c);
    std::fclose(file);
    return layout;
}

} // namespace BenchPhotos
