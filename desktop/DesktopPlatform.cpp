#include "desktop/DesktopPlatform.h"

#include "core/Messages.h"
#include "pictures/FolderCheck.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

#include <QImageReader>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

// The window the message boxes belong to: the screen on display.
QWidget *dialogParent()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            return w;
    return nullptr;
}

// The Yes/No question, with no way out but an answer: Escape does nothing, the frame shows no
// close control, and a close request that a window manager sends anyway is ignored. Yes is the
// default (Enter); Tab and the arrows still reach both buttons.
class QuestionBox : public QMessageBox {
public:
    QuestionBox(const QString &prompt, QWidget *parent)
        : QMessageBox(QMessageBox::Question, Messages::Title, prompt,
                      QMessageBox::Yes | QMessageBox::No, parent)
    {
        setDefaultButton(QMessageBox::Yes);
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel))
            event->accept();
        else
            QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

// The cache whose workers are reading ahead, while its platform lives.
std::atomic<PictureCache *> readingAhead{nullptr};

void stopReadingAhead()
{
    if (PictureCache *cache = readingAhead.exchange(nullptr))
        cache->stop();
}

} // namespace

DesktopPlatform::DesktopPlatform()
    : m_generator(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()))
{
    // The user's cache folder, never the teacher's: a folder used every lesson is decoded once.
    m_pictures.setDiskFolder(DiskCache::defaultFolder());
}

float DesktopPlatform::nextRandom()
{
    // 24 random bits over 2^24: every float step in [0, 1), never 1 itself.
    return float(m_generator() >> 8) * (1.0f / 16777216.0f);
}

void DesktopPlatform::beep() { m_bell.ring(); }

bool DesktopPlatform::askYesNo(const QString &prompt)
{
    QuestionBox box(prompt, dialogParent());
    return box.exec() == QMessageBox::Yes;
}

void DesktopPlatform::inform(const QString &text)
{
    QMessageBox box(QMessageBox::Information, Messages::Title, text, QMessageBox::Ok,
                    dialogParent());
    box.exec();
}

void DesktopPlatform::fatal(const QString &report)
{
    std::fprintf(stderr, "%s\n", report.toLocal8Bit().constData());
    std::fflush(stderr);
    QMessageBox box(QMessageBox::Critical, Messages::Title, report, QMessageBox::Ok,
                    dialogParent());
    box.exec();
    // Nothing of the program may run after the report: no handler, no destructor.
    std::_Exit(1);
}

void DesktopPlatform::endProgram(int status)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(status);
}

PictureResult DesktopPlatform::loadPicture(const QString &path, QSize pixelSize)
{
    return m_pictures.load(path, pixelSize);
}

QList<PictureResult> DesktopPlatform::loadPictures(const QList<PictureRequest> &requests)
{
    return m_pictures.loadAll(requests);
}

QList<PictureProblem> DesktopPlatform::checkPictures(const QStringList &paths)
{
    return findPictureProblems(paths);
}

DesktopPlatform::~DesktopPlatform() { readingAhead = nullptr; }

void DesktopPlatform::preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes)
{
    // The program may end through exit() while the workers read: Qt's X11 plugin calls it when
    // the display goes away. exit() then destroys the static objects the workers use (the
    // decoding budget, Qt's thread pool, the image plugins' index) in the reverse order of their
    // making, and runs the handlers given to atexit among them in the same order. So those
    // objects are made first, if the start screen (whose pictures may all have come from the
    // disk) did not make them, and the handler that stops the workers is registered after them:
    // it runs before any of them is destroyed.
    static std::once_flag registered;
    std::call_once(registered, [] {
        DecodeBudget::shared();
        QThreadPool::globalInstance();
        QImageReader::supportedImageFormats();
        std::atexit(stopReadingAhead);
    });
    readingAhead = &m_pictures;
    m_pictures.warmUp(paths, pixelSizes);
}
