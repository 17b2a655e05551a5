#include "platform/qt/picture_fit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VELMORA_SSSE3_ROWS 1
#endif

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

namespace {

// Three bytes a pixel to four, the top byte opaque: the painted format's
// words are the engine's bytes in the same order.
void ConvertPlain(const uchar* bgr, QRgb* out, int n) {
    for (int x = 0; x < n; ++x, bgr += 3) out[x] = 0xFF000000u | bgr[2] << 16 | bgr[1] << 8 | bgr[0];
}

#ifdef VELMORA_SSSE3_ROWS
__attribute__((target("ssse3"))) void ConvertSsse3(const uchar* bgr, QRgb* out, int n) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    // Four pixels from a 16-byte load, which must stay inside the row.
    for (; x + 6 <= n; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_shuffle_epi8(v, spread), opaque));
    }
    ConvertPlain(bgr + 3 * x, out + x, n - x);
}

bool HasSsse3() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
}
#endif

}  // namespace

std::pair<int, int> UpdatePaintedRow(const uchar* bgr, QRgb* painted, int n) {
    // Converting a whole row and comparing it word by word costs less than
    // a test per pixel; most rows either all changed or none did.
    QRgb row[kPictureWidth];
    int first = n, last = -1;
    for (int at = 0; at < n; at += kPictureWidth) {
        const int m = std::min(n - at, kPictureWidth);
#ifdef VELMORA_SSSE3_ROWS
        if (HasSsse3()) ConvertSsse3(bgr + 3 * at, row, m);
        else ConvertPlain(bgr + 3 * at, row, m);
#else
        ConvertPlain(bgr + 3 * at, row, m);
#endif
        QRgb* out = painted + at;
        if (std::memcmp(row, out, static_cast<size_t>(m) * sizeof(QRgb)) == 0) continue;
        int a = 0, b = m - 1;
        while (row[a] == out[a]) ++a;
        while (row[b] == out[b]) --b;
        std::memcpy(out + a, row + a, static_cast<size_t>(b - a + 1) * sizeof(QRgb));
        first = std::min(first, at + a);
        last = at + b;
    }
    return {first, last};
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
