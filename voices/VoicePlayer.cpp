#include "voices/VoicePlayer.h"

#include "voices/VoiceDecoder.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstring>

namespace {

// The stream holds 60 ms of sound ahead of the device and is topped up every 10 ms: a voice is
// handed over within 10 ms of play() and heard about 60 ms later, and the window's thread or the
// pictures' decoding can hold the sound thread for 50 ms before the stream runs dry.
constexpr qsizetype StreamBytes = VoiceFormat::BytesPerSecond * 60 / 1000;
constexpr int FeedMs = 10;

} // namespace

// The stream, in the sound thread. Qt's PulseAudio sink is fed here by writing (its push mode):
// in pull mode it reads in fixed 20 ms steps and stalls, never starting, when its buffer is not a
// whole number of steps, which the server decides.
class VoicePlayer::Output : public QObject {
public:
    explicit Output(VoicePlayer &player) : m_player(player), m_feed(this)
    {
        m_feed.setTimerType(Qt::PreciseTimer);
        m_feed.setInterval(FeedMs);
        connect(&m_feed, &QTimer::timeout, this, &Output::feed);
    }
    ~Output() override { closeStream(); }

    void openStream()
    {
        if (m_sink)
            return;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull() || !device.isFormatSupported(VoiceFormat::audioFormat())) {
            m_player.setState(State::Silent);
            return;
        }
        m_sink = new QAudioSink(device, VoiceFormat::audioFormat(), this);
        m_sink->setBufferSize(StreamBytes);
        m_stream = m_sink->start();
        if (!m_stream) {
            dropStream(State::Silent);
            return;
        }
        // The server went away: silence until the next open().
        connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State s) {
            if (s == QAudio::StoppedState && m_sink->error() != QAudio::NoError)
                dropStream(State::Silent);
        });
        feed();
        m_feed.start();
        m_player.setState(State::Open);
    }

    void closeStream()
    {
        if (m_sink)
            dropStream(State::Closed);
    }

    // Fills the room the stream has with the clip, then silence.
    void feed()
    {
        if (!m_stream)
            return;
        const qsizetype room = m_sink->bytesFree() & ~qsizetype(1);
        if (room <= 0)
            return;
        m_buffer.resize(room);
        qsizetype taken = 0;
        quint64 serial = 0;
        bool first = false;
        {
            std::lock_guard lock(m_player.m_mutex);
            Clip &clip = m_player.m_clip;
            taken = qMin(room, clip.pcm.size() - clip.position);
            std::memcpy(m_buffer.data(), clip.pcm.constData() + clip.position, size_t(taken));
            clip.position += taken;
            serial = clip.serial;
            first = taken > 0 && !clip.started;
        }
        std::memset(m_buffer.data() + taken, 0, size_t(room - taken));
        const qint64 written = m_stream->write(m_buffer.constData(), room);
        const qint64 at = now();
        if (written < taken) { // the server took less: the rest of the clip goes next time
            std::lock_guard lock(m_player.m_mutex);
            Clip &clip = m_player.m_clip;
            if (clip.serial == serial) {
                clip.position -= taken - qMax<qint64>(written, 0);
                first = first && written > 0;
                clip.started = clip.started || first;
            }
        } else if (first) {
            std::lock_guard lock(m_player.m_mutex);
            if (m_player.m_clip.serial == serial)
                m_player.m_clip.started = true;
        }
        if (first)
            emit m_player.clipStarted(serial, at);
    }

private:
    void dropStream(State state)
    {
        m_feed.stop();
        if (m_sink) {
            m_sink->disconnect(this);
            m_sink->stop();
            delete m_sink;
        }
        m_sink = nullptr;
        m_stream = nullptr;
        {
            std::lock_guard lock(m_player.m_mutex);
            m_player.m_clip.pcm.clear();
            m_player.m_clip.position = 0;
        }
        m_player.setState(state);
    }

    VoicePlayer &m_player;
    QTimer m_feed;
    QAudioSink *m_sink = nullptr;
    QIODevice *m_stream = nullptr; // the sink's, written to
    QByteArray m_buffer;
};

VoicePlayer::VoicePlayer(QObject *parent) : QObject(parent) {}

VoicePlayer::~VoicePlayer()
{
    if (!m_thread)
        return;
    m_thread->quit();
    if (m_thread->wait(3000))
        delete m_thread;
    // Otherwise the thread is still waiting for the sound server: it is left to the end of the
    // program, with the output it holds, rather than hold that end.
}

qint64 VoicePlayer::now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void VoicePlayer::setState(State state)
{
    if (m_state.exchange(state) != state)
        emit stateChanged(state);
}

void VoicePlayer::open()
{
    if (!m_thread) {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("diveva-voices"));
        m_output = new Output(*this);
        m_output->moveToThread(m_thread);
        // The output ends in its own thread, as that thread's last act.
        connect(
            m_thread, &QThread::finished, m_output, [output = m_output] { delete output; },
            Qt::DirectConnection);
        m_thread->start(QThread::TimeCriticalPriority);
    }
    if (state() == State::Open || state() == State::Opening)
        return;
    setState(State::Opening);
    QMetaObject::invokeMethod(m_output, [output = m_output] { output->openStream(); });
}

void VoicePlayer::close()
{
    if (!m_thread || state() == State::Closed)
        return;
    stop();
    QMetaObject::invokeMethod(m_output, [output = m_output] { output->closeStream(); });
}

quint64 VoicePlayer::play(const QByteArray &pcm)
{
    const State s = state();
    std::lock_guard lock(m_mutex);
    m_clip.serial += 1;
    m_clip.started = false;
    m_clip.position = 0;
    m_clip.pcm = (s == State::Open || s == State::Opening) ? pcm : QByteArray();
    m_clip.pcm.truncate(m_clip.pcm.size() & ~qsizetype(1));
    if (!m_clip.pcm.isEmpty())
        QMetaObject::invokeMethod(m_output, [output = m_output] { output->feed(); });
    return m_clip.serial;
}

void VoicePlayer::stop()
{
    std::lock_guard lock(m_mutex);
    m_clip.pcm.clear();
    m_clip.position = 0;
}
