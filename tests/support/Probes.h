#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <QWidget>

// Destroys the windows that unloaded screens left for deletion.
inline void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

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

// Word lists "parola1".."parolaN".
inline QStringList numberedWords(int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list << QStringLiteral("parola%1").arg(i);
    return list;
}
