#pragma once

#include <QObject>

// A double-click on a word, a picture or a window counts as one click. Qt delivers the pair as
// press, release, double-click, release; children double-click all the time, and the second half
// of the pair would answer twice, or answer the next question, or press whatever the first click
// brought under the pointer (the menu's buttons lie where the start screen's pictures were). So
// the double-click and its release are dropped, wherever they land, when the pair's first press
// was not on a push button; a push button keeps the desktop's own behaviour (two presses). Touch
// screens send a double tap the same way.
class DoubleClickGuard : public QObject {
    Q_OBJECT
public:
    // Watches every event of the application for as long as it lives.
    DoubleClickGuard();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_pairOnButton = false;
    bool m_dropRelease = false;
};
