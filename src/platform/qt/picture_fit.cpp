#include "platform/qt/picture_fit.h"

#include <algorithm>
#include <cmath>

namespace velmora::platform {

int WholeFactorThatFits(QSize area) {
    return std::max(1, std::min(area.width() / kPictureWidth, area.height() / kPictureHeight));
}

PictureFit FitPicture(QSize area, int mode) {
    PictureFit fit;
    const int W = area.width(), H = area.height();
    if (W <= 0 || H <= 0) return fit;
    const int k = std::min(W / kPictureWidth, H / kPictureHeight);
    int w, h;
    if (W * 3 <= H * 4) {
        w = W;
        h = W * 3 / 4;
    } else {
        h = H;
        w = H * 4 / 3;
    }
    // A size a pixel or two above a whole factor (rounding of a fractional
    // device pixel ratio) is that factor: sharp beats a 0.1 % stretch.
    if (k >= 1 && (mode == kScaleWhole || (w - k * kPictureWidth <= 2 && h - k * kPictureHeight <= 2))) {
        w = k * kPictureWidth;
        h = k * kPictureHeight;
        fit.factor = k;
    } else {
        fit.factor = 0;
    }
    fit.rect = QRect((W - w) / 2, (H - h) / 2, std::max(w, 1), std::max(h, 1));
    return fit;
}

QPoint ToPicture(const PictureFit& fit, QPointF device) {
    const double x = (device.x() - fit.rect.x()) * kPictureWidth / fit.rect.width();
    const double y = (device.y() - fit.rect.y()) * kPictureHeight / fit.rect.height();
    return QPoint(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

QPointF FromPicture(const PictureFit& fit, QPoint picture) {
    return QPointF(fit.rect.x() + (picture.x() + 0.5) * fit.rect.width() / kPictureWidth,
                   fit.rect.y() + (picture.y() + 0.5) * fit.rect.height() / kPictureHeight);
}

QRect DeviceRectOf(const PictureFit& fit, QRect r) {
    const double sx = static_cast<double>(fit.rect.width()) / kPictureWidth;
    const double sy = static_cast<double>(fit.rect.height()) / kPictureHeight;
    const int left = fit.rect.x() + static_cast<int>(std::floor(r.x() * sx)) - 1;
    const int top = fit.rect.y() + static_cast<int>(std::floor(r.y() * sy)) - 1;
    const int right = fit.rect.x() + static_cast<int>(std::ceil((r.x() + r.width()) * sx)) + 1;
    const int bottom = fit.rect.y() + static_cast<int>(std::ceil((r.y() + r.height()) * sy)) + 1;
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(fit.rect);
}

void PaintPicture(QPainter& p, const QImage& picture, const PictureFit& fit, QSize area) {
    const QRect& r = fit.rect;
    // The bars, never the picture's own pixels twice.
    if (r.top() > 0) p.fillRect(0, 0, area.width(), r.top(), Qt::black);
    if (r.bottom() + 1 < area.height())
        p.fillRect(0, r.bottom() + 1, area.width(), area.height() - r.bottom() - 1, Qt::black);
    if (r.left() > 0) p.fillRect(0, r.top(), r.left(), r.height(), Qt::black);
    if (r.right() + 1 < area.width())
        p.fillRect(r.right() + 1, r.top(), area.width() - r.right() - 1, r.height(), Qt::black);
    if (fit.factor == 1) {
        p.drawImage(r.topLeft(), picture);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, fit.factor == 0);
    p.drawImage(r, picture);
}

}  // namespace velmora::platform
