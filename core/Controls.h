#pragma once

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <initializer_list>

// The few kinds of control the screens are made of, with the click behaviour and looks the
// screens expect of them. Every control is placed at fixed pixel coordinates, never in a layout.

// A text label that reports clicks. Text is always plain: a word such as "<b>" is shown as typed.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    ClickLabel(const QString &text, QWidget *parent);
signals:
    void clicked();
protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// A picture box: shows its picture stretched to its whole rectangle and reports clicks.
// Tag is a free text the screen may keep with the box.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent);
    void setPicture(const QImage &image); // a null image clears the box
    const QImage &picture() const { return m_picture; }
    QString tag;
signals:
    void clicked();
protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
private:
    QImage m_picture;
};

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

// Places a control at the pixel rectangle of the screen's design.
void place(QWidget *control, int left, int top, int width, int height);

// Fonts of the design. Arial resolves to a metric-compatible face through fontconfig; the old
// bitmap face "MS Sans Serif" falls back to a comparable sans-serif.
QFont arialFont(qreal points, bool bold);
QFont msSansSerifFont(qreal points, bool bold);

// Keyboard focus order: first to last.
void setTabChain(std::initializer_list<QWidget *> controls);
