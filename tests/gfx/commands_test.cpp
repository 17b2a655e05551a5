// The drawing commands: argument scans, the no-redraw flag, side letters,
// sprite lists kept for saves, sprite moves, window shakes, and the close
// request during a gra transition.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "gfx/effects.h"
#include "gfx/graphics_commands.h"
#include "gfx_fixture.h"

namespace velmora {
namespace {

using test::ReadText;
using test::SamePixels;

class DrawingCommands : public test::GfxFixture {
protected:
    uint32_t Timed(void (*command)(TForm1&, const char*), const char* args) {
        uint32_t t0 = plat->Now();
        command(*f, args);
        return plat->Now() - t0;
    }
    bool CanvasIs(uint8_t b, uint8_t g, uint8_t r) {
        Picture p = Canvas();
        for (size_t i = 0; i < p.bytes.size(); i += 3)
            if (p.bytes[i] != b || p.bytes[i + 1] != g || p.bytes[i + 2] != r) return false;
        return true;
    }
};

TEST(ColourNames, DigitsGiveSixteenthsAndGGivesFull) {
    EXPECT_EQ(ColourFromName("S000"), 0u);
    EXPECT_EQ(ColourFromName("sggg"), 0xFFFFFFu);
    EXPECT_EQ(ColourFromName("SgA0"), 0x00A0FFu);  // red 255, green 160, blue 0
    EXPECT_EQ(ColourFromName("Sx9z"), 0x009000u);
    EXPECT_EQ(ColourFromName("S1"), 0x000010u);  // missing characters read 0
}

TEST_F(DrawingCommands, GrbThenBgChangesTheBackgroundWithoutRedrawing) {
    f->stepper.grbSelected = true;
    GraCommand(*f, "C00");  // grb sets the flag that bg obeys
    Picture before = Canvas();
    EXPECT_EQ(Timed(BgCommand, "Sggg,13"), 0u);
    EXPECT_TRUE(SamePixels(Canvas(), before));
    EXPECT_EQ(f->gfx.background.Pixel(5, 5)[0], 255);
    EXPECT_EQ(f->gfx.backgroundName, "Sggg");
    EXPECT_TRUE(f->gfx.backgroundChanged);
}

TEST_F(DrawingCommands, GraColourRedrawsWithItsTransitionAndClearsTheSprites) {
    f->gfx.spriteNames[0] = "B01";
    f->gfx.spriteCount = 1;
    f->gfx.spriteList = "B01";
    f->stepper.grbSelected = false;
    uint32_t t0 = plat->Now();
    EXPECT_EQ(GraCommand(*f, "S0g0 6"), 0);
    EXPECT_EQ(plat->Now() - t0, 130u);
    EXPECT_TRUE(CanvasIs(0, 255, 0));
    EXPECT_EQ(f->gfx.spriteCount, 0);
    EXPECT_TRUE(f->gfx.spriteNames[0].empty());
    EXPECT_TRUE(f->gfx.spriteList.empty());
}

TEST_F(DrawingCommands, GraWithAnotherLetterDrawsNothing) {
    Picture before = Canvas();
    f->gfx.backgroundName = "A01";
    EXPECT_EQ(GraCommand(*f, "C01,6"), 0);
    EXPECT_TRUE(SamePixels(Canvas(), before));
    EXPECT_EQ(f->gfx.backgroundName, "A01");
}

TEST_F(DrawingCommands, SideLettersPlaceTheSpriteInThePairLayout) {
    f->stepper.grbSelected = true;
    f->gfx.spriteNames[0] = "B01";
    f->gfx.spriteCount = 1;
    GraCommand(*f, "B02 L");
    EXPECT_EQ(f->gfx.spriteList, "B02,");
    f->gfx.spriteNames[0] = "B01";
    f->gfx.spriteNames[1].clear();
    f->gfx.spriteCount = 1;
    GraCommand(*f, "b03,r");
    // The centred sprite goes; the new one stands on the right.
    EXPECT_EQ(f->gfx.spriteList, ",b03");
    GraCommand(*f, "B04 3");
    EXPECT_EQ(f->gfx.spriteList, "B04");
}

TEST_F(DrawingCommands, ClrbWithASideKeepsTheOtherSpriteInPlace) {
    f->gfx.spriteNames[0] = "B01";
    f->gfx.spriteNames[1] = "B02";
    f->gfx.spriteCount = 2;
    ClrbCommand(*f, "L");
    EXPECT_TRUE(f->gfx.spriteNames[0].empty());
    EXPECT_EQ(f->gfx.spriteNames[1], "B02");
    EXPECT_EQ(f->gfx.spriteCount, 2);
    EXPECT_EQ(f->gfx.spriteList, ",B02");
    EXPECT_EQ(Timed(ClrbCommand, "6"), 130u);
    EXPECT_EQ(f->gfx.spriteCount, 0);
    EXPECT_TRUE(f->gfx.spriteNames[1].empty());
}

TEST_F(DrawingCommands, OvrOffInAnyCaseTurnsTheOverlayOff) {
    f->vars.S[35] = 1;
    EXPECT_EQ(Timed(OvrCommand, "off,0,12,34"), 0u);
    EXPECT_EQ(f->vars.S[35], 0);
    EXPECT_EQ(f->vars.S[21], 12);
    EXPECT_EQ(f->vars.S[22], 34);
    // Without a transition the overlay fades in with 6.
    EXPECT_EQ(Timed(OvrCommand, "OFF"), 130u);
}

TEST_F(DrawingCommands, ScrollWithoutItsPictureEndsAtOnce) {
    EXPECT_EQ(Timed(ScrollCommand, "NOPIC,0,10,6"), 0u);
    EXPECT_EQ(f->app.playMode, 0);
}

TEST_F(DrawingCommands, SprmvWithDurationZeroLeavesThatSpriteAtItsStart) {
    GameinitSprites(*f);
    EXPECT_EQ(Timed(SprmvCommand, "B01,100,7,0,B02,700,9,10"), 300u);
    EXPECT_EQ(f->vars.S[81], 250);
    EXPECT_EQ(f->vars.S[91], 0);
    EXPECT_EQ(f->vars.S[82], 700);
    EXPECT_EQ(f->vars.S[92], 9);
    EXPECT_EQ(f->gfx.spriteList, "B01,B02");
    EXPECT_FALSE(f->flags.busy);
    EXPECT_EQ(f->vars.S[19], 0);
}

TEST_F(DrawingCommands, SprmvClickJumpsToTheTargets) {
    GameinitSprites(*f);
    Events("wait 100\nclick 5 5\n");
    uint32_t t = Timed(SprmvCommand, "B01,0,0,100");
    EXPECT_LT(t, 3000u);
    EXPECT_EQ(f->vars.S[80], 0);
    EXPECT_EQ(f->vars.S[19], 1);
}

TEST_F(DrawingCommands, SprmvLeavesTheWindowToBeBuiltOnTheMovedScene) {
    GameinitSprites(*f);
    f->gfx.background.Resize(800, 600);
    OldPattern(f->gfx.background);
    ComposeScene(*f);
    BuildWindowBackground(*f);  // the window holds the scene before the move
    ASSERT_TRUE(f->text.windowValid);
    NewPattern(f->gfx.background);
    SprmvCommand(*f, "B01,100,0,2");
    OpenWindow(*f);
    for (int y = 0; y < 170; ++y)
        ASSERT_EQ(std::memcmp(f->gfx.messageWindow.Row(y), f->gfx.scene.Row(430 + y), 2400), 0) << y;
    for (int y = 0; y < 170; ++y)
        ASSERT_EQ(std::memcmp(f->gfx.screen.Row(430 + y), f->gfx.scene.Row(430 + y), 2400), 0) << y;
}

TEST_F(DrawingCommands, SprmvNeedsGroupsOfFourOrInit) {
    GameinitSprites(*f);
    f->vars.S[80] = 5;
    EXPECT_EQ(Timed(SprmvCommand, "B01,100,0"), 0u);
    EXPECT_EQ(f->vars.S[80], 5);
    SprmvCommand(*f, "init");
    EXPECT_EQ(f->vars.S[80], 400);
    EXPECT_EQ(f->vars.S[89], 700);
    // Five sprites have no layout.
    EXPECT_EQ(Timed(SprmvCommand, "A,1,1,1,B,1,1,1,C,1,1,1,D,1,1,1,E,1,1,1"), 0u);
    EXPECT_EQ(f->vars.S[90], 0);
}

TEST_F(DrawingCommands, ShakeMovesTheWindowAndPutsItBack) {
    plat->window().Move(100, 200);
    // Amplitude 20 down by 2 a frame: ten frames of 50 ms.
    EXPECT_EQ(Timed(ShakeCommand, ""), 500u);
    EXPECT_EQ(plat->window().Left(), 100);
    EXPECT_EQ(plat->window().Top(), 200);
    EXPECT_EQ(Timed(ShakeCommand, "2,8,10"), 40u);
    EXPECT_EQ(plat->window().Left(), 100);
    EXPECT_EQ(plat->window().Top(), 200);
}

TEST_F(DrawingCommands, PtsetClipsAndKeysOutCyan) {
    Picture& parts = f->gfx.parts;
    parts.Resize(20, 20);
    FillPicture(parts, 0x0000FF);  // red
    for (int y = 0; y < 20; ++y)
        for (int x = 10; x < 20; ++x) {
            uint8_t* p = parts.Pixel(x, y);
            p[0] = 255, p[1] = 255, p[2] = 0;  // cyan: transparent
        }
    Picture before = Canvas();
    // A rectangle from x -5 of the sheet to window x -3: sheet x 0 lands
    // on window x 2; the bottom rows fall off the window.
    PtsetCommand(*f, "-5,0,30,10,-3,590");
    Picture p = Canvas();
    EXPECT_EQ(p.Pixel(2, 590)[2], 255);
    EXPECT_EQ(p.Pixel(11, 599)[2], 255);  // sheet x 9, the last red one
    EXPECT_EQ(p.Pixel(12, 595)[0], before.Pixel(12, 595)[0]);  // cyan leaves the window as it was
    EXPECT_EQ(p.Pixel(1, 590)[0], before.Pixel(1, 590)[0]);
    EXPECT_EQ(p.Pixel(2, 589)[0], before.Pixel(2, 589)[0]);
}

TEST_F(DrawingCommands, DirectStampsThePartsSheetAndWaits) {
    f->gfx.parts.Resize(10, 10);
    FillPicture(f->gfx.parts, 0xFFFFFF);
    f->stepper.ScriptRunning = true;
    EXPECT_EQ(Timed(DirectCommand, "NOPIC,120,795,0"), 120u);
    Picture p = Canvas();
    EXPECT_EQ(p.Pixel(799, 9)[1], 255);
    EXPECT_TRUE(f->stepper.ScriptRunning);
}

TEST(GraCloseRequest, AsksToQuitAndQuitsOnOk) {
    test::TestGame game;
    game.Script("_config", "TITLE:t\nMAKER_REG:Software\\T\nGAME_ID:t\n");
    game.Script("main", "*gra Sggg 13\nnext▼\n");
    game.Build();
    game.dir().Write("events.txt", std::string("wait 1000\nclose\nwait 5000\n"));
    std::string output;
    std::string trace = game.dir().File("trace.txt");
    ASSERT_EQ(test::RunVelmora("--headless --game " + game.path() + " --events " + game.dir().File("events.txt") +
                                   " --trace " + trace,
                               &output),
              0)
        << output;
    EXPECT_NE(output.find("確認: ゲームを終了しますか？"), std::string::npos) << output;
    // OK set the quit request: the engine closed its window itself.
    EXPECT_NE(ReadText(trace).find("command gra : result 1"), std::string::npos);
}

}  // namespace
}  // namespace velmora
