#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/pixel_ops.h"

using namespace velmora;

namespace {

Picture Solid(int w, int h, uint8_t v) {
    Picture p;
    p.Resize(w, h);
    std::fill(p.bytes.begin(), p.bytes.end(), v);
    return p;
}

// Deterministic bytes that cover the whole range.
Picture Noise(int w, int h, uint32_t seed) {
    Picture p;
    p.Resize(w, h);
    for (auto& b : p.bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 23);
    }
    return p;
}

uint8_t MaskRef(uint8_t d, uint8_t s, uint8_t m) {
    unsigned v = ((d * (255u - m)) >> 8) + ((s * m) >> 8);
    return static_cast<uint8_t>(std::min(v, 255u));
}

}  // namespace

TEST(PixelOps, BlendRowsIsExactForEveryWeightAndLength) {
    Picture a = Noise(50, 1, 1), b = Noise(50, 1, 2);
    for (int w : {0, 1, 77, 128, 255, 256}) {
        for (int n : {1, 2, 3, 18}) {
            std::vector<uint8_t> out(150, 0xEE);
            BlendRows(a.bytes.data(), b.bytes.data(), w, out.data(), n);
            for (int i = 0; i < 150; ++i) {
                uint8_t want = i < n * 8 ? static_cast<uint8_t>((a.bytes[i] * w + b.bytes[i] * (256 - w)) >> 8)
                                         : uint8_t{0xEE};
                ASSERT_EQ(out[i], want) << "w " << w << " n " << n << " byte " << i;
            }
        }
    }
    // The weightless form uses the weight set before.
    std::vector<uint8_t> out(8);
    SetBlendWeight(64);
    BlendRows(a.bytes.data(), b.bytes.data(), out.data(), 1);
    EXPECT_EQ(out[0], (a.bytes[0] * 64 + b.bytes[0] * 192) >> 8);
}

TEST(PixelOps, MaskRowsSkipsTransparentGroupsAndTruncatesProductsApart) {
    // Group 0: all transparent; group 1: one zero byte among opaque ones;
    // group 2: 255 everywhere; groups 3, 4: mixed (covers the wide path).
    std::vector<uint8_t> dst(40, 200), src(40, 100), mask(40, 0), out(40, 0);
    for (int i = 8; i < 16; ++i) mask[i] = i == 9 ? 0 : 128;
    for (int i = 16; i < 24; ++i) mask[i] = 255;
    for (int i = 24; i < 40; ++i) {
        mask[i] = static_cast<uint8_t>(i * 37);
        dst[i] = static_cast<uint8_t>(i * 11);
        src[i] = static_cast<uint8_t>(255 - i);
    }
    MaskRows(dst.data(), src.data(), mask.data(), 5, out.data());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], 200) << i;
    EXPECT_EQ(out[9], (200 * 255) >> 8);               // zero byte in a drawn group
    EXPECT_EQ(out[8], (200 * 127 >> 8) + (100 * 128 >> 8));  // separate truncations: 99 + 50
    EXPECT_EQ(out[16], (100 * 255) >> 8);               // 255 gives one less than src
    for (int i = 24; i < 40; ++i) EXPECT_EQ(out[i], MaskRef(dst[i], src[i], mask[i])) << i;
    // In place, as the blits use it.
    MaskRows(dst.data(), src.data(), mask.data(), 5, dst.data());
    EXPECT_EQ(dst, out);
}

TEST(PixelOps, BlitMaskedNarrowRowsGoByteByByte) {
    // Width 5: all 15 bytes of a row take the joint formula.
    Picture dst = Solid(10, 2, 200), src = Solid(5, 1, 100), mask = Solid(5, 1, 255);
    BlitMasked(dst, src, mask, 2, 1);
    EXPECT_EQ(dst.Pixel(1, 1)[2], 200);
    for (int x = 2; x < 7; ++x)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(dst.Pixel(x, 1)[k], (200 * 0 + 100 * 255) >> 8);
    EXPECT_EQ(dst.Pixel(7, 1)[0], 200);
    EXPECT_EQ(dst.Pixel(3, 0)[0], 200);
    // A zero mask byte in the byte path still scales dst: (d * 255) >> 8.
    Picture zero = Solid(5, 1, 0);
    BlitMasked(dst, src, zero, 0, 0);
    EXPECT_EQ(dst.Pixel(0, 0)[0], (200 * 255) >> 8);
}

TEST(PixelOps, BlitMaskedWideRowsUseGroupsThenTail) {
    // Width 11: 8 pixels by groups (opaque-ish mask 128), 3 by bytes.
    Picture dst = Solid(20, 1, 201), src = Solid(11, 1, 99), mask = Solid(11, 1, 128);
    BlitMasked(dst, src, mask, 0, 0);
    EXPECT_EQ(dst.Pixel(7, 0)[0], MaskRef(201, 99, 128));
    EXPECT_EQ(dst.Pixel(8, 0)[0], (201 * 127 + 99 * 128) >> 8);
    EXPECT_EQ(dst.Pixel(10, 0)[2], (201 * 127 + 99 * 128) >> 8);
    EXPECT_EQ(dst.Pixel(11, 0)[0], 201);
}

TEST(PixelOps, BlitMaskedClipsAtEveryEdge) {
    // A sprite half off the left edge is cut, not shifted: destination
    // column 0 receives source column 4.
    Picture src;
    src.Resize(8, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x) src.Pixel(x, y)[0] = static_cast<uint8_t>(10 * x + y);
    Picture mask = Solid(8, 3, 255);
    Picture dst = Solid(6, 4, 0);
    BlitMasked(dst, src, mask, -4, -1);
    EXPECT_EQ(dst.Pixel(0, 0)[0], ((10 * 4 + 1) * 255) >> 8);
    EXPECT_EQ(dst.Pixel(3, 1)[0], ((10 * 7 + 2) * 255) >> 8);
    EXPECT_EQ(dst.Pixel(4, 0)[0], 0);
    EXPECT_EQ(dst.Pixel(0, 2)[0], 0);
    // Right and bottom edges, and pictures entirely outside.
    Picture before = dst;
    BlitMasked(dst, src, mask, 6, 0);
    BlitMasked(dst, src, mask, 0, 4);
    BlitMasked(dst, src, mask, -8, 0);
    EXPECT_EQ(dst.bytes, before.bytes);
    BlitMasked(dst, src, mask, 3, 2);
    EXPECT_EQ(dst.Pixel(5, 3)[0], ((10 * 2 + 1) * 255) >> 8);
}

TEST(PixelOps, SideBySideTakesTheMaskHalfAWidthToTheRight) {
    // Odd width 7: the visible half is 3 pixels; column 6 is never read.
    Picture src;
    src.Resize(7, 1);
    for (int x = 0; x < 3; ++x) std::fill_n(src.Pixel(x, 0), 3, uint8_t{100});
    for (int x = 3; x < 6; ++x) std::fill_n(src.Pixel(x, 0), 3, uint8_t(x == 4 ? 0 : 255));
    std::fill_n(src.Pixel(6, 0), 3, uint8_t{77});
    Picture dst = Solid(5, 1, 50);
    BlitSideBySide(dst, 1, 0, src);
    EXPECT_EQ(dst.Pixel(0, 0)[0], 50);
    EXPECT_EQ(dst.Pixel(1, 0)[0], (100 * 255) >> 8);
    EXPECT_EQ(dst.Pixel(2, 0)[0], (50 * 255) >> 8);
    EXPECT_EQ(dst.Pixel(3, 0)[0], (100 * 255) >> 8);
    EXPECT_EQ(dst.Pixel(4, 0)[0], 50);
}

TEST(PixelOps, StackedRefusesWhatDoesNotFitAndLeavesTheRowEndUndrawn) {
    Picture src;
    src.Resize(3, 4);  // 9 bytes a row: one group drawn, the ninth byte not
    std::fill(src.bytes.begin(), src.bytes.begin() + 18, 100);
    std::fill(src.bytes.begin() + 18, src.bytes.end(), 255);
    Picture dst = Solid(4, 3, 40);
    EXPECT_TRUE(BlitStacked(dst, 1, 1, src));
    EXPECT_EQ(dst.Pixel(1, 1)[0], MaskRef(40, 100, 255));
    EXPECT_EQ(dst.Pixel(3, 2)[1], MaskRef(40, 100, 255));
    EXPECT_EQ(dst.Pixel(3, 2)[2], 40);
    EXPECT_EQ(dst.Pixel(0, 1)[0], 40);
    Picture before = dst;
    EXPECT_FALSE(BlitStacked(dst, 2, 0, src));
    EXPECT_FALSE(BlitStacked(dst, 0, 2, src));
    EXPECT_FALSE(BlitStacked(dst, -1, 0, src));
    EXPECT_EQ(dst.bytes, before.bytes);
}

TEST(PixelOps, ScreenOperations) {
    Picture a = Noise(800, 600, 3), b = Noise(800, 600, 4), m = Noise(800, 600, 5), out = Solid(800, 600, 0);
    CrossfadeScreen(a, b, 100, out);
    EXPECT_EQ(out.Pixel(799, 599)[2], (a.Pixel(799, 599)[2] * 100 + b.Pixel(799, 599)[2] * 156) >> 8);
    MaskScreen(a, b, m, out);
    const size_t i = 800 * 3 * 300 + 1234;
    uint64_t group = 0;
    std::memcpy(&group, &m.bytes[i / 8 * 8], 8);
    EXPECT_EQ(out.bytes[i], group == 0 ? a.bytes[i] : MaskRef(a.bytes[i], b.bytes[i], m.bytes[i]));
    DarkenScreen(a, out, 128);
    EXPECT_EQ(out.bytes[i], a.bytes[i] >> 1);
    DarkenScreen(a, out, 256);
    EXPECT_EQ(out.bytes, a.bytes);
    // The weights of a tile run the other way, and only the tile changes.
    Picture work = Solid(800, 600, 9);
    CrossfadeTile(a, b, work, 720, 540, 200);
    EXPECT_EQ(work.Pixel(719, 540)[0], 9);
    EXPECT_EQ(work.Pixel(720, 540)[0], (a.Pixel(720, 540)[0] * 200 + b.Pixel(720, 540)[0] * 56) >> 8);
    EXPECT_EQ(work.Pixel(799, 599)[0], (a.Pixel(799, 599)[0] * 200 + b.Pixel(799, 599)[0] * 56) >> 8);
    CrossfadeTile(a, b, work, 790, 590, 0);  // cut at the edges, no overrun
    EXPECT_EQ(work.Pixel(795, 595)[1], b.Pixel(795, 595)[1]);
}

TEST(PixelOps, CopyRectClipsToBothPictures) {
    Picture src = Noise(10, 10, 7), dst = Solid(6, 6, 0);
    CopyRect(dst, -2, 4, src, 1, 1, 20, 20);
    EXPECT_EQ(dst.Pixel(0, 4)[0], src.Pixel(3, 1)[0]);
    EXPECT_EQ(dst.Pixel(5, 5)[2], src.Pixel(8, 2)[2]);
    EXPECT_EQ(dst.Pixel(0, 3)[0], 0);
    CopyRect(dst, 0, 0, src, -3, -3, 4, 4);
    EXPECT_EQ(dst.Pixel(3, 3)[0], src.Pixel(0, 0)[0]);
    EXPECT_EQ(dst.Pixel(2, 2)[0], 0);
}
