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

DesignScale DesignScale::filling(QSize screen, QSize design)
{
    DesignScale scale;
    scale.factor =
        qMin(qreal(screen.width()) / design.width(), qreal(screen.height()) / design.height());
    const QSize scaled = scale.map(design);
    scale.offset =
        QPoint((screen.width() - scaled.width()) / 2, (screen.height() - scaled.height()) / 2);
    return scale;
}

QSize DesignScale::map(QSize design) const
{
    return QSize(qRound(design.width() * factor), qRound(design.height() * factor));
}

QRect DesignScale::map(const QRect &design) const
{
    return QRect(offset + QPoint(qRound(design.left() * factor), qRound(design.top() * factor)),
                 map(design.size()));
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
