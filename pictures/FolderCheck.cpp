#include "pictures/FolderCheck.h"

#include "core/SafeFile.h"
#include "pictures/PictureDecoder.h"
#include "pictures/PictureHeader.h"

#include <QBuffer>
#include <QFile>
#include <QThread>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

// Enough for the header of nearly every JPEG, the EXIF block of a phone photo included.
constexpr qint64 HeadBytes = 64 * 1024;

bool endsWithEndOfImage(QFile &file, const QByteArray &head)
{
    const qint64 size = file.size();
    if (size < 2)
        return false;
    char last[2];
    if (size <= head.size())
        std::memcpy(last, head.constData() + size - 2, 2);
    else if (::pread(file.handle(), last, 2, size - 2) != 2)
        return false;
    return last[0] == '\xFF' && last[1] == '\xD9';
}

} // namespace

QString pictureFileProblem(const QString &path, DecodeBudget &budget)
{
    QFile file;
    if (const QString cause = openRegularFile(path, MaxPictureFileBytes, file); !cause.isEmpty())
        return cause;
    // One read of the file's first bytes holds a JPEG's header; other formats, and the rare JPEG
    // whose header goes on past them, are read from the file itself.
    QByteArray head(qMin(file.size(), HeadBytes), Qt::Uninitialized);
    const ssize_t got = ::pread(file.handle(), head.data(), size_t(head.size()), 0);
    head.truncate(qMax<ssize_t>(got, 0));
    PictureHeader header;
    if (head.startsWith(QByteArrayView("\xFF\xD8", 2))) {
        QBuffer buffer(&head);
        buffer.open(QIODevice::ReadOnly);
        header = readPictureHeader(buffer, budget.total());
    }
    if (header.format != "jpeg" || (!header.ok() && head.size() < file.size()))
        header = readPictureHeader(file, budget.total());
    if (!header.ok())
        return header.cause;
    // Inside a JPEG's coded data 0xFF 0xD9 cannot occur, so a file that ends with it was written
    // to its end (barring a cut that happens to fall just after those two bytes inside a later
    // segment; the loader still finds that one). Any other ending is rare (data appended after
    // the image, or a file cut short) and worth a decode at the smallest scale, in which the
    // library warns if the data runs out before the image does.
    if (header.format == "jpeg" && !endsWithEndOfImage(file, head)) {
        file.seek(0);
        return decodePictureDataSizes(file.readAll(), {QSize(1, 1)}, budget).cause;
    }
    return {};
}

QList<PictureProblem> findPictureProblems(const QStringList &paths)
{
    // On every core: each file costs a few system calls and a header parse, and the start screen
    // waits for all of them.
    QList<QString> causes(paths.size());
    std::atomic<qsizetype> next{0};
    const auto work = [&] {
        for (qsizetype i; (i = next++) < paths.size();)
            causes[i] = pictureFileProblem(paths[i]);
    };
    const int threads =
        int(qBound(qsizetype(1), paths.size() / 16, qsizetype(QThread::idealThreadCount())));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread &t : helpers)
        t.join();
    QList<PictureProblem> problems;
    for (qsizetype i = 0; i < paths.size(); ++i)
        if (!causes[i].isEmpty())
            problems.append({int(i + 1), paths[i], std::move(causes[i])});
    return problems;
}
