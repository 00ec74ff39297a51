#pragma once

#include <QFont>

#include <initializer_list>

class QMouseEvent;
class QWidget;

// The fixed design of the screens: every control at its pixel rectangle, never in a layout, in
// the design's fonts and focus order.

// Places a control at the pixel rectangle of the screen's design.
void place(QWidget *control, int left, int top, int width, int height);

// Fonts of the design. Arial resolves to a metric-compatible face through fontconfig; the old
// bitmap face "MS Sans Serif" falls back to a comparable sans-serif.
QFont arialFont(qreal points, bool bold);
QFont msSansSerifFont(qreal points, bool bold);

// Keyboard focus order: first to last.
void setTabChain(std::initializer_list<QWidget *> controls);

// A click completes when the left button is released inside the control that was pressed.
bool isClick(const QWidget *control, const QMouseEvent *event);
