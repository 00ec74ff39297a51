#include "tests/support/TestSounds.h"

#include <QtEndian>

#include <cmath>

QByteArray sinePcm(int ms, double amplitude, int rate, double freq, int channels)
{
    const qsizetype frames = qsizetype(rate) * ms / 1000;
    QByteArray pcm(frames * channels * 2, Qt::Uninitialized);
    auto *s = reinterpret_cast<qint16 *>(pcm.data());
    for (qsizetype i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            *s++ = qint16(std::lround(32767 * amplitude * std::sin(2 * M_PI * freq * i / rate)));
    return pcm;
}

QByteArray wavBytes(const QByteArray &pcm, int rate, int channels)
{
    QByteArray wav;
    const auto u32 = [&](quint32 v) {
        wav.append(reinterpret_cast<const char *>(&(v = qToLittleEndian(v))), 4);
    };
    const auto u16 = [&](quint16 v) {
        wav.append(reinterpret_cast<const char *>(&(v = qToLittleEndian(v))), 2);
    };
    wav.append("RIFF");
    u32(quint32(36 + pcm.size()));
    wav.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(quint16(channels));
    u32(quint32(rate));
    u32(quint32(rate * channels * 2));
    u16(quint16(channels * 2));
    u16(16);
    wav.append("data");
    u32(quint32(pcm.size()));
    return wav + pcm;
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
