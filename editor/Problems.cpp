#include "editor/Problems.h"

#include "core/WordList.h"

#include <QHash>

QList<Problem> listProblems(const QList<Entry> &entries, const ExerciseFacts &facts,
                            const QHash<int, QString> &unreadable)
{
    QList<Problem> out;
    QHash<QString, int> first;
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
        if (facts.wordWidth && facts.wordWidth(e.word) > facts.wordLabelWidth)
            add(false,
                QStringLiteral("La parola è troppo larga: nell'esercizio «Riconosci l'immagine "
                               "corrispondente alla parola» si vedrà tagliata."));
    }
    if (entries.size() > WordList::Capacity)
        out.append({-1, true,
                    QStringLiteral("Le parole sono %1: al massimo possono essere %2.")
                        .arg(entries.size())
                        .arg(WordList::Capacity)});
    else if (entries.size() < 6)
        out.append({-1, false,
                    QStringLiteral("Le parole sono %1: gli esercizi ne vogliono almeno "
                                   "sei e non si apriranno.")
                        .arg(entries.size())});
    return out;
}

bool blocksSaving(const QList<Problem> &problems)
{
    return std::any_of(problems.begin(), problems.end(),
                       [](const Problem &p) { return p.blocking; });
}
