#pragma once

#include "editor/Entry.h"
#include "pictures/DecodeBudget.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Longest side of a picture the editor writes: more than the exercises' boxes need on any screen.
constexpr int MaxSavedSide = 1024;
constexpr int SavedJpegQuality = 90;

// A picture turned by its EXIF orientation, cut to what the crop keeps and scaled down so that its
// longer side is at most longest; or why it cannot be read. Every decode takes its memory from
// budget first, and one that could never fit is refused from the picture's header.
struct RenderedPicture {
    QImage image;
    QSize fullSize; // the whole picture, upright
    QString cause;
    bool ok() const { return cause.isEmpty(); }
};
RenderedPicture renderPicture(const QByteArray &data, const Crop &crop, QSize shape, int longest,
                              DecodeBudget &budget = DecodeBudget::shared());

// The bytes of jpg/N.jpg for a picture file: the file itself when it is a JPEG that needs no
// turning, cropping nor scaling, otherwise a new JPEG of quality SavedJpegQuality.
struct ExportedPicture {
    QByteArray bytes;
    QString cause;
    bool ok() const { return cause.isEmpty(); }
};
ExportedPicture exportPicture(const QString &path, const Crop &crop, QSize shape,
                              DecodeBudget &budget = DecodeBudget::shared());
