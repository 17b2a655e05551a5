#include "platform/qt/picture_fit.h"

#include "gfx/pixel_ops.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx/simd.h"

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

#ifdef VELMORA_AVX2
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
#ifdef VELMORA_AVX2
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

SampleAxis SampleAxisFor(int source, int shown, int grow) {
    SampleAxis axis;
    axis.first.resize(static_cast<size_t>(std::max(shown, 0)));
    axis.weight.resize(axis.first.size());
    const double reach = 0.5 - 0.5 / std::max(grow, 1);
    for (int o = 0; o < shown; ++o) {
        // The shader's steps: the texel under the pixel's centre, the seam
        // blended only near its edge, then a linear sample there.
        const double texel = (o + 0.5) * source / shown;
        const double cell = std::floor(texel);
        const double offset = texel - cell - 0.5;
        const double at = cell + (offset - std::clamp(offset, -reach, reach)) * grow;
        const double lower = std::floor(at);
        int w = static_cast<int>(std::lround((at - lower) * 256));
        int i = static_cast<int>(lower);
        if (w == 256) {
            ++i;
            w = 0;
        }
        // Clamped to the edge, as the texture is.
        if (i < 0) {
            i = 0;
            w = 0;
        }
        if (i >= source - 1) {
            i = source - 1;
            w = 0;
        }
        axis.first[static_cast<size_t>(o)] = i;
        axis.weight[static_cast<size_t>(o)] = w;
    }
    return axis;
}

namespace {

// Two channels a word at a time: (a * (256 - w) + b * w) >> 8 of each byte.
inline uint32_t MixPixel(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t v = 256 - w;
    const uint32_t rb = ((a & 0x00FF00FFu) * v + (b & 0x00FF00FFu) * w) >> 8 & 0x00FF00FFu;
    const uint32_t ga = (((a >> 8) & 0x00FF00FFu) * v + ((b >> 8) & 0x00FF00FFu) * w) & 0xFF00FF00u;
    return rb | ga;
}

void StretchRowPlain(const uint32_t* row, const int* first, const int* weight, uint32_t* out, int n) {
    for (int x = 0; x < n; ++x) {
        const int i = first[x];
        const uint32_t w = static_cast<uint32_t>(weight[x]);
        out[x] = w ? MixPixel(row[i], row[i + 1], w) : row[i];
    }
}

#ifdef VELMORA_AVX2
VELMORA_TARGET_AVX2 void StretchRowAvx2(const uint32_t* row, const int* first, const int* weight,
                                                   uint32_t* out, int n) {
    const __m256i low = _mm256_set1_epi32(0x00FF00FF);
    const __m256i high = _mm256_set1_epi32(static_cast<int>(0xFF00FF00u));
    const __m256i full = _mm256_set1_epi32(256);
    const int* base = reinterpret_cast<const int*>(row);
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const __m256i i0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first + x));
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weight + x));
        // A weight of 0 reads its own pixel twice: the last one has no right
        // neighbour. (The comparison's all-ones is -1: subtracting adds one.)
        const __m256i i1 = _mm256_sub_epi32(i0, _mm256_cmpgt_epi32(w, _mm256_setzero_si256()));
        const __m256i a = _mm256_i32gather_epi32(base, i0, 4);
        const __m256i b = _mm256_i32gather_epi32(base, i1, 4);
        // Each 16-bit lane holds one channel; the weight fills both lanes of a pixel.
        const __m256i wb = _mm256_or_si256(w, _mm256_slli_epi32(w, 16));
        const __m256i v = _mm256_sub_epi32(full, w);
        const __m256i wa = _mm256_or_si256(v, _mm256_slli_epi32(v, 16));
        const __m256i rb = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(a, low), wa),
                                            _mm256_mullo_epi16(_mm256_and_si256(b, low), wb));
        const __m256i ga = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(a, 8), low), wa),
                                            _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(b, 8), low), wb));
        const __m256i mixed = _mm256_or_si256(_mm256_srli_epi16(rb, 8), _mm256_and_si256(ga, high));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), mixed);
    }
    StretchRowPlain(row, first + x, weight + x, out + x, n - x);
}

#endif

}  // namespace

void StretchRow(const QRgb* row, const SampleAxis& across, QRgb* out, bool vector) {
    const int n = static_cast<int>(across.first.size());
#ifdef VELMORA_AVX2
    if (vector && BestPixelPath() == PixelPath::Avx2) {
        StretchRowAvx2(row, across.first.data(), across.weight.data(), out, n);
        return;
    }
#endif
    (void)vector;
    StretchRowPlain(row, across.first.data(), across.weight.data(), out, n);
}

void MixRows(const QRgb* upper, const QRgb* lower, int w, QRgb* out, int n) {
    // Byte for byte the blend of the engine's pixel kernels, lower at weight w.
    BlendBytes(reinterpret_cast<const uint8_t*>(lower), reinterpret_cast<const uint8_t*>(upper), w,
               reinterpret_cast<uint8_t*>(out), static_cast<size_t>(n) * sizeof(QRgb));
}

void ScalePicture(const QImage& picture, const SampleAxis& across, const SampleAxis& down, int top, int bottom,
                  QImage& out) {
    const int n = static_cast<int>(across.first.size());
    // Each source row is stretched across once, then neighbouring stretched
    // rows are mixed down: output rows walk the source rows in order, so
    // two stretched rows are enough.
    std::vector<QRgb> stretched[2] = {std::vector<QRgb>(static_cast<size_t>(n)), std::vector<QRgb>(static_cast<size_t>(n))};
    int held[2] = {-1, -1};
    // Source row i stretched, keeping the buffer that holds row `keep`.
    auto row = [&](int i, int keep) -> const QRgb* {
        for (int k = 0; k < 2; ++k)
            if (held[k] == i) return stretched[k].data();
        const int k = held[0] == keep ? 1 : 0;
        StretchRow(reinterpret_cast<const QRgb*>(picture.constScanLine(i)), across, stretched[k].data(), true);
        held[k] = i;
        return stretched[k].data();
    };
    for (int y = top; y <= bottom; ++y) {
        const int i = down.first[static_cast<size_t>(y)];
        const int w = down.weight[static_cast<size_t>(y)];
        QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y - top));
        const QRgb* upper = row(i, -1);
        if (w == 0) {
            std::memcpy(o, upper, static_cast<size_t>(n) * sizeof(QRgb));
            continue;
        }
        const QRgb* lower = row(i + 1, i);
        MixRows(upper, lower, w, o, n);
    }
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
    if (fit.factor > 1 || picture.format() != QImage::Format_RGB32 || picture.size() != QSize(kPictureWidth, kPictureHeight)) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, fit.factor == 0);
        p.drawImage(r, picture);
        return;
    }
    // Other sizes with the GPU path's filter, only the rows the paint needs.
    // The GUI thread alone paints: the tables and the band are kept for the
    // next paint at the same size.
    static QSize tablesFor;
    static SampleAxis across, down;
    static QImage band;
    if (tablesFor != r.size()) {
        const int grow = std::max(1, std::min(r.width() / kPictureWidth, r.height() / kPictureHeight));
        across = SampleAxisFor(kPictureWidth, r.width(), grow);
        down = SampleAxisFor(kPictureHeight, r.height(), grow);
        tablesFor = r.size();
    }
    QRect need = r;
    if (p.hasClipping()) need &= p.clipBoundingRect().toAlignedRect();
    if (need.isEmpty()) return;
    const int top = need.top() - r.top(), bottom = need.bottom() - r.top();
    if (band.width() != r.width() || band.height() < bottom - top + 1)
        band = QImage(r.width(), r.height(), QImage::Format_RGB32);
    ScalePicture(picture, across, down, top, bottom, band);
    p.drawImage(QPoint(r.left(), need.top()), band, QRect(0, 0, r.width(), bottom - top + 1));
}

}  // namespace velmora::platform
