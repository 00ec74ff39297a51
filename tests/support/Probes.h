#pragma once

#include <QStringList>
#include <QWidget>

// Names of the controls the Tab key visits in turn, from the one that has the focus.
inline QStringList tabOrder(QWidget *window)
{
    QStringList names;
    QWidget *start = window->focusWidget();
    QWidget *w = start;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->isHidden())
            names << w->objectName();
        w = w->nextInFocusChain();
    } while (w != start);
    return names;
}
