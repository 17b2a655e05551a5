// The scene rewind played on a tiny game: earlier pages with their own
// background, window style, yellow text and first voice, the limits of
// stepping, the way back to the story as it was, and a loaded game's
// history.
#include <gtest/gtest.h>

#include <string>

#include "backlog_game.h"
#include "save/slots.h"

using namespace velmora;
using namespace velmora::platform;
using test::BacklogGame;
using test::Is;

namespace {

// Four pages: red (normal window), blue (full-screen window), green (normal,
// with a voice) and the page that waits now, purple in the full-screen style.
const char kPages[] =
    "!S028=1\n"
    "*gra S800\n赤のページ\n\\\n"
    "*mode 1\n*gra S008\n青のページ\n\\\n"
    "*mode 0\n*gra S080\n*voice V1\n>ミナ\n緑のページ\n\\\n"
    "*mode 1\n*gra S808\n今のページ\n\\\n"
    "*gra S888\n後のページ\n\\\n";

const test::Bgr kRed = {0, 0, 128}, kBlue = {128, 0, 0}, kGreen = {0, 128, 0}, kPurple = {128, 0, 128};

// Text pixels in yellow and in white anywhere on the window.
int Count(const Picture& p, bool yellow) {
    int n = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const uint8_t* d = p.Pixel(x, y);
            if (d[1] > 200 && d[2] > 200 && (yellow ? d[0] < 60 : d[0] > 200)) ++n;
        }
    return n;
}

void ExpectPage(BacklogGame& g, test::Bgr colour, int mode, int pagesBack) {
    const Picture p = g.Canvas();
    EXPECT_TRUE(Is(p, 400, 100, colour));
    EXPECT_EQ(g.f().vars.S[150], mode);
    EXPECT_EQ(g.f().backlog.rewind.pagesBack, pagesBack);
    EXPECT_EQ(g.f().app.playMode, 9);
    EXPECT_GT(Count(p, true), 20);
    EXPECT_EQ(Count(p, false), 0);
}

}  // namespace

TEST(SceneRewind, EarlierPagesComeBackAndTheStoryAfterThem) {
    BacklogGame g(kPages);
    g.ToWait();
    for (int i = 0; i < 3; ++i) g.NextWait();
    TForm1& f = g.f();
    ASSERT_EQ(f.backlog.pageHistoryCount, 4);
    ASSERT_EQ(f.vars.S[150], 1);
    const size_t v1 = [&] {
        // The voice of the green page as it played there.
        PlaySound(f, "V1");
        return g.VoiceBytes();
    }();
    ASSERT_GT(v1, 0u);
    StopVoice(f);
    const Picture screen = f.gfx.screen;
    const std::string background = f.gfx.backgroundName;

    // The Left key shows the page before this one, with its voice.
    g.KeyDown(VK_LEFT);
    ExpectPage(g, kGreen, 0, 2);
    EXPECT_TRUE(f.ui.OverlayActive);
    EXPECT_EQ(g.VoiceBytes(), v1);
    EXPECT_TRUE(g.Traced("name plate ミナ (colour 4)"));
    // Back through the full-screen page to the first; no further.
    g.Wheel(120);
    ExpectPage(g, kBlue, 1, 3);
    g.KeyDown(VK_LEFT);
    ExpectPage(g, kRed, 0, 4);
    g.Wheel(120);
    ExpectPage(g, kRed, 0, 4);
    // The story does not go on meanwhile.
    g.Pass(10);
    EXPECT_EQ(f.backlog.pageHistoryCount, 4);
    // Forward by a click, the wheel, and past the newest rewound page.
    g.Press(mbLeft, 400, 100);
    ExpectPage(g, kBlue, 1, 3);
    g.Wheel(-120);
    ExpectPage(g, kGreen, 0, 2);
    g.KeyDown(VK_RIGHT);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_FALSE(f.ui.OverlayActive);
    EXPECT_EQ(f.vars.S[150], 1);
    EXPECT_EQ(f.vars.S[37], 0xFFFFFF);
    EXPECT_EQ(f.gfx.backgroundName, background);
    EXPECT_TRUE(Is(g.Canvas(), 400, 100, kPurple));
    EXPECT_EQ(f.gfx.screen.bytes, screen.bytes);

    // A right click ends a rewind from any depth; the game goes on.
    g.KeyDown(VK_LEFT);
    g.KeyDown(VK_LEFT);
    g.Press(mbRight, 400, 100);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_EQ(f.vars.S[150], 1);
    EXPECT_EQ(f.gfx.screen.bytes, screen.bytes);
    g.NextWait();
    EXPECT_EQ(f.backlog.pageHistoryCount, 5);
}

TEST(SceneRewind, ALoadedGameRewindsThroughItsOwnHistory) {
    BacklogGame g(kPages);
    g.ToWait();
    for (int i = 0; i < 3; ++i) g.NextWait();
    TForm1& f = g.f();
    ASSERT_TRUE(SaveGame(f, 1, true));
    g.NextWait();
    // Whatever the history held before the load goes.
    ClearBacklog(f);
    ASSERT_TRUE(LoadGame(f, 1, true));
    g.Pass(60);  // the scene comes back through its transition
    ASSERT_EQ(f.backlog.pageHistoryCount, 4);
    g.KeyDown(VK_LEFT);
    ExpectPage(g, kGreen, 0, 2);
    g.KeyDown(VK_LEFT);
    ExpectPage(g, kBlue, 1, 3);
    g.Press(mbRight, 400, 100);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_TRUE(Is(g.Canvas(), 400, 100, kPurple));
}

TEST(SceneRewind, RefusedOutsideTheStoryAndOnTheFirstPage) {
    BacklogGame g("*gra S800\n一\n\\\n二\n\\\n三\n\\\n");
    g.ToWait();
    TForm1& f = g.f();
    // The first page has nothing before it.
    f.vars.S[28] = 1;
    g.KeyDown(VK_LEFT);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_TRUE(g.Traced("rewind: scene rewind has no earlier page"));
    f.vars.S[28] = 0;
    g.NextWait();
    g.Wheel(120);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_TRUE(g.Traced("rewind: scene rewind refused, S028 is 0"));
    // Two pages recorded: the first comes back, and one step forward ends it.
    f.vars.S[28] = 1;
    g.Wheel(120);
    EXPECT_EQ(f.app.playMode, 9);
    g.KeyDown(VK_LEFT);
    EXPECT_EQ(f.backlog.rewind.pagesBack, 2);
    g.Wheel(-120);
    EXPECT_EQ(f.app.playMode, 0);
}

TEST(SceneRewind, HistoryColourBackgroundsReadTheirDigits) {
    BacklogGame g("!S028=1\n*gra S0G8\n一\n\\\n*gra S888\n二\n\\\n");
    g.ToWait();
    g.NextWait();
    g.KeyDown(VK_LEFT);
    EXPECT_TRUE(Is(g.Canvas(), 400, 100, {128, 255, 0}));
}
