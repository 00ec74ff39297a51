#include "Modulo1.h"

#include "Controls.h"
#include "FolderCheck.h"
#include "SafeFile.h"
#include "WordList.h"

#include <QDir>

#include <cmath>

const QString Modulo1::Title = QStringLiteral("Diveva PAROLE/IMMAGINI");

Modulo1::Modulo1(Platform &platform)
    : platform(platform), registry([this](ScreenId id) { return createScreen(*this, id); })
{
    registry.onLastClosed = [this] { this->platform.endProgram(0); };
}

QString errorReport(const QString &what, const QString &path, const QString &cause)
{
    return QStringLiteral("%1\n\nFile: %2\nCausa: %3.").arg(what, QDir::toNativeSeparators(path), cause);
}

void Modulo1::Main()
{
    Percorso = QDir::currentPath();

    const QString path = resolveLetterCase(listPath());
    const FileContents file = readRegularFile(path, WordList::MaxFileBytes);
    const QString failure = QStringLiteral("Impossibile leggere l'elenco delle parole.");
    if (!file.ok())
        platform.fatal(errorReport(failure, path, file.cause));
    const WordList list = parseWordList(file.data);
    if (!list.ok())
        platform.fatal(errorReport(failure, path, list.cause));
    NumParole = 0;
    for (const QString &w : list.words)
        Parole.at(static_cast<std::size_t>(++NumParole)) = w;

    // Picture 1 is needed even for an empty list: every draw then gives 1.
    const int pictures = qMax<int>(NumParole, 1);
    QStringList paths;
    for (int n = 1; n <= pictures; ++n)
        paths.append(resolveLetterCase(picturePath(n)));
    const QList<PictureProblem> bad =
        findPictureProblems(pictures, [&paths](int n) { return paths.at(n - 1); });
    if (!bad.isEmpty())
        platform.fatal(pictureProblemsReport(bad, pictures));

    const Screen *start = registry.show(ScreenId::FormAvvio);

    // With the start screen up, the pictures of the exercises are read ahead in the background.
    paths.resize(NumParole);
    QList<QSize> sizes;
    for (const QSize &s : ExercisePictureSizes)
        sizes.append(devicePixels(s, start->devicePixelRatioF()));
    platform.preparePictures(paths, sizes);
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
    const QString held = NumParole == 0   ? QStringLiteral("non contiene nessuna parola")
                         : NumParole == 1 ? QStringLiteral("contiene una sola parola")
                                          : QStringLiteral("contiene solo %1 parole").arg(NumParole);
    return QStringLiteral("L'elenco delle parole (lista.txt) %1: per gli esercizi ne servono "
                          "almeno sei, tutte diverse.")
        .arg(held);
}

QString Modulo1::inFolder(const QString &relative) const
{
    // Joined without doubling the separator when the folder is the root of the file system.
    return Percorso.endsWith(QLatin1Char('/')) ? Percorso + relative
                                               : Percorso + QLatin1Char('/') + relative;
}

QString Modulo1::listPath() const { return inFolder(QStringLiteral("lista.txt")); }

QString Modulo1::picturePath(int n) const
{
    return inFolder(QStringLiteral("jpg/") + QString::number(n) + QStringLiteral(".jpg"));
}

QSize devicePixels(QSize size, qreal devicePixelRatio)
{
    return (QSizeF(size) * devicePixelRatio).toSize();
}

void Modulo1::loadPicture(PictureBox &box, int n)
{
    const QString path = resolveLetterCase(picturePath(n));
    const QSize pixels = devicePixels(box.size(), box.devicePixelRatioF());
    showPicture(box, n, path, platform.loadPicture(path, pixels));
}

void Modulo1::loadPictures(const QList<PictureBox *> &boxes, const QList<int> &numbers)
{
    Q_ASSERT(boxes.size() == numbers.size());
    QList<PictureRequest> requests;
    for (qsizetype i = 0; i < boxes.size(); ++i)
        requests.append({resolveLetterCase(picturePath(numbers[i])),
                         devicePixels(boxes[i]->size(), boxes[i]->devicePixelRatioF())});
    const QList<PictureResult> results = platform.loadPictures(requests);
    for (qsizetype i = 0; i < boxes.size(); ++i)
        showPicture(*boxes[i], numbers[i], requests[i].path, results.at(i));
}

void Modulo1::showPicture(PictureBox &box, int n, const QString &path, const PictureResult &result)
{
    if (!result.ok())
        platform.fatal(errorReport(QStringLiteral("Impossibile mostrare l'immagine %1.").arg(n), path,
                                   result.cause));
    QImage image = result.image;
    image.setDevicePixelRatio(box.devicePixelRatioF());
    box.setPicture(image);
}

void Modulo1::switchScreen(const Screen &from, ScreenId to) { registry.switchScreen(from.id(), to); }
