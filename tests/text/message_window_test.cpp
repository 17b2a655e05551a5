// The message window: where characters go, the page buffer, the icon, the
// window commands, and whole pages compared with their arithmetic.
#include <gtest/gtest.h>

#include <cstring>

#include "script/story.h"
#include "text_fixture.h"

namespace velmora {
namespace {

class Page : public test::TextFixture {
protected:
    // The column and line the last character went to.
    int lastCol = -1, lastLine = -1;
    void Put(const std::string& utf8) {
        std::string s = ToCp932(utf8);
        for (size_t i = 0; i < s.size();) {
            int w = (static_cast<unsigned char>(s[i]) < 0x20 || static_cast<unsigned char>(s[i]) >= 0x7F) ? 2 : 1;
            PutChar(*f, s.data() + i, w);
            // Where it went: just before the new column.
            lastLine = f->text.line;
            lastCol = f->text.column - (f->text.wideSpacing && f->vars.S[150] == 0 ? 3 : w);
            i += w;
        }
    }
    std::string At(int line, int col, int n = 2) {
        return ToUtf8(std::string(reinterpret_cast<const char*>(&f->text.PageText[line][col]), n));
    }
    void MoveTo(int col) {
        while (f->text.column < col) Put("a");
    }
};

TEST_F(Page, NarrationIndentsAndBracketsStartAtTheMargin) {
    Put("あ");
    EXPECT_EQ(lastLine, 1);
    EXPECT_EQ(lastCol, 2);
    EXPECT_EQ(At(1, 2), "あ");
    f->text.column = 0, ++f->text.line;
    Put("「");
    EXPECT_EQ(lastCol, 0);
    f->text.column = 0, ++f->text.line;
    Put("（");
    EXPECT_EQ(lastCol, 0);
    // A wrapped quotation continues one place in.
    MoveTo(40);
    Put("か");
    EXPECT_EQ(lastLine, 4);
    EXPECT_EQ(lastCol, 2);
}

TEST_F(Page, HangingPunctuationUsesTheTwoSpareColumns) {
    Put("あ");
    MoveTo(40);
    Put("。");  // at MOJI_MAX_X: stays
    EXPECT_EQ(lastLine, 1);
    EXPECT_EQ(lastCol, 40);
    f->text.column = 41;
    Put("、");  // at MOJI_MAX_X + 1: stays
    EXPECT_EQ(lastLine, 1);
    EXPECT_EQ(lastCol, 41);
    EXPECT_EQ(At(1, 41), "、");
    f->text.column = 42;
    Put("っ");  // no third spare column
    EXPECT_EQ(lastLine, 2);
    EXPECT_EQ(lastCol, 2);
    f->text.column = 40;
    Put("か");  // an ordinary character wraps
    EXPECT_EQ(lastLine, 3);
    f->text.column = 39;
    Put("か");  // a two-byte character at MOJI_MAX_X - 1 takes MOJI_MAX_X too
    EXPECT_EQ(lastLine, 3);
    EXPECT_EQ(lastCol, 39);
    EXPECT_EQ(At(3, 39), "か");
    for (uint16_t c : {0x8140, 0x8142, 0x8176, 0x82C1, 0x8396}) EXPECT_TRUE(IsLineStartForbidden(c));
    for (uint16_t c : {0x8175, 0x82A0, 0x8143}) EXPECT_FALSE(IsLineStartForbidden(c));
}

TEST_F(Page, WideSpacingAndOneByteCharacters) {
    Put("A");
    EXPECT_EQ(f->text.column, 3);
    EXPECT_EQ(f->text.PageText[1][2], 'A');
    EXPECT_EQ(f->text.PageText[1][3], 0);
    f->text.wideSpacing = true;
    Put("Bあ");
    EXPECT_EQ(f->text.column, 9);
    EXPECT_EQ(At(1, 6), "あ");
    EXPECT_EQ(f->text.charCount, 3);
    // Not in the novel mode.
    f->vars.S[150] = 1;
    Put("い");
    EXPECT_EQ(f->text.column, 11);
}

TEST_F(Page, NovelModeNeitherIndentsNorKeepsANameLine) {
    f->vars.S[150] = 1;
    Put("あ");
    EXPECT_EQ(lastLine, 0);
    EXPECT_EQ(lastCol, 0);
    MoveTo(60);
    Put("い");
    EXPECT_EQ(lastLine, 1);
    EXPECT_EQ(lastCol, 0);
    int x, y;
    PagePosition(*f, 3, 2, x, y);
    EXPECT_EQ(x, 3 * 12 + 40);
    EXPECT_EQ(y, 2 * 32 + 40);
}

TEST_F(Page, TextPastThePageIsDroppedNotWritten) {
    Put("あ");
    uint8_t before[sizeof f->text.PageText];
    f->text.line = 25;
    f->text.column = 0;
    std::memcpy(before, f->text.PageText, sizeof before);
    Put("いう");
    EXPECT_EQ(std::memcmp(before, f->text.PageText, sizeof before), 0);
    EXPECT_EQ(f->text.charCount, 3);
    f->text.line = 5;
    f->text.column = 99;
    f->config.MOJI_MAX_X = 200;
    Put("え");
    EXPECT_EQ(std::memcmp(before, f->text.PageText, sizeof before), 0);
    Put("A");
}

TEST_F(Page, TheNameLineAndClearPage) {
    OpenWindow(*f);
    SetPageName(*f, ToCp932("ミナ").c_str());
    Put("あ");
    EXPECT_EQ(At(0, 0, 4), "ミナ");
    f->text.colourValue = 4;
    f->text.wideSpacing = true;
    ClearPage(*f);
    EXPECT_EQ(f->text.PageText[0][0], 0);
    EXPECT_EQ(f->text.PageText[1][2], 0);
    EXPECT_TRUE(f->text.pageEmpty);
    EXPECT_FALSE(f->text.wideSpacing);
    EXPECT_EQ(f->text.colourValue, 0);
    EXPECT_EQ(f->text.charCount, 0);
}

// A sheet whose frame k is solid (k * 60 + 10) at full weight.
void FrameSheet(TForm1& f, int frames) {
    Picture& sheet = f.text.clickSheet;
    sheet.Resize(24 * frames, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 24 * frames; ++x)
            std::memset(sheet.Pixel(x, y), y < 24 ? (x / 24) * 60 + 10 : 255, 3);
}

TEST_F(Page, ClickWaitFramesAdvanceEveryFourTicks) {
    FrameSheet(*f, 4);
    std::vector<int> frames;
    Picture shown;
    for (int i = 0; i < 10; ++i) {
        AnimateClickWait(*f);
        plat->ReadBack(shown);
        int v = shown.Pixel(750, 570)[0];
        frames.push_back((v + 1) / 60);  // (c * 255) >> 8 under full weight
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 2, 2, 2}));
    // The icon is never drawn into the screen picture; erasing restores the window.
    EXPECT_EQ(std::memcmp(f->gfx.screen.Pixel(740, 560), f->gfx.scene.Pixel(740, 560), 72), 0);
    EraseClickWait(*f);
    plat->ReadBack(shown);
    EXPECT_EQ(std::memcmp(shown.Pixel(740, 570), f->gfx.screen.Pixel(740, 570), 72), 0);
    EXPECT_FALSE(f->text.clickShown);
    // Skipping leaves it alone; the counter is kept between waits.
    f->ui.SkipActive = true;
    AnimateClickWait(*f);
    EXPECT_EQ(f->text.clickTicks, 10);
}

TEST_F(Page, ClickWaitOffTheScreenOrSheetDrawsNothing) {
    FrameSheet(*f, 2);  // fewer frames than CLICK_WAIT_PAT
    for (int i = 0; i < 12; ++i) AnimateClickWait(*f);
    EXPECT_FALSE(f->text.clickShown);  // frame 3 is not on the sheet
    f->text.clickTicks = 0;
    f->config.CLICK_WAIT_OFS_X = 790;
    AnimateClickWait(*f);
    EXPECT_FALSE(f->text.clickShown);
    f->config.CLICK_WAIT_OFS_X = 700;
    AnimateClickWait(*f);
    EXPECT_TRUE(f->text.clickShown);
}

// A stacked window picture: colour (30, 60, 90) over weight 160 everywhere.
void WindowPictures(TForm1& f) {
    Picture& tw = f.text.twLoaded;
    tw.Resize(800, 340);
    for (int y = 0; y < 340; ++y)
        for (int x = 0; x < 800; ++x) {
            uint8_t* p = tw.Pixel(x, y);
            if (y < 170)
                p[0] = 30, p[1] = 60, p[2] = 90;
            else
                p[0] = p[1] = p[2] = 160;
        }
    f.text.tw1.Resize(800, 170);  // no tint
    BuildWindowPictures(f);
}

// The page as it should look: the scene blended with the window picture,
// each character's cell blended at its place, shadow first.
Picture ReferencePage(TForm1& f, const std::vector<std::pair<uint16_t, std::pair<int, int>>>& cells) {
    Picture ref = f.gfx.scene;
    for (int y = 430; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            uint8_t* p = ref.Pixel(x, y);
            const uint8_t c[3] = {30, 60, 90};
            for (int k = 0; k < 3; ++k) p[k] = MaskByte(p[k], c[k], 160);
        }
    OutlineFont font;
    FontRequest r;
    r.family = "ＭＳ ゴシック";
    font.Open(r);
    Picture black, white, alpha, shadow;
    black.Resize(32, 35);
    white.Resize(32, 35);
    std::memset(white.bytes.data(), 255, white.bytes.size());
    for (auto& [code, place] : cells) {
        GlyphBitmap bm;
        if (font.RenderGlyph(code, bm) <= 0) continue;
        GlyphCell cell;
        BuildGlyphCell(bm, font.Ascent(), cell);
        CellToPicture(cell, alpha);
        BuildShadowPicture(cell, shadow);
        int x = place.first * 12 + 40, y = place.second * 28 + 460;
        BlendCellPass(ref, x + 1, y, black, shadow);
        BlendCellPass(ref, x, y, white, alpha);
    }
    return ref;
}

TEST_F(Page, AWholePageMatchesItsArithmetic) {
    WindowPictures(*f);
    // 「あ」 wraps at 40 with the hanging 。 and continues indented.
    std::string line = "「あいうえおかきくけこさしすせそたちつ。」";  // 「 at 0, 。 at 38, 」 at 40
    Put(line);
    Put("なにぬ");
    Picture shown;
    plat->ReadBack(shown);
    std::vector<std::pair<uint16_t, std::pair<int, int>>> cells;
    std::string s = ToCp932(line + "なにぬ");
    int col = 0, ln = 1;
    for (size_t i = 0; i < s.size(); i += 2) {
        uint16_t code = static_cast<uint16_t>(static_cast<uint8_t>(s[i]) << 8 | static_cast<uint8_t>(s[i + 1]));
        if (col >= 40 && !(IsLineStartForbidden(code) && col < 42)) col = 2, ++ln;
        cells.push_back({code, {col, ln}});
        col += 2;
    }
    EXPECT_EQ(cells[20].second, (std::pair<int, int>{40, 1}));  // 」 hangs
    EXPECT_EQ(cells[21].second, (std::pair<int, int>{2, 2}));
    Picture ref = ReferencePage(*f, cells);
    int differing = 0;
    for (size_t i = 0; i < ref.bytes.size(); ++i) differing += ref.bytes[i] != shown.bytes[i];
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(shown.bytes, f->gfx.screen.bytes);

    // The page drawn again from its text is the same page.
    Picture typed = f->gfx.screen;
    for (int y = 0; y < 170; ++y) std::memcpy(f->gfx.screen.Row(430 + y), f->gfx.messageWindow.Row(y), 2400);
    RedrawText(*f);
    EXPECT_EQ(f->gfx.screen.bytes, typed.bytes);
}

TEST_F(Page, TwSetShowsWithoutDrawingAndModeFlipsOnce) {
    Picture before;
    plat->ReadBack(before);
    TwSetCommand(*f, 1);
    EXPECT_TRUE(f->text.windowOpen);
    Put("あ");
    Picture after;
    plat->ReadBack(after);
    // Only the character's cell changed: no window was drawn first.
    int changed = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (std::memcmp(before.Pixel(x, y), after.Pixel(x, y), 3) != 0) {
                ++changed;
                EXPECT_TRUE(x >= 64 && x < 64 + 32 && y >= 488 && y < 488 + 35) << x << "," << y;
            }
    EXPECT_GT(changed, 0);
    TwSetCommand(*f, 0);
    EXPECT_FALSE(f->text.windowOpen);

    ModeCommand(*f, 1);
    EXPECT_EQ(f->vars.S[150], 1);
    EXPECT_TRUE(f->text.windowOpen);
    f->text.column = 7;
    ModeCommand(*f, 1);  // already novel: nothing
    EXPECT_EQ(f->text.column, 7);
    // win_close is ignored in the novel mode.
    CloseWindow(*f);
    EXPECT_TRUE(f->text.windowOpen);
    EXPECT_EQ(f->text.column, 7);
    ModeCommand(*f, 0);
    EXPECT_EQ(f->vars.S[150], 0);
    EXPECT_EQ(f->text.column, 0);
}

TEST_F(Page, CloseFadesToTheScene) {
    WindowPictures(*f);
    Put("あいう");
    f->text.wideSpacing = true;
    uint32_t t0 = plat->Now();
    CloseWindow(*f);
    // 32 steps of 8 at 10 ms each.
    EXPECT_GE(plat->Now() - t0, 300u);
    EXPECT_LE(plat->Now() - t0, 340u);
    Picture shown;
    plat->ReadBack(shown);
    EXPECT_EQ(shown.bytes, f->gfx.scene.bytes);
    EXPECT_EQ(f->gfx.screen.bytes, f->gfx.scene.bytes);
    EXPECT_FALSE(f->text.windowOpen);
    EXPECT_TRUE(f->text.pageEmpty);
    EXPECT_FALSE(f->text.wideSpacing);
    EXPECT_FALSE(f->flags.busy);
    EXPECT_FALSE(f->flags.interruptibleEffect);
    // Skipping closes at once.
    Put("え");
    f->ui.SkipActive = true;
    t0 = plat->Now();
    CloseWindow(*f);
    EXPECT_EQ(plat->Now(), t0);
    EXPECT_FALSE(f->text.windowOpen);
}

TEST_F(Page, NovelPageOnAHiddenWindowFadesInUnlessSkipping) {
    ModeCommand(*f, 1);
    for (bool skipping : {false, true}) {
        TwSetCommand(*f, 0);
        FillPicture(f->gfx.screen, 0);
        f->ui.SkipActive = skipping;
        const uint32_t t0 = plat->Now();
        NewPage(*f);
        // The timed cross-fade: 12 per 40 ms until past full weight.
        if (skipping)
            EXPECT_EQ(plat->Now(), t0);
        else
            EXPECT_EQ(plat->Now() - t0, 880u);
        EXPECT_TRUE(f->text.windowOpen);
        EXPECT_EQ(f->gfx.screen.bytes, f->gfx.novel.bytes);
        Picture shown;
        plat->ReadBack(shown);
        EXPECT_EQ(shown.bytes, f->gfx.screen.bytes);
        EXPECT_FALSE(f->flags.busy);
    }
}

TEST_F(Page, NewPageErasesTheTextAndResetsTheColour) {
    WindowPictures(*f);
    Put("あいう");
    f->vars.S[37] = 0x0000FF;
    SetGlyphColour(*f, 0);
    NewPage(*f);
    EXPECT_EQ(f->vars.S[37], 0xFFFFFF);
    EXPECT_EQ(f->text.glyphs.currentColour, 0xFFFFFFu);
    Picture shown;
    plat->ReadBack(shown);
    for (int y = 430; y < 600; ++y)
        ASSERT_EQ(std::memcmp(shown.Pixel(0, y), f->gfx.messageWindow.Row(y - 430), 2400), 0) << y;
}

TEST(PageColour, TheFirstPageIsWhiteAfterModeOrTwSet) {
    // Openings that type before any new page has set the colour, and a
    // style change after a speaker's coloured page.
    for (int k = 0; k < 3; ++k) {
        const char* opening = k == 1 ? "*tw_set 1\n" : "*mode 1\n";
        test::Story s({{"main", std::string(opening) + "文字\n\\\n"}});
        if (k == 2) {
            // What a speaker's name plate leaves behind.
            s.f().vars.S[37] = 0x00FF00;
            SetGlyphColour(s.f(), 0);
        }
        s.ToWait();
        const GlyphState& g = s.f().text.glyphs;
        EXPECT_EQ(g.currentColour, 0xFFFFFFu) << opening;
        EXPECT_EQ(g.textColour.bytes[0], 255) << opening;
        EXPECT_EQ(g.textColour.bytes[1], 255) << opening;
    }
}

TEST_F(Page, WindowTintFollowsThePlayersColourAndOpacity) {
    WindowPictures(*f);
    f->text.tw1.Resize(800, 170);
    std::memset(f->text.tw1.bytes.data(), 255, f->text.tw1.bytes.size());
    f->settings.TXBG_R = 200, f->settings.TXBG_G = 100, f->settings.TXBG_B = 0, f->settings.TXBG_A = 64;
    BuildWindowPictures(*f);
    BuildWindowPictures(*f);  // again: tints the picture as loaded, not the tinted one
    const uint8_t* colour = f->text.tw.Pixel(10, 10);
    EXPECT_EQ(colour[0], MaskByte(30, 0, 255));
    EXPECT_EQ(colour[1], MaskByte(60, 100, 255));
    EXPECT_EQ(colour[2], MaskByte(90, 200, 255));
    EXPECT_EQ(f->text.tw.Pixel(10, 180)[0], MaskByte(160, 64, 255));
}

}  // namespace
}  // namespace velmora

// On an animated background every frame carries the window and the page,
// so nothing vanishes when the next frame shows; a new page clears the old
// text from every frame too. A speaker without a plate of their own gets the
// name alone, written on the frames where the plate would be.
TEST(AnimatedBackgroundPage, EveryFrameShowsWhatTheScreenShows) {
    using namespace velmora;
    test::Story s({{"main", "*bg_anim OFS,2,0,0,0,0,0,0\n>カイ\nあいうえお\n\\\nか\n\\\n"}});
    TForm1& f = s.f();
    s.ToWait();
    const BgAnimState& a = f.gfx.bgAnim;
    ASSERT_EQ(a.frameCount, 2);
    // The scene is black, so a frame and the screen differ only by what is
    // drawn over them: here the name, on the frames alone.
    auto inPlate = [](size_t i) {
        const int x = static_cast<int>(i / 3 % 800), y = static_cast<int>(i / 3 / 800);
        return x >= 57 && x < 57 + 224 && y >= 344 && y < 344 + 44;
    };
    auto compare = [&](const Picture& frame, bool& plateDiffers) {
        plateDiffers = false;
        for (size_t i = 0; i < frame.bytes.size(); ++i) {
            if (frame.bytes[i] == f.gfx.screen.bytes[i]) continue;
            if (!inPlate(i)) return false;
            plateDiffers = true;
        }
        return true;
    };
    bool named = false;
    for (int i = 0; i < a.frameCount; ++i) {
        EXPECT_TRUE(compare(a.frames[i].picture, named)) << "frame " << i;
        EXPECT_TRUE(named) << "frame " << i;
    }
    const PictureBytes firstPage = f.gfx.screen.bytes;

    s.NextWait();
    EXPECT_NE(f.gfx.screen.bytes, firstPage);
    for (int i = 0; i < a.frameCount; ++i) EXPECT_TRUE(compare(a.frames[i].picture, named)) << "frame " << i;
}

// Offset frames are made from the screen, which already carries the
// message window (and the quick bar): the window goes over each frame once,
// as over the scene.
TEST(AnimatedBackgroundPage, OffsetFramesGetTheWindowBlendedOnce) {
    using namespace velmora;
    test::Story s({{"main", "*bg S8CG\n*win_open\nあ▼\n*bg_anim OFS,2,0,0,0,0,0,0\nか▼\n"}});
    TForm1& f = s.f();
    s.ToWait();
    const Picture before = f.gfx.screen;
    s.NextWait();
    const BgAnimState& a = f.gfx.bgAnim;
    ASSERT_EQ(a.frameCount, 2);
    const ConfigValues& c = f.config;
    // The top rows of the window hold no text: there the frames show what
    // the screen showed before the animation.
    for (int i = 0; i < a.frameCount; ++i)
        for (int y = c.TXW_OFS_Y; y < c.TXW_OFS_Y + 3; ++y)
            for (int x = c.TXW_OFS_X; x < c.TXW_OFS_X + c.TXW_SIZE_X; x += 7)
                ASSERT_EQ(std::memcmp(a.frames[i].picture.Pixel(x, y), before.Pixel(x, y), 3), 0)
                    << "frame " << i << " at (" << x << ", " << y << ")";
}
