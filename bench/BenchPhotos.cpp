#include "bench/BenchPhotos.h"

#include "tests/support/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThreadPool>

#include <atomic>

namespace BenchPhotos {

namespace {

const QString Marker = QStringLiteral("pronto-v1");

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

bool ready(const QString &dir) { return QFile::exists(dir + QLatin1Char('/') + Marker); }

bool generate(const QString &dir)
{
    if (!QDir().mkpath(dir + QStringLiteral("/jpg")))
        return false;
    QByteArray list;
    for (int n = 1; n <= Count; ++n)
        list += "parola" + QByteArray::number(n) + "\r\n";
    if (!writeAtomically(dir + QStringLiteral("/lista.txt"), list))
        return false;

    std::atomic<bool> ok{true};
    QThreadPool pool;
    for (int n = 1; n <= Count; ++n) {
        pool.start([&ok, dir, n] {
            QByteArray jpeg = jpegBytes(photoLikeImage(QSize(Width, Height), quint32(n)), Quality);
            if (n % 4 == 0)
                jpeg = withExifOrientation(jpeg, 6);
            if (!writeAtomically(dir + QStringLiteral("/jpg/%1.jpg").arg(n), jpeg))
                ok = false;
        });
    }
    pool.waitForDone();
    const QByteArray big = jpegBytes(photoLikeImage(QSize(8000, 6000), 4242), Quality);
    if (!ok || !writeAtomically(dir + QStringLiteral("/grande.jpg"), big))
        return false;
    return writeAtomically(dir + QLatin1Char('/') + Marker, "150 x 4032x3024 q90\n");
}

qint64 averageBytes(const QString &dir)
{
    qint64 total = 0;
    for (int n = 1; n <= Count; ++n)
        total += QFileInfo(dir + QStringLiteral("/jpg/%1.jpg").arg(n)).size();
    return total / Count;
}

} // namespace BenchPhotos
