#pragma once

#include "editor/Entry.h"

#include <QImage>
#include <QString>
#include <QThreadPool>

// A row's picture as the child will see it: the kept part stretched to the boxes' shape, at
// height pixels high; or why the picture cannot be read.
struct Thumbnail {
    QImage image;
    QSize fullSize; // the whole picture, upright; for the crop's controls
    QString cause;
};
Thumbnail makeThumbnail(const QString &path, const Crop &crop, QSize shape, int height);

// The key under which a row's thumbnail is kept: it changes with the picture and its crop.
QString thumbnailKey(const Entry &entry);

// Picture files the editor can add: their names, for the file dialog's filter and for drops.
QStringList pictureNameFilters();
bool isPictureName(const QString &path);

// The threads that read and write the editor's pictures. Not Qt's global pool: Qt's painting
// uses that one, and the window would wait behind a long import to draw its progress bar.
QThreadPool *pictureThreads();
