#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <initializer_list>

class QMouseEvent;
class QWidget;

// The fixed design of the screens: every control at its pixel rectangle, never in a layout, in
// the design's fonts and focus order.

// Places a control at the pixel rectangle of the screen's design. A window that fills its screen
// scales the whole design afterwards (Screen::fillScreen): screens always place in the design's
// pixels.
void place(QWidget *control, int left, int top, int width, int height);

// The design scaled by one factor and centred, as a window that fills its screen shows it.
struct DesignScale {
    qreal factor = 1;
    QPoint offset; // where the design's top left corner lies in the window

    // The largest scale at which a design of size design fits a screen of size screen, centred.
    static DesignScale filling(QSize screen, QSize design);
    // Position and size are each rounded on their own, so that every box of one size in the
    // design keeps one size on the screen (the pictures are read ahead at that size).
    QRect map(const QRect &design) const;
    QSize map(QSize design) const;
};

// Fonts of the design. Arial resolves to a metric-compatible face through fontconfig; the old
// bitmap face "MS Sans Serif" falls back to a comparable sans-serif.
QFont arialFont(qreal points, bool bold);
QFont msSansSerifFont(qreal points, bool bold);

// Keyboard focus order: first to last.
void setTabChain(std::initializer_list<QWidget *> controls);

// A click completes when the left button is released inside the control that was pressed.
bool isClick(const QWidget *control, const QMouseEvent *event);
