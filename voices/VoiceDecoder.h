#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QString>

// The teacher's voices, decoded to sound in memory.
//
// Every voice is held as mono 16-bit samples at 24 kHz: speech carries nothing a child needs above
// the 12 kHz that rate keeps, and it halves the memory of 48 kHz, so 150 voices of two seconds
// hold 14 MB. The sound server converts to the device's rate as it plays.
namespace VoiceFormat {
constexpr int SampleRate = 24000;
constexpr int BytesPerSecond = SampleRate * 2;
// The format of Voice::pcm, for QAudioSink.
QAudioFormat audioFormat();
} // namespace VoiceFormat

namespace VoiceLimits {
// A voice file larger than this is refused before it is read: a phone's five-second memo takes
// 100 KB, a WAV of the same at 48 kHz stereo 1 MB.
constexpr qint64 MaxFileBytes = 16LL << 20;
// A voice that decodes to more than this is refused, and decoding stops there: a small crafted
// file (hours of compressed silence) would otherwise fill the memory.
constexpr int MaxSeconds = 20;
// A decode that has not ended by then is given up, and so is one that gives no sound for
// StallMs; a word takes some tens of milliseconds.
constexpr int TimeoutMs = 30000;
constexpr int StallMs = 5000;
} // namespace VoiceLimits

struct Voice {
    QByteArray pcm; // in VoiceFormat: mono, 16-bit signed samples in the machine's byte order
    QString cause;  // empty when pcm holds the whole voice; otherwise why it cannot be heard
    bool ok() const { return cause.isEmpty(); }
    qint64 durationMs() const { return pcm.size() * 1000 / VoiceFormat::BytesPerSecond; }
};

// The voice in a file's bytes, whatever its format (WAV, Ogg Vorbis or Opus, MP3, M4A with AAC),
// told by the content, never by the file's name. The cause, in Italian, says whether the bytes
// are empty, are not sound at all, are in a format whose GStreamer plugin is missing (naming the
// Debian package), are damaged, or decode to more than MaxSeconds.
//
// Runs in the calling thread, any thread, and needs no event loop: it blocks until the voice is
// decoded or refused, within TimeoutMs. Safe to call from several threads at once.
Voice decodeVoiceData(const QByteArray &bytes);

// The same for a file, read only if it is a regular file of at most MaxFileBytes; a file that
// cannot be read gives the cause core/SafeFile gives.
Voice decodeVoiceFile(const QString &path);
