#include "core/Messages.h"

#include "core/Platform.h"

#include <QDir>
#include <QStringList>

namespace Messages {

QString errorReport(const QString &what, const QString &path, const QString &cause)
{
    return QStringLiteral("%1\n\nFile: %2\nCausa: %3.")
        .arg(what, QDir::toNativeSeparators(path), cause);
}

QString pictureProblemsReport(const QList<PictureProblem> &problems, int count)
{
    // One line a file keeps a report of twenty files within a screen's height.
    QString report =
        problems.size() == 1
            ? QStringLiteral("Un'immagine manca o non si può mostrare (1 su %1):\n").arg(count)
            : QStringLiteral("Alcune immagini mancano o non si possono mostrare (%1 su %2):\n")
                  .arg(problems.size())
                  .arg(count);
    for (qsizetype i = 0; i < problems.size() && i < MaxListedProblems; ++i) {
        const PictureProblem &p = problems.at(i);
        report += QStringLiteral("\n%1: %2").arg(QDir::toNativeSeparators(p.path), p.cause);
    }
    const qsizetype more = problems.size() - MaxListedProblems;
    if (more == 1)
        report += QStringLiteral("\n... e un'altra");
    else if (more > 1)
        report += QStringLiteral("\n... e altre %1").arg(more);
    return report;
}

QString tooFewWords(int count, const QString &listFile, int needed, const QString &shownAs)
{
    static const QStringList numbers{QStringLiteral("due"), QStringLiteral("tre"),
                                     QStringLiteral("quattro"), QStringLiteral("cinque"),
                                     QStringLiteral("sei")};
    QString held = count == 0   ? QStringLiteral("non contiene nessuna parola")
                   : count == 1 ? QStringLiteral("contiene una sola parola")
                                : QStringLiteral("contiene solo %1 parole").arg(count);
    if (!shownAs.isEmpty() && count > 0)
        held += count == 1 ? QStringLiteral(" diversa") : QStringLiteral(" diverse");
    const QString list =
        shownAs.isEmpty()
            ? QStringLiteral("L'elenco delle parole (%1)").arg(listFile)
            : QStringLiteral("L'elenco delle parole (%1), scritto %2,").arg(listFile, shownAs);
    // Repeated words are allowed when words are shown as written: entries are counted then.
    return QStringLiteral("%1 %2: per gli esercizi ne servono almeno %3.")
        .arg(list, held, numbers.value(needed - 2, QString::number(needed)));
}

} // namespace Messages
