#include "desktop/DesktopPlatform.h"

#include "core/Messages.h"
#include "pictures/FolderCheck.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

#include <QImageReader>
#include <QThreadPool>

#include <algorithm>
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

// A message box asked from a window that scales the design to fill its screen is scaled by the
// same factor, so that on a whiteboard it reads at the design's size: its fonts, its icon, its
// buttons (each at its size on the desktop times the factor: with the font alone the style's
// margins and least width would stay small) and the width past which its text wraps. Any other box
// stays as the desktop draws it.
class ScaledBox : public QMessageBox {
public:
    ScaledBox(Icon icon, const QString &text, StandardButtons answers, QWidget *parent)
        : QMessageBox(icon, Messages::Title, text, answers, parent)
    {
        const QVariant factor =
            parent ? parent->window()->property(DesignScaleProperty) : QVariant();
        if (!factor.isValid() || factor.toReal() == 1)
            return;
        m_factor = factor.toReal();
        for (QAbstractButton *button : buttons())
            button->setMinimumSize(button->sizeHint() * m_factor);
        QFont scaled = font();
        if (scaled.pointSizeF() > 0)
            scaled.setPointSizeF(scaled.pointSizeF() * m_factor);
        else
            scaled.setPixelSize(qRound(scaled.pixelSize() * m_factor));
        setFont(scaled);
        const QStyle::StandardPixmap standard = icon == Question ? QStyle::SP_MessageBoxQuestion
                                                : icon == Critical
                                                    ? QStyle::SP_MessageBoxCritical
                                                    : QStyle::SP_MessageBoxInformation;
        const int side =
            qRound(style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this) * m_factor);
        const qreal pixels = parent->devicePixelRatioF();
        // Qt never enlarges an icon past its largest picture: that one is enlarged here.
        QPixmap pixmap = style()
                             ->standardIcon(standard, nullptr, this)
                             .pixmap(QSize(side, side), pixels)
                             .scaled(devicePixels(QSize(side, side), pixels), Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(pixels);
        setIconPixmap(pixmap);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        auto *label = findChild<QLabel *>(QStringLiteral("qt_msgbox_label")); // Qt's name
        if (m_factor == 1 || !label)
            return;
        // Qt has sized the box to wrap its text past 500 pixels at most, whatever its font: it
        // wraps past 500 times the factor instead, and is centred again on its window.
        label->setWordWrap(false);
        layout()->activate();
        const int oneLine = layout()->totalMinimumSize().width();
        label->setWordWrap(true);
        layout()->activate();
        const int width =
            std::min({oneLine, qRound(500 * m_factor), screen()->availableGeometry().width()});
        setFixedSize(width, heightForWidth(width));
        adjustPosition(parentWidget());
    }

private:
    qreal m_factor = 1;
};

// The Yes/No question, with no way out but an answer: Escape does nothing, the frame shows no
// close control, and a close request that a window manager sends anyway is ignored. Yes is the
// default (Enter); Tab and the arrows still reach both buttons.
class QuestionBox : public ScaledBox {
public:
    QuestionBox(const QString &prompt, QWidget *parent)
        : ScaledBox(QMessageBox::Question, prompt, QMessageBox::Yes | QMessageBox::No, parent)
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
            ScaledBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

// The stores whose workers are reading ahead, while their platform lives.
std::atomic<PictureCache *> picturesReadAhead{nullptr};
std::atomic<VoiceStore *> voicesReadAhead{nullptr};

void stopReadingAhead()
{
    if (PictureCache *cache = picturesReadAhead.exchange(nullptr))
        cache->stop();
    if (VoiceStore *store = voicesReadAhead.exchange(nullptr))
        store->stop();
}

// The program may end through exit() while the workers read: Qt's X11 plugin calls it when the
// display goes away. exit() then destroys the static objects the workers use (the decoding
// budget, Qt's thread pool, the image plugins' index) in the reverse order of their making, and
// runs the handlers given to atexit among them in the same order. So those objects are made
// first, if the start screen (whose pictures may all have come from the disk) did not make them,
// and the handler that stops the workers is registered after them: it runs before any of them is
// destroyed.
void stopReadingAheadAtExit()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        DecodeBudget::shared();
        QThreadPool::globalInstance();
        QImageReader::supportedImageFormats();
        std::atexit(stopReadingAhead);
    });
}

} // namespace

DesktopPlatform::DesktopPlatform()
    : m_generator(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()))
{
    // The user's cache folder, never the teacher's: a folder used every lesson is decoded once.
    m_pictures.setDiskFolder(DiskCache::defaultFolder());
    m_lookups.setMaxThreadCount(1);
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
    ScaledBox box(QMessageBox::Information, text, QMessageBox::Ok, dialogParent());
    box.exec();
}

void DesktopPlatform::fatal(const QString &report)
{
    std::fprintf(stderr, "%s\n", report.toLocal8Bit().constData());
    std::fflush(stderr);
    ScaledBox box(QMessageBox::Critical, report, QMessageBox::Ok, dialogParent());
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

DesktopPlatform::~DesktopPlatform()
{
    picturesReadAhead = nullptr;
    voicesReadAhead = nullptr;
}

void DesktopPlatform::preparePictures(const QStringList &paths, const QList<QSize> &pixelSizes)
{
    stopReadingAheadAtExit();
    picturesReadAhead = &m_pictures;
    m_pictures.warmUp(paths, pixelSizes);
}

void DesktopPlatform::prepareVoices(const QStringList &paths)
{
    m_player.open();
    stopReadingAheadAtExit();
    voicesReadAhead = &m_voices;
    m_voices.readAhead(paths);
}

void DesktopPlatform::speak(const QString &path)
{
    const quint64 asked = ++m_lastSpoken;
    m_player.stop(); // the voice of a question gone ends at once
    m_lookups.start([this, path, asked] {
        const Voice voice = m_voices.voice(path);
        QMetaObject::invokeMethod(&m_context, [this, path, asked, voice] {
            if (asked != m_lastSpoken)
                return;
            if (voice.ok()) {
                m_player.play(voice.pcm);
            } else if (!m_reported.contains(path)) {
                // The editor is where voices are checked: a lesson only goes on without it.
                m_reported.insert(path);
                std::fprintf(stderr, "diveva: %s: %s\n", QFile::encodeName(path).constData(),
                             voice.cause.toLocal8Bit().constData());
                std::fflush(stderr);
            }
        });
    });
}

bool DesktopPlatform::canSpeak(const QString &path)
{
    return m_player.state() != VoicePlayer::State::Silent && m_voices.voice(path).ok();
}

void DesktopPlatform::waitForReadAhead()
{
    m_pictures.waitForWarmUp();
    m_voices.waitForReadAhead();
}
