#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// Pictures made by the tests and the benchmark: photo-like content, JPEG bytes with an EXIF
// orientation, and the distance between two images.

// Smooth gradients and soft blobs with fine texture and sensor-like noise: compresses and
// decodes like a phone photo (about 3 to 4 MB at 4032 x 3024, quality 90), unlike a flat colour.
// The same seed gives the same picture.
QImage photoLikeImage(QSize size, quint32 seed);

QByteArray jpegBytes(const QImage &image, int quality);

// The JPEG with an EXIF block (APP1, right after the start marker) holding only the orientation
// tag: 1 upright, 6 to be turned 90 degrees clockwise for display, 8 counter-clockwise.
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);

// A progressive grayscale JPEG of the given size made of the same empty scan repeated scans
// times: a few kilobytes on which a decoder without a limit on scans works for a long time.
QByteArray manyScanJpeg(QSize size, int scans);

// Peak signal-to-noise ratio over the three colour channels, in dB (99 for identical images).
double psnr(const QImage &a, const QImage &b);
