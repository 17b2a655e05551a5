// The picture viewer: seen pictures across runs, plates and per-cent
// digits, set buttons, the scrolling full view, scene replays, the music
// room, and tables an author got wrong.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/sound.h"
#include "extras/gallery.h"
#include "extras_game.h"
#include "../audio/sound_data.h"
#include "script/variables.h"
#include "ui/input.h"

namespace velmora::test {
namespace {

const char kView[] =
    ":VIEW_0\n"
    "M1:700,0,750,40\n"
    "M3:750,0,800,40\n"
    "}\n"
    ":VIEW_1\n"
    "TYPE:0\n"
    "GRA:PG_N,PG_H\n"
    "PLATE:PLATE\n"
    "PLATE2:PLATE2\n"
    "SET:2\n"
    "THM_SIZE:100,75\n"
    "NEXT:700,500,800,550\n"
    "PREV:600,500,700,550\n"
    "EXIT:700,550,800,600\n"
    "P0:0,500,50,550,0,0,1\n"
    "1:100,100\n"
    "2:250,100\n"
    "3:400,100\n"
    "}\n"
    "{\n"
    "1:AP1,AP2,AP3\n"
    "2:AP4\n"
    "}\n"
    "{\n"
    "1:ATALL\n"
    "}\n"
    ":VIEW_2\n"
    "TYPE:1\n"
    "GRA:PG_N,PG_H\n"
    "PLATE:PLATE\n"
    "SET:1\n"
    "THM_SIZE:100,75\n"
    "EXIT:700,550,800,600\n"
    "1:100,100\n"
    "2:250,100\n"
    "}\n"
    "{\n"
    "1:5,SCENE1:PART,最初の場面\n"
    "2:6,SCENE2,二番目\n"
    "}\n"
    ":VIEW_3\n"
    "TYPE:3\n"
    "GRA:PG_N,PG_H\n"
    "SET:1\n"
    "THM_SIZE:100,75\n"
    "NEXT:700,500,800,550\n"
    "PREV:600,500,700,550\n"
    "EXIT:700,550,800,600\n"
    "1:100,100\n"
    "2:250,100\n"
    "}\n"
    "{\n"
    "}\n";

// Digit d of "sys_vwnum" in blue 10 + 20 d, fully opaque.
Picture Digits() {
    Picture p = Filled(64, 320, 255, 255, 255);
    for (int d = 0; d < 10; ++d) CopyPicture(p, Filled(32, 32, static_cast<uint8_t>(10 + 20 * d), 0, 0), 0, 32 * d);
    return p;
}
uint8_t DigitBlue(int d) { return static_cast<uint8_t>((10 + 20 * d) * 255 >> 8); }

// Row y of the tall picture has blue y / 8 and green y % 256.
Picture Tall() {
    Picture p;
    p.Resize(800, 1200);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 800; ++x) p.Pixel(x, y)[0] = static_cast<uint8_t>(y / 8), p.Pixel(x, y)[1] = static_cast<uint8_t>(y);
    return p;
}

void Build(ExtrasGame& g, const std::string& main, const std::string& view = kView) {
    g.Script("main", main).Script("view", view);
    g.Script("SCENE1", "見えない\n:PART\n*gra AP1\n回想の中▼\n*exit\n");
    g.Pic("PG_N", Filled(800, 600, 50, 50, 50)).Pic("PG_H", Filled(800, 600, 200, 200, 200));
    g.Pic("PG_N2", Filled(800, 600, 60, 60, 60)).Pic("PG_H2", Filled(800, 600, 210, 210, 210));
    g.Pic("PLATE", Plate(100, 75, 0, 0, 220)).Pic("PLATE2", Plate(100, 75, 220, 0, 0));
    g.Pic("sys_vwnum", Digits());
    for (const char* n : {"AP1", "AP2", "AP3", "AP4"}) g.Pic(n, Filled(800, 600, 0, 100, 0));
    g.Pic("ATALL", Tall());
}

TEST(Gallery, PicturesSeenInPlaySurviveARestartAndShowUncovered) {
    ExtrasGame g;
    Build(g, "*gra AP2\n*bg AP4\n一▼\n");
    g.Start();
    g.ToWait();
    EXPECT_EQ(g.f().extras.gallery.GalleryList.size(), 5u);
    g.Start();
    EXPECT_TRUE(PictureSeenBit(g.f(), 1));
    EXPECT_TRUE(PictureSeenBit(g.f(), 3));
    EXPECT_FALSE(PictureSeenBit(g.f(), 0));
    g.ToWait();
    StartViewer(g.f(), "view_1");
    const GalleryState& gs = g.f().extras.gallery;
    ASSERT_TRUE(gs.open);
    EXPECT_EQ(g.f().app.playMode, 6);
    EXPECT_EQ(g.f().vars.S[0], 2);
    EXPECT_EQ(gs.view.totalSeen, 2);
    EXPECT_EQ(gs.view.totalVariants, 5);
    Picture c = g.Canvas();
    // Slot 1: one of three seen, under PLATE2; slot 2 all seen: the page itself.
    EXPECT_TRUE(PixelIs(c, 150, 130, 220 * 255 >> 8, 0, 0));
    EXPECT_TRUE(PixelIs(c, 300, 130, 50, 50, 50));
    EXPECT_TRUE(PixelIs(c, 450, 130, 50, 50, 50));  // no slot in this set
    // 2 of 5: "40" at x 54 and 88; nothing at x 20.
    EXPECT_TRUE(PixelIs(c, 60, 80, DigitBlue(4), 0, 0));
    EXPECT_TRUE(PixelIs(c, 94, 80, DigitBlue(0), 0, 0));
    EXPECT_TRUE(PixelIs(c, 26, 80, 50, 50, 50));
    // The next set: its one picture is unseen and under PLATE.
    g.Press(platform::mbLeft, 750, 520);
    EXPECT_EQ(gs.currentSet, 1);
    EXPECT_TRUE(PixelIs(g.Canvas(), 150, 130, 0, 0, 220 * 255 >> 8));
    // The next from the last set is the first; the previous from the first the last.
    g.Press(platform::mbLeft, 750, 520);
    EXPECT_EQ(gs.currentSet, 0);
    g.Press(platform::mbLeft, 650, 520);
    EXPECT_EQ(gs.currentSet, 1);
}

TEST(Gallery, TheListFollowsTheTableLineByLine) {
    // Slot 2 before slot 1, and slot 1 again: the list and the seen bits
    // follow the lines, and the repeated slot adds its pictures.
    const std::string view = std::string(kView).replace(std::string(kView).find("1:AP1,AP2,AP3\n2:AP4\n"),
                                                        std::strlen("1:AP1,AP2,AP3\n2:AP4\n"),
                                                        "2:AP4\n1:AP1,AP2\n1:AP3\n");
    ExtrasGame g;
    Build(g, "*gra AP1\n一▼\n", view);
    g.Start();
    g.ToWait();
    const std::vector<std::string>& list = g.f().extras.gallery.GalleryList;
    EXPECT_EQ(list, (std::vector<std::string>{"AP4", "AP1", "AP2", "AP3", "ATALL"}));
    EXPECT_TRUE(PictureSeenBit(g.f(), 1));
    EXPECT_FALSE(PictureSeenBit(g.f(), 0));
    // The viewer counts the same way: slot 1 (its last line, AP3) unseen.
    StartViewer(g.f(), "VIEW_1");
    EXPECT_EQ(g.f().extras.gallery.view.totalSeen, 1);
    EXPECT_EQ(g.f().extras.gallery.view.totalVariants, 5);
}

TEST(Gallery, CompletionDigits) {
    EXPECT_EQ(CompletionDigits(0, 5), "0");
    EXPECT_EQ(CompletionDigits(37, 120), "30");
    EXPECT_EQ(CompletionDigits(5, 120), "4");
    EXPECT_EQ(CompletionDigits(120, 120), "100");
    EXPECT_EQ(CompletionDigits(0, 0), "100");
}

TEST(Gallery, CgfullShowsEverythingAndOneHundred) {
    ExtrasGame g;
    Build(g, "*cgfull\n*viewer VIEW_1\n");
    g.Start();
    g.Pass(5);
    ASSERT_TRUE(g.f().extras.gallery.open);
    Picture c = g.Canvas();
    EXPECT_TRUE(PixelIs(c, 26, 80, DigitBlue(1), 0, 0));
    EXPECT_TRUE(PixelIs(c, 60, 80, DigitBlue(0), 0, 0));
    EXPECT_TRUE(PixelIs(c, 94, 80, DigitBlue(0), 0, 0));
    EXPECT_TRUE(PixelIs(c, 150, 130, 50, 50, 50));
}

TEST(Gallery, SetAndPageButtonsActOnlyInTheirRange) {
    ExtrasGame g;
    Build(g, "一▼\n");
    g.Start();
    g.ToWait();
    StartViewer(g.f(), "VIEW_1");
    const ViewerPage& v = g.f().extras.gallery.view;
    EXPECT_EQ(ViewerHitTest(v, 0, 10, 510), kViewerSetButtonBase + 0);
    EXPECT_EQ(ViewerHitTest(v, 1, 10, 510), 0);
    // The page button of the page shown does nothing; another page's does.
    EXPECT_EQ(ViewerHitTest(v, 0, 710, 10), 0);
    EXPECT_EQ(ViewerHitTest(v, 0, 760, 10), kViewerPageButtonBase + 3);
    // Unseen slots and slot positions outside a thumbnail are not hit.
    EXPECT_EQ(ViewerHitTest(v, 0, 150, 130), 0);
    g.Press(platform::mbLeft, 10, 510);
    EXPECT_EQ(g.f().extras.gallery.currentSet, 1);
    g.Press(platform::mbLeft, 10, 510);
    EXPECT_EQ(g.f().extras.gallery.currentSet, 1);
    // To the music room and back out of it.
    g.Press(platform::mbLeft, 760, 10);
    EXPECT_EQ(g.f().extras.gallery.view.name, "VIEW_3");
}

TEST(Gallery, ATallPictureOpensAtItsBottomAndScrollsTwentyRowsPerFrame) {
    ExtrasGame g;
    Build(g, "*cgfull\n一▼\n");
    g.Start();
    g.ToWait();
    StartViewer(g.f(), "VIEW_1");
    GalleryState& gs = g.f().extras.gallery;
    g.Press(platform::mbLeft, 750, 520);
    g.Press(platform::mbLeft, 150, 130);
    ASSERT_TRUE(gs.fullView);
    Picture c = g.Canvas();
    EXPECT_EQ(c.Pixel(0, 0)[1], static_cast<uint8_t>(600));
    EXPECT_EQ(c.Pixel(0, 0)[0], 600 / 8);
    const uint32_t t0 = g.plat().Now();
    g.Press(platform::mbLeft, 150, 130);
    const uint32_t took = g.plat().Now() - t0;
    // 600 rows at 20 rows per 30 ms frame.
    EXPECT_GE(took, 870u);
    EXPECT_LE(took, 960u);
    c = g.Canvas();
    EXPECT_EQ(c.Pixel(0, 0)[0], 0);
    EXPECT_EQ(c.Pixel(0, 599)[0], 599 / 8);
    g.Press(platform::mbLeft, 150, 130);
    EXPECT_EQ(g.Canvas().Pixel(0, 0)[0], 600 / 8);
    // A right press closes the full view, and the screen is 800 x 600 again.
    g.Press(platform::mbRight, 150, 130);
    EXPECT_FALSE(gs.fullView);
    EXPECT_EQ(g.f().gfx.screen.height, 600);
    EXPECT_TRUE(PixelIs(g.Canvas(), 150, 130, 50, 50, 50));
}

TEST(Gallery, AOneOfThreeSlotShowsItsSeenPictureAtEveryClick) {
    ExtrasGame g;
    Build(g, "*gra AP2\n一▼\n");
    g.Start();
    g.ToWait();
    StartViewer(g.f(), "VIEW_1");
    g.Press(platform::mbLeft, 150, 130);
    g.Press(platform::mbLeft, 150, 130);
    g.Press(platform::mbLeft, 150, 130);
    EXPECT_EQ(Count(g.Trace(), "full view of AP2"), 3) << g.Trace();
    EXPECT_EQ(Count(g.Trace(), "full view of AP1"), 0);
}

TEST(Gallery, ASceneReplayReturnsToThePageAndLeavingContinuesTheScript) {
    ExtrasGame g;
    Build(g, "一▼\n*viewer VIEW_2\n戻った▼\n");
    g.Start();
    g.ToWait();
    SetBit(g.f().vars.E, kEBits, 5, true);
    g.NextWait();
    TForm1& f = g.f();
    ASSERT_EQ(f.app.playMode, 6);
    // The locked scene cannot be picked; the open one replays from its label.
    g.Press(platform::mbLeft, 300, 130);
    EXPECT_EQ(f.app.playMode, 6);
    g.Press(platform::mbLeft, 150, 130);
    EXPECT_EQ(f.app.replayContext, 1) << g.Trace();
    EXPECT_EQ(f.app.playMode, 0);
    g.ToWait();
    EXPECT_TRUE(g.BacklogHas("回想の中"));
    EXPECT_FALSE(g.BacklogHas("見えない"));
    g.NextWait();
    EXPECT_EQ(f.app.replayContext, 0);
    EXPECT_EQ(f.app.playMode, 6);
    EXPECT_STREQ(f.loader.currentScript, "main");
    g.Press(platform::mbLeft, 750, 570);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_EQ(f.vars.S[0], 1);
    g.ToWait();
    EXPECT_TRUE(g.BacklogHas("戻った"));
}

TEST(Gallery, MusicRoomButtonsReachTheMixer) {
    ExtrasGame g;
    Build(g, "一▼\n*viewer VIEW_3\n");
    g.Entry("vk_bgm.vrk", "M02", MusicEntry(CodedNoise(50000, 1), 1, 2205, 0, 0, 0));
    g.Start();
    g.ToWait();
    g.NextWait();
    TForm1& f = g.f();
    ASSERT_EQ(f.app.playMode, 6);
    EXPECT_EQ(f.audio.requestedTrack, 0);  // a music room starts silent
    g.Press(platform::mbLeft, 300, 130);
    EXPECT_EQ(f.audio.requestedTrack, 2);
    EXPECT_TRUE(g.plat().headlessMixer.HasBuffer(kSlotMusic));
    g.Press(platform::mbLeft, 650, 520);  // PREV stops
    EXPECT_EQ(f.audio.requestedTrack, 0);
    g.Press(platform::mbLeft, 750, 520);  // NEXT plays the last track again
    EXPECT_EQ(f.audio.requestedTrack, 2);
    g.Press(platform::mbLeft, 150, 130);
    g.Press(platform::mbLeft, 750, 520);  // NEXT while a track plays: nothing
    EXPECT_EQ(f.audio.requestedTrack, 1);
    g.Press(platform::mbLeft, 750, 570);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_EQ(f.audio.requestedTrack, 0);
}

TEST(Gallery, ADamagedTableIsTracedAndShowsWhatItCan) {
    ExtrasGame g;
    const std::string view =
        ":VIEW_0\n}\n:VIEW_1\nTYPE:0\nGRA:PG_N,NOSUCH\nPLATE:NOPLATE\nSET:500\nBOGUS:1\n60:5,5\nP40:0,0,1,1\n"
        "THM_SIZE:100,75\nEXIT:700,550,800,600\n1:100,100\n}\n{\n1:AP1\n99:AP2\n}\n";
    Build(g, "一▼\n*viewer VIEW_9\n二▼\n", view);
    g.Start();
    g.ToWait();
    StartViewer(g.f(), "VIEW_1");
    const std::string t = g.Trace();
    EXPECT_NE(t.find("view VIEW_1 line 8: unknown key \"BOGUS:1\""), std::string::npos) << t;
    EXPECT_NE(t.find("line 9: bad slot"), std::string::npos) << t;
    EXPECT_NE(t.find("line 10: bad set button"), std::string::npos) << t;
    EXPECT_NE(t.find("line 7: too many sets"), std::string::npos) << t;
    EXPECT_NE(t.find("line 17: slot out of range"), std::string::npos) << t;
    EXPECT_NE(t.find("only 1 of 100 set blocks"), std::string::npos) << t;
    EXPECT_NE(t.find("plate NOPLATE missing"), std::string::npos) << t;
    ASSERT_TRUE(g.f().extras.gallery.open);
    g.Press(platform::mbLeft, 750, 570);
    EXPECT_EQ(g.f().app.playMode, 0);
    // A page the table does not have: the script goes on, the menus as they were.
    g.NextWait();
    EXPECT_TRUE(g.Traced("view VIEW_9: the table has no section for this page"));
    EXPECT_TRUE(g.BacklogHas("二"));
    EXPECT_FALSE(g.f().extras.gallery.open);
    for (const auto& it : g.f().ui.PopupMenu3.items)
        if (it.name == "N5") {
            EXPECT_TRUE(it.enabled);
        }
}

}  // namespace
}  // namespace velmora::test

namespace velmora::test {
namespace {

TEST(Gallery, TheTitleReachedFromAReplayLetsTheViewerOpenAgain) {
    ExtrasGame g;
    Build(g, "一▼\n*viewer VIEW_2\n");
    g.Start();
    g.ToWait();
    SetBit(g.f().vars.E, kEBits, 5, true);
    g.NextWait();
    g.Press(platform::mbLeft, 150, 130);
    ASSERT_EQ(g.f().app.replayContext, 1);
    ReturnToTitle(g.f());
    EXPECT_EQ(g.f().app.replayContext, 0);
    ViewerCommand(g.f(), "VIEW_1");
    EXPECT_EQ(g.f().app.playMode, 6);
    EXPECT_EQ(g.f().extras.gallery.view.name, "VIEW_1");
}

}  // namespace
}  // namespace velmora::test

namespace velmora::test {
namespace {

TEST(Gallery, AHighlightDropsBelowHalfWhenThePointerLeavesAndFadesOut) {
    ExtrasGame g;
    Build(g, "*cgfull\n一▼\n");
    g.Start();
    g.ToWait();
    StartViewer(g.f(), "VIEW_1");
    g.Move(300, 130);
    EXPECT_TRUE(PixelIs(g.Canvas(), 300, 130, 200, 200, 200));
    g.Move(500, 400);
    g.Pass();
    // Weight 8 x 15 of the lit page over the normal one.
    const uint8_t v = static_cast<uint8_t>((200 * 120 + 50 * 136) >> 8);
    EXPECT_TRUE(PixelIs(g.Canvas(), 300, 130, v, v, v));
    g.Pass(15);
    EXPECT_TRUE(PixelIs(g.Canvas(), 300, 130, 50, 50, 50));
    EXPECT_EQ(g.f().extras.gallery.glow[2], 0);
}

}  // namespace
}  // namespace velmora::test

namespace velmora::test {

// The gallery answers the pointer alone: the arrows walk its cells and
// buttons as the pointer would (the one reached lit), Enter clicks and
// Escape leaves the full view as the right button does.
TEST(Gallery, ArrowsWalkTheCellsEnterOpensEscapeGoesBack) {
    ExtrasGame g;
    Build(g, "*cgfull\n一▼\n");
    g.Start();
    g.ToWait();
    StartViewer(g.f(), "VIEW_1");
    TForm1& f = g.f();
    GalleryState& gs = f.extras.gallery;
    uint16_t right = platform::VK_RIGHT, left = platform::VK_LEFT, down = platform::VK_DOWN, up = platform::VK_UP;
    g.Move(5, 300);  // on nothing: the first thing in reading order, the page button top right
    f.FormKeyDown(down, 0);
    EXPECT_EQ(gs.hovered, kViewerPageButtonBase + 3);
    g.Move(150, 130);
    EXPECT_EQ(gs.hovered, 1);
    f.FormKeyDown(right, 0);
    EXPECT_EQ(gs.hovered, 2);
    f.FormKeyDown(left, 0);
    EXPECT_EQ(gs.hovered, 1);
    f.FormKeyDown(down, 0);  // the page button below
    EXPECT_EQ(gs.hovered, kViewerSetButtonBase);
    f.FormKeyDown(up, 0);
    EXPECT_EQ(gs.hovered, 1);
    char enter = '\r', escape = 27;
    f.FormKeyPress(enter);
    ASSERT_TRUE(gs.fullView);
    f.FormKeyPress(escape);
    EXPECT_FALSE(gs.fullView);
}

}  // namespace velmora::test
