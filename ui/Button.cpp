#include "ui/Button.h"

#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionButton>

Button::Button(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent), m_designFont(font())
{
}

void Button::keyPressEvent(QKeyEvent *event)
{
    // A button outside a dialog ignores Enter in Qt; here a focused button is pressed by it.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !event->isAutoRepeat()) {
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
        // A button not yet given its size (its resize event still to come, when it shows) keeps
        // the font set: one fitted to the default size would be read as the design's by whoever
        // reads it before the window shows (a window scaled to fill its screen).
        if (!testAttribute(Qt::WA_PendingResizeEvent))
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
