#pragma once

#include <QFont>
#include <QPushButton>

// A push button that Enter and Return press too, as Space does, wherever it stands. Where the
// desktop's font is wider than the one the fixed button size was drawn for, the caption's font
// is made just small enough for the whole caption to show, in the same face.
class Button : public QPushButton {
    Q_OBJECT
public:
    Button(const QString &caption, QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fitCaption();
    QFont m_designFont; // the font as set from outside; the fitted one never goes above it
    bool m_fitting = false;
};
