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

void FormTrova::GeneraEsercizio()
{
    for (ClickLabel *label : Label1)
        label->setText(QString());
    if (!m.exercisesPossible())
        return; // six different words cannot be found; the menu does not open this screen then

    m.Estratto = m.drawWordNumber();
    loadPicture(m, *Image1, m.Estratto);
    const int right = m.drawSlot();
    Label1[right]->setText(m.word(m.Estratto));

    // The right slot is known by its number, not by a non-empty caption, so that an empty word
    // keeps its slot and can be answered. Its recorded number stays 0, which no draw yields.
    std::array<qint16, Slots> numbers{};
    for (int i = 0; i < Slots; ++i) {
        if (i == right)
            continue;
        numbers[i] = drawOther(numbers, i);
        Label1[i]->setText(m.word(numbers[i]));
    }
}

bool FormTrova::isRight(int slot) const { return Label1.at(slot)->text() == m.word(m.Estratto); }
