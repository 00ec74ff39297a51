#include "tests/support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QImage>

TestFolder::TestFolder() : m_previous(QDir::currentPath())
{
    QDir(m_dir.path()).mkdir(QStringLiteral("jpg"));
    QDir::setCurrent(m_dir.path());
}

TestFolder::~TestFolder() { QDir::setCurrent(m_previous); }

void TestFolder::writeWords(const QStringList &words)
{
    QByteArray bytes;
    for (const QString &w : words)
        bytes += w.toUtf8() + "\r\n";
    QFile file(m_dir.filePath(QStringLiteral("lista.txt")));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    writePictures(int(words.size()));
}

QColor TestFolder::pictureColour(int n)
{
    // The number in two channels, in steps of 16: JPEG rounding of a flat colour stays far below.
    return QColor((n % 16) * 16 + 8, 96, (n / 16) * 16 + 8);
}

int TestFolder::pictureNumberOf(const QImage &image)
{
    if (image.isNull())
        return 0;
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    if (qAbs(c.green() - 96) > 8)
        return 0;
    return (c.red() / 16) + 16 * (c.blue() / 16);
}

void TestFolder::writePicture(int n, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(pictureColour(n));
    image.save(m_dir.filePath(QStringLiteral("jpg/%1.jpg").arg(n)), "JPEG", 95);
}

void TestFolder::writePictures(int count)
{
    for (int n = 1; n <= qMax(count, 1); ++n)
        writePicture(n);
}
