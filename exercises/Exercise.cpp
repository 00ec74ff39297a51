#include "exercises/Exercise.h"

#include "core/Modulo1.h"
#include "ui/Button.h"
#include "ui/Design.h"

#include <algorithm>

Exercise::Exercise(Modulo1 &module, ScreenId id, Scoreboard::Places places, QPoint commandAt)
    : Screen(module, id), score(module, this, places)
{
    Command1 = new Button(QStringLiteral("Torna al menù"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, commandAt.x(), commandAt.y(), 81, 33);
    connect(Command1, &QPushButton::clicked, this, &Exercise::Command1_Click);
    setTabChain({Command1, score.IconaSi, score.IconaNo, score.cmdAzzera});
    Command1->setFocus();
}

void Exercise::Form_Load()
{
    GeneraEsercizio();
    score.loadStep();
}

void Exercise::answer(int slot)
{
    if (isRight(slot)) {
        score.rightAnswerStep();
        GeneraEsercizio();
    } else {
        score.wrongAnswerStep();
    }
}

qint16 Exercise::drawOther(const std::array<qint16, Slots> &taken, int k)
{
    const auto end = taken.begin() + k;
    qint16 n = 0;
    do {
        n = m.drawWordNumber();
    } while (n == m.Estratto || std::find(taken.begin(), end, n) != end);
    return n;
}

void Exercise::Command1_Click()
{
    if (m.platform.askYesNo(QStringLiteral("Vuoi tornare al menù?")))
        switchTo(ScreenId::FormMenu);
}
