#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// Pictures made by the tests and the benchmark: JPEG bytes, with an EXIF orientation, and a
// decoder's worst case.

// Random pixels, the same for the same seed: a JPEG of them is mostly coded data.
QImage noisyImage(QSize size, quint32 seed);

QByteArray jpegBytes(const QImage &image, int quality);

// The JPEG with an EXIF block (APP1, right after the start marker) holding only the orientation
// tag: 1 upright, 6 to be turned 90 degrees clockwise for display, 8 counter-clockwise.
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);

// A progressive grayscale JPEG of the given size made of the same empty scan repeated scans
// times: a few kilobytes on which a decoder without a limit on scans works for a long time.
QByteArray manyScanJpeg(QSize size, int scans);
