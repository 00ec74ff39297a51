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
}

bool ScriptedPlatform::askYesNo(const QString &prompt)
{
    questions << prompt;
    return answers.isEmpty() ? false : answers.takeFirst();
}

PictureResult ScriptedPlatform::loadPicture(const QString &path, QSize pixelSize)
{
    if (onLoad)
        onLoad();
    ++loads;
    return pictureCache ? pictureCache->load(path, pixelSize) : decodePicture(path, pixelSize);
}

QList<PictureResult> ScriptedPlatform::loadPictures(const QList<PictureRequest> &requests)
{
    if (!pictureCache)
        return Platform::loadPictures(requests);
    if (onLoad)
        onLoad();
    loads += int(requests.size());
    return pictureCache->loadAll(requests);
}

QList<PictureProblem> ScriptedPlatform::checkPictures(const QStringList &paths)
{
    return findPictureProblems(paths);
}

void ScriptedPlatform::preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes)
{
    preparedPaths = paths;
    preparedSizes = pixelSizes;
    if (pictureCache)
        pictureCache->warmUp(paths, pixelSizes);
}
