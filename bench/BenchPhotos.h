#pragma once

#include <QImage>
#include <QString>

// The benchmark's folders: photo-like JPEGs of a phone's size and a word list, made once and kept
// in a temporary folder between runs; beside them a mixed folder in which some photos are large
// progressive files as cameras and photo editors write them.
namespace BenchPhotos {

constexpr int Count = 150;
constexpr int Width = 4032;
constexpr int Height = 3024;
constexpr int Quality = 90;
// In the mixed folder dir/misto: pictures 1, 8, 15 ... (every seventh) are these, progressive with
// the colour at full resolution (4:4:4); the others are the phone photos of dir/jpg.
constexpr int LargeCount = 20;
constexpr int LargeWidth = 6000;
constexpr int LargeHeight = 4000;

// True when dir holds complete sets made by this version of the generator.
bool ready(const QString &dir);

// Makes dir/lista.txt, dir/jpg/1.jpg .. Count.jpg (every fourth one stored sideways with EXIF
// orientation 6, as a phone held upright stores it), dir/grande.jpg, a 48-megapixel photo,
// dir/grande-progressiva.jpg, the same size progressive 4:4:4, and the mixed folder dir/misto
// (its other photos hard links to those of dir/jpg). Uses every core; returns false if a file
// cannot be written.
bool generate(const QString &dir);

// Average size of the photos in bytes.
qint64 averageBytes(const QString &dir);

// "progressive 1x1,1x1,1x1" for a progressive 4:4:4 JPEG, from its header as libjpeg reads it.
QString layoutOf(const QString &path);

} // namespace BenchPhotos

// Smooth gradients and soft blobs with fine texture and sensor-like noise: compresses and
// decodes like a phone photo (about 3 to 4 MB at 4032 x 3024, quality 90), unlike a flat colour.
// The same seed gives the same picture.
QImage photoLikeImage(QSize size, quint32 seed);

// Peak signal-to-noise ratio over the three colour channels, in dB (99 for identical images).
double psnr(const QImage &a, const QImage &b);

// The JPEG with an EXIF block (APP1, right after the start marker) holding only the orientation
// tag: 1 upright, 6 to be turned 90 degrees clockwise for display, 8 counter-clockwise.
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);

// A progressive grayscale JPEG of the given size made of the same empty scan repeated scans
// times: a few kilobytes on which a decoder without a limit on scans works for a long time.
QByteArray manyScanJpeg(QSize size, int scans);
