#include "FormTrova.h"

#include "Controls.h"
#include "Modulo1.h"

FormTrova::FormTrova(Modulo1 &module)
    : Screen(module, ScreenId::FormTrova), score(module, this, {{240, 32}, {472, 24}})
{
    setObjectName(QStringLiteral("FormTrova"));
    setWindowTitle(QStringLiteral("Diveva l'immagine alla parola"));

    Command1 = new Button(QStringLiteral("Torna al menù"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 520, 392, 81, 33);
    connect(Command1, &QPushButton::clicked, this, &FormTrova::Command1_Click);

    constexpr int lefts[3] = {176, 320, 464};
    constexpr int tops[2] = {152, 240};
    for (int i = 0; i < 6; ++i) {
        auto *label = new ClickLabel(QStringLiteral("Label1"), this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setFont(msSansSerifFont(13.5, true));
        label->setWordWrap(true);
        place(label, lefts[i % 3], tops[i / 3], 113, 65);
        connect(label, &ClickLabel::clicked, this, [this, i] { Label1_Click(i); });
        Label1[i] = label;
    }

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    place(Image1, 8, 128, 153, 161);

    setTabChain({Command1, score.IconaSi, score.IconaNo, score.cmdAzzera});
    Command1->setFocus();
}

void FormTrova::Form_Load()
{
    GeneraEsercizio();
    score.loadStep();
}

void FormTrova::GeneraEsercizio()
{
    for (ClickLabel *label : Label1)
        label->setText(QString());
    if (!m.exercisesPossible())
        return; // six different words cannot be found; the menu does not open this screen then

    m.Estratto = m.drawWordNumber();
    m.loadPicture(*Image1, m.Estratto);
    const int right = m.drawSlot();
    Label1[right]->setText(m.word(m.Estratto));

    // The right slot is known by its number, not by a non-empty caption, so that an empty word
    // keeps its slot and can be answered. Its recorded number stays 0, which no draw yields.
    std::array<qint16, 6> numbers{};
    for (int i = 0; i < 6; ++i) {
        if (i == right)
            continue;
        qint16 n = 0;
        do {
            n = m.drawWordNumber();
        } while (n == m.Estratto || std::find(numbers.begin(), numbers.begin() + i, n) != numbers.begin() + i);
        numbers[i] = n;
        Label1[i]->setText(m.word(n));
    }
}

void FormTrova::Label1_Click(int index)
{
    // Judged by the text shown: two slots holding the same word are both right.
    if (Label1.at(index)->text() == m.word(m.Estratto)) {
        score.rightAnswerStep();
        GeneraEsercizio();
    } else {
        score.wrongAnswerStep();
    }
}

void FormTrova::Command1_Click()
{
    if (m.platform.askYesNo(QStringLiteral("Vuoi tornare al menù?")))
        m.switchScreen(*this, ScreenId::FormMenu);
}
