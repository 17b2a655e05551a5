// animq's doubling of half-size frames. Every even display row is its
// source row with a mean pixel between each pair; every odd row is the mean
// of the even rows around it. The mean of two bytes is (a >> 1) + (b >> 1):
// halves truncated separately, so it never carries and suits byte lanes.
#include <cstring>

#include "gfx/anim.h"
#include "gfx/pixel_ops.h"
#include "gfx/simd.h"

namespace velmora {

namespace {

inline uint8_t Mean(uint8_t a, uint8_t b) { return static_cast<uint8_t>((a >> 1) + (b >> 1)); }

void MeanBytesPlain(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = Mean(a[i], b[i]);
}

// Display pixels 2k and 2k + 1 from source pixel k and the mean of k and
// k + 1, for k from `from` to W - 2; then the last two pixels repeat
// pixel 2W - 3.
void WidenTail(const uint8_t* s, uint8_t* out, int from, int w) {
    for (int k = from; k <= w - 2; ++k) {
        const uint8_t* p = s + 3 * k;
        uint8_t* d = out + 6 * k;
        d[0] = p[0], d[1] = p[1], d[2] = p[2];
        d[3] = Mean(p[0], p[3]), d[4] = Mean(p[1], p[4]), d[5] = Mean(p[2], p[5]);
    }
    uint8_t* last = out + 6 * (w - 1);
    std::memcpy(last, last - 3, 3);
    std::memcpy(last + 3, last - 3, 3);
}

#ifdef VELMORA_SSE2
inline __m128i MeanSse2(__m128i a, __m128i b) {
    const __m128i low7 = _mm_set1_epi8(0x7F);
    return _mm_add_epi8(_mm_and_si128(_mm_srli_epi16(a, 1), low7), _mm_and_si128(_mm_srli_epi16(b, 1), low7));
}

void MeanBytesSse2(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t n) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), MeanSse2(va, vb));
    }
    MeanBytesPlain(a + i, b + i, out + i, n - i);
}
#endif

#ifdef VELMORA_AVX2
VELMORA_TARGET_AVX2 void MeanBytesAvx2(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t n) {
    size_t i = 0;
    const __m256i low7 = _mm256_set1_epi8(0x7F);
    for (; i + 32 <= n; i += 32) {
        __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        __m256i m = _mm256_add_epi8(_mm256_and_si256(_mm256_srli_epi16(va, 1), low7),
                                    _mm256_and_si256(_mm256_srli_epi16(vb, 1), low7));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), m);
    }
    MeanBytesSse2(a + i, b + i, out + i, n - i);
}

// Four source pixels at a time: their 12 bytes and the 12 bytes of the
// means with their right neighbours, shuffled into 24 display bytes.
VELMORA_TARGET_AVX2 void WidenAvx2(const uint8_t* s, uint8_t* out, int w) {
    const __m128i sLo = _mm_setr_epi8(0, 1, 2, -1, -1, -1, 3, 4, 5, -1, -1, -1, 6, 7, 8, -1);
    const __m128i mLo = _mm_setr_epi8(-1, -1, -1, 0, 1, 2, -1, -1, -1, 3, 4, 5, -1, -1, -1, 6);
    const __m128i sHi = _mm_setr_epi8(-1, -1, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i mHi = _mm_setr_epi8(7, 8, -1, -1, -1, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1, -1);
    int k = 0;
    // The loads reach 19 bytes past pixel k, the stores 8 pixels past 2k.
    for (; k + 7 <= w; k += 4) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * k));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * k + 3));
        __m128i m = MeanSse2(a, b);
        __m128i lo = _mm_or_si128(_mm_shuffle_epi8(a, sLo), _mm_shuffle_epi8(m, mLo));
        __m128i hi = _mm_or_si128(_mm_shuffle_epi8(a, sHi), _mm_shuffle_epi8(m, mHi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 6 * k), lo);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 6 * k + 16), hi);
    }
    WidenTail(s, out, k, w);
}
#endif

void MeanBytes(const uint8_t* a, const uint8_t* b, uint8_t* out, size_t n) {
    switch (CurrentPixelPath()) {
#ifdef VELMORA_AVX2
    case PixelPath::Avx2: MeanBytesAvx2(a, b, out, n); return;
#endif
#ifdef VELMORA_SSE2
    case PixelPath::Sse2: MeanBytesSse2(a, b, out, n); return;
#endif
    default: MeanBytesPlain(a, b, out, n);
    }
}

void Widen(const uint8_t* s, uint8_t* out, int w) {
#ifdef VELMORA_AVX2
    if (CurrentPixelPath() == PixelPath::Avx2) {
        WidenAvx2(s, out, w);
        return;
    }
#endif
    WidenTail(s, out, 0, w);
}

}  // namespace

void DoubleFrame(const Picture& src, Picture& dst) {
    const int w = src.width, h = src.height;
    if (w < 2 || h < 2) return;
    if (dst.width != 2 * w || dst.height != 2 * h) dst.Resize(2 * w, 2 * h);
    const size_t row = static_cast<size_t>(dst.Stride());
    // Each odd row is made as soon as the even row below it exists, while
    // both are still in the cache.
    Widen(src.Row(0), dst.Row(0), w);
    for (int r = 1; r < h; ++r) {
        Widen(src.Row(r), dst.Row(2 * r), w);
        MeanBytes(dst.Row(2 * r - 2), dst.Row(2 * r), dst.Row(2 * r - 1), row);
    }
    std::memcpy(dst.Row(2 * h - 2), dst.Row(2 * h - 4), row);
    std::memcpy(dst.Row(2 * h - 1), dst.Row(2 * h - 3), row);
}

}  // namespace velmora
