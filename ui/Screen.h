#pragma once

#include "core/ScreenHost.h"
#include "ui/Design.h"

#include <QWidget>

class Modulo1;
class QScreen;

// One loaded screen: a top-level window with its controls. A window is built afresh each time its
// screen is shown and destroyed when the screen is unloaded; the screen's slot in the registry
// outlives it.
class Screen : public QWidget {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 632;
    static constexpr int ClientHeight = 453;

    Screen(Modulo1 &module, ScreenId id);
    ScreenId id() const { return m_id; }

    // Makes the window fill screen, with the whole design scaled by one factor and centred: every
    // control's rectangle, font and icon. The margins stay plain, in the window's colour. Called
    // once, after the controls are built and before the load, so that pictures are read at the size
    // of their boxes.
    void fillScreen(QScreen *screen);
    bool fillsScreen() const { return m_fills; }
    // A size of the design as this window shows it, in device pixels.
    QSize pixelSize(QSize designSize) const;

    // Runs once per load, after the controls are built and before the window is shown.
    virtual void Form_Load() {}

protected:
    // A click on the bare window.
    virtual void Form_Click() {}
    // Keys 1 to 6 (main keyboard or keypad) as an answer in slot 0 to 5; screens without
    // answers ignore them.
    virtual void answerKey(int slot) { Q_UNUSED(slot); }

    // The screen change of a handler of this screen: the target shown, then this one unloaded.
    void switchTo(ScreenId target);

    void closeEvent(QCloseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    Modulo1 &m;

private:
    ScreenId m_id;
    DesignScale m_scale;
    bool m_fills = false;
};
