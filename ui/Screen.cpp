#include "ui/Screen.h"

#include "core/Modulo1.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>

Screen::Screen(Modulo1 &module, ScreenId id) : QWidget(nullptr), m(module), m_id(id)
{
    // Controls keep their places when the window is resized: there is no layout.
    resize(ClientWidth, ClientHeight);
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
