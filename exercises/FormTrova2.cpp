#include "exercises/FormTrova2.h"

#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

const QString FormTrova2::Vuoto = QStringLiteral("vuoto");
const QString FormTrova2::Pieno = QStringLiteral("pieno");

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

void FormTrova2::GeneraEsercizio()
{
    for (PictureBox *box : Image1) {
        box->setPicture(QImage());
        box->tag = Vuoto;
    }
    if (!m.exercisesPossible())
        return; // six different pictures cannot be found; the menu does not open this screen then

    m.Estratto = m.drawWordNumber();
    Label1->setText(m.word(m.Estratto));
    PosizioneGiusta = static_cast<qint16>(m.drawSlot());
    // The pictures are read together once all six are drawn (in parallel where the platform
    // can); the draws do not depend on them, and the right picture is still the first asked for.
    QList<PictureBox *> boxes{Image1[PosizioneGiusta]};
    QList<int> pictures{m.Estratto};
    Image1[PosizioneGiusta]->tag = Pieno;

    // The right place keeps number 0 here: every wrong picture is compared with Estratto itself.
    std::array<qint16, Slots> numbers{};
    for (int k = 0; k < Slots; ++k) {
        if (Image1[k]->tag != Vuoto)
            continue;
        numbers[k] = drawOther(numbers, k);
        boxes.append(Image1[k]);
        pictures.append(numbers[k]);
        Image1[k]->tag = Pieno;
    }
    loadPictures(m, boxes, pictures);
}
