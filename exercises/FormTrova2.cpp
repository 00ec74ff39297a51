#include "FormTrova2.h"

#include "Controls.h"
#include "Modulo1.h"

const QString FormTrova2::Vuoto = QStringLiteral("vuoto");
const QString FormTrova2::Pieno = QStringLiteral("pieno");

FormTrova2::FormTrova2(Modulo1 &module)
    : Screen(module, ScreenId::FormTrova2), score(module, this, {{248, 24}, {480, 24}})
{
    setObjectName(QStringLiteral("FormTrova2"));
    setWindowTitle(QStringLiteral("Riconosci l'immagine corrispondente alla parola"));

    Command1 = new Button(QStringLiteral("Torna al menù"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 528, 400, 81, 33);
    connect(Command1, &QPushButton::clicked, this, &FormTrova2::Command1_Click);

    constexpr int lefts[3] = {160, 320, 480};
    constexpr int tops[2] = {112, 256};
    for (int i = 0; i < 6; ++i) {
        auto *box = new PictureBox(this);
        box->setObjectName(QStringLiteral("Image1_%1").arg(i));
        place(box, lefts[i % 3], tops[i / 3], 121, 129);
        connect(box, &PictureBox::clicked, this, [this, i] { Image1_Click(i); });
        Image1[i] = box;
    }

    Label1 = new ClickLabel(QStringLiteral("Label1"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(msSansSerifFont(18, true));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);
    // Red on an opaque background in the button-text colour (black in the usual themes).
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::ButtonText));
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Label1->setPalette(palette);
    Label1->setAutoFillBackground(true);
    place(Label1, 8, 232, 129, 33);

    setTabChain({Command1, score.IconaSi, score.IconaNo, score.cmdAzzera});
    Command1->setFocus();
}

void FormTrova2::Form_Load()
{
    GeneraEsercizio();
    score.loadStep();
}

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
    std::array<qint16, 6> numbers{};
    for (int k = 0; k < 6; ++k) {
        if (Image1[k]->tag != Vuoto)
            continue;
        qint16 n = 0;
        do {
            n = m.drawWordNumber();
        } while (n == m.Estratto || std::find(numbers.begin(), numbers.begin() + k, n) != numbers.begin() + k);
        numbers[k] = n;
        boxes.append(Image1[k]);
        pictures.append(n);
        Image1[k]->tag = Pieno;
    }
    m.loadPictures(boxes, pictures);
}

void FormTrova2::Image1_Click(int index)
{
    // Judged by place alone.
    if (index == PosizioneGiusta) {
        score.rightAnswerStep();
        GeneraEsercizio();
    } else {
        score.wrongAnswerStep();
    }
}

void FormTrova2::Command1_Click()
{
    if (m.platform.askYesNo(QStringLiteral("Vuoi tornare al menù?")))
        m.switchScreen(*this, ScreenId::FormMenu);
}
