#include "voices/VoiceStore.h"

#include <utility>

VoiceStore::VoiceStore(int threads, Decoder decoder)
    : m_decoder(decoder ? std::move(decoder) : [](const QString &p) { return decodeVoiceFile(p); }),
      m_readAhead(threads)
{
}

VoiceStore::~VoiceStore() { stop(); }

Voice VoiceStore::decodeInto(ReadAhead::Lock &lock, const QString &path, const FileStamp &stamp)
{
    m_readAhead.countDecode();
    Voice voice;
    // The stamp was taken before the file is read: if the file changes meanwhile, the next use
    // sees a different stamp and decodes it again.
    m_readAhead.read(lock, path, [&] { voice = m_decoder(path); });
    m_entries[path] = Entry{stamp, voice};
    return voice;
}

Voice VoiceStore::voice(const QString &path)
{
    ReadAhead::Lock lock = m_readAhead.lock();
    const std::optional<FileStamp> stamp = m_readAhead.settled(lock, path);
    if (!stamp) {
        // Gone or out of reach: read directly, for the cause.
        m_entries.remove(path);
        lock.unlock();
        return m_decoder(path);
    }
    if (const auto it = m_entries.constFind(path); it != m_entries.cend() && it->stamp == *stamp)
        return it->voice;
    return decodeInto(lock, path, *stamp);
}

void VoiceStore::readAhead(const QStringList &paths)
{
    ReadAhead::Lock lock = m_readAhead.lock();
    std::deque<ReadAhead::Task> tasks;
    for (const QString &path : paths)
        tasks.push_back({path, [this](ReadAhead::Lock &l, const QString &p, const FileStamp &s) {
                             if (const auto it = m_entries.constFind(p);
                                 it == m_entries.cend() || it->stamp != s)
                                 decodeInto(l, p, s);
                         }});
    m_readAhead.queue(lock, std::move(tasks));
}

void VoiceStore::waitForReadAhead() { m_readAhead.waitForAll(); }

void VoiceStore::stop() { m_readAhead.stop(); }

qsizetype VoiceStore::heldBytes() const
{
    ReadAhead::Lock lock = m_readAhead.lock();
    qsizetype bytes = 0;
    for (const Entry &e : m_entries)
        bytes += e.voice.pcm.size();
    return bytes;
}
