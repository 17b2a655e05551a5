// Choice lists, click maps, the record of picks and the yes/no prompt,
// played on tiny games.
#include <gtest/gtest.h>

#include "../script/story.h"
#include "ui/cursor_file.h"
#include "ui_support.h"

using namespace velmora;
using namespace velmora::platform;
using test::Story;

namespace {

const char kThree[] =
    "*select\n{北へ\nnorth▼\n{南へ\nsouth▼\n{西へ\nwest▼\n}\nafter▼\n";

std::string LastLine(Story& s) { return s.Backlog(s.f().backlog.count - 1); }

}  // namespace

TEST(Choice, ThreeOptionsCentreTheListAndThePointerPicks) {
    Story s({{"main", kThree}});
    s.Pass(2);
    TForm1& f = s.f();
    ASSERT_EQ(f.ui.choiceKind, kChoiceList);
    EXPECT_EQ(f.ui.choice.count, 3);
    EXPECT_EQ(f.ui.choice.listTop, 159);
    test::Move(s, 400, 260);
    EXPECT_EQ(f.ui.choice.hovered, 3);
    test::Move(s, 400, 258);
    EXPECT_EQ(f.ui.choice.hovered, 2);
    test::Move(s, 195, 258);  // the list's left edge is outside
    EXPECT_EQ(f.ui.choice.hovered, 0);
    test::Move(s, 400, 300);
    s.Pass(5);
    test::Press(s, mbLeft, 400, 300);
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    s.Pass(2);
    EXPECT_EQ(LastLine(s), "west");
    // The option's script ends at the next option line: on to "after".
    test::Press(s, mbLeft, 400, 300);
    s.Pass(6);
    EXPECT_EQ(LastLine(s), "after");
}

TEST(Choice, FalseConditionTakesNoNumber) {
    Story s({{"main", "!V001=1\n*select\n{北へ\nnorth▼\n{(V001=2)南へ\nsouth▼\n{西へ\nwest▼\n}\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    ASSERT_EQ(f.ui.choice.count, 2);
    EXPECT_EQ(f.ui.choice.listTop, 184);
    EXPECT_EQ(ToUtf8(f.ui.choice.options[2].label), "西へ");
    test::Move(s, 400, 240);
    EXPECT_EQ(f.ui.choice.hovered, 2);
    s.Pass(5);
    test::Press(s, mbLeft, 400, 240);
    s.Pass(2);
    EXPECT_EQ(LastLine(s), "west");
}

TEST(Choice, StringLabelsAndLongLabels) {
    std::string longLabel(64, 'x');
    Story s({{"main", "*string 3 東へ\n*select\n{$3\neast▼\n{" + longLabel + "\nlong▼\n{ok\nok▼\n}\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    ASSERT_EQ(f.ui.choice.count, 2);  // 64 bytes drop the option
    EXPECT_EQ(ToUtf8(f.ui.choice.options[1].label), "東へ");
    EXPECT_EQ(std::string(f.ui.choice.options[2].label), "ok");
}

TEST(Choice, ClickWithinFivePassesOfTheLastIsIgnored) {
    Story s({{"main", kThree}});
    s.Pass(2);
    TForm1& f = s.f();
    test::Move(s, 400, 180);
    f.ui.ClickDebounce = 2;
    test::Press(s, mbLeft, 400, 180);  // ignored; debounce 5
    EXPECT_EQ(f.ui.choiceKind, kChoiceList);
    s.Pass(4);
    test::Press(s, mbLeft, 400, 180);  // 1 left: ignored, and 5 again
    EXPECT_EQ(f.ui.choiceKind, kChoiceList);
    EXPECT_EQ(f.ui.ClickDebounce, 5);
    s.Pass(5);
    test::Press(s, mbLeft, 400, 180);
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
}

TEST(Choice, UpAndDownMoveThePointerOverTheRows) {
    Story s({{"main", kThree}});
    s.Pass(2);
    TForm1& f = s.f();
    test::Move(s, 10, 10);
    uint16_t down = VK_DOWN, up = VK_UP;
    f.FormKeyDown(down, 0);
    s.plat().ProcessMessages();
    EXPECT_EQ(f.ui.choice.hovered, 3);  // none under the pointer: the last
    int x = 0, y = 0;
    s.plat().GetCursorPos(x, y);
    EXPECT_EQ(y, 159 + 31 + 100);
    f.FormKeyDown(up, 0);
    s.plat().ProcessMessages();
    EXPECT_EQ(f.ui.choice.hovered, 2);
    f.FormKeyDown(up, 0);
    f.FormKeyDown(up, 0);
    s.plat().ProcessMessages();
    EXPECT_EQ(f.ui.choice.hovered, 1);
    s.Pass(5);
    char enter = '\r';
    f.FormKeyPress(enter);
    s.Pass(2);
    EXPECT_EQ(LastLine(s), "north");
}

namespace {

// A novel-style choice with a 32-row page pitch, 40 rows down, and option
// buttons of 300 x 60, up to where it shows.
TForm1& ShowNovelChoice(Story& s) {
    TForm1& f = s.f();
    f.config.TX2_PITCH_Y = 32;
    f.config.TX2_OFS_Y = 40;
    f.ui.sysSwM1.Resize(300, 60);
    f.ui.sysSwM1om.Resize(300, 60);
    s.Pass(4);
    return f;
}

}  // namespace

TEST(Choice, NovelStylePlacesOneOptionPerPageLine) {
    Story s({{"main", "!S150=1\nline one\nline two\n*select\n{甲\na▼\n{乙\nb▼\n}\n"}});
    TForm1& f = ShowNovelChoice(s);
    ASSERT_EQ(f.ui.choiceKind, kChoiceListNovel);
    const int r = f.text.line;
    const ChoiceOption& a = f.ui.choice.options[1];
    const ChoiceOption& b = f.ui.choice.options[2];
    EXPECT_EQ(a.x1, 15);
    EXPECT_EQ(a.x2, 315);
    EXPECT_EQ(a.y1, r * 32 + 40);
    EXPECT_EQ(a.y2, a.y1 + 30);
    EXPECT_EQ(b.y1, (r + 1) * 32 + 40);
    test::Move(s, 100, b.y1 + 5);
    EXPECT_EQ(f.ui.choice.hovered, 2);
    test::Move(s, 15, b.y1 + 5);  // on the edge: outside
    EXPECT_EQ(f.ui.choice.hovered, 0);
}

TEST(Choice, ReplayBlinksLongerAndResumesRecordingAfterTheLastPick) {
    Story s({{"main", "*select\n{a\na▼\n{b\nb▼\n}\n*select\n{c\nc▼\n{d\nd▼\n}\n"}});
    TForm1& f = s.f();
    f.vars.S[151] = 2;
    f.vars.S[152] = 2;
    f.vars.S[153] = 0;
    f.ui.ChoiceRecord[0] = 2;
    f.ui.ChoiceRecord[1] = 1;
    s.Pass(1);
    const uint32_t t = s.plat().Now();
    s.Pass(1);  // the list is built and the recorded pick made at once
    EXPECT_GE(s.plat().Now() - t, 1400u);
    EXPECT_LT(s.plat().Now() - t, 1500u);
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    s.Pass(1);
    EXPECT_EQ(LastLine(s), "b");
    f.ui.ClickDebounce = 0;
    test::Press(s, mbLeft, 400, 300);
    const uint32_t t2 = s.plat().Now();
    s.Pass(2);
    // The last recorded pick: recording again, and the pick recorded.
    EXPECT_LT(s.plat().Now() - t2, 600u);
    EXPECT_EQ(f.vars.S[151], 1);
    EXPECT_EQ(f.vars.S[152], 3);
    EXPECT_EQ(f.ui.ChoiceRecord[2], 1);
    s.Pass(1);
    EXPECT_EQ(LastLine(s), "c");
}

TEST(Choice, RecordKeepsItsBoundsAndABadRecordLeavesThePickToThePlayer) {
    Story s({{"main", kThree}});
    TForm1& f = s.f();
    f.vars.S[151] = 1;
    f.vars.S[152] = kChoiceRecordSize;
    s.Pass(2);
    test::Move(s, 400, 180);
    s.Pass(5);
    test::Press(s, mbLeft, 400, 180);
    EXPECT_TRUE(s.Traced("choice record full"));
    EXPECT_EQ(f.vars.S[152], kChoiceRecordSize);

    Story r({{"main", kThree}});
    r.f().vars.S[151] = 2;
    r.f().vars.S[152] = 1;
    r.f().ui.ChoiceRecord[0] = 9;
    r.Pass(2);
    EXPECT_EQ(r.f().ui.choiceKind, kChoiceList);
    EXPECT_EQ(r.f().vars.S[151], 1);
}

TEST(Choice, BlockWithoutOptionsGoesOn) {
    Story s({{"main", "*select\n{(0)hidden\nno▼\n}\nafter▼\n"}});
    s.Pass(3);
    EXPECT_EQ(s.f().ui.choiceKind, kChoiceNone);
    EXPECT_TRUE(s.Traced("select: no options"));
    EXPECT_EQ(LastLine(s), "after");
}

namespace {
const char kMap[] =
    ":HALL\n1\nx,0,0,10,10\n"
    ":ROOM\n3\ndoor,10,10,100,100\n*window,300,300,200,200\n$F00,3\n"
    ":HUGE\n33\n";
}

TEST(ClickMap, AreasHoverPickAndTheTimeoutPicksAfterSixtyTicks) {
    Story s({{"main", "*clickmap ROOM\n{\ndoor▼\n{\nwindow▼\n{\nred▼\n{@3\ntimeout▼\n}\n"}, {"map", kMap}});
    s.Pass(2);
    TForm1& f = s.f();
    ASSERT_EQ(f.ui.choiceKind, kChoiceMap);
    EXPECT_EQ(f.ui.choice.count, 3);
    EXPECT_EQ(f.ui.choice.options[2].x1, 200);  // corners swapped
    EXPECT_EQ(f.ui.choice.timeoutCountdown, 60);
    test::Move(s, 50, 50);
    EXPECT_EQ(f.ui.choice.hovered, 1);
    test::Move(s, 250, 250);
    EXPECT_EQ(f.ui.choice.hovered, 2);
    for (int i = 0; i < 59; ++i) f.Timer1Timer();
    EXPECT_EQ(f.ui.choiceKind, kChoiceMap);
    f.Timer1Timer();
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    s.Pass(1);
    EXPECT_EQ(LastLine(s), "timeout");
}

TEST(ClickMap, APlainAreaShowsNothingUnlessTheGameAsksForCaptions) {
    Story s({{"main", "*clickmap ROOM\n{\ndoor▼\n{\nwindow▼\n}\n"}, {"map", kMap}});
    s.Pass(2);
    TForm1& f = s.f();
    Picture shown;
    test::Move(s, 50, 50);
    ASSERT_EQ(f.ui.choice.hovered, 1);
    s.plat().ReadBack(shown);
    EXPECT_EQ(shown.bytes, f.gfx.screen.bytes);
    f.config.MAP_CAPTION = 1;
    test::Move(s, 600, 500);
    test::Move(s, 50, 50);
    s.plat().ReadBack(shown);
    EXPECT_NE(shown.bytes, f.gfx.screen.bytes);
    test::Move(s, 600, 500);
    s.plat().ReadBack(shown);
    EXPECT_EQ(shown.bytes, f.gfx.screen.bytes);
}

TEST(ClickMap, RightPressPicksAndDisabledAreasDoNotHit) {
    Story s({{"main", "*clickmap ROOM\n{(0)\ndoor▼\n{\nwindow▼\n}\n"}, {"map", kMap}});
    s.Pass(2);
    TForm1& f = s.f();
    test::Move(s, 50, 50);
    EXPECT_EQ(f.ui.choice.hovered, 0);
    test::Move(s, 250, 250);
    test::Press(s, mbRight, 250, 250);
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    s.Pass(1);
    EXPECT_EQ(LastLine(s), "window");
}

TEST(ClickMap, ColourAreaSetsItsCursorAndLeavingRestoresTheDefault) {
    Story s({{"main", "*clickmap ROOM\n{\ndoor▼\n{\nwindow▼\n{\nred▼\n}\n"}, {"map", kMap}});
    TForm1& f = s.f();
    f.gfx.parts.Resize(800, 600);
    uint8_t* p = f.gfx.parts.Pixel(500, 500);
    p[2] = 0xF7, p[1] = 0x0C, p[0] = 0x05;  // red with noise in the low bits
    s.Pass(2);
    test::Move(s, 500, 500);
    EXPECT_EQ(f.ui.choice.hovered, 3);
    EXPECT_EQ(s.plat().cursorShape, 32);
    test::Move(s, 600, 500);
    EXPECT_EQ(f.ui.choice.hovered, 0);
    EXPECT_EQ(s.plat().cursorShape, 0);
}

TEST(ClickMap, MissingMapOrTooManyAreasGoOnAfterTheBlock) {
    Story s({{"main", "*clickmap NOWHERE\n{\na▼\n}\nafter one▼\n*clickmap HUGE\n{\nb▼\n}\nafter two▼\n"},
             {"map", kMap}});
    s.Pass(3);
    EXPECT_EQ(s.f().ui.choiceKind, kChoiceNone);
    EXPECT_EQ(LastLine(s), "after one");
    test::Press(s, mbLeft, 400, 300);
    s.Pass(3);
    EXPECT_EQ(LastLine(s), "after two");
    EXPECT_TRUE(s.Traced("33 areas"));
}

TEST(Prompt, RightPressClosesWithoutActingAndYesNeedsTheHover) {
    Story s({{"main", "a▼\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    ShowPrompt(f, ToCp932("タイトルへ戻りますか？"), kPromptTitle);
    EXPECT_TRUE(f.ui.OverlayActive);
    test::Move(s, 320, 200);
    EXPECT_TRUE(f.ui.prompt.yes);
    test::Press(s, mbRight, 320, 200);
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    EXPECT_FALSE(f.ui.OverlayActive);
    EXPECT_TRUE(s.Traced("prompt 3 answered no"));
    EXPECT_EQ(f.stepper.PendingWait, 1);  // the press went to the prompt only
    // Outside the "はい" box counts as "いいえ".
    ShowPrompt(f, ToCp932("クイックロードしますか？"), kPromptQuickLoad);
    test::Move(s, 370, 200);
    EXPECT_FALSE(f.ui.prompt.yes);
    test::Move(s, 300, 223);
    EXPECT_TRUE(f.ui.prompt.yes);
    test::Press(s, mbLeft, 300, 223);
    EXPECT_TRUE(s.Traced("load 99"));
}

TEST(Prompt, BandIsDarkenedAndRestored) {
    Story s({{"main", "a▼\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    FillPicture(f.gfx.screen, 0xC8C8C8);
    f.plat.surface().BlitWhole(f.gfx.screen);
    ShowPrompt(f, ToCp932("タイトルへ戻りますか？"), kPromptTitle);
    Picture shown;
    s.plat().ReadBack(shown);
    EXPECT_EQ(shown.Pixel(5, 150)[0], (200 * 255) >> 8);
    EXPECT_EQ(shown.Pixel(5, 151)[0], (200 * 243) >> 8);
    EXPECT_EQ(shown.Pixel(5, 237)[0], (200 * 255) >> 8);
    EXPECT_EQ(shown.Pixel(5, 190)[0], (200 * 63) >> 8);
    EXPECT_EQ(shown.Pixel(5, 149)[0], 200);
    test::Press(s, mbLeft, 5, 5);
    s.plat().ReadBack(shown);
    EXPECT_EQ(shown.Pixel(5, 190)[0], 200);
    EXPECT_EQ(f.gfx.screen.Pixel(5, 190)[0], 200);
}

TEST(CursorFile, FirstFrameOfAnAnimatedCursor) {
    // A 2 x 2 cursor, 24 bits, hot spot (1, 0), inside RIFF ACON / LIST fram.
    std::vector<uint8_t> cur = {0, 0, 2, 0, 1, 0, 2, 2, 0, 0, 1, 0, 0, 0};
    auto u32 = [](std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
    };
    std::vector<uint8_t> dib;
    u32(dib, 40), u32(dib, 2), u32(dib, 4);
    dib.insert(dib.end(), {1, 0, 24, 0});
    for (int i = 0; i < 6; ++i) u32(dib, 0);
    // Rows bottom-up, each padded to 8 bytes: bottom row red, blue; top row white, black.
    dib.insert(dib.end(), {0, 0, 255, 255, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0});
    // AND mask: bottom row opaque, top row's second pixel transparent.
    dib.insert(dib.end(), {0, 0, 0, 0, 0x40, 0, 0, 0});
    u32(cur, static_cast<uint32_t>(dib.size()));
    u32(cur, 22);
    cur.insert(cur.end(), dib.begin(), dib.end());
    std::vector<uint8_t> list = {'f', 'r', 'a', 'm', 'i', 'c', 'o', 'n'};
    u32(list, static_cast<uint32_t>(cur.size()));
    list.insert(list.end(), cur.begin(), cur.end());
    std::vector<uint8_t> ani = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'C', 'O', 'N', 'a', 'n', 'i', 'h'};
    u32(ani, 4), u32(ani, 0);
    ani.insert(ani.end(), {'L', 'I', 'S', 'T'});
    u32(ani, static_cast<uint32_t>(list.size()));
    ani.insert(ani.end(), list.begin(), list.end());
    const uint32_t riff = static_cast<uint32_t>(ani.size() - 8);
    for (int i = 0; i < 4; ++i) ani[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
    CursorImage image;
    ASSERT_TRUE(ParseCursorFile(ani.data(), ani.size(), image));
    EXPECT_EQ(image.hotX, 1);
    EXPECT_EQ(image.hotY, 0);
    EXPECT_EQ(image.colour.Pixel(0, 0)[0], 255);  // white top left
    EXPECT_EQ(image.colour.Pixel(0, 1)[2], 255);  // red bottom left
    EXPECT_EQ(image.alpha.Pixel(1, 0)[0], 0);
    EXPECT_EQ(image.alpha.Pixel(0, 0)[0], 255);
    // Every cut of the file is refused, none read past its end.
    for (size_t n = 0; n < ani.size() - 1; ++n) {
        std::vector<uint8_t> cut(ani.begin(), ani.begin() + n);
        CursorImage ignored;
        ParseCursorFile(cut.data(), cut.size(), ignored);
    }
}

// The choices that have no keys of their own, the novel style's list and a
// click map, are walked by the arrows as the pointer would go (the hover
// face lit), and Enter picks the option reached.
TEST(Choice, ArrowsWalkTheNovelStyleAndAClickMap) {
    {
        Story s({{"main", "!S150=1\nline one\n*select\n{甲\na▼\n{乙\nb▼\n}\n"}});
        TForm1& f = ShowNovelChoice(s);
        ASSERT_EQ(f.ui.choiceKind, kChoiceListNovel);
        test::Move(s, 790, 590);
        uint16_t down = VK_DOWN, up = VK_UP;
        f.FormKeyDown(down, 0);  // on nothing: the first option
        EXPECT_EQ(f.ui.choice.hovered, 1);

        f.FormKeyDown(down, 0);
        EXPECT_EQ(f.ui.choice.hovered, 2);
        f.FormKeyDown(down, 0);  // the last stays
        EXPECT_EQ(f.ui.choice.hovered, 2);
        f.FormKeyDown(up, 0);
        f.FormKeyDown(down, 0);
        s.Pass(6);
        char enter = '\r';
        f.FormKeyPress(enter);
        s.Pass(3);
        EXPECT_EQ(LastLine(s), "b");
    }
    Story s({{"main", "*clickmap ROOM\n{\ndoor▼\n{\nwindow▼\n{\nred▼\n}\n"}, {"map", kMap}});
    s.Pass(2);
    TForm1& f = s.f();
    ASSERT_EQ(f.ui.choiceKind, kChoiceMap);
    test::Move(s, 50, 50);
    uint16_t right = VK_RIGHT;
    f.FormKeyDown(right, 0);
    EXPECT_EQ(f.ui.choice.hovered, 2);  // the window, right of and below the door
    s.Pass(6);
    char enter = '\r';
    f.FormKeyPress(enter);
    s.Pass(3);
    EXPECT_EQ(LastLine(s), "window");
}
