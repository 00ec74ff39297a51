#pragma once

#include "ui/Screen.h"

class Button;

// The main menu: the two exercises and the way out.
class FormMenu : public Screen {
    Q_OBJECT
public:
    explicit FormMenu(Modulo1 &module);

    Button *Command4; // word to picture
    Button *Command2; // picture to word
    Button *Command1; // exit

private:
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void openExercise(ScreenId exercise);
};
