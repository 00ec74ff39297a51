#include "screens/FormAvvio.h"

#include "core/Modulo1.h"
#include "ui/ClickLabel.h"
#include "ui/Design.h"
#include "ui/PictureBox.h"

#include <QTimer>

FormAvvio::FormAvvio(Modulo1 &module) : Screen(module, ScreenId::FormAvvio)
{
    setObjectName(QStringLiteral("FormAvvio"));
    setWindowTitle(
        QStringLiteral("Diveva PAROLE/IMMAGINI - realizzato dal gruppo di lavoro Diveva"));

    Label1 = new ClickLabel(QStringLiteral("DIVEVA  PAROLA/IMMAGINE"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(arialFont(14.25, true));
    place(Label1, 176, 56, 297, 33);
    connect(Label1, &ClickLabel::clicked, this, &FormAvvio::Label1_Click);

    constexpr int lefts[4] = {168, 472, 320, 16};
    for (int i = 0; i < 4; ++i) {
        auto *box = new PictureBox(this);
        box->setObjectName(QStringLiteral("Image1_%1").arg(i));
        place(box, lefts[i], 136, 145, 145);
        connect(box, &PictureBox::clicked, this, [this, i] { Image1_Click(i); });
        Image1[i] = box;
    }
}

void FormAvvio::Form_Load()
{
    // Four independent draws: the same picture may come more than once. Estratto is left
    // holding the last one, the picture of Image1(3). The four pictures are then read together,
    // in parallel where the platform can: nothing of the draws depends on them.
    QList<int> numbers;
    for (int i = 0; i < int(Image1.size()); ++i) {
        m.Estratto = m.drawWordNumber();
        numbers.append(m.Estratto);
    }
    loadPictures(m, QList<PictureBox *>(Image1.begin(), Image1.end()), numbers);
}

void FormAvvio::paintEvent(QPaintEvent *event)
{
    Screen::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        // Queued, so that the window reaches the screen before anything is read ahead.
        QTimer::singleShot(0, this, [this] { m.startReadingAhead(); });
    }
}

void FormAvvio::Form_Click() { goToMenu(); }
void FormAvvio::Image1_Click(int) { goToMenu(); }
void FormAvvio::Label1_Click() { goToMenu(); }

void FormAvvio::goToMenu() { switchTo(ScreenId::FormMenu); }
