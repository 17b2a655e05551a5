// obj_: stamps over the screen picture onto the window, clipped at every
// edge with the row ends left unblended, the frame-clock waits, fix, the
// off-screen buffer, reloading, refused numbers and the table surviving a
// load.
#include <gtest/gtest.h>

#include "app/engine.h"
#include "gfx/graphics_commands.h"
#include "save/slots.h"
#include "support/test_game.h"
#include "tools/picture_encoder.h"

namespace velmora {
namespace {

// A stacked object: colour (blue 200, green 100, red 50) over a fully
// opaque mask, w x h visible.
std::vector<uint8_t> ObjectEntry(int w, int h, uint8_t blue = 200) {
    Picture p;
    p.Resize(w, 2 * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* c = p.Pixel(x, y);
            c[0] = blue, c[1] = 100, c[2] = 50;
            std::memset(p.Pixel(x, h + y), 255, 3);
        }
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(tools::EncodePackedPicture(p, {}, out, error)) << error;
    return out;
}

class ScriptObjects : public ::testing::Test {
protected:
    void SetUp() override {
        g.Script("_config", "TITLE:t\nMAKER_REG:Software\\VelmoraTest\nGAME_ID:objects\nEND\n")
            .Script("main", "x\n")
            .Entry("vk_gra.vrk", "OBJ", ObjectEntry(10, 6))
            .Entry("vk_gra.vrk", "BIG", ObjectEntry(20, 4, 90));
        g.Build();
        e = std::make_unique<test::HeadlessEngine>(g.path());
        // A background whose every pixel differs from its neighbours.
        Picture& s = f().gfx.screen;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                uint8_t* d = s.Pixel(x, y);
                d[0] = static_cast<uint8_t>(x), d[1] = static_cast<uint8_t>(y), d[2] = static_cast<uint8_t>(x ^ y);
            }
        f().plat.surface().BlitWhole(s);
        clean = s;
    }
    TForm1& f() { return *e->f; }
    uint32_t Obj(const char* text) {
        const uint32_t t0 = e->plat.Now();
        ObjectCommand(f(), text);
        return e->plat.Now() - t0;
    }
    Picture Window() {
        Picture p;
        e->plat.ReadBack(p);
        return p;
    }
    // Whether pic shows the 10 x 6 object at (x, y) over the background:
    // colour bytes c give (c * 255) >> 8 over the first 24 bytes of a row,
    // the last two pixels and everything around keep the background.
    bool ShowsObject(const Picture& pic, int x, int y, uint8_t blue = 200) {
        const Picture& bg = clean;
        for (int py = 0; py < 600; ++py)
            for (int px = 0; px < 800; ++px) {
                const int c = px - x, j = py - y;
                const bool inside = c >= 0 && c < 8 && j >= 0 && j < 6;
                const uint8_t* got = pic.Pixel(px, py);
                const uint8_t want[3] = {static_cast<uint8_t>(blue * 255 >> 8), 99, 49};
                const uint8_t* expect = inside ? want : bg.Pixel(px, py);
                if (std::memcmp(got, expect, 3) != 0) {
                    ADD_FAILURE() << "pixel " << px << "," << py << " for an object at " << x << "," << y;
                    return false;
                }
            }
        return true;
    }

    test::TestGame g;
    std::unique_ptr<test::HeadlessEngine> e;
    Picture clean;  // the screen picture before any stamp
};

TEST_F(ScriptObjects, SetStampsOverTheScreenPictureOntoTheWindowOnly) {
    Obj("load 2,obj");
    const Picture screen = f().gfx.screen;
    // Keywords in any case; 30 bytes a row, 24 of them blended.
    EXPECT_EQ(Obj("SET 2,10,20"), 0u);
    EXPECT_TRUE(ShowsObject(Window(), 10, 20));
    EXPECT_EQ(f().gfx.screen.bytes, screen.bytes);
    // A stamp replaces the last one on the window only where it lands.
    f().plat.surface().BlitWhole(f().gfx.screen);
    f().vars.V[5] = 7;
    Obj("set 2,V005*10,V005+1");
    EXPECT_TRUE(ShowsObject(Window(), 70, 8));
    // Missing fields repeat the one before: "set 2" stamps at (2, 2).
    f().plat.surface().BlitWhole(f().gfx.screen);
    Obj("set 2");
    EXPECT_TRUE(ShowsObject(Window(), 2, 2));
}

TEST_F(ScriptObjects, StampsAreClippedAtEveryEdge) {
    Obj("load 0,OBJ");
    for (auto [x, y] : {std::pair{-4, -3}, {795, 597}, {-9, 300}, {400, -5}, {799, 599}, {-20, -20}, {800, 0}}) {
        f().plat.surface().BlitWhole(f().gfx.screen);
        Obj(("set 0," + std::to_string(x) + "," + std::to_string(y)).c_str());
        EXPECT_TRUE(ShowsObject(Window(), x, y));
        // The buffer clips the same way.
        Obj("b_make");
        Obj("b_reset");
        Obj(("b_set 0," + std::to_string(x) + "," + std::to_string(y)).c_str());
        EXPECT_TRUE(ShowsObject(f().gfx.objects.buffer, x, y));
    }
}

TEST_F(ScriptObjects, WaitsRunOnTheFrameClockEvenWithoutAnObject) {
    EXPECT_EQ(Obj("set 1,100,100,40"), 40u);  // a free slot draws nothing
    EXPECT_TRUE(ShowsObject(Window(), -100, -100));
    EXPECT_EQ(Obj("set 40,1,1,30"), 30u);  // outside 0 ... 31: refused, timing kept
    EXPECT_EQ(Obj("era 5,1,1,25"), 25u);
    EXPECT_EQ(Obj("set 1,1,1,-5"), 0u);  // never a wait of weeks
    EXPECT_EQ(Obj("set 1,1,1"), 0u);     // a wait only after a comma
    Obj("load 1,obj");
    EXPECT_EQ(Obj("fix 1,1,1,20"), 20u);
}

TEST_F(ScriptObjects, FixSurvivesARepaintUntilTheNextShowScene) {
    Obj("load 4,obj");
    Obj("fix 4,30,40");
    f().plat.surface().BlitWhole(clean);
    f().PBPaint();
    EXPECT_TRUE(ShowsObject(Window(), 30, 40));
    // A set stamp lives on the window only; era takes it off again.
    Obj("set 4,100,100");
    Obj("era 4,100,100");
    EXPECT_TRUE(ShowsObject(Window(), 30, 40));
    ShowScene(f());
    f().PBPaint();
    EXPECT_NE(Window().Pixel(31, 41)[0], 199);
    Obj("fix");  // no fields, and no byte read past the end of the text
}

TEST_F(ScriptObjects, TheBufferShowsAFrameOfSeveralObjectsAtOnce) {
    Obj("load 1,obj");
    Obj("b_set 1,5,5");  // before b_make: nothing
    Obj("b_show");
    EXPECT_TRUE(ShowsObject(Window(), -100, -100));
    Obj("b_make");
    Obj("b_reset");
    Obj("b_set 1,5,5");
    EXPECT_TRUE(ShowsObject(Window(), -100, -100));  // nothing on the window yet
    Obj("b_make");  // a second b_make keeps the buffer and its content
    Obj("b_show");
    EXPECT_TRUE(ShowsObject(Window(), 5, 5));
    Obj("b_end");
    EXPECT_FALSE(f().gfx.objects.bufferActive);
    Obj("b_show");
}

TEST_F(ScriptObjects, ReloadingResizesAndMissingPicturesKeepTheOldOne) {
    Obj("load 3,obj");
    EXPECT_EQ(f().gfx.objects.items[3].saveUnder.width, 10);
    EXPECT_EQ(f().gfx.objects.items[3].saveUnder.height, 6);
    Obj("load 3,big");
    EXPECT_EQ(f().gfx.objects.items[3].saveUnder.width, 20);
    EXPECT_EQ(f().gfx.objects.items[3].saveUnder.height, 4);
    Obj("load 3,nothing");
    EXPECT_EQ(f().gfx.objects.items[3].picture.width, 20);
    Obj("load 6,nothing");  // a new slot with no picture stamps nothing
    EXPECT_TRUE(f().gfx.objects.items[6].allocated);
    Obj("set 6,0,0");
    Obj("del 3");
    EXPECT_FALSE(f().gfx.objects.items[3].allocated);
    Obj("set 3,0,0");
    EXPECT_TRUE(ShowsObject(Window(), -100, -100));
    Obj("load -1,obj");
    Obj("load 32,obj");
    Obj("drop 1");
}

TEST_F(ScriptObjects, TheTableSurvivesALoadAndOnlyStartUpResetsIt) {
    Obj("load 9,obj");
    Obj("b_make");
    ASSERT_TRUE(SaveGame(f(), 1, true));
    ASSERT_TRUE(LoadGame(f(), 1, true));
    EXPECT_TRUE(f().gfx.objects.items[9].allocated);
    EXPECT_TRUE(f().gfx.objects.bufferActive);
    clean = f().gfx.screen;  // the loaded game's screen
    f().plat.surface().BlitWhole(clean);
    Obj("set 9,50,60");
    EXPECT_TRUE(ShowsObject(Window(), 50, 60));
    ResetObjects(f());
    EXPECT_FALSE(f().gfx.objects.items[9].allocated);
    EXPECT_FALSE(f().gfx.objects.bufferActive);
}

}  // namespace
}  // namespace velmora
