#pragma once

#include "Scoreboard.h"
#include "Screen.h"

#include <array>

class Button;
class ClickLabel;
class PictureBox;

// Picture to word: one picture, six words; the child clicks the word that names the picture.
class FormTrova : public Screen {
    Q_OBJECT
public:
    explicit FormTrova(Modulo1 &module);
    void Form_Load() override;

    // Lays out a new question: the picture of a drawn word, that word in a drawn slot and five
    // other, different words in the other slots.
    void GeneraEsercizio();

    Scoreboard score;
    Button *Command1;
    std::array<ClickLabel *, 6> Label1{}; // slots 0-2 upper row, 3-5 lower row
    PictureBox *Image1;

protected:
    void answerKey(int slot) override { Label1_Click(slot); }

private:
    void Label1_Click(int index);
    void Command1_Click();
};
