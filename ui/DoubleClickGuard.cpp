#include "ui/DoubleClickGuard.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>

DoubleClickGuard::DoubleClickGuard() { QCoreApplication::instance()->installEventFilter(this); }

bool DoubleClickGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (!watched->isWidgetType())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // The first widget offered a press is the one clicked; a press a label ignores goes on to
        // its window, which is no button either.
        m_pairOnButton = qobject_cast<QAbstractButton *>(watched) != nullptr;
        m_dropRelease = false;
        return false;
    case QEvent::MouseButtonDblClick:
        if (m_pairOnButton)
            return false;
        m_dropRelease = true;
        return true;
    case QEvent::MouseButtonRelease:
        if (!m_dropRelease)
            return false;
        m_dropRelease = false;
        return true;
    default:
        return false;
    }
}
