// Writes the example folder's voices: word k of its list spoken by eSpeak NG's Italian voice and
// made ready as the editor makes every voice (trimmed, levelled, Ogg Opus), as voce/k.ogg. The
// same as the editor's «Voce sintetica per le parole senza voce» on a folder without voices.
//
// Usage: diveva_example_voices <folder>   (built with the project: build/…/tools/…)

#include "editor/FolderStore.h"
#include "editor/SpeechSynth.h"
#include "editor/VoiceTake.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: %s CARTELLA\n", argv[0]);
        return 2;
    }
    const QString folder = QFile::decodeName(argv[1]);
    const LoadedFolder loaded = loadFolder(folder);
    if (!loaded.ok() || loaded.entries.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(loaded.cause));
        return 1;
    }
    QDir(folder).mkpath(QStringLiteral("voce"));
    for (int k = 1; k <= loaded.entries.size(); ++k) {
        const QString word = loaded.entries[k - 1].word;
        const SpokenWord spoken = speakItalian(word);
        const EncodedVoice voice =
            spoken.cause.isEmpty() ? prepareVoice(spoken.take) : EncodedVoice{{}, spoken.cause};
        QFile file(QStringLiteral("%1/voce/%2.ogg").arg(folder).arg(k));
        if (!voice.cause.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(voice.bytes) != voice.bytes.size()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(word), qPrintable(voice.cause));
            return 1;
        }
        std::printf("%d. %s: %lld ms, %lld byte\n", k, qPrintable(word),
                    static_cast<long long>(voice.durationMs),
                    static_cast<long long>(voice.bytes.size()));
    }
    return 0;
}
