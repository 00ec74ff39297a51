#include "core/Modulo1.h"

#include "core/Messages.h"
#include "core/SafeFile.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

Modulo1::Modulo1(Platform &platform) : platform(platform) {}

void Modulo1::Main()
{
    Q_ASSERT(screens);
    Percorso = QDir::currentPath();
    folder = TeacherFolder::workingDirectory(Percorso);
    if (folder.hasUnfinishedSave())
        platform.fatal(Messages::errorReport(
            QStringLiteral("La cartella ha un salvataggio non finito."), Percorso,
            QStringLiteral("«Diveva – prepara gli esercizi» si è fermato a metà mentre la salvava; "
                           "aprendo la cartella con «Diveva – prepara gli esercizi» il "
                           "salvataggio si completa")));

    folder.resolveParts();
    listFile = folder.shownPath(listPart());
    const FileContents file = folder.readList();
    const QString failure = QStringLiteral("Impossibile leggere l'elenco delle parole.");
    if (!file.ok())
        platform.fatal(Messages::errorReport(failure, listFile, file.cause));
    const WordList list = parseWordList(file.data);
    if (!list.ok())
        platform.fatal(Messages::errorReport(failure, listFile, list.cause));
    NumParole = 0;
    for (const QString &w : list.words)
        Parole.at(static_cast<std::size_t>(++NumParole)) = w;

    // Picture 1 is needed even for an empty list: every draw then gives 1.
    const int pictures = qMax<int>(NumParole, 1);
    folder.resolvePictures(pictures);
    QStringList paths;
    for (int n = 1; n <= pictures; ++n)
        paths.append(picturePath(n));
    QList<PictureProblem> bad = platform.checkPictures(paths);
    for (PictureProblem &p : bad)
        p.path = shownPicturePath(p.number);
    if (!bad.isEmpty())
        platform.fatal(Messages::pictureProblemsReport(bad, pictures));

    screens->show(ScreenId::FormAvvio);

    // With the start screen up, the pictures of the exercises are read ahead in the background.
    paths.resize(NumParole);
    const qreal ratio = screens->devicePixelRatio(ScreenId::FormAvvio);
    QList<QSize> sizes;
    for (const QSize &s : std::as_const(readAheadSizes))
        sizes.append(devicePixels(s, ratio));
    platform.preparePictures(paths, sizes);
}

void Modulo1::checkFolderUnchanged()
{
    if (folder.listChanged())
        platform.fatal(Messages::errorReport(
            QStringLiteral("La cartella è cambiata mentre il programma era aperto: per usarla va "
                           "riaperta."),
            listFile,
            QStringLiteral("l'elenco delle parole non è più quello letto all'avvio (la cartella è "
                           "stata salvata di nuovo?)")));
}

void Modulo1::ConfermaUscita()
{
    if (platform.askYesNo(QStringLiteral("Vuoi uscire dal programma?")))
        platform.endProgram(0);
}

qint16 Modulo1::drawWordNumber()
{
    // The product is taken in double precision: r x NumParole stays below NumParole for every
    // single-precision r below 1.
    const double r = platform.nextRandom();
    return static_cast<qint16>(std::floor(r * double(NumParole)) + 1);
}

int Modulo1::drawSlot()
{
    const double r = platform.nextRandom();
    return static_cast<int>(std::floor(r * SlotsPerQuestion));
}

QString Modulo1::tooFewWordsMessage() const
{
    return Messages::tooFewWords(NumParole, QFileInfo(listFile).fileName());
}

QString Modulo1::inFolder(const QString &relative) const
{
    // Joined without doubling the separator when the folder is the root of the file system.
    return Percorso.endsWith(QLatin1Char('/')) ? Percorso + relative
                                               : Percorso + QLatin1Char('/') + relative;
}

QString Modulo1::listPath() const { return folder.path(listPart()); }

// Before Main has named the pictures, picture n is where its number puts it.
QString Modulo1::picturePath(int n) const
{
    const QString path = folder.picturePath(n);
    return path.isEmpty()
               ? inFolder(QStringLiteral("jpg/") + QString::number(n) + QStringLiteral(".jpg"))
               : path;
}

QString Modulo1::shownPicturePath(int n) const
{
    const QString path = folder.shownPicturePath(n);
    return path.isEmpty() ? picturePath(n) : path;
}

void Modulo1::switchScreen(ScreenId from, ScreenId to)
{
    screens->show(to);
    screens->unload(from);
}

void Modulo1::closedByUser(ScreenId id)
{
    screens->unload(id);
    if (screens->loadedCount() == 0)
        platform.endProgram(0);
}
