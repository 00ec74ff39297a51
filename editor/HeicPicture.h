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
HeicImage decodeHeic(const QByteArray &data);
