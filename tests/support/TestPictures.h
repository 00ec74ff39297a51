#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QSize>

#include <functional>

// Pictures made by the tests and the benchmark, the files of the tests, and the processes that
// read them with a peak of memory of their own.

// Random pixels, the same for the same seed: a JPEG of them is mostly coded data.
QImage noisyImage(QSize size, quint32 seed);

QByteArray jpegBytes(const QImage &image, int quality);
// The mean difference of two pictures, in levels of 255 a channel of red, green and blue; infinite
// when their sizes differ.
double meanDifference(const QImage &a, const QImage &b);

// The file written whole, with this modification time if one is given.
bool writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified = {});
QByteArray fileBytes(const QString &path);

// What a child process gave back: body's bytes, or why it gave none.
struct ChildResult {
    QByteArray output;
    QString failure; // empty when the child ended by itself and body returned
};

// Runs body in a forked copy of this test and returns what it returned. The copy starts with a
// peak of memory of its own (the kernel's high-water mark starts at what it holds) and is killed
// at the end of its limit: a body that hangs fails the test rather than hanging it.
ChildResult inChild(const std::function<QByteArray()> &body, int limitSeconds = 60);

// The kernel's high-water mark of this process's memory.
qint64 peakMemory();
