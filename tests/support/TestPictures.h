#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// Pictures made by the tests and the benchmark.

// Random pixels, the same for the same seed: a JPEG of them is mostly coded data.
QImage noisyImage(QSize size, quint32 seed);

QByteArray jpegBytes(const QImage &image, int quality);
