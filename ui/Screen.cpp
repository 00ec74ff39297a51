#include "ui/Screen.h"

#include "core/Modulo1.h"
#include "core/Platform.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

namespace {

QFont scaled(QFont font, qreal factor)
{
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    else
        font.setPixelSize(qRound(font.pixelSize() * factor));
    return font;
}

} // namespace

Screen::Screen(Modulo1 &module, ScreenId id) : QWidget(nullptr), m(module), m_id(id)
{
    // Controls keep their places when the window is resized: there is no layout.
    resize(ClientWidth, ClientHeight);
}

void Screen::fillScreen(QScreen *screen)
{
    m_fills = true;
    m_scale = DesignScale::filling(screen->geometry().size(), QSize(ClientWidth, ClientHeight));
    setProperty(DesignScaleProperty, m_scale.factor);
    setScreen(screen);
    setGeometry(screen->geometry());
    for (QWidget *c : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        c->setGeometry(m_scale.map(c->geometry()));
        c->setFont(scaled(c->font(), m_scale.factor));
        if (auto *button = qobject_cast<QAbstractButton *>(c); button && !button->icon().isNull()) {
            // Qt never enlarges an icon past its pictures: the design's one is enlarged here,
            // pixel for pixel, as the 16-colour drawing it is.
            const QSize size = m_scale.map(button->iconSize());
            QPixmap enlarged = button->icon()
                                   .pixmap(button->iconSize())
                                   .scaled(devicePixels(size, devicePixelRatioF()),
                                           Qt::KeepAspectRatio, Qt::FastTransformation);
            enlarged.setDevicePixelRatio(devicePixelRatioF());
            button->setIcon(QIcon(enlarged));
            button->setIconSize(size);
        }
    }
}

QSize Screen::pixelSize(QSize designSize) const
{
    return devicePixels(m_scale.map(designSize), devicePixelRatioF());
}

void Screen::closeEvent(QCloseEvent *event)
{
    event->accept();
    m.closedByUser(m_id);
}

void Screen::switchTo(ScreenId target) { m.switchScreen(m_id, target); }

void Screen::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Form_Click();
}

void Screen::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key >= Qt::Key_1 && key <= Qt::Key_6 && !event->isAutoRepeat()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        event->accept();
        answerKey(key - Qt::Key_1);
        return;
    }
    QWidget::keyPressEvent(event);
}
