#include "editor/VoiceTake.h"

#include "voices/VoiceDecoder.h"

#include <QFileInfo>
#include <QStringList>

#include <ebur128.h>
#include <opusenc.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

const qint16 *samplesOf(const Take &take)
{
    return reinterpret_cast<const qint16 *>(take.pcm.constData());
}

double fromDb(double db) { return std::pow(10.0, db / 20); }

struct Measured {
    double loudness = -HUGE_VAL; // LUFS
    double truePeak = 0;         // a fraction of full scale
};

Measured measure(const Take &take)
{
    Measured m;
    const qint64 ms = take.durationMs();
    if (ms <= 0)
        return m;
    const std::unique_ptr<ebur128_state, void (*)(ebur128_state *)> state(
        ebur128_init(1, unsigned(take.rate), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK),
        [](ebur128_state *s) { ebur128_destroy(&s); });
    if (!state
        || ebur128_add_frames_short(state.get(), samplesOf(take), size_t(take.frames()))
               != EBUR128_SUCCESS)
        return m;
    // A word shorter than the 400 ms block of the integrated loudness has none. It is measured by
    // the K-weighted mean square of the word itself, over its whole length (the library's
    // loudness of a window as long as the word, ungated): the measure of one block, cut to the
    // word. Padding it with silence instead would count the silence, and the shortest words
    // ("sì", "re") would come out the loudest.
    if (ms >= 400)
        ebur128_loudness_global(state.get(), &m.loudness);
    else
        ebur128_loudness_window(state.get(), (unsigned long)ms, &m.loudness);
    ebur128_true_peak(state.get(), 0, &m.truePeak);
    return m;
}

} // namespace

// Written here rather than taken from a library: what Debian has for it (sox's `silence` effect)
// works through libsox's chain of effects on whole files, while this is a level every 10 ms.
Take trimSilence(const Take &take, int keptBeforeMs, int keptAfterMs)
{
    const qint64 count = take.frames();
    const qint64 step = qMax(1, take.rate / 100);
    if (count == 0)
        return {{}, take.rate};
    const qint16 *s = samplesOf(take);
    double mean = 0; // a microphone's constant offset is not sound
    for (qint64 i = 0; i < count; ++i)
        mean += s[i];
    mean /= double(count);
    std::vector<double> level;
    for (qint64 from = 0; from < count; from += step) {
        double sum = 0;
        const qint64 to = qMin(count, from + step);
        for (qint64 i = from; i < to; ++i)
            sum += (s[i] - mean) * (s[i] - mean);
        level.push_back(std::sqrt(sum / double(to - from)) / 32768);
    }
    // Sound is what comes within 40 dB of the loudest 10 ms, and above a quiet room's -55 dBFS.
    const double peak = *std::max_element(level.begin(), level.end());
    const double threshold = qMax(peak * fromDb(-40), fromDb(-55));
    if (peak < threshold)
        return {{}, take.rate};
    qint64 first = 0, last = qint64(level.size()) - 1;
    while (level[size_t(first)] < threshold)
        ++first;
    while (level[size_t(last)] < threshold)
        --last;
    const qint64 begin = qMax<qint64>(0, first * step - qint64(keptBeforeMs) * take.rate / 1000);
    const qint64 end = qMin(count, (last + 1) * step + qint64(keptAfterMs) * take.rate / 1000);
    return {take.pcm.mid(begin * 2, (end - begin) * 2), take.rate};
}

// The word alone, without what the trimming keeps around it: a short word's margins would
// otherwise count as a third of it.
double loudnessOf(const Take &take) { return measure(trimSilence(take, 0, 0)).loudness; }

Take levelled(const Take &take)
{
    const double loudness = loudnessOf(take);
    const double peak = measure(take).truePeak;
    if (!std::isfinite(loudness) || peak <= 0)
        return take;
    double gain = fromDb(VoiceLevel::TargetLufs - loudness);
    const double ceiling = fromDb(VoiceLevel::PeakCeilingDb);
    if (peak * gain > ceiling)
        gain = ceiling / peak;
    Take out{QByteArray(take.pcm.size(), Qt::Uninitialized), take.rate};
    const qint16 *in = samplesOf(take);
    auto *to = reinterpret_cast<qint16 *>(out.pcm.data());
    for (qint64 i = 0; i < take.frames(); ++i)
        to[i] = qint16(qBound(-32768L, std::lround(in[i] * gain), 32767L));
    return out;
}

EncodedVoice encodeOpus(const Take &take)
{
    EncodedVoice out;
    const auto failed = [&](int error) {
        out.bytes.clear();
        out.cause = QStringLiteral("impossibile codificare la voce (%1)")
                        .arg(QString::fromUtf8(ope_strerror(error)));
        return out;
    };
    const std::unique_ptr<OggOpusComments, void (*)(OggOpusComments *)> comments(
        ope_comments_create(), ope_comments_destroy);
    if (!comments)
        return failed(OPE_ALLOC_FAIL);
    OpusEncCallbacks callbacks{[](void *bytes, const unsigned char *data, opus_int32 length) {
                                   static_cast<QByteArray *>(bytes)->append(
                                       reinterpret_cast<const char *>(data), length);
                                   return 0;
                               },
                               [](void *) { return 0; }};
    int error = OPE_OK;
    const std::unique_ptr<OggOpusEnc, void (*)(OggOpusEnc *)> encoder(
        ope_encoder_create_callbacks(&callbacks, &out.bytes, comments.get(), take.rate, 1, 0,
                                     &error),
        ope_encoder_destroy);
    if (!encoder)
        return failed(error);
    // A voice in 32 kbit/s: clear speech, 20 KB for five seconds.
    ope_encoder_ctl(encoder.get(), OPUS_SET_BITRATE(32000));
    ope_encoder_ctl(encoder.get(), OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
    error = ope_encoder_write(encoder.get(), samplesOf(take), int(take.frames()));
    if (error == OPE_OK)
        error = ope_encoder_drain(encoder.get());
    return error == OPE_OK ? out : failed(error);
}

EncodedVoice prepareVoice(const Take &take)
{
    const Take word = trimSilence(take);
    if (word.frames() == 0)
        return {{}, QStringLiteral("la registrazione è muta")};
    EncodedVoice out = encodeOpus(levelled(word));
    out.durationMs = word.durationMs();
    return out;
}

EncodedVoice importVoice(const QString &path)
{
    const Voice voice = decodeVoiceFile(path);
    EncodedVoice out = voice.ok() ? prepareVoice({voice.pcm, VoiceFormat::SampleRate})
                                  : EncodedVoice{{}, voice.cause};
    if (!out.cause.isEmpty())
        out.cause = QStringLiteral("File: %1\nCausa: %2").arg(path, out.cause);
    return out;
}

bool isVoiceName(const QString &path)
{
    static const QStringList extensions{"ogg", "oga", "opus", "wav", "mp3", "m4a", "aac"};
    return extensions.contains(QFileInfo(path).suffix().toLower());
}
