#pragma once

#include "ui/Screen.h"

#include <array>

class ClickLabel;
class PictureBox;

// The start screen: the title and four pictures drawn at random. Any click leads to the menu.
class FormAvvio : public Screen {
    Q_OBJECT
public:
    explicit FormAvvio(Modulo1 &module);
    void Form_Load() override;

    ClickLabel *Label1;
    std::array<PictureBox *, 4> Image1{}; // left to right on screen: 3, 0, 2, 1

protected:
    void Form_Click() override;
    // The first paint hands the voices to the platform, just after it.
    void paintEvent(QPaintEvent *event) override;

private:
    void Image1_Click(int index);
    void Label1_Click();
    void goToMenu();

    bool m_painted = false;
};
