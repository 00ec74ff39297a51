#include "editor/VoiceRecorder.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QMediaDevices>

namespace {

constexpr qsizetype MaxBytes = qsizetype(VoiceRecorder::Rate) * 2 * VoiceRecorder::MaxMs / 1000;

class Microphone : public VoiceRecorder::Input {
public:
    QIODevice *start(QString &cause) override
    {
        QAudioFormat format;
        format.setSampleRate(VoiceRecorder::Rate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        const QAudioDevice device = QMediaDevices::defaultAudioInput();
        if (device.isNull() || !device.isFormatSupported(format)) {
            cause = QStringLiteral("nessun microfono disponibile");
            return nullptr;
        }
        m_source = std::make_unique<QAudioSource>(device, format);
        QIODevice *samples = m_source->start();
        if (!samples)
            cause = QStringLiteral("impossibile registrare dal microfono");
        return samples;
    }
    void stop() override { m_source.reset(); }

private:
    std::unique_ptr<QAudioSource> m_source;
};

} // namespace

VoiceRecorder::VoiceRecorder(std::unique_ptr<Input> input, QObject *parent)
    : QObject(parent), m_input(input ? std::move(input) : std::make_unique<Microphone>())
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(MaxMs + 500);
    connect(&m_limit, &QTimer::timeout, this, &VoiceRecorder::finish);
}

VoiceRecorder::~VoiceRecorder()
{
    if (m_device)
        m_input->stop();
}

void VoiceRecorder::toggle()
{
    if (m_device)
        return finish();
    QString cause;
    m_pcm.clear();
    m_device = m_input->start(cause);
    if (!m_device) {
        emit recorded({{}, Rate}, cause);
        return;
    }
    connect(m_device, &QIODevice::readyRead, this, &VoiceRecorder::read);
    m_limit.start();
    // What the input already holds.
    QMetaObject::invokeMethod(this, &VoiceRecorder::read, Qt::QueuedConnection);
}

void VoiceRecorder::read()
{
    if (!m_device)
        return;
    m_pcm += m_device->read(MaxBytes - m_pcm.size());
    if (m_pcm.size() >= MaxBytes)
        finish();
}

void VoiceRecorder::finish()
{
    if (!m_device)
        return;
    m_pcm += m_device->read(MaxBytes - m_pcm.size());
    m_device->disconnect(this);
    m_device = nullptr;
    m_input->stop();
    m_limit.stop();
    m_pcm.truncate(m_pcm.size() & ~qsizetype(1));
    emit recorded({m_pcm, Rate}, m_pcm.isEmpty()
                                     ? QStringLiteral("il microfono non ha dato alcun suono")
                                     : QString());
}
