#include "core/Modulo1.h"

#include "core/Messages.h"
#include "core/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

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

    // The teacher's settings, beside the list; without the file, the program's own behaviour.
    const SettingsFile read = readSettings(folder.filePath("diveva.ini"));
    if (!read.ok())
        platform.fatal(Messages::errorReport(
            QStringLiteral("Impossibile leggere le impostazioni dell'esercizio."),
            folder.shownFilePath("diveva.ini"), read.cause));
    settings = read.settings;

    // Picture 1 is needed even for an empty list: every draw then gives 1.
    const int pictures = qMax<int>(NumParole, 1);
    folder.resolvePictures(pictures);
    if (settings.voce)
        folder.resolveVoices(NumParole);
    QStringList paths;
    for (int n = 1; n <= pictures; ++n)
        paths.append(picturePath(n));
    QList<PictureProblem> bad = platform.checkPictures(paths);
    for (PictureProblem &p : bad)
        p.path = shownPicturePath(p.number);
    if (!bad.isEmpty())
        platform.fatal(Messages::pictureProblemsReport(bad, pictures));

    screens->show(ScreenId::FormAvvio);
    // The exercises' boxes in this window's pixels, for the reading ahead: their windows fill
    // the same screen at the same scale.
    for (const QSize &s : std::as_const(readAheadSizes))
        m_readAheadPixels.append(screens->pixelSize(ScreenId::FormAvvio, s));
}

void Modulo1::speak(int n)
{
    if (const QString path = voicePath(n); !path.isEmpty())
        platform.speak(path);
}

bool Modulo1::canSpeak(int n)
{
    const QString path = voicePath(n);
    return !path.isEmpty() && platform.canSpeak(path);
}

void Modulo1::startReadingAhead()
{
    if (m_readingAhead)
        return;
    m_readingAhead = true;
    QStringList pictures, voices;
    for (int n = 1; n <= NumParole; ++n) {
        pictures.append(picturePath(n));
        if (const QString path = voicePath(n); !path.isEmpty())
            voices.append(path);
    }
    platform.preparePictures(pictures, m_readAheadPixels);
    // A folder without voices never opens the sound system.
    if (!voices.isEmpty())
        platform.prepareVoices(voices);
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

int Modulo1::drawSlot(int choices)
{
    const double r = platform.nextRandom();
    return static_cast<int>(std::floor(r * choices));
}

int Modulo1::differentWords() const
{
    if (settings.scrittura == Settings::Scrittura::ComeElenco)
        return NumParole; // repeated words are legal: every entry counts
    QSet<QString> shown;
    for (int n = 1; n <= NumParole; ++n)
        shown.insert(shownWord(n));
    return int(shown.size());
}

QString Modulo1::tooFewWordsMessage() const
{
    const QString listName = QFileInfo(listFile).fileName();
    switch (settings.scrittura) {
    case Settings::Scrittura::ComeElenco:
        break;
    case Settings::Scrittura::Maiuscolo:
        return Messages::tooFewWords(differentWords(), listName, settings.scelte,
                                     QStringLiteral("in maiuscolo"));
    case Settings::Scrittura::Minuscolo:
        return Messages::tooFewWords(differentWords(), listName, settings.scelte,
                                     QStringLiteral("in minuscolo"));
    }
    return Messages::tooFewWords(NumParole, listName, settings.scelte);
}

void Modulo1::beep()
{
    if (settings.segnaleAcustico)
        platform.beep();
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
