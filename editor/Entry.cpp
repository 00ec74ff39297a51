#include "editor/Entry.h"

#include <cmath>

QRect keptRect(QSize size, const Crop &crop, QSize shape)
{
    if (!crop.enabled || size.isEmpty() || shape.isEmpty())
        return QRect(QPoint(0, 0), size);
    const double p = qBound(0.0, crop.position, 1.0);
    const double ratio = double(shape.width()) / shape.height();
    if (double(size.width()) / size.height() > ratio) { // wider than the box: cut the sides
        const int w = qMax(1, int(std::lround(size.height() * ratio)));
        return QRect(int(std::lround((size.width() - w) * p)), 0, w, size.height());
    }
    const int h = qMax(1, int(std::lround(size.width() / ratio)));
    return QRect(0, int(std::lround((size.height() - h) * p)), size.width(), h);
}
