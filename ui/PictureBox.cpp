#include "ui/PictureBox.h"

#include "core/Messages.h"
#include "core/Modulo1.h"
#include "core/SafeFile.h"
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

void showPicture(Modulo1 &module, PictureBox &box, int n, const QString &path,
                 const PictureResult &result)
{
    if (!result.ok())
        module.platform.fatal(Messages::errorReport(
            QStringLiteral("Impossibile mostrare l'immagine %1.").arg(n), path, result.cause));
    QImage image = result.image;
    image.setDevicePixelRatio(box.devicePixelRatioF());
    box.setPicture(image);
}

} // namespace

void loadPicture(Modulo1 &module, PictureBox &box, int n)
{
    const QString path = resolveLetterCase(module.picturePath(n));
    const QSize pixels = devicePixels(box.size(), box.devicePixelRatioF());
    showPicture(module, box, n, path, module.platform.loadPicture(path, pixels));
}

void loadPictures(Modulo1 &module, const QList<PictureBox *> &boxes, const QList<int> &numbers)
{
    Q_ASSERT(boxes.size() == numbers.size());
    QList<PictureRequest> requests;
    for (qsizetype i = 0; i < boxes.size(); ++i)
        requests.append({resolveLetterCase(module.picturePath(numbers[i])),
                         devicePixels(boxes[i]->size(), boxes[i]->devicePixelRatioF())});
    const QList<PictureResult> results = module.platform.loadPictures(requests);
    for (qsizetype i = 0; i < boxes.size(); ++i)
        showPicture(module, *boxes[i], numbers[i], requests[i].path, results.at(i));
}
