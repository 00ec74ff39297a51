#include "tests/support/TestSounds.h"

#include <cmath>

QByteArray sinePcm(int ms, double amplitude, int rate, double freq)
{
    QByteArray pcm(qsizetype(rate) * ms / 1000 * 2, Qt::Uninitialized);
    auto *s = reinterpret_cast<qint16 *>(pcm.data());
    for (qsizetype i = 0; i < pcm.size() / 2; ++i)
        s[i] = qint16(std::lround(32767 * amplitude * std::sin(2 * M_PI * freq * i / rate)));
    return pcm;
}

double rmsOf(const QByteArray &pcm, int rate, int fromMs, int toMs)
{
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype count = pcm.size() / 2;
    const qsizetype from = qMin(count, qsizetype(rate) * fromMs / 1000);
    const qsizetype to = toMs ? qMin(count, qsizetype(rate) * toMs / 1000) : count;
    double sum = 0;
    for (qsizetype i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) / 32768 : 0;
}
