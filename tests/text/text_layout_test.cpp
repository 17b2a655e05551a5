// The proportional layout against the fixed grid: where one-byte text goes,
// where lines break, what the backlog records, and that a page drawn again
// from its bytes is the page that was typed.
#include <gtest/gtest.h>

#include <cstring>

#include "backlog/backlog.h"
#include "text/glyph_cell.h"
#include "text/text_layout.h"
#include "text_fixture.h"

namespace velmora {
namespace {

constexpr int kLimit = 40 * 12;  // MOJI_MAX_X x TX_PITCH_X of the fixture

class Layout : public test::TextFixture {
protected:
    void Proportional(bool on = true) {
        f->config.TEXT_LAYOUT = on ? "proportional" : "";
        f->config.FONT_LATIN = "Arial";
        RebuildGlyphCache(*f);
    }
    // One script line as the stepper hands it over: each character to the
    // backlog, then to the window with the text after it; the line's end
    // closes the backlog line and moves to the next page line.
    void Line(const std::string& utf8) {
        const std::string s = ToCp932(utf8);
        for (size_t i = 0; i < s.size();) {
            const unsigned char b = static_cast<unsigned char>(s[i]);
            const int w = b >= 0x20 && b <= 0x7E ? 1 : 2;
            AppendBacklog(*f, s.data() + i, w);
            PutChar(*f, s.data() + i, w, s.c_str() + i + w);
            i += static_cast<size_t>(w);
        }
        CommitBacklogLine(*f);
        f->text.column = 0;
        ++f->text.line;
    }
    // The bytes of a page line, empty columns left out.
    std::string Row(int line) const {
        std::string r;
        for (int c = 0; c < kPageColumns; ++c)
            if (f->text.PageText[line][c]) r += static_cast<char>(f->text.PageText[line][c]);
        return r;
    }
    int RowWidth(int line) {
        uint16_t prev;
        int end = kPageColumns;
        while (end > 0 && f->text.PageText[line][end - 1] == 0) --end;
        return PagePen(*f).LinePen(f->text.PageText[line], kPageColumns, end, prev);
    }
    int Width(const std::string& text) { return PagePen(*f).Width(text.data(), text.size()); }
};

TEST_F(Layout, WordsWrapAtTheLastSpaceThatFitsAndTheBacklogKeepsThem) {
    Proportional();
    const std::string text =
        "The quick brown fox jumps over the lazy dog while the rain keeps falling on the old roof of the "
        "station, and nobody waits for the last train tonight.";
    Line(text);
    std::vector<std::string> rows;
    for (int l = 1; l < f->text.line; ++l) rows.push_back(Row(l));
    ASSERT_GE(rows.size(), 3u);
    std::string joined;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string& r = rows[i];
        EXPECT_NE(r.front(), ' ') << "line " << i;
        // Indented by a full-width place, and no wider than the window's line.
        EXPECT_EQ(f->text.PageText[i + 1][0], 0);
        EXPECT_EQ(f->text.PageText[i + 1][1], 0);
        EXPECT_NE(f->text.PageText[i + 1][2], 0);
        EXPECT_LE(RowWidth(static_cast<int>(i) + 1), kLimit) << r;
        if (i + 1 < rows.size()) {
            // Broken at the last space that fits: the next word would not
            // (nor the space before it, which then is left out).
            const std::string next = rows[i + 1].substr(0, rows[i + 1].find(' '));
            EXPECT_GT(24 + Width(r + (r.back() == ' ' ? "" : " ") + next), kLimit) << r << "|" << next;
        }
        joined += r + (r.back() == ' ' || i + 1 == rows.size() ? "" : " ");
        // The backlog's rows are the window's lines.
        EXPECT_STREQ(f->backlog.BacklogLines[i], r.c_str());
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(f->backlog.count, static_cast<int>(rows.size()));

    // The grid breaks the same text in the middle of words, at the column.
    ClearPage(*f);
    Proportional(false);
    Line(text);
    EXPECT_EQ(Row(1).size(), 38u);
}

TEST_F(Layout, AWordLongerThanTheLineBreaksWhereItMustAndSpacesDoNotStartALine) {
    Proportional();
    const std::string word(30, 'm');
    Line("A " + word + " end");
    EXPECT_EQ(Row(1).substr(0, 3), "A m");
    // The first line is as full as it can be: one more m would not fit.
    EXPECT_LE(RowWidth(1), kLimit);
    EXPECT_GT(RowWidth(1) + Width("m"), kLimit);
    EXPECT_EQ(f->text.line, 3);
    EXPECT_EQ(Row(1) + Row(2), "A " + word + " end");

    // Spaces that would open a line are left out, on the page and in the
    // backlog: a line made of spaces and a word starts with the word.
    ClearPage(*f);
    f->backlog.count = 0;
    f->backlog.writeOffset = 0;
    Line("    indented?");
    EXPECT_EQ(Row(1), "indented?");
    EXPECT_STREQ(f->backlog.BacklogLines[0], "indented?");
}

TEST_F(Layout, JapaneseKeepsItsCellsAndHangingPunctuationBesideEnglish) {
    // A Japanese page is the same page in both layouts, hanging 。 and
    // indented continuation included.
    const std::string ja = "「あいうえおかきくけこさしすせそたちつ。」なにぬ、ねのはひふへほまみむめもやゆよらりるれろわをん。";
    Line(ja);
    uint8_t grid[kPageLines][kPageColumns];
    std::memcpy(grid, f->text.PageText, sizeof grid);
    ClearPage(*f);
    Proportional();
    Line(ja);
    EXPECT_EQ(std::memcmp(grid, f->text.PageText, sizeof grid), 0);

    // In a mixed line each two-byte character takes two pitches, wherever
    // the English before it ended.
    ClearPage(*f);
    Line("Mina said 「こんにちは」 and left.");
    const uint8_t* row = f->text.PageText[1];
    uint16_t prev;
    const Pen pen = PagePen(*f);
    const int open = static_cast<int>(std::strlen("  Mina said "));
    const int x0 = pen.LinePen(row, kPageColumns, open, prev);
    EXPECT_EQ(x0, 24 + Width("Mina said "));
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(pen.LinePen(row, kPageColumns, open + 2 * k, prev), x0 + 24 * k);
    EXPECT_EQ(pen.LinePen(row, kPageColumns, open + 16, prev), x0 + 24 * 7 + Width(" a"));
}

// The page as it should look: every character's cell, from the face that
// draws it, blended at x (from the window's text origin) on its line.
struct Placed {
    uint16_t code;
    int x, line;
};
Picture ComposedPage(const Picture& bare, const std::vector<Placed>& cells) {
    Picture ref = bare;
    OutlineFont ja, latin;
    FontRequest r;
    r.family = "ＭＳ ゴシック";
    ja.Open(r);
    r.family = "Arial";
    r.latinOnly = true;
    latin.Open(r);
    Picture black, white, alpha, shadow;
    black.Resize(32, 35);
    white.Resize(32, 35);
    std::memset(white.bytes.data(), 255, white.bytes.size());
    for (const Placed& p : cells) {
        GlyphBitmap bm;
        if ((p.code <= 0xFF ? latin : ja).RenderGlyph(p.code, bm) <= 0) continue;
        GlyphCell cell;
        BuildGlyphCell(bm, ja.Ascent(), cell);
        CellToPicture(cell, alpha);
        BuildShadowPicture(cell, shadow);
        const int x = p.x + 40, y = p.line * 28 + 460;
        BlendCellPass(ref, x + 1, y, black, shadow);
        BlendCellPass(ref, x, y, white, alpha);
    }
    return ref;
}

TEST_F(Layout, AnEnglishPagePixelForPixelInBothLayouts) {
    const std::string text = "AVAST, Tokyo! Will it fit?";
    OpenWindow(*f);
    const Picture bare = f->gfx.screen;

    // The grid: every byte one pitch, the line indented two.
    Line(text);
    std::vector<Placed> grid;
    for (size_t i = 0; i < text.size(); ++i) grid.push_back({static_cast<uint8_t>(text[i]), 12 * (2 + static_cast<int>(i)), 1});
    {
        Picture shown = f->gfx.screen;
        Picture expect = bare;
        for (const Placed& p : grid) {
            const char ch[2] = {static_cast<char>(p.code), 0};
            PrepareGlyph(*f, ch);
            BlendGlyph(*f, expect, p.x + 40, p.line * 28 + 460);
        }
        EXPECT_EQ(shown.bytes, expect.bytes);
    }

    // Proportional: each character at the sum of the advances before it,
    // with the face's kerning, one-byte glyphs from FONT_LATIN's face.
    f->gfx.screen = bare;
    ClearPage(*f);
    Proportional();
    Line(text);
    OutlineFont latin;
    FontRequest r;
    r.family = "Arial";
    r.latinOnly = true;
    ASSERT_TRUE(latin.Open(r));
    EXPECT_EQ(latin.face().family.rfind("Liberation Sans", 0), 0u) << latin.face().family;
    std::vector<Placed> prop;
    int x = 24;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t c = static_cast<uint8_t>(text[i]);
        if (i > 0) x += latin.Kerning(static_cast<uint8_t>(text[i - 1]), c);
        prop.push_back({c, x, 1});
        x += latin.Advance(c);
    }
    // Narrow letters close up, wide ones take their room.
    EXPECT_LT(prop[16].x - prop[15].x, 12) << "i";
    EXPECT_GT(prop[15].x - prop[14].x, 12) << "W";
    const Picture expect = ComposedPage(bare, prop);
    int differing = 0;
    for (size_t i = 0; i < expect.bytes.size(); ++i) differing += expect.bytes[i] != f->gfx.screen.bytes[i];
    EXPECT_EQ(differing, 0);
}

TEST_F(Layout, APageDrawnAgainFromItsBytesIsThePageThatWasTyped) {
    Proportional();
    Line("She looked up. \"AWAY,\" it said.");
    SetWideSpacing(*f, true);
    Line("Wide too");
    SetWideSpacing(*f, false);
    Line("「はい」 Yes, and 日本語 too.");
    ASSERT_EQ(f->text.line, 4);  // three lines, all inside the window
    const Picture typed = f->gfx.screen;

    // The window shown again: its picture, then the page from PageText.
    for (int y = 0; y < 170; ++y) std::memcpy(f->gfx.screen.Row(430 + y), f->gfx.messageWindow.Row(y), 2400);
    RedrawText(*f);
    EXPECT_EQ(f->gfx.screen.bytes, typed.bytes);

    // A copy of the page, as the history and slot files keep it, drawn the
    // way the rewind draws it.
    uint8_t copy[kPageLines][kPageColumns];
    std::memcpy(copy, f->text.PageText, sizeof copy);
    for (int y = 0; y < 170; ++y) std::memcpy(f->gfx.screen.Row(430 + y), f->gfx.messageWindow.Row(y), 2400);
    DrawPageGrid(*f, copy, 0);
    EXPECT_EQ(f->gfx.screen.bytes, typed.bytes);
}

TEST(LatinFaces, WindowsLatinNamesFindTheirDebianFacesForOneByteTextOnly) {
    const struct {
        const char* asked;
        const char* expected;
    } cases[] = {{"Arial", "Liberation Sans"},
                 {"times new roman", "Liberation Serif"},
                 {"Tahoma", "DejaVu Sans"},
                 {"Verdana", "DejaVu Sans"}};
    for (const auto& c : cases) {
        ResolvedFace face;
        ASSERT_TRUE(ResolveFace(c.asked, false, face, true)) << c.asked;
        EXPECT_EQ(face.family, c.expected);
        // As the message font they cannot draw kana: a Japanese face stands in.
        ASSERT_TRUE(ResolveFace(c.asked, false, face));
        EXPECT_TRUE(face.fallback) << c.asked;
    }
    ResolvedFace none;
    EXPECT_FALSE(ResolveFace("No Such Face 7", false, none, true));
}

TEST_F(Layout, TheGameChoosesAndOtherwiseThePlayer) {
    EXPECT_FALSE(ProportionalText(*f));
    f->settings.TextLayout = 1;
    EXPECT_TRUE(ProportionalText(*f));
    f->config.TEXT_LAYOUT = " grid";
    EXPECT_FALSE(ProportionalText(*f));
    f->config.TEXT_LAYOUT = " Proportional";
    f->settings.TextLayout = 0;
    EXPECT_TRUE(ProportionalText(*f));
    // Strings (name plates, choices) are set by the same pen.
    f->config.FONT_LATIN = "Arial";
    RebuildGlyphCache(*f);
    const Pen grid{nullptr, 12};
    EXPECT_EQ(grid.Width("little", 6), 72);
    EXPECT_LT(TextPen(*f, 12).Width("little", 6), 60);
}

}  // namespace
}  // namespace velmora
