#pragma once

#include "core/Platform.h"
#include "pictures/DecodeBudget.h"

#include <QList>

// Largest picture file the program reads; a phone photo is a few megabytes.
constexpr qint64 MaxPictureFileBytes = 64 * 1024 * 1024;

// Reads the picture at path and returns it at exactly pixelSize, ignoring its proportions.
// JPEGs are decoded at reduced scale where the box is small (the decoder skips most of the work),
// the EXIF orientation is honoured, and a file cut short is refused rather than shown half grey.
// The format is taken from the content, not from the name. The memory the decode takes is
// reserved in budget first: the call waits while other decodes hold it.
PictureResult decodePicture(const QString &path, QSize pixelSize,
                            DecodeBudget &budget = DecodeBudget::shared());

// The same from the bytes of a file already read.
PictureResult decodePictureData(const QByteArray &data, QSize pixelSize,
                                DecodeBudget &budget = DecodeBudget::shared());

// One picture at several sizes from a single decode: images[i] is exactly pixelSizes[i].
struct PictureSizes {
    QList<QImage> images;
    QString cause; // as in PictureResult
    bool ok() const { return cause.isEmpty(); }
};
PictureSizes decodePictureSizes(const QString &path, const QList<QSize> &pixelSizes,
                                DecodeBudget &budget = DecodeBudget::shared());
PictureSizes decodePictureDataSizes(const QByteArray &data, const QList<QSize> &pixelSizes,
                                    DecodeBudget &budget = DecodeBudget::shared());
