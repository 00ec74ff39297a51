#include "tests/support/TestPictures.h"

#include <QBuffer>
#include <QRandomGenerator>

QImage noisyImage(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator generator(seed);
    for (int y = 0; y < size.height(); ++y)
        generator.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)), size.width());
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
