#include "exercises/FormTrova2.h"

#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace {

// A loudspeaker with two sound waves, in colour, filling the height of a box of size (device
// pixels), centred: drawn rather than taken from the theme, so that it grows with the window.
QPixmap speakerPicture(QSize size, qreal devicePixelRatio, const QColor &colour)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal h = size.height() * 0.8, x = (size.width() - 1.3 * h) / 2, y = size.height() * 0.1;
    QPainterPath cone;
    cone.addPolygon(QPolygonF{{x, y + 0.35 * h},
                              {x + 0.25 * h, y + 0.35 * h},
                              {x + 0.6 * h, y},
                              {x + 0.6 * h, y + h},
                              {x + 0.25 * h, y + 0.65 * h},
                              {x, y + 0.65 * h}});
    p.fillPath(cone, colour);
    p.setPen(QPen(colour, qMax(1.0, h / 10), Qt::SolidLine, Qt::RoundCap));
    for (qreal r : {0.25, 0.5})
        p.drawArc(QRectF(x + 0.6 * h - r * h, y + (0.5 - r) * h, 2 * r * h, 2 * r * h), -50 * 16,
                  100 * 16);
    p.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

} // namespace

FormTrova2::FormTrova2(Modulo1 &module)
    : Exercise(module, ScreenId::FormTrova2, {{248, 24}, {480, 24}}, {528, 400})
{
    setObjectName(QStringLiteral("FormTrova2"));
    setWindowTitle(QStringLiteral("Riconosci l'immagine corrispondente alla parola"));

    constexpr int lefts[3] = {160, 320, 480};
    constexpr int tops[2] = {112, 256};
    for (int i = 0; i < Slots; ++i) {
        auto *box = new PictureBox(this);
        box->setObjectName(QStringLiteral("Image1_%1").arg(i));
        place(box, lefts[i % 3], tops[i / 3], PictureSize.width(), PictureSize.height());
        connect(box, &PictureBox::clicked, this, [this, i] { answer(i); });
        Image1[i] = box;
    }

    Label1 = new ClickLabel(QStringLiteral("Label1"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(wordFont());
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);
    // Red on an opaque background in the button-text colour (black in the usual themes).
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::ButtonText));
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Label1->setPalette(palette);
    Label1->setAutoFillBackground(true);
    place(Label1, 8, 232, WordWidth, 33);
    connect(Label1, &ClickLabel::clicked, this, [this] { m.speak(m_asked); });
    Label1->installEventFilter(this);
}

QFont FormTrova2::wordFont() { return msSansSerifFont(18, true); }

void FormTrova2::clearPlaces()
{
    for (PictureBox *box : Image1)
        box->setPicture(QImage());
    m_boxes.clear();
    m_pictures.clear();
}

void FormTrova2::showAsked(qint16 word)
{
    m_asked = word;
    if (m.settings.ascolto && m.canSpeak(word)) {
        Label1->setPixmap(speakerPicture(devicePixels(Label1->size(), devicePixelRatioF()),
                                         devicePixelRatioF(),
                                         Label1->palette().color(QPalette::WindowText)));
        Label1->setAccessibleName(QStringLiteral("Ascolta la parola"));
    } else {
        Label1->setText(m.shownWord(word));
        Label1->setAccessibleName(QString());
    }
}

void FormTrova2::fillPlace(int place, qint16 word, bool right)
{
    if (right)
        PosizioneGiusta = qint16(place);
    m_boxes.append(Image1.at(place));
    m_pictures.append(word);
}

void FormTrova2::questionReady()
{
    loadPictures(m, m_boxes, m_pictures);
    // The word is repainted even when the same word is asked again.
    m_speakWhenPainted = true;
    Label1->update();
}

bool FormTrova2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label1 && event->type() == QEvent::Paint && m_speakWhenPainted) {
        m_speakWhenPainted = false;
        // Queued: the voice starts once the whole question has been painted.
        QTimer::singleShot(0, this, [this, word = m_asked] { m.speak(word); });
    }
    return Exercise::eventFilter(watched, event);
}

void FormTrova2::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_0 && !event->isAutoRepeat()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        event->accept();
        m.speak(m_asked);
        return;
    }
    Exercise::keyPressEvent(event);
}

QWidget *FormTrova2::placeControl(int place) const { return Image1.at(place); }
