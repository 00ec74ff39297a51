#pragma once

#include "exercises/Exercise.h"

#include <QSize>

#include <array>

class ClickLabel;
class PictureBox;

// Picture to word: one picture, six words; the child clicks the word that names the picture.
class FormTrova : public Exercise {
    Q_OBJECT
public:
    // The picture box, in device-independent pixels.
    static constexpr QSize PictureSize{153, 161};

    explicit FormTrova(Modulo1 &module);

    std::array<ClickLabel *, Slots> Label1{}; // slots 0-2 upper row, 3-5 lower row
    PictureBox *Image1;

protected:
    // A question: the picture of the word asked, and the words as captions of the places.
    void clearPlaces() override;
    void showAsked(qint16 word) override;
    void fillPlace(int place, qint16 word, bool right) override;
    QWidget *placeControl(int place) const override;
    // Judged by the text shown: two slots holding the same word are both right.
    bool isRight(int slot) const override;
};
