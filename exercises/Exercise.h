#pragma once

#include "core/Modulo1.h"
#include "exercises/Scoreboard.h"
#include "ui/Screen.h"

#include <QPoint>

#include <array>

class Button;

// What both exercises share: the scoreboard, the back-to-menu button and its question, the
// number keys, and the question loop. A right answer is counted and brings the next question at
// once; a wrong one is counted and the question stays. Each exercise lays out its own question
// and says which of its six slots is right.
class Exercise : public Screen {
    Q_OBJECT
public:
    static constexpr int Slots = Modulo1::SlotsPerQuestion;

    // The first question, then the counts at zero.
    void Form_Load() override;
    // Lays out a new question.
    virtual void GeneraEsercizio() = 0;

    Scoreboard score;
    Button *Command1;

protected:
    // commandAt: top left of the back-to-menu button, 81 x 33.
    Exercise(Modulo1 &module, ScreenId id, Scoreboard::Places places, QPoint commandAt);

    // Whether slot 0..5 holds the answer of the question on the screen.
    virtual bool isRight(int slot) const = 0;
    // A click or key on slot 0..5.
    void answer(int slot);
    void answerKey(int slot) override { answer(slot); }

    // A word number for slot k of a question: drawn again while it is the question's own word or
    // one of taken[0..k-1] (entries left at 0 never match, since draws start at 1).
    qint16 drawOther(const std::array<qint16, Slots> &taken, int k);

private:
    void Command1_Click();
};
