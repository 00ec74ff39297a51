#include "ui/PictureBox.h"

#include "core/Messages.h"
#include "core/Modulo1.h"
#include "ui/Design.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {}

void PictureBox::setPicture(const QImage &image)
{
    m_picture = image;
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), m_picture);
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (isClick(this, event))
        emit clicked();
    else
        QWidget::mouseReleaseEvent(event);
}

namespace {

void showPicture(Modulo1 &module, PictureBox &box, int n, const PictureResult &result)
{
    if (!result.ok())
        module.platform.fatal(
            Messages::errorReport(QStringLiteral("Impossibile mostrare l'immagine %1.").arg(n),
                                  module.shownPicturePath(n), result.cause));
    QImage image = result.image;
    image.setDevicePixelRatio(box.devicePixelRatioF());
    box.setPicture(image);
}

} // namespace

void loadPicture(Modulo1 &module, PictureBox &box, int n)
{
    const QSize pixels = devicePixels(box.size(), box.devicePixelRatioF());
    const PictureResult result = module.platform.loadPicture(module.picturePath(n), pixels);
    // A picture read after the folder was saved again may belong to another word.
    module.checkFolderUnchanged();
    showPicture(module, box, n, result);
}

void loadPictures(Modulo1 &module, const QList<PictureBox *> &boxes, const QList<int> &numbers)
{
    Q_ASSERT(boxes.size() == numbers.size());
    QList<PictureRequest> requests;
    for (qsizetype i = 0; i < boxes.size(); ++i)
        requests.append({module.picturePath(numbers[i]),
                         devicePixels(boxes[i]->size(), boxes[i]->devicePixelRatioF())});
    const QList<PictureResult> results = module.platform.loadPictures(requests);
    module.checkFolderUnchanged();
    for (qsizetype i = 0; i < boxes.size(); ++i)
        showPicture(module, *boxes[i], numbers[i], results.at(i));
}
