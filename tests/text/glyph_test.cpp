// The glyph cell, its shadow and blend, and the glyph cache of the engine.
#include <gtest/gtest.h>

#include <cstring>

#include "text/glyph_cell.h"
#include "text/glyphs.h"
#include "text_fixture.h"

namespace velmora {
namespace {

GlyphBitmap Synthetic(int w, int h, int originX, int originY, uint8_t level) {
    GlyphBitmap bm;
    bm.blackBoxX = w, bm.blackBoxY = h, bm.originX = originX, bm.originY = originY;
    bm.pitch = (w + 3) & ~3;
    bm.levels.assign(bm.Size(), level);
    return bm;
}

TEST(GlyphCell, LevelsBecomeAlpha) {
    EXPECT_EQ(LevelAlpha(0), 0);
    EXPECT_EQ(LevelAlpha(1), 93);
    EXPECT_EQ(LevelAlpha(40), 210);
    EXPECT_EQ(LevelAlpha(54), 252);
    EXPECT_EQ(LevelAlpha(55), 255);
    EXPECT_EQ(LevelAlpha(64), 255);
}

TEST(GlyphCell, BaselineSitsTwoRowsBelowTheAscent) {
    // Box 3 x 2 whose top is 5 rows above the baseline, 4 columns right of the pen.
    GlyphBitmap bm = Synthetic(3, 2, 4, 5, 1);
    bm.levels[1] = 64;  // row 0, column 1
    GlyphCell cell;
    BuildGlyphCell(bm, 20, cell);
    // Row r lands at r + ascent - originY + 2 = 17 + r; column c at 4 + c.
    EXPECT_EQ(cell.a[17][4], 93);
    EXPECT_EQ(cell.a[17][5], 255);
    EXPECT_EQ(cell.a[18][6], 93);
    EXPECT_EQ(cell.a[16][4], 0);
    EXPECT_EQ(cell.a[17][7], 0);  // the row padding is not ink
    int inked = 0;
    for (auto& row : cell.a)
        for (uint8_t v : row) inked += v != 0;
    EXPECT_EQ(inked, 6);
}

TEST(GlyphCell, PixelsOutsideTheCellAreClipped) {
    // Wider and taller than the cell, starting left of it and above it.
    GlyphBitmap bm = Synthetic(40, 60, -3, 30, 64);
    GlyphCell cell;
    BuildGlyphCell(bm, 10, cell);  // top row at 10 - 30 + 2 = -18
    for (int r = 0; r < kCellHeight; ++r)
        for (int c = 0; c < kCellWidth; ++c) ASSERT_EQ(cell.a[r][c], 255) << r << "," << c;
    // A bitmap that claims more bytes than it holds draws nothing.
    GlyphBitmap broken = Synthetic(8, 8, 0, 8, 64);
    broken.levels.resize(10);
    BuildGlyphCell(broken, 20, cell);
    for (auto& row : cell.a)
        for (uint8_t v : row) ASSERT_EQ(v, 0);
}

TEST(GlyphCell, ShadowIsTheMeanOfFourNeighboursOneRowDown) {
    GlyphCell cell;
    cell.a[10][10] = 200;
    cell.a[20][5] = 255;
    cell.a[20][7] = 255;
    cell.a[0][0] = 255;  // on the border: casts nothing
    Picture shadow;
    BuildShadowPicture(cell, shadow);
    auto at = [&](int row, int col) { return shadow.Pixel(col, row)[0]; };
    // (10,10) feeds the means at (9,10), (11,10), (10,9), (10,11), each stored one row down.
    EXPECT_EQ(at(10, 10), 50);
    EXPECT_EQ(at(12, 10), 50);
    EXPECT_EQ(at(11, 9), 50);
    EXPECT_EQ(at(11, 11), 50);
    EXPECT_EQ(at(11, 10), 0);  // the centre is not counted
    // Two neighbours of (20,6): (255 + 255) >> 2, truncated.
    EXPECT_EQ(at(21, 6), 127);
    EXPECT_EQ(shadow.Pixel(6, 21)[1], 127);
    EXPECT_EQ(shadow.Pixel(6, 21)[2], 127);
    int lit = 0;
    for (uint8_t v : shadow.bytes) lit += v != 0;
    EXPECT_EQ(lit, 3 * (4 + 7));  // (20,5) and (20,7) share (20,6)
}

struct BlendSetup {
    Picture target, colour, alpha;
    BlendSetup(int w, int h, uint8_t background) {
        target.Resize(w, h);
        std::memset(target.bytes.data(), background, target.bytes.size());
        colour.Resize(kCellWidth, kCellHeight);
        std::memset(colour.bytes.data(), 100, colour.bytes.size());
        alpha.Resize(kCellWidth, kCellHeight);
    }
};

TEST(GlyphBlend, ByteArithmeticAndSkippedGroups) {
    BlendSetup s(64, 40, 200);
    // Row 0: group 0 holds alpha 128, 255 and zeros; group 1 is all zero.
    s.alpha.Row(0)[0] = 128;
    s.alpha.Row(0)[1] = 255;
    BlendCellPass(s.target, 0, 0, s.colour, s.alpha);
    const uint8_t* t = s.target.Row(0);
    EXPECT_EQ(t[0], (200 * 127 >> 8) + (100 * 128 >> 8));  // 99 + 50
    EXPECT_EQ(t[1], 99);                                   // (100 * 255) >> 8
    EXPECT_EQ(t[2], 199);  // zero alpha in a drawn group still costs the background a step
    EXPECT_EQ(t[7], 199);
    EXPECT_EQ(t[8], 200);  // an all-zero group is left alone
    EXPECT_EQ(s.target.Row(1)[0], 200);
}

TEST(GlyphBlend, StopsAtEveryEdgeOfThePicture) {
    BlendSetup s(40, 30, 200);
    std::memset(s.alpha.bytes.data(), 255, s.alpha.bytes.size());
    // Near the bottom right: rows past 29 and pixels past 39 do not exist.
    BlendCellPass(s.target, 30, 20, s.colour, s.alpha);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            bool inside = y >= 20 && x >= 30;
            ASSERT_EQ(s.target.Pixel(x, y)[0], inside ? 99 : 200) << x << "," << y;
        }
    // Past the top left.
    BlendSetup t(40, 30, 200);
    std::memset(t.alpha.bytes.data(), 255, t.alpha.bytes.size());
    BlendCellPass(t.target, -20, -30, t.colour, t.alpha);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(t.target.Pixel(x, y)[2], (y < 5 && x < 12) ? 99 : 200);
}

using GlyphEngine = test::TextFixture;

int InkOf(const Picture& p) {
    int n = 0;
    for (uint8_t v : p.bytes) n += v != 0;
    return n;
}

bool Cached(const TForm1& f, uint16_t code) {
    for (int i = 0; i < f.text.glyphs.cacheCount; ++i)
        if (f.text.glyphs.cache[i].code == code) return true;
    return false;
}

TEST_F(GlyphEngine, CacheStartsWithGaijiAndThePrerenderedSet) {
    const GlyphState& g = f->text.glyphs;
    ASSERT_TRUE(g.font.IsOpen());
    for (int k = 0; k < 4; ++k) EXPECT_EQ(g.cache[k].code, kGaijiCodes[k]);
    EXPECT_EQ(g.cache[4].code, 0x829F);  // ぁ
    // 83 hiragana, 86 katakana (0x837F is no character), 10 digits and 13 marks: the space has no bitmap.
    EXPECT_EQ(g.cacheCount, 4 + 83 + 86 + 10 + 13);
    EXPECT_FALSE(Cached(*f, 0x8140));
    EXPECT_TRUE(Cached(*f, 0x93FA));
}

TEST_F(GlyphEngine, FullWidthSpaceDrawsNothingAndIsNotCached) {
    int before = f->text.glyphs.cacheCount;
    PrepareGlyph(*f, "\x81\x40");
    EXPECT_EQ(InkOf(f->text.glyphs.glyphAlpha), 0);
    EXPECT_EQ(InkOf(f->text.glyphs.shadowAlpha), 0);
    EXPECT_EQ(f->text.glyphs.cacheCount, before);
    PrepareGlyph(*f, "\x8E\xE8");  // 手: rendered and kept
    EXPECT_GT(InkOf(f->text.glyphs.glyphAlpha), 100);
    EXPECT_GT(InkOf(f->text.glyphs.shadowAlpha), 100);
    EXPECT_EQ(f->text.glyphs.cacheCount, before + 1);
    PrepareGlyph(*f, "\x8E\xE8");
    EXPECT_EQ(f->text.glyphs.cacheCount, before + 1);
}

TEST_F(GlyphEngine, GaijiComeFromThePictureNotTheFont) {
    Picture& gaiji = f->text.glyphs.gaiji;
    gaiji.Resize(96, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 96; ++x) gaiji.Pixel(x, y)[0] = static_cast<uint8_t>(x / 24 * 50 + 10 + (y == 0));
    RebuildGlyphCache(*f);
    PrepareGlyph(*f, "\x81\x9F");  // ◆, which the font also has
    const Picture& a = f->text.glyphs.glyphAlpha;
    EXPECT_EQ(a.Pixel(2, 2)[0], 11);
    EXPECT_EQ(a.Pixel(25, 25)[1], 10);
    EXPECT_EQ(a.Pixel(1, 2)[0], 0);
    EXPECT_EQ(a.Pixel(26, 2)[0], 0);
    EXPECT_EQ(InkOf(a), 24 * 24 * 3);
    PrepareGlyph(*f, "\x81\xE4");  // ∽, tile 3
    EXPECT_EQ(f->text.glyphs.glyphAlpha.Pixel(10, 10)[2], 160);
}

TEST_F(GlyphEngine, TheThousandAndFirstGlyphIsDrawnButNotStored) {
    // Fill the cache with kanji from the first level of JIS.
    uint16_t code = 0x889F;
    auto next = [&]() {
        do {
            ++code;
        } while ((code & 0xFF) < 0x40 || (code & 0xFF) == 0x7F || (code & 0xFF) > 0xFC);
        return code;
    };
    char ch[3] = {};
    while (f->text.glyphs.cacheCount < kGlyphCacheSize) {
        uint16_t c = next();
        ch[0] = static_cast<char>(c >> 8), ch[1] = static_cast<char>(c);
        PrepareGlyph(*f, ch);
    }
    uint16_t extra = next();
    ch[0] = static_cast<char>(extra >> 8), ch[1] = static_cast<char>(extra);
    PrepareGlyph(*f, ch);
    Picture first = f->text.glyphs.glyphAlpha;
    EXPECT_GT(InkOf(first), 50);
    EXPECT_EQ(f->text.glyphs.cacheCount, kGlyphCacheSize);
    EXPECT_FALSE(Cached(*f, extra));
    PrepareGlyph(*f, "\x82\xA0");
    PrepareGlyph(*f, ch);  // rendered again, the same
    EXPECT_EQ(f->text.glyphs.glyphAlpha.bytes, first.bytes);
}

TEST_F(GlyphEngine, BitmapsOfTheCellsSizeAreRefused) {
    f->settings.FONTSIZE = 40;  // 53 pixels per em
    int before = f->text.glyphs.cacheCount;
    PrepareGlyph(*f, "\x8E\xE8");
    EXPECT_EQ(InkOf(f->text.glyphs.glyphAlpha), 0);
    EXPECT_EQ(f->text.glyphs.cacheCount, before);
    f->settings.FONTSIZE = 24;  // the largest size offered fits
    PrepareGlyph(*f, "\x8E\xE8");
    EXPECT_GT(InkOf(f->text.glyphs.glyphAlpha), 0);
}

TEST_F(GlyphEngine, AFontChangeStartsTheCacheAgainWithItsOwnAscent) {
    auto topRow = [&]() {
        PrepareGlyph(*f, "\x8E\xE8");
        for (int y = 0; y < kCellHeight; ++y)
            for (int x = 0; x < kCellWidth; ++x)
                if (f->text.glyphs.glyphAlpha.Pixel(x, y)[0]) return y;
        return -1;
    };
    f->settings.FONTSIZE = 18;
    RebuildGlyphCache(*f);
    int small = topRow();
    int ascentSmall = f->text.glyphs.font.Ascent();
    f->settings.FONTSIZE = 24;
    f->settings.FONTBold = 1;
    RebuildGlyphCache(*f);
    EXPECT_TRUE(f->text.glyphs.font.request().bold);
    EXPECT_EQ(f->text.glyphs.cache[0].code, 0x819F);
    EXPECT_EQ(f->text.glyphs.cacheCount, 4 + 83 + 86 + 10 + 13);
    int large = topRow();
    int ascentLarge = f->text.glyphs.font.Ascent();
    EXPECT_GT(ascentLarge, ascentSmall);
    // The top of a kanji is near row 2 whatever the size: the ascent moves with it.
    EXPECT_NEAR(small, 2 + ascentSmall - 19, 3);
    EXPECT_NEAR(large, 2 + ascentLarge - 25, 3);
}

TEST_F(GlyphEngine, SideFontsFollowTheSettingsFaceAtTheirOwnSize) {
    OutlineFont font;
    RegularGlyphFace(*f, font, 9, 0);
    ASSERT_TRUE(font.IsOpen());
    EXPECT_FALSE(font.request().bold);
    EXPECT_EQ(font.request().cellHeight, 9);
    // The glyph size and weight do not reach a font sized by pixels.
    f->settings.FONTSIZE = 30;
    f->settings.FONTBold = 1;
    EXPECT_EQ(&RegularGlyphFace(*f, font, 9, 0), &font);
    EXPECT_EQ(font.request().pointSize, 19);
    EXPECT_FALSE(font.request().bold);
    // Another face in the settings opens the font again.
    f->settings.FontName = ToCp932("DejaVu Sans");
    RegularGlyphFace(*f, font, 9, 0);
    EXPECT_EQ(font.request().family, "DejaVu Sans");
    // Sized by points: the size asked for, not the glyph font's.
    RegularGlyphFace(*f, font, 0, 24);
    EXPECT_EQ(font.request().cellHeight, 0);
    EXPECT_EQ(font.request().pointSize, 24);
}

TEST_F(GlyphEngine, ColourNumbers) {
    f->vars.S[37] = 0x0000FF;  // red as the default
    SetGlyphColour(*f, 0);
    const uint8_t* px = f->text.glyphs.textColour.Pixel(31, 34);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[2], 255);
    SetGlyphColour(*f, 8);  // 8 AND 7 = 0: white, not the default
    px = f->text.glyphs.textColour.Pixel(0, 0);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 255);
    EXPECT_EQ(px[2], 255);
    SetGlyphColour(*f, 3);  // purple (128, 0, 128)
    EXPECT_EQ(f->text.glyphs.currentColour, 0x800080u);
    px = f->text.glyphs.textColour.Pixel(5, 5);
    EXPECT_EQ(px[0], 128);
    EXPECT_EQ(px[1], 0);
    EXPECT_EQ(px[2], 128);
    SetGlyphColour(*f, 13);  // entry 5: blue
    EXPECT_EQ(f->text.glyphs.textColour.Pixel(0, 0)[0], 255);
    EXPECT_EQ(f->text.glyphs.textColour.Pixel(0, 0)[2], 0);
}

TEST_F(GlyphEngine, DrawStringStartsOnePitchRightOfItsOrigin) {
    auto leftmost = [](const Picture& p) {
        for (int x = 0; x < p.width; ++x)
            for (int y = 0; y < p.height; ++y)
                if (p.Pixel(x, y)[0] > 200) return x;
        return -1;
    };
    Picture p;
    p.Resize(200, 40);
    DrawString(*f, "\x8E\xE8", 20, p, 0, 0);
    int plain = leftmost(p);
    EXPECT_GE(plain, 32);  // 20 + one pitch of 12, then the glyph's own bearing
    EXPECT_LT(plain, 40);
    Picture q;
    q.Resize(200, 40);
    DrawStringCentred(*f, "\x8E\xE8", 20, q, 0, 0);  // two bytes: 12 pixels to the left
    EXPECT_EQ(leftmost(q), plain - 12);
    // A trailing lead byte alone draws nothing and reads nothing past the text.
    Picture r;
    r.Resize(200, 40);
    DrawString(*f, std::string("\x8E", 1), 0, r, 0, 0);
}

TEST_F(GlyphEngine, NamePlates) {
    Picture& np = f->text.glyphs.defaultPlate;
    np.Resize(kPlateWidth, 2 * kPlateHeight);  // black colour, weight 128
    for (int y = kPlateHeight; y < 2 * kPlateHeight; ++y) std::memset(np.Row(y), 128, np.Stride());
    f->config.NAME[3] = Speaker{true, ToCp932("ミナ"), 0x00FF00};
    f->vars.S[37] = 0xFFFFFF;
    SetGlyphColour(*f, 0);

    // Unknown speaker: the default plate with the name drawn, colour unchanged.
    ShowNamePlate(*f, ToCp932("だれか"), 0);
    EXPECT_EQ(f->vars.S[37], 0xFFFFFF);
    Picture shown;
    plat->ReadBack(shown);
    const uint8_t* scene = f->gfx.scene.Pixel(kPlateX + 200, kPlateY + 40);
    const uint8_t* plate = shown.Pixel(kPlateX + 200, kPlateY + 40);
    EXPECT_EQ(plate[0], (scene[0] * 127) >> 8);
    int white = 0;
    for (int y = kPlateY; y < kPlateY + kPlateHeight; ++y)
        for (int x = kPlateX; x < kPlateX + kPlateWidth; ++x) white += shown.Pixel(x, y)[1] >= 250;
    EXPECT_GT(white, 30);
    EXPECT_EQ(std::memcmp(f->gfx.screen.Pixel(kPlateX, kPlateY + 10), shown.Pixel(kPlateX, kPlateY + 10),
                          kPlateWidth * 3),
              0);

    // A known speaker: the text takes the speaker's colour.
    ShowNamePlate(*f, ToCp932("ミナ"), 0);
    EXPECT_EQ(f->vars.S[37], 0x00FF00);
    EXPECT_EQ(f->text.glyphs.currentColour, 0x00FF00u);
}

}  // namespace
}  // namespace velmora
