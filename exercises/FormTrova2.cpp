#include "exercises/FormTrova2.h"

#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

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
}

QFont FormTrova2::wordFont() { return msSansSerifFont(18, true); }

void FormTrova2::clearPlaces()
{
    for (PictureBox *box : Image1)
        box->setPicture(QImage());
    m_boxes.clear();
    m_pictures.clear();
}

void FormTrova2::showAsked(qint16 word) { Label1->setText(m.shownWord(word)); }

void FormTrova2::fillPlace(int place, qint16 word, bool right)
{
    if (right)
        PosizioneGiusta = qint16(place);
    m_boxes.append(Image1.at(place));
    m_pictures.append(word);
}

void FormTrova2::questionReady() { loadPictures(m, m_boxes, m_pictures); }

QWidget *FormTrova2::placeControl(int place) const { return Image1.at(place); }
