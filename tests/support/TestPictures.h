#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QSize>

// Pictures made by the tests and the benchmark, and the files of the tests.

// Random pixels, the same for the same seed: a JPEG of them is mostly coded data.
QImage noisyImage(QSize size, quint32 seed);

QByteArray jpegBytes(const QImage &image, int quality);

// The file written whole, with this modification time if one is given.
bool writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified = {});
QByteArray fileBytes(const QString &path);
