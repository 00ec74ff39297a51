#pragma once

#include "editor/VoiceTake.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QIODevice;

// Recording a word from the default microphone (Qt Multimedia's QAudioSource): toggle() starts,
// a second toggle() stops, and five seconds of sound stop it anyway.
//
// How the editor uses it: from the window's thread, on the record button; `recorded` gives the
// take (mono 16-bit at 24 kHz) for prepareVoice, or why there is none. Starting opens the
// microphone's stream, which takes the sound server some milliseconds; the rest never blocks.
class VoiceRecorder : public QObject {
    Q_OBJECT
public:
    static constexpr int Rate = 24000;
    static constexpr int MaxMs = 5000;

    // Where the sound comes from: the microphone, or in the tests a known signal.
    class Input {
    public:
        virtual ~Input() = default;
        // The device the samples are read from as they come, or null with the cause.
        virtual QIODevice *start(QString &cause) = 0;
        // After the last read.
        virtual void stop() = 0;
    };

    // Without an input, the default microphone.
    explicit VoiceRecorder(std::unique_ptr<Input> input = {}, QObject *parent = nullptr);
    ~VoiceRecorder() override;

    void toggle();
    bool isRecording() const { return m_device != nullptr; }

signals:
    // cause is empty when take holds the recording.
    void recorded(const Take &take, const QString &cause);

private:
    void read();
    void finish();

    std::unique_ptr<Input> m_input;
    QIODevice *m_device = nullptr;
    QByteArray m_pcm;
    QTimer m_limit; // for a microphone that stops sending: five seconds by the clock
};
