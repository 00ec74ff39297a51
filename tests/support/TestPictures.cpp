#include "tests/support/TestPictures.h"

#include "core/SafeFile.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThreadPool>

#include <csignal>
#include <cstdio>
#include <limits>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

QImage noisyImage(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator generator(seed);
    for (int y = 0; y < size.height(); ++y)
        generator.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)), size.width());
    return image;
}

QByteArray jpegBytes(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size()) // no pixel of one is read past the end of the other
        return std::numeric_limits<double>::infinity();
    const QImage x = a.convertToFormat(QImage::Format_RGB888),
                 y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < 3 * x.width(); ++i)
            sum += std::abs(x.constScanLine(row)[i] - y.constScanLine(row)[i]);
    return sum / (3.0 * x.width() * x.height());
}

bool writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size() && file.flush()
           && (modified.isNull() || file.setFileTime(modified, QFile::FileModificationTime));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ChildResult inChild(const std::function<QByteArray()> &body, int limitSeconds)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return {{}, QStringLiteral("no pipe")};
    // Only the thread that forks lives on in the child: Qt's pool must hold no threads then, or
    // the child would hand its work (a large picture's conversion) to threads it does not have.
    QThreadPool::globalInstance()->waitForDone();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(unsigned(limitSeconds));
        try { // never back into the test's own loop
            const QByteArray out = body();
            ::_exit(writeAll(pipe[1], out.constData(), out.size()) ? 0 : 4);
        } catch (...) {
            ::_exit(5);
        }
    }
    ::close(pipe[1]);
    ChildResult result;
    QFile output;
    output.open(pipe[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    result.output = output.readAll();
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        result.failure = QStringLiteral("no child");
    else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        result.failure = QStringLiteral("the child did not end within %1 s").arg(limitSeconds);
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) // 5: thrown
        result.failure = QStringLiteral("the child failed: status %1").arg(status);
    return result;
}

qint64 peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const auto kib = QRegularExpression("VmHWM:\\s*(\\d+)").match(status.readAll()).captured(1);
    return kib.toLongLong() << 10;
}
