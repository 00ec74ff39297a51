#pragma once

#include "Scoreboard.h"
#include "Screen.h"

#include <array>

class Button;
class ClickLabel;
class PictureBox;

// Word to picture: one word, six pictures; the child clicks the picture of the word.
class FormTrova2 : public Screen {
    Q_OBJECT
public:
    explicit FormTrova2(Modulo1 &module);
    void Form_Load() override;

    // Lays out a new question: a drawn word, its picture in a drawn place and five other,
    // different pictures in the other places.
    void GeneraEsercizio();

    Scoreboard score;
    Button *Command1;
    std::array<PictureBox *, 6> Image1{}; // 0-2 upper row, 3-5 lower row
    ClickLabel *Label1;
    qint16 PosizioneGiusta = 0; // the place of the right picture

    static const QString Vuoto; // marker of a place without a picture of this question yet
    static const QString Pieno; // marker of a place that has one

protected:
    void answerKey(int slot) override { Image1_Click(slot); }

private:
    void Image1_Click(int index);
    void Command1_Click();
};
