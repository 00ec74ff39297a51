#pragma once

#include <QByteArray>
#include <QString>

// A word's voice as the editor makes it ready for a child: from a take recorded, imported or
// synthesized, to the bytes of `voce/N.ogg`.
//
// How the editor uses it: prepareVoice on every new take, in a worker thread (a take of a few
// seconds takes some milliseconds), then the bytes are saved, and decoded again for listening.
// All of it runs in the calling thread, any thread, and touches no shared state.

// Mono 16-bit signed samples, in the machine's byte order, at rate samples a second.
struct Take {
    QByteArray pcm;
    int rate = 0;
    qint64 frames() const { return pcm.size() / 2; }
    qint64 durationMs() const { return rate ? frames() * 1000 / rate : 0; }
};

namespace VoiceLevel {
// Where every voice's loudness is brought, in LUFS: the level of speech in a quiet room's
// recordings, loud beside the desktop's sounds and with room for the peaks of plosives.
constexpr double TargetLufs = -20;
// No voice's true peak goes above this, in dB of full scale: a gain that would take it higher is
// cut, so a voice is never clipped, only left quieter.
constexpr double PeakCeilingDb = -1;
// What the trimming keeps around the word, in milliseconds: the breath before a "s" or an "f",
// the decay of the last vowel.
constexpr int KeptBeforeMs = 20;
constexpr int KeptAfterMs = 60;
} // namespace VoiceLevel

// The take without the silence before and after the word, keeping that much of it; empty when it
// holds no sound at all.
Take trimSilence(const Take &take, int keptBeforeMs = VoiceLevel::KeptBeforeMs,
                 int keptAfterMs = VoiceLevel::KeptAfterMs);

// The loudness in LUFS, by EBU R128 (libebur128), of the word in the take, without the silence
// around it; -infinity for silence.
double loudnessOf(const Take &take);

// The take brought to VoiceLevel::TargetLufs, or as near as its peak allows.
Take levelled(const Take &take);

struct EncodedVoice {
    QByteArray bytes;    // an Ogg Opus file
    QString cause;       // empty on success
    qint64 durationMs{}; // of the voice prepareVoice made
};

// The take as an Ogg Opus file, mono, with libopusenc.
EncodedVoice encodeOpus(const Take &take);

// Trimmed, levelled and encoded: the bytes of voce/N.ogg, or why the take cannot be a voice.
EncodedVoice prepareVoice(const Take &take);

// A teacher's sound file (a phone's memo, a WAV...) made ready as prepareVoice makes a take, or
// why it cannot be a voice, naming the file.
EncodedVoice importVoice(const QString &path);

// Sound files the editor takes as voices, by their names.
bool isVoiceName(const QString &path);
