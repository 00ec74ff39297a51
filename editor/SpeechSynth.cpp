#include "editor/SpeechSynth.h"

#include <espeak-ng/speak_lib.h>

#include <mutex>

namespace {

std::mutex engine; // eSpeak NG's state is global: one word at a time, in any thread
int rate = 0;      // the engine's, once it is ready

int collect(short *samples, int count, espeak_EVENT *events)
{
    if (samples && count > 0)
        static_cast<QByteArray *>(events->user_data)
            ->append(reinterpret_cast<const char *>(samples), qsizetype(count) * 2);
    return 0; // go on
}

} // namespace

SpokenWord speakItalian(const QString &word)
{
    std::lock_guard lock(engine);
    if (rate <= 0) {
        rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (rate <= 0 || espeak_SetVoiceByName("it") != EE_OK) {
            rate = 0;
            return {{},
                    QStringLiteral("voce sintetica non disponibile: manca il pacchetto "
                                   "espeak-ng-data")};
        }
        espeak_SetSynthCallback(collect);
        // A little slower than eSpeak's 175 words a minute, for children.
        espeak_SetParameter(espeakRATE, 140, 0);
    }
    SpokenWord spoken{{{}, rate}, {}};
    const QByteArray text = word.toUtf8();
    if (espeak_Synth(text.constData(), size_t(text.size()) + 1, 0, POS_CHARACTER, 0,
                     espeakCHARS_UTF8, nullptr, &spoken.take.pcm)
        != EE_OK)
        spoken.cause = QStringLiteral("la voce sintetica non ha potuto dire «%1»").arg(word);
    else if (spoken.take.pcm.isEmpty())
        spoken.cause = QStringLiteral("la voce sintetica non ha nulla da dire per «%1»").arg(word);
    return spoken;
}
