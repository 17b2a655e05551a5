// The staff roll, the scene scroll and the ending roll on the virtual
// clock: where their text is at known times and what ends them.
#include <gtest/gtest.h>

#include <algorithm>

#include "extras/extras_common.h"
#include "extras/rolls.h"
#include "extras_game.h"
#include "save/slots.h"
#include "script/variables.h"

using namespace velmora;
using namespace velmora::platform;
using test::At;
using test::Bgr;
using test::ExtrasGame;
using platform::TextKind;

namespace {

constexpr Bgr kBlue = {200, 0, 0};

bool Lit(const Picture& p, int x, int y) {
    const uint8_t* d = p.Pixel(x, y);
    return d[0] > 100 && d[1] > 100 && d[2] > 100;
}

// The bounding box of the light pixels inside a rectangle; false when none.
bool LitBox(const Picture& p, int x0, int y0, int x1, int y1, int& left, int& top, int& right, int& bottom) {
    left = x1, top = y1, right = -1, bottom = -1;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (Lit(p, x, y)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return right >= 0;
}

int MaxRed(const Picture& p, int x0, int y0, int x1, int y1) {
    int m = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) m = std::max(m, static_cast<int>(p.Pixel(x, y)[2]));
    return m;
}

}  // namespace

TEST(StaffRollText, AlignmentLettersAndBlockPlacement) {
    int h = 1;
    bool v = true;
    ParseRollAlignment("XR", h, v);
    EXPECT_EQ(h, 2);  // the last letter wins
    EXPECT_FALSE(v);
    ParseRollAlignment("y", h, v);
    EXPECT_EQ(h, 0);
    EXPECT_TRUE(v);
    ParseRollAlignment("", h, v);
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(v);
    EXPECT_EQ(RollBlockTop(400, 5, true), 120);
    EXPECT_EQ(RollBlockTop(400, 5, false), 0);
    EXPECT_EQ(RollBlockTop(100, 4, true), -14);  // rounded toward zero
    EXPECT_EQ(RollLineLeft(400, 101, 1), 149);
    EXPECT_EQ(RollLineLeft(400, 101, 2), 299);
    EXPECT_EQ(RollLineLeft(400, 101, 0), 0);
}

TEST(StaffRoll, WaitsMeasureFromTheLastWaitSoTheFadeIsPartOfIt) {
    ExtrasGame g({{"main", "待つ▼\n"},
                  {"credits", "*RESET\n*GRA roll1,0\n*CENTER R\n右寄せの行\n*WAIT 30\n*PUT 1\n*WAIT 50\n*HOOK\n"}},
                 {{"roll1", test::Solid(800, 600, kBlue)}});
    g.ToWait();
    TForm1& f = g.f();
    g.Events("wait 2900\nscreenshot before.png\nwait 580\nscreenshot fading.png\nwait 1500\nscreenshot shown.png\n");
    const uint32_t t0 = g.plat().Now();
    StaffRollCommand(f, "credits");
    EXPECT_EQ(g.plat().Now() - t0, 8000u);
    EXPECT_EQ(f.app.playMode, 0);
    // Mode 0: the picture at once; the text 3 s in, fading, then whole.
    Picture before = g.Shot("before.png");
    EXPECT_EQ(At(before, 400, 400), kBlue);
    EXPECT_EQ(MaxRed(before, 200, 200, 600, 600), 0);
    const int half = MaxRed(g.Shot("fading.png"), 200, 200, 600, 600);
    EXPECT_GT(half, 60);
    EXPECT_LT(half, 200);
    Picture shown = g.Shot("shown.png");
    EXPECT_EQ(MaxRed(shown, 200, 200, 600, 600), 255);
    int left, top, right, bottom;
    ASSERT_TRUE(LitBox(shown, 0, 0, 800, 600, left, top, right, bottom));
    // Right-aligned in the default rectangle; "CENTER R" also turned the
    // vertical centring off, so the line is at the rectangle's top.
    EXPECT_GE(right, 592);
    EXPECT_LT(right, 600);
    EXPECT_GE(left, 200);
    EXPECT_GE(top, 200);
    EXPECT_LT(bottom, 200 + 32);
    EXPECT_TRUE(f.gfx.screen.bytes == shown.bytes);
}

TEST(StaffRoll, AStepLongerThanItsWaitMovesTheRestOn) {
    // The slow fade outlasts WAIT 1, so WAIT 20 counts from the fade's end.
    ExtrasGame g({{"main", "待つ▼\n"},
                  {"fade", "*RESET\n*GRA roll1,2\n"},
                  {"credits", "*RESET\n*GRA roll1,2\n*WAIT 1\n*WAIT 20\n*WAIT 10\n"}},
                 {{"roll1", test::Solid(800, 600, kBlue)}});
    g.ToWait();
    TForm1& f = g.f();
    uint32_t t0 = g.plat().Now();
    StaffRollCommand(f, "fade");
    const uint32_t fade = g.plat().Now() - t0;
    ASSERT_GT(fade, 300u);
    t0 = g.plat().Now();
    StaffRollCommand(f, "credits");
    EXPECT_EQ(g.plat().Now() - t0, fade + 3000u);
}

TEST(StaffRoll, CommandLinesReplaceTheBlockAndUnknownOnesAreTraced) {
    ExtrasGame g({{"main", "待つ▼\n"},
                  {"credits", "*RESET\n*GRA missing\n@CENTER\n一行目\n*NOSUCH 1\n二行目\n三行目\n*PUT 0\n"
                              "*VERYLONGWORD\n*WIN 1,2\n"}},
                 {});
    g.ToWait();
    TForm1& f = g.f();
    FillPicture(f.gfx.scene, 0);
    const uint32_t t0 = g.plat().Now();
    StaffRollCommand(f, "credits");
    EXPECT_TRUE(g.Traced("roll: unknown command *NOSUCH 1 ignored"));
    EXPECT_TRUE(g.Traced("roll: unknown command *VERYLONGWORD ignored"));
    EXPECT_TRUE(g.Traced("roll: WIN 1,2 is not a rectangle"));
    EXPECT_TRUE(g.Traced("roll: picture missing missing; the scene stays"));
    EXPECT_TRUE(g.Traced("roll credits: ended"));
    // Two lines, left and at the top of the rectangle: the first block was replaced.
    int left, top, right, bottom;
    ASSERT_TRUE(LitBox(f.gfx.screen, 0, 0, 800, 600, left, top, right, bottom));
    EXPECT_LT(left, 206);
    EXPECT_LT(top, 206);
    EXPECT_GT(bottom, 232);
    EXPECT_LT(bottom, 264);
    // The missing picture's fade still ran, about 16 frames of 30 ms.
    EXPECT_GE(g.plat().Now() - t0, 450u);
    StaffRollCommand(f, "nosuch");
    EXPECT_TRUE(g.Traced("roll nosuch: no such roll script"));
}

TEST(StaffRoll, CloseCancelledGoesOnAndCloseConfirmedStops) {
    ExtrasGame g({{"main", "待つ▼\n"}, {"credits", "*RESET\n*WAIT 100\n*HOOK\n"}}, {});
    g.ToWait();
    TForm1& f = g.f();
    g.Events("wait 2000\nanswer cancel\nclose\nwait 10000\n");
    uint32_t t0 = g.plat().Now();
    StaffRollCommand(f, "credits");
    EXPECT_EQ(g.plat().Now() - t0, 10000u);
    EXPECT_FALSE(f.extras.staffRollPaused);
    EXPECT_TRUE(g.Traced("roll credits: ended"));
    g.Events("wait 2000\nanswer ok\nclose\nwait 10000\n");
    t0 = g.plat().Now();
    // The confirmed close ends the headless run at the next pump.
    EXPECT_THROW(StaffRollCommand(f, "credits"), RunEnded);
    EXPECT_TRUE(f.extras.staffRollStop);
    EXPECT_LT(g.plat().Now() - t0, 2200u);
}

TEST(StaffRoll, AGameSavedDuringTheRollLoadsInNormalPlay) {
    ExtrasGame g({{"main", "待つ▼\n"}, {"credits", "*RESET\n*WAIT 20\n"}}, {});
    g.ToWait();
    TForm1& f = g.f();
    g.Events("wait 1000\nsave 5\n");
    StaffRollCommand(f, "credits");
    ASSERT_TRUE(LoadGame(f, 5, true));
    EXPECT_EQ(f.app.playMode, 0);
}

namespace {

// 40 lines: a square on line 10 and on the last line.
std::string ScrollTable() {
    std::string t;
    for (int i = 0; i < 40; ++i) t += (i == 10 || i == 39) ? "■\n" : "\n";
    return t + "}\n見えない行\n";
}

int FirstLitRow(const Picture& p) {
    for (int y = 20; y < 580; ++y)
        for (int x = 270; x < 690; ++x)
            if (Lit(p, x, y)) return y;
    return -1;
}

}  // namespace

TEST(SceneScroll, OnePixelPerFrameAndClicksIgnoredWithoutF999) {
    ExtrasGame g({{"main", "待つ▼\n"}, {"sroll", ScrollTable()}}, {});
    g.ToWait();
    TForm1& f = g.f();
    g.Events("wait 600\nscreenshot a.png\nwait 600\nscreenshot b.png\nwait 300\nclick 400 300\n");
    const uint32_t t0 = g.plat().Now();
    SceneScrollCommand(f);
    EXPECT_EQ(g.plat().Now() - t0, 30u * (24 * 40 - 240));
    const int a = FirstLitRow(g.Shot("a.png")), b = FirstLitRow(g.Shot("b.png"));
    ASSERT_GT(a, 0);
    EXPECT_EQ(a - b, 20);
    EXPECT_GT(a, 240 - 20);  // line 10 starts 240 rows down, 20 rows scrolled
    EXPECT_LE(a, 240 - 20 + 24);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_FALSE(f.ui.OverlayActive);
    EXPECT_FALSE(g.Traced("見えない行"));
}

TEST(SceneScroll, WithF999AClickEndsItAtTheFinalPosition) {
    ExtrasGame g({{"main", "待つ▼\n"}, {"sroll", ScrollTable()}}, {});
    g.ToWait();
    TForm1& f = g.f();
    SetBit(f.vars.F, kFBits, 999, true);
    g.Events("wait 1000\nclick 400 300\n");
    const uint32_t t0 = g.plat().Now();
    SceneScrollCommand(f);
    EXPECT_LT(g.plat().Now() - t0, 1100u);
    // The last line ends 240 rows below the top of the area.
    const Picture shown = g.Canvas();
    const int row = FirstLitRow(shown);
    EXPECT_GT(row, 20 + 240 - 24);
    EXPECT_LE(row, 20 + 240);
    EXPECT_EQ(f.app.playMode, 0);
}

TEST(SceneScroll, ACloseEndsItWhateverTheAnswer) {
    ExtrasGame g({{"main", "待つ▼\n"}, {"sroll", ScrollTable()}}, {});
    g.ToWait();
    g.Events("wait 1000\nanswer cancel\nclose\n");
    const uint32_t t0 = g.plat().Now();
    SceneScrollCommand(g.f());
    EXPECT_LT(g.plat().Now() - t0, 1100u);
    EXPECT_EQ(g.f().app.playMode, 0);
}

TEST(EndingRollFrame, ShowsColumns64To319AndFadesTheEdges) {
    // Columns 0 ... 63 red, the rest white from row 600 on.
    Picture credits = test::Solid(kCreditWidth, 1400, {0, 0, 0});
    for (int y = 600; y < 1400; ++y)
        for (int x = 0; x < kCreditWidth; ++x) {
            uint8_t* d = credits.Pixel(x, y);
            d[0] = d[1] = d[2] = x < kCreditColumnFrom ? 0 : 255;
            if (x < kCreditColumnFrom) d[2] = 255;
            if (x == 100) d[0] = d[1] = d[2] = 0;
        }
    Picture column;
    column.Resize(kEndingColumnWidth, 600);
    EndingRollFrame(credits, 300, column);
    EXPECT_EQ(At(column, 0, 299), (Bgr{0, 0, 0}));
    EXPECT_EQ(At(column, 0, 300), (Bgr{255, 255, 255}));  // credit column 64
    EXPECT_EQ(At(column, 36, 400), (Bgr{0, 0, 0}));       // credit column 100
    EXPECT_EQ(At(column, 255, 471), (Bgr{255, 255, 255}));
    EXPECT_EQ(At(column, 255, 500), (Bgr{198, 198, 198}));  // 2 x (599 - 500)
    EXPECT_EQ(At(column, 255, 599), (Bgr{0, 0, 0}));
    EndingRollFrame(credits, 1000, column);
    EXPECT_EQ(At(column, 10, 5), (Bgr{10, 10, 10}));
    EXPECT_EQ(At(column, 10, 127), (Bgr{254, 254, 254}));
    EXPECT_EQ(At(column, 10, 128), (Bgr{255, 255, 255}));
    EXPECT_EQ(At(column, 10, 399), (Bgr{255, 255, 255}));
    EXPECT_EQ(At(column, 10, 400), (Bgr{0, 0, 0}));  // past the picture's end
}

TEST(EndingRoll, ScrollsInTheRightColumnBesideTheBackgroundOnSchedule) {
    ExtrasGame g({{"main", "待つ▼\n"},
                  {"endroll", "20\ned01,0\ned02,2\n*\n　　　　ＳＴＡＦＦ\n\n　　　　ミナ\n*\n"}},
                 {});
    g.ToWait();
    TForm1& f = g.f();
    f.gfx.background = test::Solid(800, 600, kBlue);
    g.plat().surface().Fill(0x00FF00);
    g.Events("wait 3000\nscreenshot mid.png\n");
    const uint32_t t0 = g.plat().Now();
    EndingStaffRoll(f);
    // (600 + 3 x 32) / 2 steps of 20 ms.
    EXPECT_EQ(g.plat().Now() - t0, 348u * 20);
    Picture mid = g.Shot("mid.png");
    EXPECT_EQ(At(mid, 10, 10), kBlue);
    EXPECT_EQ(At(mid, 543, 590), kBlue);
    // After 150 steps the first line is at row 600 - 298.
    int left, top, right, bottom;
    ASSERT_TRUE(LitBox(mid, 0, 0, 800, 600, left, top, right, bottom));
    EXPECT_GE(left, kEndingColumnX);
    EXPECT_GE(top, 302);
    EXPECT_LT(top, 302 + 32);
    EXPECT_LT(bottom, 302 + 32 * 3);
    for (int y = 0; y < 600; ++y)
        for (int x = kEndingColumnX; x < 800; ++x) {
            const uint8_t v = mid.Pixel(x, y)[0];
            if (y >= 128 && y < 472) {
                ASSERT_TRUE(v == 0 || v == 255) << x << "," << y;
            }
        }
}

TEST(EndingRoll, ALateStepIsMadeUpAndOnlyAStallMovesTheSchedule) {
    EXPECT_EQ(NextRollDeadline(1000, 1000, 20), 1020u);
    EXPECT_EQ(NextRollDeadline(1020, 1055, 20), 1040u);  // 15 ms late: no sleep, back on time after
    EXPECT_EQ(NextRollDeadline(1040, 1250, 20), 1060u);  // ten steps behind still catches up
    EXPECT_EQ(NextRollDeadline(1060, 5000, 20), 5020u);  // a dialog held it: start again
}

TEST(EndingRoll, TheTitleReturnEndsIt) {
    ExtrasGame g({{"main", "待つ▼\n"}, {"STITLE", "タイトル▼\n"},
                  {"endroll", "20\ned01,0\ned02,2\n*\n　　　ＳＴＡＦＦ\n*\n"}},
                 {});
    g.ToWait();
    TForm1& f = g.f();
    f.vars.S[56] = 56;  // the next click returns to the title
    g.Events("wait 1000\nclick 400 300\n");
    const uint32_t t0 = g.plat().Now();
    EndingStaffRoll(f);
    EXPECT_LT(g.plat().Now() - t0, 3000u);  // of 316 steps of 20 ms
    EXPECT_TRUE(g.Traced("return to the title"));
}

TEST(EndingRoll, MissingOrMalformedTablesDoNothing) {
    ExtrasGame g({{"main", "待つ▼\n"}, {"endroll", "20\ned01,0\n"}}, {});
    g.ToWait();
    const uint32_t t0 = g.plat().Now();
    EndingStaffRoll(g.f());
    EXPECT_EQ(g.plat().Now(), t0);
    EXPECT_TRUE(g.Traced("endroll: no \"*\" line before the credits"));
}

// The credits are pictures; their lines reach the text outlets (feed,
// speech, screen readers) without the blanks that place them: the staff
// roll's blocks as pages as they show, the scrolling ones a group at a
// time (up to an empty line, four lines at most, the last group as soon as
// it is in sight) as they come into sight, and none of a scroll cut short
// beyond what showed.
TEST(CreditsText, EachSequenceTellsItsLinesAsTheyShow) {
    ExtrasGame g({{"main", "待つ▼\n"},
                  {"credits", "*RESET\n一行目\n　二行目　\n*PUT 1\n*WAIT 1\n\n三行目\n*PUT 0\n*ERA 0\n"},
                  {"endroll", "20\ned01,0\ned02,2\n*\n　　　　ＳＴＡＦＦ\n\n　　　　ミナ\nカイ\n*\n"},
                  {"sroll", "上\n一\n二\n三\n四\n" + std::string(30, '\n') + "下\n}\n"}},
                 {});
    g.ToWait();
    TForm1& f = g.f();
    test::HeardText heard;
    g.plat().textOutletsImpl = &heard;
    StaffRollCommand(f, "credits");
    EXPECT_EQ(heard.Of(TextKind::Narration, true),
              (std::vector<std::string>{"<page>", "一行目", "二行目", "<page>", "三行目", "<page>"}));
    heard.items.clear();
    heard.times.clear();
    heard.clock = &g.plat().clock();
    const uint32_t t0 = g.plat().Now();
    EndingStaffRoll(f);
    EXPECT_EQ(heard.Of(TextKind::Narration, true),
              (std::vector<std::string>{"<page>", "<page>", "ＳＴＡＦＦ", "<page>", "ミナ", "カイ", "<page>"}));
    // A line is in sight once it has risen clear of the bottom edge's fade,
    // 80 steps of 20 ms for the first and 16 more for each after it; a
    // group is told when the empty line after it is or, for the last, at once.
    ASSERT_EQ(heard.times.size(), 7u);
    EXPECT_EQ(heard.times[2] - t0, 96u * 20);
    EXPECT_EQ(heard.times[5] - t0, 128u * 20);
    heard.items.clear();
    heard.times.clear();
    // 37 lines of 24 rows; a click after 3 s (100 rows) ends it with the
    // first 27 lines seen: a group of four, then one of the fifth alone.
    SetBit(f.vars.F, kFBits, 999, true);
    g.Events("wait 3000\nclick 400 300\n");
    SceneScrollCommand(f);
    EXPECT_EQ(heard.Of(TextKind::Narration, true),
              (std::vector<std::string>{"<page>", "<page>", "上", "一", "二", "三", "<page>", "四", "<page>"}));
    g.plat().textOutletsImpl = nullptr;
}
