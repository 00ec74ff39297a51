#pragma once

#include <QPoint>

class Button;
class ClickLabel;
class Modulo1;
class QPushButton;
class QWidget;

// The scoreboard both exercises carry: the counts of right and wrong answers with their labels,
// the reset button and the two traffic lights. Each exercise places it at its own positions and
// runs its four steps; the counters themselves are the shared Esatti and Errati. The settings
// may hide all of it (the counts are kept all the same) and silence its beeps.
class Scoreboard {
public:
    struct Places {
        QPoint cmdAzzera; // top left of the reset button, 153 x 49
        QPoint icons;     // top left of the two traffic lights, 65 x 65, one on the other
    };

    Scoreboard(Modulo1 &module, QWidget *form, Places places);

    ClickLabel *Label2;          // "ESATTI"
    ClickLabel *EtichettaEsatti; // count of right answers
    ClickLabel *Label3;          // "ERRATI"
    ClickLabel *EtichettaErrati; // count of wrong answers
    Button *cmdAzzera;
    QPushButton *IconaSi;
    QPushButton *IconaNo;

    // After the first question is laid out: counts to zero, shown as "0". Icons untouched.
    void loadStep();
    // The reset button: counts to zero, shown as "0", two beeps. Question and icons untouched.
    void resetStep();
    // Green light, one more right answer shown as " n", one beep.
    void rightAnswerStep();
    // Red light, one more wrong answer shown as " n", one beep.
    void wrongAnswerStep();

private:
    void zeroCounts();

    Modulo1 &m;
};

// A count as shown after an answer: a blank where a sign would stand, then the digits.
QString answerForm(int count);

// One more answer on a counter; a counter at its maximum stays there.
qint16 countedOnce(qint16 count);
