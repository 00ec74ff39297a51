#include "editor/Thumbnails.h"

#include "core/SafeFile.h"
#include "editor/PictureExport.h"
#include "pictures/PictureDecoder.h"

#include <QFileInfo>
#include <QImageReader>

#include <cmath>

Thumbnail makeThumbnail(const QString &path, const Crop &crop, QSize shape, int height)
{
    Thumbnail out;
    const FileContents file = readRegularFile(path, MaxPictureFileBytes);
    if (!file.ok()) {
        out.cause = file.cause;
        return out;
    }
    // Twice the thumbnail's size, so the stretch to the boxes' shape loses nothing.
    const RenderedPicture picture = renderPicture(file.data, crop, shape, 2 * height);
    out.fullSize = picture.fullSize;
    out.cause = picture.cause;
    if (picture.ok()) {
        const QSize size(qMax(1, int(std::lround(height * double(shape.width()) / shape.height()))),
                         height);
        out.image = picture.image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return out;
}

QString thumbnailKey(const Entry &entry)
{
    return entry.picture
           + (entry.crop.enabled ? QStringLiteral("|%1").arg(entry.crop.position) : QString());
}

QStringList pictureNameFilters()
{
    QStringList out{QStringLiteral("*.heic"), QStringLiteral("*.heif")};
    for (const QByteArray &suffix : QImageReader::supportedImageFormats())
        out << QStringLiteral("*.") + QString::fromLatin1(suffix);
    return out;
}

bool isPictureName(const QString &path)
{
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    return suffix == "heic" || suffix == "heif"
           || QImageReader::supportedImageFormats().contains(suffix);
}

QThreadPool *pictureThreads()
{
    static QThreadPool pool;
    return &pool;
}
