#pragma once

#include <QLabel>

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
