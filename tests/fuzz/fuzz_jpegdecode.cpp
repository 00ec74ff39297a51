// libFuzzer target for the JPEG header read and the scaled decode through libjpeg. Besides crashes
// and sanitizer reports (the library leaves by longjmp on every error) it checks that a decode
// either gives an image at the size the header and the scale call for, or a cause, never both.

#include "pictures/JpegDecoder.h"
#include "tests/fuzz/Require.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The last byte picks the scale; the rest is the file.
    const int eighths = 1 + data[size - 1] % 8;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size - 1));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const JpegHeader header = readJpegHeader(buffer);
    // Small pictures only: each input is decoded in milliseconds, as the pixel limit and the
    // budget keep the program's own.
    if (!header.ok || qint64(header.size.width()) * header.size.height() > 4'000'000)
        return 0;
    const JpegImage decoded = decodeJpeg(bytes, eighths, 256 * 1024 * 1024);
    require(decoded.cause.isEmpty() != decoded.image.isNull(), "an image and a cause, or neither");
    if (decoded.image.isNull())
        return 0;
    const QSize expected((header.size.width() * eighths + 7) / 8,
                         (header.size.height() * eighths + 7) / 8);
    require(decoded.image.size() == expected, "an image of another size than the header's");
    return 0;
}
