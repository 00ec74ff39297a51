#pragma once

#include "pictures/DecodeBudget.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// HEIC, the format in which phones save photos by default, through libheif: Qt cannot read it.
// True only for content that says it is HEIC: a file too short to tell is not.
bool isHeic(const QByteArray &data);

// Memory a decode takes for each pixel of the picture: libheif's planes while it decodes into its
// 4-byte picture, which Qt then scales as it is (measured at 6.7 to 7.4 bytes a pixel with
// libheif 1.15 on photos of 48 and 64 megapixels).
constexpr qint64 HeicBytesPerPixel = 8;

// The picture upright (libheif applies the file's rotation and mirroring), or why it cannot be.
// memory holds the picture's share of the decoding budget while image, at full size, is in use.
struct HeicImage {
    QImage image;
    QString cause;
    DecodeBudget::Reservation memory;
};
// With smallest > 0, the picture's own thumbnail (phones store one) stands in for it when its
// longer side reaches smallest: a fraction of the work, for the editor's thumbnails. A picture
// whose memory does not fit the budget is refused from its header, before anything is decoded.
HeicImage decodeHeic(const QByteArray &data, int smallest = 0,
                     DecodeBudget &budget = DecodeBudget::shared());

// Why a picture of size is not read: it would need bytes of memory, more than budgetBytes.
QString tooLargeToRead(QSize size, qint64 bytes, qint64 budgetBytes);
