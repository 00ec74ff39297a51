#include "editor/Problems.h"

#include "core/WordList.h"

#include <QFileInfo>
#include <QHash>
#include <QLocale>

namespace {
constexpr qint64 LongestVoiceMs = 5000;
}

QList<Problem> listProblems(const QList<Entry> &entries, const ExerciseFacts &facts,
                            const Settings &settings, const QHash<int, QString> &unreadable,
                            const QHash<int, VoiceCheck> &voices)
{
    QList<Problem> out;
    QHash<QString, int> first, firstShown;
    QStringList silent;
    const QString written = settings.scrittura == Settings::Scrittura::Maiuscolo
                                ? QStringLiteral("in maiuscolo")
                                : QStringLiteral("in minuscolo");
    for (int row = 0; row < entries.size(); ++row) {
        const Entry &e = entries[row];
        auto add = [&](bool blocking, const QString &text) { out.append({row, blocking, text}); };
        if (e.word.contains(u'"'))
            add(true, QStringLiteral("Le virgolette doppie (\") non possono stare in una parola."));
        // The list's reader refuses control characters other than a tab, and a line end splits
        // the word.
        if (std::any_of(e.word.begin(), e.word.end(),
                        [](QChar c) { return c.category() == QChar::Other_Control && c != u'\t'; }))
            add(true, QStringLiteral("La parola contiene un a capo o un carattere di controllo."));
        if (e.picture.isEmpty())
            add(true, QStringLiteral("Manca l'immagine."));
        else if (unreadable.contains(row))
            add(true, QStringLiteral("L'immagine non si può leggere: %1.").arg(unreadable[row]));
        if (e.word.trimmed().isEmpty())
            add(false, QStringLiteral("La parola è vuota."));
        else if (first.contains(e.word))
            add(false, QStringLiteral("La parola è uguale a quella della riga %1: nell'esercizio "
                                      "«Diveva l'immagine alla parola» valgono giuste tutte e due.")
                           .arg(first[e.word] + 1));
        else
            first.insert(e.word, row);
        // Capitals or lower case make two words one: the exercises never show them together.
        const QString shown = settings.shown(e.word);
        if (settings.scrittura != Settings::Scrittura::ComeElenco) {
            const int other = firstShown.value(shown, -1);
            if (other >= 0 && entries[other].word != e.word)
                add(false, QStringLiteral("Scritta %1, «%2» si legge come «%3» della riga %4: "
                                          "negli esercizi contano come una parola sola.")
                               .arg(written, e.word, entries[other].word)
                               .arg(other + 1));
            else if (other < 0)
                firstShown.insert(shown, row);
        }
        if (e.voice.isEmpty()) {
            silent << e.word;
        } else if (const VoiceCheck v = voices.value(row); !v.cause.isEmpty()) {
            add(true, QStringLiteral("La voce non si può ascoltare: %1.").arg(v.cause));
        } else if (v.ms > LongestVoiceMs) {
            add(false, QStringLiteral("La voce dura %1 secondi: più di 5 è troppo per una parola.")
                           .arg(QLocale(QLocale::Italian).toString(v.ms / 1000.0, 'f', 1)));
        }
        if (!e.voice.ignored.isEmpty())
            add(false, QStringLiteral("Per questa parola la cartella voce ha anche %1, che non si "
                                      "sente: salvando resta solo la voce di %2.")
                           .arg(e.voice.ignored.join(QStringLiteral(", ")),
                                QFileInfo(e.voice.file).fileName()));
        if (facts.wordWidth && facts.wordWidth(shown) > facts.wordLabelWidth)
            add(false,
                QStringLiteral("La parola è troppo larga: nell'esercizio «Riconosci l'immagine "
                               "corrispondente alla parola» si vedrà tagliata."));
    }
    if (entries.size() > WordList::Capacity)
        out.append({-1, true,
                    QStringLiteral("Le parole sono %1: al massimo possono essere %2.")
                        .arg(entries.size())
                        .arg(WordList::Capacity)});
    else if (settings.scrittura == Settings::Scrittura::ComeElenco
             && entries.size() < settings.scelte)
        out.append({-1, false,
                    QStringLiteral("Le parole sono %1: con %2 scelte gli esercizi ne vogliono "
                                   "almeno %2 e non si apriranno.")
                        .arg(entries.size())
                        .arg(settings.scelte)});
    else if (firstShown.size() < settings.scelte
             && settings.scrittura != Settings::Scrittura::ComeElenco)
        out.append({-1, false,
                    QStringLiteral("Le parole diverse, scritte %1, sono %2: con %3 scelte gli "
                                   "esercizi ne vogliono almeno %3 e non si apriranno.")
                        .arg(written)
                        .arg(firstShown.size())
                        .arg(settings.scelte)});
    if (silent.size() == entries.size() && settings.ascolto && !entries.isEmpty())
        out.append({-1, true,
                    QStringLiteral("«Solo ascolto» vuole le voci delle parole, e nessuna parola "
                                   "ha una voce: registrarle, o togliere «Solo ascolto».")});
    else if (!silent.isEmpty() && silent.size() < entries.size())
        out.append({-1, false,
                    QStringLiteral("Senza voce: %1. Negli esercizi queste parole non si sentono.")
                        .arg(silent.join(QStringLiteral(", "))),
                    true});
    return out;
}

bool blocksSaving(const QList<Problem> &problems)
{
    return std::any_of(problems.begin(), problems.end(),
                       [](const Problem &p) { return p.blocking; });
}
