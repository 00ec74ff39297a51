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

QList<int> Exercise::placesFor(int choices)
{
    switch (choices) {
    case 2:
        return {0, 2};
    case 3:
        return {0, 1, 2};
    case 4:
        return {0, 2, 3, 5};
    default:
        return {0, 1, 2, 3, 4, 5};
    }
}

void Exercise::Form_Load()
{
    // Normally done once the start screen was painted; a child quicker than that comes here first.
    m.startReadingAhead();
    m_places = placesFor(m.settings.scelte);
    for (int p = 0; p < Slots; ++p)
        placeControl(p)->setVisible(m_places.contains(p));
    GeneraEsercizio();
    score.loadStep();
}

void Exercise::GeneraEsercizio()
{
    clearPlaces();
    if (!m.exercisesPossible())
        return; // enough different words cannot be found; the menu does not open this screen then

    m.Estratto = m.drawWordNumber();
    showAsked(m.Estratto);
    const int right = m_places.at(m.drawSlot(int(m_places.size())));
    fillPlace(right, m.Estratto, true);

    // The right place keeps number 0 here, which no draw yields: every other word is compared
    // with Estratto itself, so that an empty word keeps its place and can be answered.
    std::array<qint16, Slots> numbers{};
    for (int p : std::as_const(m_places)) {
        if (p == right)
            continue;
        numbers[p] = drawOther(numbers, p);
        fillPlace(p, numbers[p], false);
    }
    questionReady();
}

void Exercise::answer(int slot)
{
    if (!m_places.contains(slot))
        return;
    if (isRight(slot)) {
        const qint16 answered = m.Estratto;
        score.rightAnswerStep();
        answeredRight(answered);
        GeneraEsercizio();
    } else {
        score.wrongAnswerStep();
    }
}

qint16 Exercise::drawOther(const std::array<qint16, Slots> &taken, int k)
{
    // Shown as written, a word the list repeats is a legal choice. In capitals or lower case, two
    // words that read alike would both look right, so what is compared is the word as shown.
    const bool asWritten = m.settings.scrittura == Settings::Scrittura::ComeElenco;
    const auto alike = [&](qint16 a, qint16 b) {
        return a == b || (!asWritten && m.shownWord(a) == m.shownWord(b));
    };
    const auto end = taken.begin() + k;
    qint16 n = 0;
    do {
        n = m.drawWordNumber();
    } while (alike(n, m.Estratto)
             || std::any_of(taken.begin(), end, [&](qint16 t) { return t != 0 && alike(n, t); }));
    return n;
}

void Exercise::Command1_Click()
{
    if (m.platform.askYesNo(QStringLiteral("Vuoi tornare al menù?")))
        switchTo(ScreenId::FormMenu);
}
