// The glyph outline service against FreeType and fontconfig themselves.
#include "text/glyph_outline.h"

#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace velmora {
namespace {

TEST(FaceChoice, WindowsJapaneseNamesFindTheInstalledFaces) {
    const struct {
        const char* asked;
        const char* expected;
    } cases[] = {
        {"ＭＳ ゴシック", "IPAGothic"},  {"MS Gothic", "IPAGothic"},   {"ms gothic", "IPAGothic"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"}, {"ＭＳ 明朝", "IPAMincho"},
        {"MS Mincho", "IPAMincho"},       {"ＭＳ Ｐ明朝", "IPAPMincho"}, {"MS PMincho", "IPAPMincho"},
        {"VL Gothic", "VL Gothic"},
    };
    for (const auto& c : cases) {
        ResolvedFace face;
        ASSERT_TRUE(ResolveFace(c.asked, false, face)) << c.asked;
        EXPECT_EQ(face.family, c.expected) << c.asked;
        EXPECT_FALSE(face.fallback) << c.asked;
        EXPECT_FALSE(face.file.empty());
    }
    // The Latin Windows faces are aliases too, but for one-byte text only.
    EXPECT_NE(WindowsFaceAlias("Arial"), nullptr);
    EXPECT_EQ(WindowsFaceAlias("Comic Sans MS"), nullptr);
}

TEST(FaceChoice, MissingOrNonJapaneseFacesFallBackToAJapaneseFace) {
    OutlineFont probe;
    for (const char* asked : {"No Such Face 7", "DejaVu Sans", ""}) {
        ResolvedFace face;
        ASSERT_TRUE(ResolveFace(asked, false, face)) << asked;
        EXPECT_TRUE(face.fallback) << asked;
        EXPECT_EQ(face.family.find("DejaVu"), std::string::npos) << asked;
        // The chosen face really draws kana.
        FontRequest r;
        r.family = face.family;
        ASSERT_TRUE(probe.Open(r));
        GlyphBitmap bm;
        EXPECT_GT(probe.RenderGlyph(0x82A0, bm), 0) << asked;
    }
    ResolvedFace mincho;
    ASSERT_TRUE(ResolveFace("Some Mincho", false, mincho));
    EXPECT_NE(mincho.family.find("Mincho"), std::string::npos) << mincho.family;
}

TEST(FaceChoice, InstalledListComesFromFontconfig) {
    std::vector<std::string> all = InstalledFontFamilies();
    std::vector<std::string> ja = InstalledFontFamilies(true);
    EXPECT_NE(std::find(all.begin(), all.end(), "IPAGothic"), all.end());
    EXPECT_NE(std::find(ja.begin(), ja.end(), "IPAMincho"), ja.end());
    EXPECT_EQ(std::find(ja.begin(), ja.end(), "DejaVu Sans"), ja.end());
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
}

TEST(Cp932Codes, MapToUnicode) {
    EXPECT_EQ(Cp932CodeToUnicode(0x82A0), 0x3042u);  // あ
    EXPECT_EQ(Cp932CodeToUnicode(0x93FA), 0x65E5u);  // 日
    EXPECT_EQ(Cp932CodeToUnicode(0x8140), 0x3000u);  // full-width space
    EXPECT_EQ(Cp932CodeToUnicode(0x41), 0x41u);
    EXPECT_EQ(Cp932CodeToUnicode(0xB1), 0xFF71u);  // half-width ｱ
    EXPECT_EQ(Cp932CodeToUnicode(0x8120), 0u);     // not a character
    EXPECT_EQ(Cp932CodeToUnicode(0), 0u);
}

// The same glyph straight from FreeType, levels scaled 0 ... 255 to 0 ... 64.
TEST(GlyphBitmaps, MatchFreeTypeIn65Levels) {
    FontRequest r;
    r.family = "ＭＳ ゴシック";
    r.pointSize = 19;
    OutlineFont font;
    ASSERT_TRUE(font.Open(r));
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(lib, font.face().file.c_str(), font.face().index, &face), 0);
    FT_Set_Char_Size(face, 0, 19 * 64, 96, 96);
    const struct {
        uint16_t code;
        uint32_t unicode;
    } glyphs[] = {{0x82A0, 0x3042}, {0x8EE8, 0x624B}, {0x41, 0x41}, {0x8142, 0x3002}};
    for (const auto& g : glyphs) {
        GlyphBitmap bm;
        int64_t size = font.RenderGlyph(g.code, bm);
        ASSERT_GT(size, 0);
        ASSERT_EQ(FT_Load_Char(face, g.unicode, FT_LOAD_RENDER), 0);
        const FT_Bitmap& ft = face->glyph->bitmap;
        EXPECT_EQ(bm.blackBoxX, static_cast<int>(ft.width));
        EXPECT_EQ(bm.blackBoxY, static_cast<int>(ft.rows));
        EXPECT_EQ(bm.originX, face->glyph->bitmap_left);
        EXPECT_EQ(bm.originY, face->glyph->bitmap_top);
        EXPECT_EQ(bm.pitch % 4, 0);
        EXPECT_GE(bm.pitch, bm.blackBoxX);
        EXPECT_LT(bm.pitch, bm.blackBoxX + 4);
        EXPECT_EQ(size, bm.pitch * bm.blackBoxY);
        int maxLevel = 0;
        for (int y = 0; y < bm.blackBoxY; ++y)
            for (int x = 0; x < bm.blackBoxX; ++x) {
                int level = bm.levels[y * bm.pitch + x];
                ASSERT_EQ(level, (ft.buffer[y * ft.pitch + x] * 64 + 127) / 255) << x << "," << y;
                maxLevel = std::max(maxLevel, level);
            }
        EXPECT_GE(maxLevel, 60);
        for (int y = 0; y < bm.blackBoxY; ++y)  // the padding is clear
            for (int x = bm.blackBoxX; x < bm.pitch; ++x) EXPECT_EQ(bm.levels[y * bm.pitch + x], 0);
    }
    // The kanji sits on the baseline below the ascent.
    GlyphBitmap kanji;
    font.RenderGlyph(0x8EE8, kanji);
    EXPECT_LE(kanji.originY, font.Ascent());
    EXPECT_GT(font.Ascent(), 15);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

TEST(GlyphBitmaps, BlanksAndUnknownCodes) {
    FontRequest r;
    r.family = "IPAGothic";
    OutlineFont font;
    ASSERT_TRUE(font.Open(r));
    GlyphBitmap bm;
    EXPECT_EQ(font.RenderGlyph(0x8140, bm), 0);  // full-width space: no ink
    EXPECT_EQ(font.RenderGlyph(0x20, bm), 0);
    EXPECT_EQ(font.RenderGlyph(0x8120, bm), -1);
    EXPECT_EQ(font.RenderGlyph(0, bm), -1);
}

TEST(GlyphBitmaps, MonochromeAndBold) {
    FontRequest r;
    r.family = "ＭＳ ゴシック";
    OutlineFont regular, mono, bold;
    ASSERT_TRUE(regular.Open(r));
    r.antialias = false;
    ASSERT_TRUE(mono.Open(r));
    r.antialias = true;
    r.bold = true;
    ASSERT_TRUE(bold.Open(r));
    EXPECT_TRUE(bold.face().embolden);  // the IPA faces have no bold of their own

    auto ink = [](const GlyphBitmap& bm) {
        long sum = 0;
        for (uint8_t v : bm.levels) sum += v;
        return sum;
    };
    GlyphBitmap a, m, b;
    ASSERT_GT(regular.RenderGlyph(0x8EE8, a), 0);
    ASSERT_GT(mono.RenderGlyph(0x8EE8, m), 0);
    ASSERT_GT(bold.RenderGlyph(0x8EE8, b), 0);
    for (uint8_t v : m.levels) ASSERT_TRUE(v == 0 || v == 64);
    EXPECT_GT(ink(m), 0);
    EXPECT_GT(ink(b), ink(a) * 11 / 10);
}

TEST(GlyphBitmaps, SizeFollowsPointsAt96Dpi) {
    FontRequest r;
    r.family = "IPAGothic";
    r.pointSize = 18;
    OutlineFont font;
    ASSERT_TRUE(font.Open(r));
    GlyphBitmap small, large;
    font.RenderGlyph(0x8EE8, small);
    int smallAscent = font.Ascent();
    font.SetPointSize(24);
    font.RenderGlyph(0x8EE8, large);
    EXPECT_GT(font.Ascent(), smallAscent);
    // 18 pt is 24 px per em and 24 pt is 32 px; a full-width kanji fills most of it.
    EXPECT_NEAR(small.blackBoxX, 22, 3);
    EXPECT_NEAR(large.blackBoxX, 30, 3);
    EXPECT_LT(large.Size(), 1120u);
}

TEST(PlainText, DrawsInsideThePictureOnly) {
    FontRequest r;
    r.family = "ＭＳ ゴシック";
    r.cellHeight = 9;
    OutlineFont font;
    ASSERT_TRUE(font.Open(r));
    EXPECT_LE(font.Ascent() + font.Descent(), 10);
    Picture p;
    p.Resize(30, 12);
    std::string text = "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8";  // あいうえお, wider than the picture
    int end = font.DrawText(p, -3, 1, text, 0xFFFFFF);
    EXPECT_GT(end, 30);
    int lit = 0;
    for (uint8_t v : p.bytes) lit += v > 0;
    EXPECT_GT(lit, 20);
}

}  // namespace
}  // namespace velmora
