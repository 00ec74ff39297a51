#include "pictures/FolderCheck.h"

#include "pictures/PictureDecoder.h"
#include "pictures/PictureHeader.h"
#include "core/SafeFile.h"

#include <QFile>

namespace {

bool endsWithEndOfImage(QFile &file)
{
    const qint64 size = file.size();
    if (size < 2 || !file.seek(size - 2))
        return false;
    const bool ends = file.read(2) == QByteArrayView("\xFF\xD9", 2);
    file.seek(0);
    return ends;
}

} // namespace

QString pictureFileProblem(const QString &path, DecodeBudget &budget)
{
    QFile file;
    if (const QString cause = openRegularFile(path, MaxPictureFileBytes, file); !cause.isEmpty())
        return cause;
    const PictureHeader header = readPictureHeader(file, budget.total());
    if (!header.ok())
        return header.cause;
    // Inside a JPEG's coded data 0xFF 0xD9 cannot occur, so a file that ends with it was written
    // to its end (barring a cut that happens to fall just after those two bytes inside a later
    // segment; the loader still finds that one). Any other ending is rare (data appended after
    // the image, or a file cut short) and worth a decode at the smallest scale, in which the
    // library warns if the data runs out before the image does.
    if (header.format == "jpeg" && !endsWithEndOfImage(file))
        return decodePictureDataSizes(file.readAll(), {QSize(1, 1)}, budget).cause;
    return {};
}

QList<PictureProblem> findPictureProblems(const QStringList &paths)
{
    QList<PictureProblem> problems;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (QString cause = pictureFileProblem(paths[i]); !cause.isEmpty())
            problems.append({int(i + 1), paths[i], std::move(cause)});
    }
    return problems;
}
