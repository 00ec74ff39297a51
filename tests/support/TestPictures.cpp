#include "tests/support/TestPictures.h"

#include <QBuffer>
#include <QFile>
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

bool writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size() && file.flush()
           && (modified.isNull() || file.setFileTime(modified, QFile::FileModificationTime));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
