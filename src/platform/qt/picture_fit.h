#pragma once
// Where the 800 x 600 picture stands in the paint box at any size, and how
// it is painted there: the 4:3 shape kept with black bars, whole factors
// pixel for pixel, other sizes smoothly. Everything in device pixels, so a
// 2x desktop shows 1600 x 1200 crisp pixels.
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <utility>
#include <vector>

namespace velmora::platform {

// The value "ScaleMode" under the game's key.
enum ScaleMode {
    kScaleSmooth = 0,  // fill the area; smooth unless the size is a whole factor
    kScaleWhole = 1,   // the largest whole factor that fits, centred
};

constexpr int kPictureWidth = 800, kPictureHeight = 600;

struct PictureFit {
    QRect rect{0, 0, kPictureWidth, kPictureHeight};  // the picture, in device pixels of the area
    int factor = 1;                                   // the whole factor; 0 when drawn smoothly
};

PictureFit FitPicture(QSize area, int mode);

// A device pixel position of the area in picture pixels (outside 0 .. 799
// and 0 .. 599 over the bars), and a picture pixel's centre in the area.
QPoint ToPicture(const PictureFit& fit, QPointF device);
QPointF FromPicture(const PictureFit& fit, QPoint picture);

// The area of the picture rectangle that shows the picture's rectangle r,
// grown by a pixel each side for the smooth filter's reach.
QRect DeviceRectOf(const PictureFit& fit, QRect r);

// Paints the picture (800 x 600, best Format_RGB32) and the bars into the
// area; the painter works in device pixels. Other sizes than whole factors
// take the GPU path's sharp-bilinear filter, only the rows the painter's
// clip needs.
void PaintPicture(QPainter& p, const QImage& picture, const PictureFit& fit, QSize area);

// Where each of `shown` pixels samples `source` texels: the first texel and
// the weight (0 to 256) of the next one, clamped to the edge. grow: the
// largest whole factor that fits, up to which texels are grown sharp.
struct SampleAxis {
    std::vector<int> first, weight;
};
SampleAxis SampleAxisFor(int source, int shown, int grow);
// One row across (the vector path where the processor has one, else the
// plain one; both give the same bytes).
void StretchRow(const QRgb* row, const SampleAxis& across, QRgb* out, bool vector);
// out = upper * (256 - w) + lower * w, >> 8, every byte.
void MixRows(const QRgb* upper, const QRgb* lower, int w, QRgb* out, int n);
// Output rows top .. bottom of the scaled picture into out's rows 0 ...
void ScalePicture(const QImage& picture, const SampleAxis& across, const SampleAxis& down, int top, int bottom,
                  QImage& out);

// Brings n pixels of the engine's blue-green-red bytes into the painted
// format (Format_RGB32) where they differ from it. Returns the first and
// last pixel that changed (first > last: none).
std::pair<int, int> UpdatePaintedRow(const uchar* bgr, QRgb* painted, int n);

// The largest whole factor whose picture fits in the area (at least 1).
int WholeFactorThatFits(QSize area);

}  // namespace velmora::platform
