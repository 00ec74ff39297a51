#pragma once

#include "exercises/Exercise.h"

#include <QFont>
#include <QList>
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

    std::array<PictureBox *, Slots> Image1{}; // 0-2 upper row, 3-5 lower row
    ClickLabel *Label1;
    qint16 PosizioneGiusta = 0; // the place of the right picture

protected:
    // A question: the word asked, and the pictures in the places, read together once all are
    // drawn (in parallel where the platform can), the right one first.
    void clearPlaces() override;
    void showAsked(qint16 word) override;
    void fillPlace(int place, qint16 word, bool right) override;
    void questionReady() override;
    QWidget *placeControl(int place) const override;
    // Judged by place alone.
    bool isRight(int slot) const override { return slot == PosizioneGiusta; }

private:
    QList<PictureBox *> m_boxes; // the places filled so far, and their pictures
    QList<int> m_pictures;
};
