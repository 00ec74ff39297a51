#pragma once

#include <QImage>
#include <QList>
#include <QWidget>

class Modulo1;

// A picture box: shows its picture stretched to its whole rectangle and reports clicks.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent);
    void setPicture(const QImage &image); // a null image clears the box
    const QImage &picture() const { return m_picture; }
signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_picture;
};

// Shows picture n of the folder in box, read at the box's size in device pixels. A picture that
// cannot be read ends the program with an error report naming the file and the cause.
void loadPicture(Modulo1 &module, PictureBox &box, int n);
// The same for several boxes at once: the platform may read the pictures in parallel. The first
// picture that cannot be read, in the order given, is the one reported.
void loadPictures(Modulo1 &module, const QList<PictureBox *> &boxes, const QList<int> &numbers);
