#include "tests/support/TestProgram.h"

#include "pictures/PictureCache.h"
#include "pictures/PictureDecoder.h"
#include "screens/FormAvvio.h"
#include "screens/FormMenu.h"
#include "tests/support/TestPictures.h"
#include "ui/Button.h"
#include "ui/ClickLabel.h"
#include "voices/VoiceDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

TestFolder::TestFolder(const QByteArray &name) : m_name(name), m_previous(QDir::currentPath())
{
    const QByteArray folder = QFile::encodeName(m_dir.path()) + '/' + name;
    if (!name.isEmpty())
        ::mkdir(folder.constData(), 0777);
    ::chdir(folder.constData());
    m_path = QDir::currentPath();
    QDir().mkdir(QStringLiteral("jpg"));
}

TestFolder::~TestFolder()
{
    QDir::setCurrent(m_previous);
    // QTemporaryDir could not remove a name Qt cannot encode back.
    if (!m_name.isEmpty())
        ::rename((QFile::encodeName(m_dir.path()) + '/' + m_name).constData(),
                 QFile::encodeName(m_dir.filePath(QStringLiteral("x"))).constData());
}

TestRun::TestRun(const QStringList &words, QList<float> randoms, Names names,
                 const QByteArray &settings, const QStringList &voices)
{
    folder.writeWords(words);
    for (const QString &voice : voices) {
        const QString name = voice.section('=', 0, 0), suffix = name.section('.', -1).toLower();
        QDir().mkpath(QFileInfo(name).path());
        writeFile(name, voice.contains('=') ? voice.section('=', 1).toUtf8()
                                            : fileBytes(DIVEVA_VOICE_FIXTURES "/tone." + suffix));
    }
    if (settings == "--schermo-intero")
        m.registry.fillScreensAlways(true);
    else if (!settings.isEmpty())
        writeFile(folder.path() + QStringLiteral("/diveva.ini"), settings);
    if (names == WindowsNames) {
        QDir dir;
        dir.rename(QStringLiteral("lista.txt"), QStringLiteral("LISTA.TXT"));
        dir.rename(QStringLiteral("jpg"), QStringLiteral("JPG"));
        for (int n = 1; n <= qMax(int(words.size()), 1); ++n)
            dir.rename(QStringLiteral("JPG/%1.jpg").arg(n), QStringLiteral("JPG/%1.JPG").arg(n));
    }
    platform.randoms = randoms;
    m.Main();
}

TestRun::~TestRun() { flushDeletes(); }

void TestRun::open(ScreenId id, QList<float> randoms)
{
    if (id == ScreenId::FormMenu) {
        QTest::mouseClick(screen<FormAvvio>(ScreenId::FormAvvio)->Label1, Qt::LeftButton);
    } else {
        if (!screen<FormMenu>(ScreenId::FormMenu))
            open(ScreenId::FormMenu);
        auto *menu = screen<FormMenu>(ScreenId::FormMenu);
        platform.randoms = randoms;
        QTest::mouseClick(id == ScreenId::FormTrova ? menu->Command2 : menu->Command4,
                          Qt::LeftButton);
    }
    flushDeletes();
    platform.beeps = 0;
    platform.events.clear();
    platform.loads = 0;
}

void TestFolder::writeWords(const QStringList &words)
{
    QFile list(QStringLiteral("lista.txt"));
    list.open(QIODevice::WriteOnly);
    for (const QString &w : words)
        list.write(w.toUtf8() + "\r\n");
    writePictures(int(words.size()));
}

void TestFolder::writePictures(int count)
{
    for (int n = 1; n <= qMax(count, 1); ++n) {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(pictureColour(n));
        image.save(QStringLiteral("jpg/%1.jpg").arg(n), "JPEG", 95);
    }
}

int TestFolder::pictureNumberOf(const QImage &image)
{
    if (image.isNull())
        return 0;
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    return qAbs(c.green() - 96) > 8 ? 0 : (c.red() / 16) + 16 * (c.blue() / 16);
}

float ScriptedPlatform::nextRandom()
{
    if (!randoms.isEmpty())
        return randoms.takeFirst();
    return float(m_fallback() >> 8) * (1.0f / 16777216.0f);
}

void ScriptedPlatform::beep()
{
    if (onBeep)
        onBeep();
    ++beeps;
    events << QStringLiteral("beep");
}

void ScriptedPlatform::speak(const QString &path)
{
    if (canSpeak(path))
        events << QFileInfo(path).completeBaseName();
}

bool ScriptedPlatform::canSpeak(const QString &path) { return decodeVoiceFile(path).ok(); }

PictureResult ScriptedPlatform::loadPicture(const QString &path, QSize pixelSize)
{
    if (onLoad)
        onLoad();
    ++loads;
    return pictureCache ? pictureCache->load(path, pixelSize) : decodePicture(path, pixelSize);
}

void ScriptedPlatform::preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes)
{
    preparedPaths = paths;
    preparedSizes = pixelSizes;
}
