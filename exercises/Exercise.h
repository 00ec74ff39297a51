#pragma once

#include "core/Modulo1.h"
#include "exercises/Scoreboard.h"
#include "ui/Screen.h"

#include <QList>
#include <QPoint>

#include <array>

class Button;

// What both exercises share: the scoreboard, the back-to-menu button and its question, the
// number keys, and the question loop. A right answer is counted and brings the next question at
// once; a wrong one is counted and the question stays.
//
// The base draws each question once, for both exercises: the word asked, the right place among
// the places the settings' number of choices uses, and the other words. Each exercise only says
// how its question looks, through the hooks below, and which of its places is right.
class Exercise : public Screen {
    Q_OBJECT
public:
    static constexpr int Slots = Modulo1::SlotsPerQuestion;

    // The places, of the design's six (0-2 upper row, 3-5 lower row), that a question of so many
    // choices uses, spread apart: two take the outer places of the upper row, three the upper
    // row, four the corners, six all of them.
    static QList<int> placesFor(int choices);

    // The first question, then the counts at zero. Unused places are hidden.
    void Form_Load() override;
    // Lays out a new question: the word drawn, then the right place among the used ones, then
    // for each other used place in order a word different from those before it.
    void GeneraEsercizio();

    Scoreboard score;
    Button *Command1;

protected:
    // commandAt: top left of the back-to-menu button, 81 x 33.
    Exercise(Modulo1 &module, ScreenId id, Scoreboard::Places places, QPoint commandAt);

    // The hooks of a question, in the order GeneraEsercizio calls them: every place emptied; the
    // word asked (Estratto) shown; each used place given its word, the right place first, then
    // the others in order; the question complete.
    virtual void clearPlaces() = 0;
    virtual void showAsked(qint16 word) = 0;
    virtual void fillPlace(int place, qint16 word, bool right) = 0;
    virtual void questionReady() {}
    // The control that shows place 0..5.
    virtual QWidget *placeControl(int place) const = 0;

    // Whether place 0..5, one the question uses, holds the answer of the question on the screen.
    virtual bool isRight(int slot) const = 0;
    // A click or key on place 0..5; places the question does not use take none.
    void answer(int slot);
    void answerKey(int slot) override { answer(slot); }

private:
    // A word number for place k: drawn again while it is the question's own word or one of
    // taken[0..k-1] (entries left at 0 never match, since draws start at 1).
    qint16 drawOther(const std::array<qint16, Slots> &taken, int k);
    void Command1_Click();

    QList<int> m_places;
};
