#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// HEIC, the format in which phones save photos by default, through libheif: Qt cannot read it.
bool isHeic(const QByteArray &data);

// The picture upright (libheif applies the file's rotation and mirroring), or why it cannot be.
struct HeicImage {
    QImage image;
    QString cause;
};
// With smallest > 0, the picture's own thumbnail (phones store one) stands in for it when its
// longer side reaches smallest: a fraction of the work, for the editor's thumbnails.
HeicImage decodeHeic(const QByteArray &data, int smallest = 0);
