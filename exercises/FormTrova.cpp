#include "exercises/FormTrova.h"

#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

FormTrova::FormTrova(Modulo1 &module)
    : Exercise(module, ScreenId::FormTrova, {{240, 32}, {472, 24}}, {520, 392})
{
    setObjectName(QStringLiteral("FormTrova"));
    setWindowTitle(QStringLiteral("Diveva l'immagine alla parola"));

    constexpr int lefts[3] = {176, 320, 464};
    constexpr int tops[2] = {152, 240};
    for (int i = 0; i < Slots; ++i) {
        auto *label = new ClickLabel(QStringLiteral("Label1"), this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setFont(msSansSerifFont(13.5, true));
        label->setWordWrap(true);
        place(label, lefts[i % 3], tops[i / 3], 113, 65);
        connect(label, &ClickLabel::clicked, this, [this, i] { answer(i); });
        Label1[i] = label;
    }

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    place(Image1, 8, 128, PictureSize.width(), PictureSize.height());
}

void FormTrova::clearPlaces()
{
    for (ClickLabel *label : Label1)
        label->setText(QString());
}

void FormTrova::showAsked(qint16 word) { loadPicture(m, *Image1, word); }

void FormTrova::fillPlace(int place, qint16 word, bool)
{
    Label1.at(place)->setText(m.shownWord(word));
}

QWidget *FormTrova::placeControl(int place) const { return Label1.at(place); }

bool FormTrova::isRight(int slot) const
{
    return Label1.at(slot)->text() == m.shownWord(m.Estratto);
}
