#include "ui/ClickLabel.h"

#include "ui/Design.h"

#include <QMouseEvent>

ClickLabel::ClickLabel(const QString &text, QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setText(text);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (isClick(this, event))
        emit clicked();
    else
        QLabel::mouseReleaseEvent(event);
}
