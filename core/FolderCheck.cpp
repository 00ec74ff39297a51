#include "FolderCheck.h"

#include "PictureDecoder.h"
#include "PictureHeader.h"
#include "SafeFile.h"

#include <QDir>
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

QList<PictureProblem> findPictureProblems(int count, const std::function<QString(int)> &pathOf)
{
    QList<PictureProblem> problems;
    for (int n = 1; n <= count; ++n) {
        const QString path = pathOf(n);
        if (QString cause = pictureFileProblem(path); !cause.isEmpty())
            problems.append({n, path, std::move(cause)});
    }
    return problems;
}

QString pictureProblemsReport(const QList<PictureProblem> &problems, int count)
{
    // One line a file keeps a report of twenty files within a screen's height.
    QString report =
        problems.size() == 1
            ? QStringLiteral("Un'immagine manca o non si può mostrare (1 su %1):\n").arg(count)
            : QStringLiteral("Alcune immagini mancano o non si possono mostrare (%1 su %2):\n")
                  .arg(problems.size())
                  .arg(count);
    for (qsizetype i = 0; i < problems.size() && i < MaxListedPictureProblems; ++i) {
        const PictureProblem &p = problems.at(i);
        report += QStringLiteral("\n%1: %2").arg(QDir::toNativeSeparators(p.path), p.cause);
    }
    const qsizetype more = problems.size() - MaxListedPictureProblems;
    if (more == 1)
        report += QStringLiteral("\n... e un'altra");
    else if (more > 1)
        report += QStringLiteral("\n... e altre %1").arg(more);
    return report;
}
