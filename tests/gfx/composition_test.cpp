#include <gtest/gtest.h>

#include "gfx/composition.h"
#include "support/test_game.h"
#include "tools/picture_encoder.h"

using namespace velmora;

namespace {

using Bytes = std::vector<uint8_t>;

Picture Filled(int w, int h, uint8_t v) {
    Picture p;
    p.Resize(w, h);
    std::fill(p.bytes.begin(), p.bytes.end(), v);
    return p;
}

// A side-by-side sprite w x h of one grey value, fully opaque.
Picture Sprite(int w, int h, uint8_t v) {
    Picture p = Filled(2 * w, h, 255);
    for (int y = 0; y < h; ++y) std::fill_n(p.Row(y), w * 3, v);
    return p;
}

Bytes Packed(const Picture& p) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(tools::EncodePackedPicture(p, {}, out, error)) << error;
    return out;
}

struct Scene : ::testing::Test {
    test::TestGame game;
    std::unique_ptr<test::HeadlessEngine> engine;
    TForm1* f = nullptr;

    void SetUp() override {
        game.Script("main", "; nothing\n");
        game.Entry("vk_gra.vrk", "A_BG", Packed(Filled(800, 600, 10)));
        for (int i = 1; i <= 6; ++i)
            game.Entry("vk_gra.vrk", "B" + std::to_string(i), Packed(Sprite(40, 30, static_cast<uint8_t>(20 * i))));
        game.Entry("vk_gra.vrk", "O_OVR", Packed(Filled(20, 10, 250)));
        game.Build();
        engine = std::make_unique<test::HeadlessEngine>(game.path());
        f = engine->f.get();
        ASSERT_TRUE(LoadPicture(*f, "a_bg", f->gfx.background));
        int32_t* S = f->vars.S;
        const int xs[10] = {400, 250, 550, 200, 400, 600, 100, 300, 500, 700};
        for (int i = 0; i < 10; ++i) {
            S[80 + i] = xs[i];
            S[90 + i] = 100;
        }
    }
    // What the scene shows at (x, y), first byte.
    int At(int x, int y) { return f->gfx.scene.Pixel(x, y)[0]; }
    // The sprite of grey v drawn through mask 255.
    static int Drawn(int v) { return (v * 255) >> 8; }
};

}  // namespace

TEST_F(Scene, ListRulesDecideCountAndTransition) {
    GfxState& g = f->gfx;
    EXPECT_EQ(SetSprites(*f, "b1,b2,5"), 5);
    EXPECT_EQ(g.spriteCount, 2);
    EXPECT_EQ(SetSprites(*f, "b1,b2,"), 1);
    EXPECT_EQ(g.spriteCount, 3);
    ComposeScene(*f);
    // Positions 0 and 1 of the three-sprite layout (x 200 and 400).
    EXPECT_EQ(At(200, 110), Drawn(20));
    EXPECT_EQ(At(400, 110), Drawn(40));
    EXPECT_EQ(At(600, 110), 10);
    // "-" keeps position 0 and replaces position 1.
    EXPECT_EQ(SetSprites(*f, "-,b3"), 1);
    EXPECT_EQ(g.spriteNames[0], "B1");
    EXPECT_EQ(g.spriteNames[1], "B3");
    EXPECT_EQ(g.spriteCount, 2);
    // Five names draw nothing.
    SetSprites(*f, "b1,b2,b3,b4,b5");
    EXPECT_EQ(g.spriteCount, 5);
    ComposeScene(*f);
    EXPECT_EQ(At(400, 110), 10);
    EXPECT_EQ(At(100, 110), 10);
    // ... and a trailing comma cannot open a sixth position.
    SetSprites(*f, "b1,b2,b3,b4,b5,");
    EXPECT_EQ(g.spriteCount, 5);
    EXPECT_EQ(SetSprites(*f, ""), 0);
    EXPECT_EQ(g.spriteCount, 0);
}

TEST_F(Scene, CacheReplacesTheOldestSlotAndCountsChanges) {
    GfxState& g = f->gfx;
    const int before = g.spriteChangeCounter;
    for (int i = 1; i <= 6; ++i) SetSprites(*f, "b" + std::to_string(i));
    EXPECT_EQ(g.spriteChangeCounter, before + 6);
    EXPECT_EQ(g.spriteCache[0].name, "B6");
    EXPECT_EQ(g.spriteCache[1].name, "B2");
    EXPECT_EQ(g.spriteCache[4].name, "B5");
    EXPECT_EQ(g.spriteCache[0].colour.width, 40);
    // A list that reuses cached names loads nothing; skipping does not count.
    f->ui.SkipActive = true;
    SetSprites(*f, "b6,b5");
    EXPECT_EQ(g.nextSpriteSlot, 1);
    EXPECT_EQ(g.spriteChangeCounter, before + 6);
    // A name that no volume holds takes what the load picture held last.
    f->ui.SkipActive = false;
    SetSprites(*f, "b_missing");
    EXPECT_EQ(g.spriteCache[1].name, "B_MISSING");
    ComposeScene(*f);
    EXPECT_EQ(At(400, 110), Drawn(120));
}

TEST_F(Scene, DrawingOrderFollowsS024) {
    int32_t* S = f->vars.S;
    S[81] = 400;
    S[82] = 410;  // sprite 1 overlaps sprite 0
    SetSprites(*f, "b1,b2");
    ComposeScene(*f);
    EXPECT_EQ(At(400, 110), Drawn(40));
    S[24] = 1;
    ComposeScene(*f);
    EXPECT_EQ(At(400, 110), Drawn(20));
    // A sprite half off the left edge is clipped.
    S[80] = 0;
    SetSprites(*f, "b3");
    ComposeScene(*f);
    EXPECT_EQ(At(0, 110), Drawn(60));
    EXPECT_EQ(At(19, 110), Drawn(60));
    EXPECT_EQ(At(20, 110), 10);
}

TEST_F(Scene, OverlayBlendsAndIsClippedToTheScene) {
    int32_t* S = f->vars.S;
    ASSERT_TRUE(LoadPicture(*f, "o_ovr", f->gfx.overlay));
    S[35] = 1;
    S[20] = 0;
    S[23] = 64;
    S[21] = 10;
    S[22] = 20;
    ComposeScene(*f);
    const int blended = (250 * 64 + 10 * 192) >> 8;
    EXPECT_EQ(At(10, 20), blended);
    // 60 bytes a row: 7 groups, the last 4 bytes (red of pixel 28 and
    // pixel 29) stay as they were.
    EXPECT_EQ(At(28, 29), blended);
    EXPECT_EQ(f->gfx.scene.Pixel(28, 29)[2], 10);
    EXPECT_EQ(At(29, 29), 10);
    // Hanging over every edge: drawn where it overlaps, nothing outside.
    for (auto [x, y] : {std::pair{-15, -5}, {790, 595}, {-30, 0}, {800, 600}}) {
        S[21] = x;
        S[22] = y;
        ComposeScene(*f);
    }
    S[21] = -15;
    S[22] = -5;
    ComposeScene(*f);
    // The same bytes as without clipping land inside: overlay bytes 45 to
    // 55 of each row.
    EXPECT_EQ(At(0, 0), blended);
    EXPECT_EQ(f->gfx.scene.Pixel(3, 4)[1], blended);
    EXPECT_EQ(f->gfx.scene.Pixel(3, 4)[2], 10);
    EXPECT_EQ(At(0, 5), 10);
    // Weight 0 draws the overlay through its side-by-side mask.
    S[23] = 0;
    S[21] = 0;
    S[22] = 0;
    ComposeScene(*f);
    EXPECT_EQ(At(0, 0), (10 * 5 >> 8) + (250 * 250 >> 8));
    EXPECT_EQ(At(9, 0), (10 * 5 + 250 * 250) >> 8);
}

TEST_F(Scene, FiltersAndTheUpsideDownRoundTrip) {
    Picture& s = f->gfx.scene;
    for (int x = 0; x < 800; ++x) {
        s.Pixel(x, 0)[0] = static_cast<uint8_t>(x);
        s.Pixel(x, 0)[1] = 100;
        s.Pixel(x, 0)[2] = 200;
    }
    const Picture original = s;
    f->vars.S[11] = 4;
    ApplySceneFilter(*f);
    EXPECT_EQ(s.Pixel(799 - 5, 599)[0], 5);
    ApplySceneFilter(*f);
    EXPECT_EQ(s.bytes, original.bytes);
    f->vars.S[11] = 1;
    f->vars.S[13] = 24;
    ApplySceneFilter(*f);
    EXPECT_EQ(s.Pixel(0, 0)[2], (200 * 24 >> 4) & 0xFF);
    s = original;
    f->vars.S[11] = 2;
    ApplySceneFilter(*f);
    const int grey = (30 + 100 + 200) / 3;
    EXPECT_EQ(s.Pixel(30, 0)[0], grey >> 2);
    EXPECT_EQ(s.Pixel(30, 0)[1], (3 * grey) >> 2);
    EXPECT_EQ(s.Pixel(30, 0)[2], grey);
    s = original;
    f->vars.S[11] = 3;
    ApplySceneFilter(*f);
    EXPECT_EQ(s.Pixel(30, 0)[0], grey);
    EXPECT_EQ(s.Pixel(30, 0)[1], grey);
}

TEST_F(Scene, RedrawReachesTheWindow) {
    SetSprites(*f, "b2");
    Picture old = f->gfx.screen;
    Redraw(*f, 1);
    EXPECT_FALSE(f->flags.busy);
    EXPECT_EQ(f->gfx.previous.bytes, old.bytes);
    Picture shown;
    engine->plat.ReadBack(shown);
    EXPECT_EQ(shown.Pixel(400, 110)[0], Drawn(40));
    EXPECT_EQ(shown.Pixel(0, 0)[0], 10);
    // With the message window hidden by the player, a repaint shows the
    // scene without it.
    f->gfx.screen.bytes.assign(f->gfx.screen.bytes.size(), 77);
    f->PBPaint();
    engine->plat.ReadBack(shown);
    EXPECT_EQ(shown.Pixel(0, 0)[0], 77);
    f->app.playMode = 1;
    f->PBPaint();
    engine->plat.ReadBack(shown);
    EXPECT_EQ(shown.Pixel(0, 0)[0], 10);
}

TEST_F(Scene, FrameClockSleepsToTheFrameAndCountsMissedOnes) {
    platform::Clock& clock = engine->plat.clock();
    StartFrameClock(*f);
    const uint32_t t0 = clock.Now();
    EXPECT_EQ(WaitFrame(*f, 20), 1);
    EXPECT_EQ(clock.Now(), t0 + 20);
    clock.Sleep(50);  // 50 ms after the stamp
    EXPECT_EQ(WaitFrame(*f, 20), 3);
    EXPECT_EQ(clock.Now(), t0 + 20 + 60);
    EXPECT_EQ(f->gfx.frameStamp, t0 + 80);
    EXPECT_EQ(WaitFrame(*f, 0), 1);  // no division by a zero frame
    WaitUntil(*f, clock.Now() + 35);
    EXPECT_EQ(clock.Now(), t0 + 115);
    WaitUntil(*f, clock.Now() - 10);  // a past deadline does not sleep
    EXPECT_EQ(clock.Now(), t0 + 115);
}
