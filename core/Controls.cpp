#include "Controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

// A click completes when the button is released inside the control that was pressed.
bool isClick(const QWidget *w, const QMouseEvent *e)
{
    return e->button() == Qt::LeftButton && w->rect().contains(e->position().toPoint());
}

} // namespace

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

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {}

void PictureBox::setPicture(const QImage &image)
{
    m_picture = image;
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), m_picture);
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (isClick(this, event))
        emit clicked();
    else
        QWidget::mouseReleaseEvent(event);
}

Button::Button(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent), m_designFont(font())
{
}

void Button::keyPressEvent(QKeyEvent *event)
{
    // A button outside a dialog ignores Enter in Qt; here a focused button is pressed by it.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void Button::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    fitCaption();
}

void Button::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange && !m_fitting) {
        m_designFont = font();
        fitCaption();
    }
}

void Button::fitCaption()
{
    if (m_fitting)
        return;
    m_fitting = true;
    const auto needed = [this](const QFont &f) {
        QStyleOptionButton option;
        initStyleOption(&option);
        const QSize caption = QFontMetrics(f).size(Qt::TextShowMnemonic, text());
        return style()->sizeFromContents(QStyle::CT_PushButton, &option, caption, this).width();
    };
    QFont f = m_designFont;
    while (needed(f) > width() && f.pointSizeF() > 6)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    if (f != font())
        setFont(f);
    m_fitting = false;
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
