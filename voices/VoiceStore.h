#pragma once

#include "core/ReadAhead.h"
#include "voices/VoiceDecoder.h"

#include <QHash>

#include <functional>

// The voices decoded so far, held in memory as sound, and the workers that decode them ahead of
// the questions that speak them.
//
// How the program uses it: once the start screen is up, readAhead with every voice of the list;
// when a question speaks, voice(path) from the window's thread gives the sound (or why there is
// none) to hand to VoicePlayer. A voice already held costs a stat; one a worker is decoding is
// awaited (tens of milliseconds), not decoded twice; one not yet reached is decoded at once in the
// calling thread. Every use looks at the file: a voice replaced since it was decoded is decoded
// again, and a removed one gives the cause a direct read gives. Failures are kept like voices, so a
// damaged file is decoded once. Thread-safe.
class VoiceStore {
public:
    // Decodes one file; tests replace it to count or hold the decodes.
    using Decoder = std::function<Voice(const QString &path)>;

    // threads: background workers. One by default: the pictures' readers have the other cores,
    // and a voice takes tens of milliseconds. Without a decoder, voices are read by
    // decodeVoiceFile.
    explicit VoiceStore(int threads = 1, Decoder decoder = {});
    // Drops the reading ahead not yet started and waits for the voices being decoded.
    ~VoiceStore();
    VoiceStore(const VoiceStore &) = delete;
    VoiceStore &operator=(const VoiceStore &) = delete;

    // The voice of the file as it is now, decoded in this thread if no one has it; blocks while a
    // worker decodes it.
    Voice voice(const QString &path);
    // Its length, for the editor's warning about long voices; 0 when it cannot be heard.
    qint64 durationMs(const QString &path) { return voice(path).durationMs(); }

    // Decodes the files in the background, in this order. Returns at once.
    void readAhead(const QStringList &paths);
    // Until nothing is queued and no worker runs.
    void waitForReadAhead();
    // Drops the queue and waits for the workers; voice still works afterwards, in its own thread.
    void stop();

    // Figures for tests and the benchmark.
    int decodeCount() const { return m_readAhead.decodeCount(); }
    int waitingLoads() const { return m_readAhead.waitingLoads(); }
    int queuedCount() const { return m_readAhead.queuedCount(); }
    qsizetype heldBytes() const;

private:
    struct Entry {
        FileStamp stamp;
        Voice voice;
    };

    Voice decodeInto(ReadAhead::Lock &lock, const QString &path, const FileStamp &stamp);

    const Decoder m_decoder;
    QHash<QString, Entry> m_entries; // under m_readAhead's lock
    // Last: its workers use the members above, and it is destroyed first.
    ReadAhead m_readAhead;
};
