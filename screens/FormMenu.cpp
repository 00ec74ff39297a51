#include "screens/FormMenu.h"

#include "core/Modulo1.h"
#include "ui/Button.h"
#include "ui/Design.h"

FormMenu::FormMenu(Modulo1 &module) : Screen(module, ScreenId::FormMenu)
{
    setObjectName(QStringLiteral("FormMenu"));
    setWindowTitle(QStringLiteral("Divevare parole/immagini"));

    const auto makeButton = [this](const QString &name, const QString &caption) {
        auto *button = new Button(caption, this);
        button->setObjectName(name);
        button->setFont(arialFont(14.25, true));
        return button;
    };
    Command4 =
        makeButton(QStringLiteral("Command4"), QStringLiteral("Diveva l'immagine alla parola"));
    place(Command4, 184, 104, 313, 49);
    Command2 =
        makeButton(QStringLiteral("Command2"), QStringLiteral("Diveva la parola all'immagine"));
    place(Command2, 184, 200, 313, 49);
    // "&&" shows the ampersand itself and gives the button no access key.
    Command1 = makeButton(QStringLiteral("Command1"), QStringLiteral("&&Esci"));
    place(Command1, 536, 384, 89, 49);

    setTabChain({Command1, Command2, Command4});
    Command1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &FormMenu::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FormMenu::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &FormMenu::Command4_Click);
}

void FormMenu::Command1_Click() { m.ConfermaUscita(); }
void FormMenu::Command2_Click() { openExercise(ScreenId::FormTrova); }
void FormMenu::Command4_Click() { openExercise(ScreenId::FormTrova2); }

void FormMenu::openExercise(ScreenId exercise)
{
    if (!m.exercisesPossible()) {
        m.platform.inform(m.tooFewWordsMessage());
        return;
    }
    // The menu is gone when this returns; the beep still belongs to this click.
    switchTo(exercise);
    m.beep();
}
