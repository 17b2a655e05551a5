#include "gfx/pixel_ops.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "app/trace.h"
#include "gfx/simd.h"

namespace velmora {

namespace {

int g_blendWeight = 256;

inline int ClampWeight(int w) { return w < 0 ? 0 : (w > 256 ? 256 : w); }

// The per-byte form used for the ends of rows: one product sum, one shift.
inline uint8_t MaskByteJoint(uint8_t d, uint8_t s, uint8_t m) {
    return static_cast<uint8_t>((d * (255u - m) + s * m) >> 8);
}

// Every kernel exists once per path and works on a plain byte stream; the
// operations below only cut pictures into streams. The paths must agree
// byte for byte, so each vector form below is the plain formula
// rearranged, never approximated.

PixelPath DetectPath() {
#ifdef VELMORA_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return PixelPath::Avx2;
#endif
#ifdef VELMORA_SSE2
    return PixelPath::Sse2;
#else
    return PixelPath::Plain;
#endif
}

PixelPath& Path() {
    static PixelPath path = DetectPath();
    return path;
}

// --- blend: out = (a * w + b * (256 - w)) >> 8 ---

void BlendPlain(const uint8_t* a, const uint8_t* b, unsigned w, uint8_t* out, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>((a[i] * w + b[i] * (256 - w)) >> 8);
}

#ifdef VELMORA_SSE2
// The sum of both products stays below 65536, so 16-bit lanes hold it.
void BlendSse2(const uint8_t* a, const uint8_t* b, unsigned w, uint8_t* out, size_t bytes) {
    size_t i = 0;
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
    BlendPlain(a + i, b + i, w, out + i, bytes - i);
}
#endif

#ifdef VELMORA_AVX2
// a * w + b * (256 - w) = 256 * b + (a - b) * w, so the result is
// b + floor((a - b) * w / 256). With w below 128 the difference times the
// weight fits one signed multiply-add of byte pairs and its floor fits a
// signed byte; above 128 the same holds for a and 256 - w. 128 itself is
// the mean rounded down.
VELMORA_TARGET_AVX2 void BlendAvx2(const uint8_t* a, const uint8_t* b, unsigned w, uint8_t* out, size_t bytes) {
    size_t i = 0;
    if (w == 128) {
        const __m256i one = _mm256_set1_epi8(1);
        for (; i + 32 <= bytes; i += 32) {
            __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
            __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
            __m256i odd = _mm256_and_si256(_mm256_xor_si256(va, vb), one);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_sub_epi8(_mm256_avg_epu8(va, vb), odd));
        }
    } else {
        const bool low = w < 128;
        const int k = low ? static_cast<int>(w) : static_cast<int>(256 - w);
        // Byte pairs (a, b) times (k, -k) below 128, (-k, k) above.
        const int first = low ? k : -k;
        const uint16_t pair = static_cast<uint16_t>((first & 0xFF) | ((-first & 0xFF) << 8));
        const __m256i weights = _mm256_set1_epi16(static_cast<short>(pair));
        for (; i + 32 <= bytes; i += 32) {
            __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
            __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
            __m256i lo = _mm256_srai_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(va, vb), weights), 8);
            __m256i hi = _mm256_srai_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(va, vb), weights), 8);
            __m256i base = low ? vb : va;
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                                _mm256_add_epi8(base, _mm256_packs_epi16(lo, hi)));
        }
    }
    BlendSse2(a + i, b + i, w, out + i, bytes - i);
}
#endif

void Blend(const uint8_t* a, const uint8_t* b, unsigned w, uint8_t* out, size_t bytes) {
    switch (Path()) {
#ifdef VELMORA_AVX2
    case PixelPath::Avx2:
        BlendAvx2(a, b, w, out, bytes);
        return;
#endif
#ifdef VELMORA_SSE2
    case PixelPath::Sse2:
        BlendSse2(a, b, w, out, bytes);
        return;
#endif
    default:
        BlendPlain(a, b, w, out, bytes);
    }
}

// --- mask: groups of 8 bytes, all-zero groups keep dst ---

void MaskPlain(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, size_t bytes, uint8_t* out) {
    for (size_t i = 0; i + 8 <= bytes; i += 8) {
        uint64_t m8;
        std::memcpy(&m8, mask + i, 8);
        if (m8 == 0) {
            if (out != dst) std::memcpy(out + i, dst + i, 8);
            continue;
        }
        if (m8 == ~uint64_t{0}) {
            // Opaque: (src * 255) >> 8, which is src - 1 except for 0.
            for (size_t k = i; k < i + 8; ++k) out[k] = static_cast<uint8_t>(src[k] ? src[k] - 1 : 0);
            continue;
        }
        // The sum of both truncated products never exceeds 254, so the
        // clamp to 255 never bites.
        for (size_t k = i; k < i + 8; ++k)
            out[k] = static_cast<uint8_t>(((dst[k] * (255u - mask[k])) >> 8) + ((src[k] * mask[k]) >> 8));
    }
}

#ifdef VELMORA_SSE2
// A byte placed in the high half of a 16-bit lane is the byte times 256,
// so the high half of its product with a weight is the product >> 8: each
// truncation is one multiply.
void MaskSse2(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, size_t bytes, uint8_t* out) {
    size_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi8(-1);
    const __m128i one = _mm_set1_epi8(1);
    for (; i + 16 <= bytes; i += 16) {
        __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(m, ones)) == 0xFFFF) {
            // Opaque, as the inside of sprites: (src * 255) >> 8 is src - 1
            // except for 0, and dst plays no part.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_subs_epu8(s, one));
            continue;
        }
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        __m128i z32 = _mm_cmpeq_epi32(m, zero);
        __m128i keep = _mm_and_si128(z32, _mm_shuffle_epi32(z32, _MM_SHUFFLE(2, 3, 0, 1)));
        if (_mm_movemask_epi8(keep) == 0xFFFF) {
            // Both groups transparent: the margins of sprites cost one test.
            if (out != dst) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), d);
            continue;
        }
        __m128i im = _mm_xor_si128(m, ones);
        __m128i lo = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(zero, d), _mm_unpacklo_epi8(im, zero)),
                                   _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, s), _mm_unpacklo_epi8(m, zero)));
        __m128i hi = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpackhi_epi8(zero, d), _mm_unpackhi_epi8(im, zero)),
                                   _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, s), _mm_unpackhi_epi8(m, zero)));
        __m128i r = _mm_packus_epi16(lo, hi);
        r = _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), r);
    }
    MaskPlain(dst + i, src + i, mask + i, bytes - i, out + i);
}
#endif

#ifdef VELMORA_AVX2
VELMORA_TARGET_AVX2 void MaskAvx2(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, size_t bytes,
                                  uint8_t* out) {
    size_t i = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ones = _mm256_set1_epi8(-1);
    const __m256i one = _mm256_set1_epi8(1);
    for (; i + 32 <= bytes; i += 32) {
        __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mask + i));
        if (_mm256_testz_si256(m, m)) {
            if (out != dst)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i)));
            continue;
        }
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        if (_mm256_testc_si256(m, ones)) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_subs_epu8(s, one));
            continue;
        }
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        __m256i keep = _mm256_cmpeq_epi64(m, zero);
        __m256i im = _mm256_xor_si256(m, ones);
        __m256i lo = _mm256_add_epi16(
            _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, d), _mm256_unpacklo_epi8(im, zero)),
            _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, s), _mm256_unpacklo_epi8(m, zero)));
        __m256i hi = _mm256_add_epi16(
            _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, d), _mm256_unpackhi_epi8(im, zero)),
            _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, s), _mm256_unpackhi_epi8(m, zero)));
        __m256i r = _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), d, keep);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), r);
    }
    MaskSse2(dst + i, src + i, mask + i, bytes - i, out + i);
}
#endif

void Mask(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, size_t bytes, uint8_t* out) {
    switch (Path()) {
#ifdef VELMORA_AVX2
    case PixelPath::Avx2:
        MaskAvx2(dst, src, mask, bytes, out);
        return;
#endif
#ifdef VELMORA_SSE2
    case PixelPath::Sse2:
        MaskSse2(dst, src, mask, bytes, out);
        return;
#endif
    default:
        MaskPlain(dst, src, mask, bytes, out);
    }
}

// --- opaque runs: (src * 255) >> 8, which is src - 1 except for 0 ---

void OpaquePlain(const uint8_t* src, uint8_t* out, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(src[i] ? src[i] - 1 : 0);
}

#ifdef VELMORA_SSE2
// src and out are apart, so the last vector may overlap the one before it
// instead of leaving an end for the byte loop.
void OpaqueSse2(const uint8_t* src, uint8_t* out, size_t bytes) {
    if (bytes < 16) return OpaquePlain(src, out, bytes);
    const __m128i one = _mm_set1_epi8(1);
    for (size_t i = 0;; i += 16) {
        if (i + 16 > bytes) i = bytes - 16;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_subs_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), one));
        if (i + 16 == bytes) return;
    }
}
#endif

#ifdef VELMORA_AVX2
VELMORA_TARGET_AVX2 void OpaqueAvx2(const uint8_t* src, uint8_t* out, size_t bytes) {
    if (bytes < 32) return OpaqueSse2(src, out, bytes);
    const __m256i one = _mm256_set1_epi8(1);
    for (size_t i = 0;; i += 32) {
        if (i + 32 > bytes) i = bytes - 32;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_subs_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), one));
        if (i + 32 == bytes) return;
    }
}
#endif

void Opaque(const uint8_t* src, uint8_t* out, size_t bytes) {
    switch (Path()) {
#ifdef VELMORA_AVX2
    case PixelPath::Avx2:
        OpaqueAvx2(src, out, bytes);
        return;
#endif
#ifdef VELMORA_SSE2
    case PixelPath::Sse2:
        OpaqueSse2(src, out, bytes);
        return;
#endif
    default:
        OpaquePlain(src, out, bytes);
    }
}

// --- row ends of masked blits (under 24 bytes): the joint form ---

void JointTail(uint8_t* d, const uint8_t* s, const uint8_t* m, size_t bytes) {
    size_t k = 0;
#ifdef VELMORA_SSE2
    if (Path() != PixelPath::Plain) {
        // d * (255 - m) + s * m stays below 65536: eight 16-bit lanes per
        // step, loaded and stored 8 bytes at a time so nothing past the
        // end is touched.
        const __m128i zero = _mm_setzero_si128();
        const __m128i full = _mm_set1_epi16(255);
        for (; k + 8 <= bytes; k += 8) {
            __m128i vd = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + k)), zero);
            __m128i vs = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + k)), zero);
            __m128i vm = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m + k)), zero);
            __m128i sum = _mm_add_epi16(_mm_mullo_epi16(vd, _mm_sub_epi16(full, vm)), _mm_mullo_epi16(vs, vm));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + k), _mm_packus_epi16(_mm_srli_epi16(sum, 8), zero));
        }
    }
#endif
    for (; k < bytes; ++k) d[k] = MaskByteJoint(d[k], s[k], m[k]);
}

// --- darken: out = low 16 bits of (in * v), >> 8 ---

void DarkenPlain(const uint8_t* in, uint8_t* out, unsigned v, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(((in[i] * v) & 0xFFFF) >> 8);
}

#ifdef VELMORA_SSE2
void DarkenSse2(const uint8_t* in, uint8_t* out, unsigned v, size_t bytes) {
    size_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i vv = _mm_set1_epi16(static_cast<short>(v));
    for (; i + 16 <= bytes; i += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), vv), 8);
        __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), vv), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    DarkenPlain(in + i, out + i, v & 0xFFFF, bytes - i);
}
#endif

#ifdef VELMORA_AVX2
VELMORA_TARGET_AVX2 void DarkenAvx2(const uint8_t* in, uint8_t* out, unsigned v, size_t bytes) {
    size_t i = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i vv = _mm256_set1_epi16(static_cast<short>(v));
    if (v <= 256) {
        // The product fits 16 bits: one high-half multiply of the byte
        // placed at the top of its lane.
        for (; i + 32 <= bytes; i += 32) {
            __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
            __m256i lo = _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, a), vv);
            __m256i hi = _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, a), vv);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
        }
    } else {
        for (; i + 32 <= bytes; i += 32) {
            __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
            __m256i lo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(a, zero), vv), 8);
            __m256i hi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(a, zero), vv), 8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
        }
    }
    DarkenSse2(in + i, out + i, v, bytes - i);
}
#endif

// v is taken in its low 16 bits.
void Darken(const uint8_t* in, uint8_t* out, unsigned v, size_t bytes) {
    v &= 0xFFFF;
    switch (Path()) {
#ifdef VELMORA_AVX2
    case PixelPath::Avx2:
        DarkenAvx2(in, out, v, bytes);
        return;
#endif
#ifdef VELMORA_SSE2
    case PixelPath::Sse2:
        DarkenSse2(in, out, v, bytes);
        return;
#endif
    default:
        DarkenPlain(in, out, v, bytes);
    }
}

// The rows of pictures of one width are one stream when the groups of a
// row reach its end.
bool RowsContiguous(int width, int groups, std::initializer_list<const Picture*> pictures) {
    if (static_cast<size_t>(groups) * 8 != static_cast<size_t>(width) * 3) return false;
    for (const Picture* p : pictures)
        if (p->width != width) return false;
    return true;
}

}  // namespace

PixelPath BestPixelPath() { return DetectPath(); }

PixelPath CurrentPixelPath() { return Path(); }

bool UsePixelPath(PixelPath path) {
    const PixelPath best = DetectPath();
    if (static_cast<int>(path) > static_cast<int>(best)) return false;
    Path() = path;
    return true;
}

void BlendRows(const uint8_t* first, const uint8_t* second, int w, uint8_t* out, int n) {
    if (n <= 0) return;
    Blend(first, second, static_cast<unsigned>(ClampWeight(w)), out, static_cast<size_t>(n) * 8);
}

void BlendBytes(const uint8_t* first, const uint8_t* second, int w, uint8_t* out, size_t bytes) {
    Blend(first, second, static_cast<unsigned>(ClampWeight(w)), out, bytes);
}

void SetBlendWeight(int w) { g_blendWeight = ClampWeight(w); }

void BlendRows(const uint8_t* first, const uint8_t* second, uint8_t* out, int n) {
    BlendRows(first, second, g_blendWeight, out, n);
}

void MaskRows(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, int n, uint8_t* out) {
    if (n <= 0) return;
    Mask(dst, src, mask, static_cast<size_t>(n) * 8, out);
}

void CrossfadeScreen(const Picture& first, const Picture& second, int w, Picture& out) {
    int rows = std::min({kScreenHeight, first.height, second.height, out.height});
    int width = std::min({kScreenWidth, first.width, second.width, out.width});
    int groups = width * 3 / 8;
    if (rows <= 0 || groups <= 0) return;
    const unsigned wc = static_cast<unsigned>(ClampWeight(w));
    if (RowsContiguous(width, groups, {&first, &second, &out})) {
        Blend(first.Row(0), second.Row(0), wc, out.Row(0), static_cast<size_t>(rows) * groups * 8);
        return;
    }
    for (int y = 0; y < rows; ++y) Blend(first.Row(y), second.Row(y), wc, out.Row(y), static_cast<size_t>(groups) * 8);
}

void CrossfadeTile(const Picture& previous, const Picture& screen, Picture& out, int x, int y, int w) {
    // 80 pixels are exactly 30 groups; a tile reaching past an edge is cut.
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min({x + 80, previous.width, screen.width, out.width});
    int y1 = std::min({y + 60, previous.height, screen.height, out.height});
    if (x1 <= x0 || y1 <= y0) return;
    const unsigned wc = static_cast<unsigned>(ClampWeight(w));
    const size_t bytes = static_cast<size_t>(x1 - x0) * 3;
    for (int r = y0; r < y1; ++r) Blend(previous.Pixel(x0, r), screen.Pixel(x0, r), wc, out.Pixel(x0, r), bytes);
}

void MaskScreen(const Picture& dst, const Picture& src, const Picture& mask, Picture& out) {
    int rows = std::min({kScreenHeight, dst.height, src.height, mask.height, out.height});
    int width = std::min({kScreenWidth, dst.width, src.width, mask.width, out.width});
    int groups = width * 3 / 8;
    if (rows <= 0 || groups <= 0) return;
    if (RowsContiguous(width, groups, {&dst, &src, &mask, &out})) {
        Mask(dst.Row(0), src.Row(0), mask.Row(0), static_cast<size_t>(rows) * groups * 8, out.Row(0));
        return;
    }
    for (int y = 0; y < rows; ++y) Mask(dst.Row(y), src.Row(y), mask.Row(y), static_cast<size_t>(groups) * 8, out.Row(y));
}

void DarkenScreen(const Picture& src, Picture& dst, int v) {
    int rows = std::min({kScreenHeight, src.height, dst.height});
    int width = std::min({kScreenWidth, src.width, dst.width});
    int groups = width * 3 / 8;
    if (rows <= 0 || groups <= 0) return;
    const unsigned uv = static_cast<unsigned>(v);
    if (RowsContiguous(width, groups, {&src, &dst})) {
        Darken(src.Row(0), dst.Row(0), uv, static_cast<size_t>(rows) * groups * 8);
        return;
    }
    for (int y = 0; y < rows; ++y) Darken(src.Row(y), dst.Row(y), uv, static_cast<size_t>(groups) * 8);
}

void DarkenRows(Picture& picture, int y, int rows, int v) {
    const int first = std::max(y, 0), last = std::min(y + rows, picture.height);
    if (last <= first) return;
    // Whole rows of one picture are contiguous.
    Darken(picture.Row(first), picture.Row(first), static_cast<unsigned>(std::clamp(v, 0, 256)),
           static_cast<size_t>(last - first) * static_cast<size_t>(picture.Stride()));
}

namespace {

// Cuts a w x h source drawn at (x, y) to dst: on return (x, y) is where its
// first drawn pixel lands, (sx, sy) where that pixel is in the source.
// False when nothing of it is drawn.
bool ClipMasked(const Picture& dst, int& x, int& y, int& w, int& h, int& sx, int& sy) {
    sx = 0;
    sy = 0;
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
    if (x >= dst.width || y > dst.height || h <= 0 || w <= 0) return false;
    if (w > dst.width - x) w = dst.width - x;
    if (h > dst.height - y) h = dst.height - y;
    return h > 0;
}

// Masked drawing of a w x h source whose colour row r starts at
// colour + r * stride and whose mask row starts at mask + r * stride, onto
// dst at (x, y) with the clipping of BlitMasked. Each row: whole groups of
// 24 bytes from the first drawn pixel, then the rest byte by byte.
void MaskedBlit(Picture& dst, int x, int y, int w, int h, const uint8_t* colour, const uint8_t* mask,
                size_t stride) {
    int sx, sy;
    if (!ClipMasked(dst, x, y, w, h, sx, sy)) return;
    const size_t groupBytes = static_cast<size_t>(w / 8) * 24;
    const size_t rowBytes = static_cast<size_t>(w) * 3;
    for (int i = 0; i < h; ++i) {
        uint8_t* d = dst.Pixel(x, y + i);
        const size_t off = static_cast<size_t>(sy + i) * stride + static_cast<size_t>(sx) * 3;
        const uint8_t* s = colour + off;
        const uint8_t* m = mask + off;
        Mask(d, s, m, groupBytes, d);
        JointTail(d + groupBytes, s + groupBytes, m + groupBytes, rowBytes - groupBytes);
    }
}

bool SameSize(const Picture& src, const Picture& mask) {
    if (mask.width == src.width && mask.height == src.height) return true;
    Trace("picture: colour %dx%d and mask %dx%d differ; nothing drawn", src.width, src.height, mask.width,
          mask.height);
    return false;
}

}  // namespace

void BlitMasked(Picture& dst, const Picture& src, const Picture& mask, int x, int y) {
    if (!SameSize(src, mask) || src.Empty()) return;
    MaskedBlit(dst, x, y, src.width, src.height, src.bytes.data(), mask.bytes.data(),
               static_cast<size_t>(src.Stride()));
}

MaskSpans MeasureMask(const Picture& mask) {
    MaskSpans spans;
    spans.width = mask.width;
    spans.height = mask.height;
    const uint32_t groups = static_cast<uint32_t>(static_cast<size_t>(mask.width) * 3 / 8);
    spans.rowStart.reserve(static_cast<size_t>(mask.height) + 1);
    for (int y = 0; y < mask.height; ++y) {
        spans.rowStart.push_back(static_cast<uint32_t>(spans.runs.size()));
        const uint8_t* m = mask.Row(y);
        for (uint32_t g = 0; g < groups; ++g) {
            uint64_t m8;
            std::memcpy(&m8, m + static_cast<size_t>(g) * 8, 8);
            const MaskSpans::Kind kind = m8 == 0                 ? MaskSpans::Kind::Transparent
                                         : m8 == ~uint64_t{0} ? MaskSpans::Kind::Opaque
                                                              : MaskSpans::Kind::Blended;
            if (spans.runs.size() > spans.rowStart.back() && spans.runs.back().kind == kind)
                spans.runs.back().end = g + 1;
            else
                spans.runs.push_back({g, g + 1, kind});
        }
    }
    spans.rowStart.push_back(static_cast<uint32_t>(spans.runs.size()));
    return spans;
}

void BlitMasked(Picture& dst, const Picture& src, const Picture& mask, const MaskSpans& spans, int x, int y) {
    if (!SameSize(src, mask) || src.Empty()) return;
    const int x0 = x, y0 = y;
    int w = src.width, h = src.height, sx, sy;
    if (!ClipMasked(dst, x, y, w, h, sx, sy)) return;
    if (spans.width != mask.width || spans.height != mask.height) {
        BlitMasked(dst, src, mask, x0, y0);
        return;
    }
    // The groups drawn are counted from the first drawn pixel, the measured
    // ones from the row start. A drawn group lying wholly inside one
    // transparent or opaque run is skipped or written from the colour alone;
    // every other one goes through the mask kernel, which gives each group
    // its own rule, widened to whole vectors of it.
    const int64_t cut = static_cast<int64_t>(sx) * 3;
    const int64_t groups = w / 8 * 3;
    const size_t groupBytes = static_cast<size_t>(groups) * 8;
    const size_t rowBytes = static_cast<size_t>(w) * 3;
    for (int i = 0; i < h; ++i) {
        uint8_t* d = dst.Pixel(x, y + i);
        const uint8_t* s = src.Row(sy + i) + cut;
        const uint8_t* m = mask.Row(sy + i) + cut;
        const auto masked = [&](int64_t from, int64_t to) {
            to = std::min(groups, from + (to - from + 3) / 4 * 4);
            const size_t at = static_cast<size_t>(from) * 8;
            Mask(d + at, s + at, m + at, static_cast<size_t>(to - from) * 8, d + at);
            return to;
        };
        const MaskSpans::Run* run = spans.runs.data() + spans.rowStart[static_cast<size_t>(sy + i)];
        const MaskSpans::Run* end = spans.runs.data() + spans.rowStart[static_cast<size_t>(sy + i) + 1];
        int64_t done = 0;
        for (; run != end && done < groups; ++run) {
            if (run->kind == MaskSpans::Kind::Blended) continue;
            const int64_t from = static_cast<int64_t>(run->begin) * 8 - cut, to = static_cast<int64_t>(run->end) * 8 - cut;
            if (from >= groups * 8) break;
            int64_t b = std::max<int64_t>(from > 0 ? (from + 7) / 8 : 0, done);
            const int64_t e = std::min<int64_t>(to > 0 ? to / 8 : 0, groups);
            if (b >= e) continue;
            if (done < b) {
                done = masked(done, b);
                b = std::max(b, done);
            }
            if (b < e && run->kind == MaskSpans::Kind::Opaque)
                Opaque(s + b * 8, d + b * 8, static_cast<size_t>(e - b) * 8);
            done = std::max(done, e);
        }
        if (done < groups) masked(done, groups);
        JointTail(d + groupBytes, s + groupBytes, m + groupBytes, rowBytes - groupBytes);
    }
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
        Mask(d, src.Row(i), src.Row(half + i), static_cast<size_t>(groups) * 8, d);
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
