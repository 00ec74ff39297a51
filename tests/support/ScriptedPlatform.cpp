#include "tests/support/ScriptedPlatform.h"

#include "pictures/FolderCheck.h"
#include "pictures/PictureCache.h"
#include "pictures/PictureDecoder.h"

float ScriptedPlatform::nextRandom()
{
    ++randomsTaken;
    if (!randoms.isEmpty())
        return randoms.takeFirst();
    return float(m_fallback() >> 8) * (1.0f / 16777216.0f);
}

void ScriptedPlatform::beep()
{
    if (onBeep)
        onBeep();
    ++beeps;
    log << QStringLiteral("beep");
}

bool ScriptedPlatform::askYesNo(const QString &prompt)
{
    questions << prompt;
    log << QStringLiteral("ask:") + prompt;
    return answers.isEmpty() ? false : answers.takeFirst();
}

void ScriptedPlatform::inform(const QString &text)
{
    informs << text;
    log << QStringLiteral("inform:") + text;
}

void ScriptedPlatform::fatal(const QString &report) { throw ScriptedFatal(report); }

void ScriptedPlatform::endProgram(int status)
{
    endStatus = status;
    log << QStringLiteral("end:%1").arg(status);
}

PictureResult ScriptedPlatform::loadPicture(const QString &path, QSize pixelSize)
{
    if (onLoad)
        onLoad();
    loadedPaths << path;
    log << QStringLiteral("load:") + path;
    if (!readPictures) {
        QImage image(pixelSize, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        return PictureResult{image, {}};
    }
    return pictureCache ? pictureCache->load(path, pixelSize) : decodePicture(path, pixelSize);
}

QList<PictureResult> ScriptedPlatform::loadPictures(const QList<PictureRequest> &requests)
{
    if (onLoad)
        onLoad();
    if (!pictureCache || !readPictures)
        return Platform::loadPictures(requests);
    for (const PictureRequest &r : requests) {
        loadedPaths << r.path;
        log << QStringLiteral("load:") + r.path;
    }
    return pictureCache->loadAll(requests);
}

QList<PictureProblem> ScriptedPlatform::checkPictures(const QStringList &paths)
{
    return readPictures ? findPictureProblems(paths) : QList<PictureProblem>();
}

void ScriptedPlatform::preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes)
{
    preparedPaths = paths;
    preparedSizes = pixelSizes;
    log << QStringLiteral("prepare:%1").arg(paths.size());
    if (pictureCache && readPictures)
        pictureCache->warmUp(paths, pixelSizes);
}
