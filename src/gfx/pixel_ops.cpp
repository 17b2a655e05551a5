#include "gfx/pixel_ops.h"

#include <algorithm>
#include <cstring>

#include "app/trace.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VELMORA_SSE2 1
#endif

namespace velmora {

namespace {

int g_blendWeight = 256;

inline int ClampWeight(int w) { return w < 0 ? 0 : (w > 256 ? 256 : w); }

inline uint8_t MaskByte(uint8_t d, uint8_t s, uint8_t m) {
    unsigned v = ((d * (255u - m)) >> 8) + ((s * m) >> 8);
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// The per-byte form used for the ends of rows: one product sum, one shift.
inline uint8_t MaskByteJoint(uint8_t d, uint8_t s, uint8_t m) {
    return static_cast<uint8_t>((d * (255u - m) + s * m) >> 8);
}

void BlendUnsigned(const uint8_t* a, const uint8_t* b, unsigned w, uint8_t* out, size_t bytes) {
    size_t i = 0;
#ifdef VELMORA_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i wa = _mm_set1_epi16(static_cast<short>(w));
    const __m128i wb = _mm_set1_epi16(static_cast<short>(256 - w));
    for (; i + 16 <= bytes; i += 16) {
        __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), wa),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), wb));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), wa),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), wb));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
#endif
    for (; i < bytes; ++i) out[i] = static_cast<uint8_t>((a[i] * w + b[i] * (256 - w)) >> 8);
}

}  // namespace

void BlendRows(const uint8_t* first, const uint8_t* second, int w, uint8_t* out, int n) {
    if (n <= 0) return;
    BlendUnsigned(first, second, static_cast<unsigned>(ClampWeight(w)), out, static_cast<size_t>(n) * 8);
}

void BlendBytes(const uint8_t* first, const uint8_t* second, int w, uint8_t* out, size_t bytes) {
    BlendUnsigned(first, second, static_cast<unsigned>(ClampWeight(w)), out, bytes);
}

void SetBlendWeight(int w) { g_blendWeight = ClampWeight(w); }

void BlendRows(const uint8_t* first, const uint8_t* second, uint8_t* out, int n) {
    BlendRows(first, second, g_blendWeight, out, n);
}

void MaskRows(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, int n, uint8_t* out) {
    if (n <= 0) return;
    const size_t bytes = static_cast<size_t>(n) * 8;
    size_t i = 0;
#ifdef VELMORA_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    for (; i + 16 <= bytes; i += 16) {
        __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
        int zeros = _mm_movemask_epi8(_mm_cmpeq_epi8(m, zero));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        if (zeros == 0xFFFF) {
            // Both groups transparent: the margins of sprites cost one test.
            if (out != dst) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), d);
            continue;
        }
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i mlo = _mm_unpacklo_epi8(m, zero), mhi = _mm_unpackhi_epi8(m, zero);
        __m128i lo = _mm_add_epi16(
            _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(full, mlo)), 8),
            _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), mlo), 8));
        __m128i hi = _mm_add_epi16(
            _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(full, mhi)), 8),
            _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), mhi), 8));
        __m128i r = _mm_packus_epi16(lo, hi);
        const bool keepLo = (zeros & 0xFF) == 0xFF, keepHi = (zeros & 0xFF00) == 0xFF00;
        if (keepLo || keepHi) {
            __m128i keep = _mm_set_epi64x(keepHi ? -1 : 0, keepLo ? -1 : 0);
            r = _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, r));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), r);
    }
#endif
    for (; i < bytes; i += 8) {
        uint64_t m8;
        std::memcpy(&m8, mask + i, 8);
        if (m8 == 0) {
            if (out != dst) std::memmove(out + i, dst + i, 8);
            continue;
        }
        for (size_t k = i; k < i + 8; ++k) out[k] = MaskByte(dst[k], src[k], mask[k]);
    }
}

void CrossfadeScreen(const Picture& first, const Picture& second, int w, Picture& out) {
    int rows = std::min({kScreenHeight, first.height, second.height, out.height});
    int width = std::min({kScreenWidth, first.width, second.width, out.width});
    int groups = width * 3 / 8;
    for (int y = 0; y < rows; ++y) BlendRows(first.Row(y), second.Row(y), w, out.Row(y), groups);
}

void CrossfadeTile(const Picture& previous, const Picture& screen, Picture& out, int x, int y, int w) {
    // 80 pixels are exactly 30 groups; a tile reaching past an edge is cut.
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min({x + 80, previous.width, screen.width, out.width});
    int y1 = std::min({y + 60, previous.height, screen.height, out.height});
    if (x1 <= x0 || y1 <= y0) return;
    const unsigned wc = static_cast<unsigned>(ClampWeight(w));
    const size_t bytes = static_cast<size_t>(x1 - x0) * 3;
    for (int r = y0; r < y1; ++r)
        BlendUnsigned(previous.Pixel(x0, r), screen.Pixel(x0, r), wc, out.Pixel(x0, r), bytes);
}

void MaskScreen(const Picture& dst, const Picture& src, const Picture& mask, Picture& out) {
    int rows = std::min({kScreenHeight, dst.height, src.height, mask.height, out.height});
    int width = std::min({kScreenWidth, dst.width, src.width, mask.width, out.width});
    int groups = width * 3 / 8;
    for (int y = 0; y < rows; ++y) MaskRows(dst.Row(y), src.Row(y), mask.Row(y), groups, out.Row(y));
}

void DarkenScreen(const Picture& src, Picture& dst, int v) {
    int rows = std::min({kScreenHeight, src.height, dst.height});
    int width = std::min({kScreenWidth, src.width, dst.width});
    const size_t bytes = static_cast<size_t>(width * 3 / 8) * 8;
    const unsigned uv = static_cast<unsigned>(v) & 0xFFFF;
    for (int y = 0; y < rows; ++y) {
        const uint8_t* s = src.Row(y);
        uint8_t* d = dst.Row(y);
        size_t i = 0;
#ifdef VELMORA_SSE2
        const __m128i zero = _mm_setzero_si128();
        const __m128i vv = _mm_set1_epi16(static_cast<short>(uv));
        for (; i + 16 <= bytes; i += 16) {
            __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), vv), 8);
            __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), vv), 8);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(lo, hi));
        }
#endif
        for (; i < bytes; ++i) d[i] = static_cast<uint8_t>(((s[i] * uv) & 0xFFFF) >> 8);
    }
}

namespace {

// Masked drawing of a w x h source whose colour row r starts at
// colour + r * stride and whose mask row starts at mask + r * stride, onto
// dst at (x, y) with the clipping of BlitMasked.
void MaskedBlit(Picture& dst, int x, int y, int w, int h, const uint8_t* colour, const uint8_t* mask,
                size_t stride) {
    int sx = 0, sy = 0;
    if (x < 0) {
        w += x;
        sx = -x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        sy = -y;
        y = 0;
    }
    if (x >= dst.width || y > dst.height || h <= 0 || w <= 0) return;
    if (w > dst.width - x) w = dst.width - x;
    if (h > dst.height - y) h = dst.height - y;
    const int groups = (w / 8) * 3;
    const size_t tailStart = static_cast<size_t>(w / 8) * 24;
    const size_t rowBytes = static_cast<size_t>(w) * 3;
    for (int i = 0; i < h; ++i) {
        uint8_t* d = dst.Pixel(x, y + i);
        const size_t off = static_cast<size_t>(sy + i) * stride + static_cast<size_t>(sx) * 3;
        const uint8_t* s = colour + off;
        const uint8_t* m = mask + off;
        MaskRows(d, s, m, groups, d);
        for (size_t k = tailStart; k < rowBytes; ++k) d[k] = MaskByteJoint(d[k], s[k], m[k]);
    }
}

}  // namespace

void BlitMasked(Picture& dst, const Picture& src, const Picture& mask, int x, int y) {
    if (mask.width != src.width || mask.height != src.height) {
        Trace("picture: colour %dx%d and mask %dx%d differ; nothing drawn", src.width, src.height, mask.width,
              mask.height);
        return;
    }
    if (src.Empty()) return;
    MaskedBlit(dst, x, y, src.width, src.height, src.bytes.data(), mask.bytes.data(),
               static_cast<size_t>(src.Stride()));
}

void BlitSideBySide(Picture& dst, int x, int y, const Picture& src) {
    const int half = src.width / 2;
    if (half <= 0 || src.height <= 0) return;
    MaskedBlit(dst, x, y, half, src.height, src.bytes.data(), src.bytes.data() + static_cast<size_t>(half) * 3,
               static_cast<size_t>(src.Stride()));
}

bool BlitStacked(Picture& dst, int x, int y, const Picture& src) {
    const int half = src.height / 2;
    if (x < 0 || y < 0 || x + src.width > dst.width || y + half > dst.height) {
        Trace("ILLEGAL BMP: %dx%d stacked picture at (%d, %d) does not fit %dx%d", src.width, src.height, x, y,
              dst.width, dst.height);
        return false;
    }
    const int groups = (3 * src.width) / 8;
    for (int i = 0; i < half; ++i) {
        uint8_t* d = dst.Pixel(x, y + i);
        MaskRows(d, src.Row(i), src.Row(half + i), groups, d);
    }
    return true;
}

void CopyRect(Picture& dst, int dx, int dy, const Picture& src, int sx, int sy, int w, int h) {
    // Cut the rectangle to the source, then to the destination.
    if (sx < 0) {
        w += sx;
        dx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        dy -= sy;
        sy = 0;
    }
    if (dx < 0) {
        w += dx;
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        h += dy;
        sy -= dy;
        dy = 0;
    }
    w = std::min({w, src.width - sx, dst.width - dx});
    h = std::min({h, src.height - sy, dst.height - dy});
    if (w <= 0 || h <= 0) return;
    const size_t bytes = static_cast<size_t>(w) * 3;
    for (int r = 0; r < h; ++r) std::memcpy(dst.Pixel(dx, dy + r), src.Pixel(sx, sy + r), bytes);
}

void FillPicture(Picture& dst, uint32_t colour) {
    const uint8_t bgr[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour)};
    if (bgr[0] == bgr[1] && bgr[1] == bgr[2]) {
        std::memset(dst.bytes.data(), bgr[0], dst.bytes.size());
        return;
    }
    for (size_t i = 0; i + 3 <= dst.bytes.size(); i += 3) std::memcpy(&dst.bytes[i], bgr, 3);
}

}  // namespace velmora
