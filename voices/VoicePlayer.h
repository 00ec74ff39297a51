#pragma once

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <mutex>

class QThread;

// Plays voices from memory (Voice::pcm, in VoiceFormat) through one output stream of Qt
// Multimedia's QAudioSink, kept open from open() to close() and fed with silence between voices:
// a stream that stops lets PulseAudio suspend its sink, which then takes 0.5 to 2 s to wake for
// the next word.
//
// How the program uses it: one player, built with the window (building it touches no sound
// system); open() once the start screen has been painted, or when an exercise opens; play() when a
// question is shown; close() when the exercises are left. Every call is made from the thread that
// built the player and returns at once: the sound system is opened, fed and closed in a thread
// of the player's own, so the window never waits for it, not even for a sound server that does
// not answer. A new play() cuts off the voice playing. Without a sound device or a sound server,
// the player is Silent: play() does nothing, and nothing is shown or waited for.
class VoicePlayer : public QObject {
    Q_OBJECT
public:
    enum class State {
        Closed,  // not opened, or closed
        Opening, // open() was called; the sound thread is opening the stream
        Open,    // the stream plays silence or a voice
        Silent,  // no sound device or server, or the stream failed: nothing plays until open()
    };
    Q_ENUM(State)

    explicit VoicePlayer(QObject *parent = nullptr);
    // Closes the stream and ends the sound thread; leaves the thread behind, rather than hold the
    // end of the program, when the sound server does not answer within a few seconds.
    ~VoicePlayer() override;

    void open();
    void close();
    // Starts pcm at once, cutting off the voice playing, and gives the number clipStarted will
    // report it under. Kept only while the player is open or opening.
    quint64 play(const QByteArray &pcm);
    // Silence at once.
    void stop();

    State state() const { return m_state.load(); }
    // The clock of clipStarted: the monotonic clock, in nanoseconds.
    static qint64 now();

signals:
    // Emitted from the sound thread; connections to objects of other threads are queued.
    void stateChanged(VoicePlayer::State state);
    // The first samples of clip were accepted by the sound server, at monotonicNs (see now()).
    void clipStarted(quint64 clip, qint64 monotonicNs);

private:
    class Output;
    friend class Output;

    // What the sound thread plays next; shared with it under m_mutex.
    struct Clip {
        QByteArray pcm;
        qsizetype position = 0;
        quint64 serial = 0;
        bool started = false;
    };
    void setState(State state);

    std::mutex m_mutex;
    Clip m_clip;
    std::atomic<State> m_state{State::Closed};
    QThread *m_thread = nullptr;
    Output *m_output = nullptr;
};
