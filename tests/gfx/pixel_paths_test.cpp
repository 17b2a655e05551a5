// Every instruction set of the pixel operations gives the plain path's bytes:
// odd widths, odd placements, the weights at the edges of each vector form,
// masks with transparent, opaque and mixed groups, operations in place.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gfx/pixel_ops.h"

using namespace velmora;

namespace {

const char* Name(PixelPath p) { return p == PixelPath::Avx2 ? "avx2" : p == PixelPath::Sse2 ? "sse2" : "plain"; }

struct Rng {
    uint32_t s;
    uint32_t Next() {
        s = s * 1103515245u + 12345u;
        return s >> 8;
    }
};

Picture Noise(int w, int h, uint32_t seed) {
    Picture p;
    p.Resize(w, h);
    Rng r{seed};
    for (auto& b : p.bytes) b = static_cast<uint8_t>(r.Next());
    return p;
}

// Runs of transparent, opaque, soft and random bytes, so that groups come
// out all zero, zero with a few set bytes, all 255 and mixed.
Picture MaskNoise(int w, int h, uint32_t seed) {
    Picture p;
    p.Resize(w, h);
    Rng r{seed};
    size_t i = 0;
    while (i < p.bytes.size()) {
        const size_t run = 1 + r.Next() % (r.Next() % 4 == 0 ? 100 : 40);
        const uint32_t kind = r.Next() % 5;
        for (size_t k = 0; k < run && i < p.bytes.size(); ++k, ++i) {
            const uint32_t v = r.Next();
            p.bytes[i] = kind < 2 ? 0 : kind == 2 ? 255 : kind == 3 ? static_cast<uint8_t>(v % 3 == 0 ? v : 0)
                                                                    : static_cast<uint8_t>(v);
        }
    }
    return p;
}

// Runs `op` on the plain path, then on every faster path this processor
// has, and expects the same bytes each time.
template <class Op>
void ExpectEveryPathAgrees(const std::string& what, const Op& op) {
    const PixelPath saved = CurrentPixelPath();
    ASSERT_TRUE(UsePixelPath(PixelPath::Plain));
    const auto want = op();
    for (PixelPath p : {PixelPath::Sse2, PixelPath::Avx2}) {
        if (!UsePixelPath(p)) continue;
        const auto got = op();
        ASSERT_EQ(got.size(), want.size()) << what << " on " << Name(p);
        for (size_t i = 0; i < want.size(); ++i)
            if (got[i] != want[i]) {
                UsePixelPath(saved);
                FAIL() << what << " on " << Name(p) << ": byte " << i << " is " << int(got[i]) << ", plain gives "
                       << int(want[i]);
            }
    }
    UsePixelPath(saved);
}

const int kWeights[] = {0, 1, 127, 128, 129, 255, 256, -3, 300};

}  // namespace

TEST(PixelPaths, BestPathIsUsedAndUnavailablePathsAreRefused) {
    EXPECT_EQ(CurrentPixelPath(), BestPixelPath());
    EXPECT_TRUE(UsePixelPath(PixelPath::Plain));
    EXPECT_EQ(CurrentPixelPath(), PixelPath::Plain);
    EXPECT_TRUE(UsePixelPath(BestPixelPath()));
    if (BestPixelPath() != PixelPath::Avx2) {
        EXPECT_FALSE(UsePixelPath(PixelPath::Avx2));
        EXPECT_EQ(CurrentPixelPath(), BestPixelPath());
    }
}

TEST(PixelPaths, BlendsAgreeForEveryWeightLengthAndAlignment) {
    const Picture a = Noise(801, 2, 1), b = Noise(801, 2, 2);
    for (int w : kWeights)
        for (size_t bytes : {size_t{1}, size_t{3}, size_t{17}, size_t{31}, size_t{33}, size_t{801 * 3}})
            for (size_t off : {0, 1, 3}) {
                const std::string what = "blend w " + std::to_string(w) + " bytes " + std::to_string(bytes) +
                                         " offset " + std::to_string(off);
                ExpectEveryPathAgrees(what, [&] {
                    std::vector<uint8_t> out(bytes + 8, 0xEE);
                    BlendBytes(a.bytes.data() + off, b.bytes.data() + 2 * off, w, out.data() + off, bytes);
                    return out;
                });
                // In place over either input, as the overlay and the tiles use it.
                ExpectEveryPathAgrees(what + " in place", [&] {
                    std::vector<uint8_t> first(a.bytes.begin(), a.bytes.begin() + bytes + off);
                    std::vector<uint8_t> second(b.bytes.begin(), b.bytes.begin() + bytes + off);
                    BlendBytes(first.data() + off, second.data() + off, w, first.data() + off, bytes);
                    BlendBytes(first.data() + off, second.data() + off, 256 - w, second.data() + off, bytes);
                    first.insert(first.end(), second.begin(), second.end());
                    return first;
                });
            }
    for (int w : kWeights)
        ExpectEveryPathAgrees("blend rows w " + std::to_string(w), [&] {
            std::vector<uint8_t> out(300 * 8 + 8, 0xEE), out2(out);
            BlendRows(a.bytes.data(), b.bytes.data(), w, out.data(), 300);
            SetBlendWeight(w);
            BlendRows(a.bytes.data() + 5, b.bytes.data(), out2.data(), 37);
            out.insert(out.end(), out2.begin(), out2.end());
            return out;
        });
}

TEST(PixelPaths, MaskRowsAgreeInPlaceAndApart) {
    const Picture d = Noise(810, 1, 3), s = Noise(810, 1, 4), m = MaskNoise(810, 1, 5);
    for (int n : {1, 2, 3, 5, 7, 300}) {
        for (size_t off : {0, 5}) {
            const std::string what = "mask rows n " + std::to_string(n) + " offset " + std::to_string(off);
            ExpectEveryPathAgrees(what, [&] {
                std::vector<uint8_t> out(static_cast<size_t>(n) * 8 + 8, 0xEE);
                MaskRows(d.bytes.data() + off, s.bytes.data(), m.bytes.data() + off, n, out.data());
                return out;
            });
            ExpectEveryPathAgrees(what + " in place", [&] {
                std::vector<uint8_t> dst(d.bytes.begin(), d.bytes.begin() + n * 8 + 8);
                MaskRows(dst.data() + off, s.bytes.data(), m.bytes.data() + off, n, dst.data() + off);
                return dst;
            });
        }
    }
}

TEST(PixelPaths, ScreenOperationsAgreeOnOddSizes) {
    // 800 wide rows run as one stream; the other widths row by row, 801
    // cut to the screen.
    for (int w : {1, 3, 17, 800, 801}) {
        const int h = w >= 800 ? 601 : 5;
        const Picture a = Noise(w, h, 6), b = Noise(w, h, 7), m = MaskNoise(w, h, 8), base = Noise(w, h, 9);
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        for (int v : kWeights) {
            ExpectEveryPathAgrees("crossfade " + size + " w " + std::to_string(v), [&] {
                Picture out = base;
                CrossfadeScreen(a, b, v, out);
                return out.bytes;
            });
            ExpectEveryPathAgrees("darken " + size + " v " + std::to_string(v), [&] {
                Picture out = base;
                DarkenScreen(a, out, v);
                return out.bytes;
            });
        }
        for (int v : {1000, 65535, -1})  // the low 16 bits of the product
            ExpectEveryPathAgrees("darken " + size + " v " + std::to_string(v), [&] {
                Picture out = base;
                DarkenScreen(a, out, v);
                return out.bytes;
            });
        ExpectEveryPathAgrees("mask screen " + size, [&] {
            Picture out = base;
            MaskScreen(a, b, m, out);
            return out.bytes;
        });
        ExpectEveryPathAgrees("darken rows " + size, [&] {
            Picture p = a;
            DarkenRows(p, -2, 4, 200);
            DarkenRows(p, h - 2, 9, 31);
            DarkenRows(p, 1, 1, 999);
            return p.bytes;
        });
    }
    const Picture a = Noise(801, 601, 10), b = Noise(801, 601, 11), base = Noise(801, 601, 12);
    for (int v : kWeights)
        for (auto [x, y] : {std::pair{-7, -3}, {13, 5}, {721, 541}, {790, 595}, {801, 0}})
            ExpectEveryPathAgrees("tile at " + std::to_string(x) + "," + std::to_string(y) + " w " + std::to_string(v),
                                  [&, x = x, y = y] {
                                      Picture out = base;
                                      CrossfadeTile(a, b, out, x, y, v);
                                      return out.bytes;
                                  });
}

TEST(PixelPaths, MaskedBlitsAgreeAtOddPlacements) {
    const Picture dst0 = Noise(203, 41, 13);
    for (int w : {1, 3, 17, 801}) {
        const Picture src = Noise(w, 9, 14), mask = MaskNoise(w, 9, 15);
        const Picture pair = MaskNoise(2 * w + 1, 9, 16);
        for (auto [x, y] : {std::pair{-5, -2}, {0, 0}, {3, 1}, {201, 40}, {1 - w, 3}, {-600, 0}, {7, 41}}) {
            const std::string what = "width " + std::to_string(w) + " at " + std::to_string(x) + "," + std::to_string(y);
            ExpectEveryPathAgrees("masked " + what, [&, x = x, y = y] {
                Picture dst = dst0;
                BlitMasked(dst, src, mask, x, y);
                return dst.bytes;
            });
            ExpectEveryPathAgrees("side by side " + what, [&, x = x, y = y] {
                Picture dst = dst0;
                BlitSideBySide(dst, x, y, pair);
                return dst.bytes;
            });
        }
        if (w <= 203)
            ExpectEveryPathAgrees("stacked width " + std::to_string(w), [&] {
                Picture dst = dst0;
                Picture stacked = Noise(w, 18, 17);
                std::memcpy(stacked.Row(9), mask.bytes.data(), mask.bytes.size());
                BlitStacked(dst, 203 - w, 32, stacked);
                return dst.bytes;
            });
    }
}

// Drawing through spans measured at load gives the bytes of the plain mask
// walk, wherever the sprite lands: aligned and unaligned cuts at the left
// edge, row ends, rows of every kind, and spans of another mask ignored.
TEST(PixelPaths, MeasuredSpansDrawWhatTheMaskDraws) {
    const Picture dst0 = Noise(203, 41, 23);
    for (int w : {1, 8, 13, 64, 203}) {
        const Picture src = Noise(w, 12, 24);
        Picture mask = MaskNoise(w, 12, 25);
        std::memset(mask.Row(2), 0, static_cast<size_t>(mask.Stride()));
        std::memset(mask.Row(3), 255, static_cast<size_t>(mask.Stride()));
        const MaskSpans spans = MeasureMask(mask), other = MeasureMask(MaskNoise(w, 11, 26));
        for (auto [x, y] : {std::pair{0, 0}, {-8, -2}, {-16, 3}, {-5, 1}, {3, 30}, {200, 7}, {-w, 0}, {0, 41}}) {
            Picture want = dst0;
            ASSERT_TRUE(UsePixelPath(PixelPath::Plain));
            BlitMasked(want, src, mask, x, y);
            UsePixelPath(BestPixelPath());
            for (const MaskSpans* s : {&spans, &other})
                ExpectEveryPathAgrees("spans width " + std::to_string(w) + " at " + std::to_string(x) + "," +
                                          std::to_string(y),
                                      [&, x = x, y = y] {
                                          Picture dst = dst0;
                                          BlitMasked(dst, src, mask, *s, x, y);
                                          EXPECT_EQ(dst.bytes, want.bytes);
                                          return dst.bytes;
                                      });
        }
    }
}
