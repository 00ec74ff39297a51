#include "ui/Design.h"

#include <QMouseEvent>
#include <QWidget>

bool isClick(const QWidget *control, const QMouseEvent *event)
{
    return event->button() == Qt::LeftButton
           && control->rect().contains(event->position().toPoint());
}

void place(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(left, top, width, height);
}

QFont arialFont(qreal points, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont msSansSerifFont(qreal points, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void setTabChain(std::initializer_list<QWidget *> controls)
{
    QWidget *previous = nullptr;
    for (QWidget *w : controls) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}
