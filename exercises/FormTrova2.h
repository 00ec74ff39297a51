#pragma once

#include "exercises/Exercise.h"

#include <QFont>
#include <QSize>

#include <array>

class ClickLabel;
class PictureBox;

// Word to picture: one word, six pictures; the child clicks the picture of the word.
class FormTrova2 : public Exercise {
    Q_OBJECT
public:
    // Each of the six picture boxes, in device-independent pixels.
    static constexpr QSize PictureSize{121, 129};
    // The word's label, 33 pixels high: a longer word is cut.
    static constexpr int WordWidth = 129;
    static QFont wordFont();

    explicit FormTrova2(Modulo1 &module);

    // Lays out a new question: a drawn word, its picture in a drawn place and five other,
    // different pictures in the other places.
    void GeneraEsercizio() override;

    std::array<PictureBox *, Slots> Image1{}; // 0-2 upper row, 3-5 lower row
    ClickLabel *Label1;
    qint16 PosizioneGiusta = 0; // the place of the right picture

    static const QString Vuoto; // marker of a place without a picture of this question yet
    static const QString Pieno; // marker of a place that has one

protected:
    // Judged by place alone.
    bool isRight(int slot) const override { return slot == PosizioneGiusta; }
};
