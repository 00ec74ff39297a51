#pragma once

#include <QString>

// The benchmark's folder: photo-like JPEGs of a phone's size and a word list, made once and kept
// in a temporary folder between runs.
namespace BenchPhotos {

constexpr int Count = 150;
constexpr int Width = 4032;
constexpr int Height = 3024;
constexpr int Quality = 90;

// True when dir holds a complete set made by this version of the generator.
bool ready(const QString &dir);

// Makes dir/lista.txt, dir/jpg/1.jpg .. Count.jpg (every fourth one stored sideways with EXIF
// orientation 6, as a phone held upright stores it) and dir/grande.jpg, a 48-megapixel photo.
// Uses every core; returns false if a file cannot be written.
bool generate(const QString &dir);

// Average size of the photos in bytes.
qint64 averageBytes(const QString &dir);

} // namespace BenchPhotos
