// The numbered transitions on the headless clock: how long each runs, what
// a click does to it, and the pixels of chosen frames against their formulas.
#include <gtest/gtest.h>

#include <algorithm>

#include "gfx/effects.h"
#include "gfx_fixture.h"

namespace velmora {
namespace {

using test::SamePixels;

class Transitions : public test::GfxFixture {};

// Virtual milliseconds from start to end, from each transition's step form.
TEST_F(Transitions, EachRunsItsLengthAndEndsOnTheNewPicture) {
    const uint32_t expected[25] = {0,    240, 320,  1400, 1000, 2320, 130, 900, 800, 880, 1710, 1770, 2700,
                                   6450, 1000, 0,   1410, 3200, 480,  600, 1600, 465, 465, 465, 5240};
    for (int n = 0; n < 25; ++n) {
        OldPattern(f->gfx.previous);
        plat->surface().BlitWhole(f->gfx.previous);
        EXPECT_EQ(Run(n), expected[n]) << "transition " << n;
        EXPECT_TRUE(SamePixels(Canvas(), f->gfx.screen)) << "transition " << n;
        EXPECT_EQ(f->vars.S[19], 0) << n;
        EXPECT_FALSE(f->flags.busy);
        EXPECT_FALSE(f->flags.interruptibleEffect);
    }
}

TEST_F(Transitions, AboveTwentyFourLeavesTheWindowAlone) {
    EXPECT_EQ(Run(25), 0u);
    EXPECT_TRUE(SamePixels(Canvas(), f->gfx.previous));
    EXPECT_FALSE(f->flags.busy);
}

TEST_F(Transitions, GModeAndSkippingCutEverything) {
    f->settings.GMode = 1;
    EXPECT_EQ(Run(13), 0u);
    EXPECT_TRUE(SamePixels(Canvas(), f->gfx.screen));
    EXPECT_EQ(f->vars.S[19], 0);
    f->settings.GMode = 0;
    f->ui.SkipActive = true;
    plat->surface().BlitWhole(f->gfx.previous);
    EXPECT_EQ(Run(5), 0u);
    EXPECT_TRUE(SamePixels(Canvas(), f->gfx.screen));
    // A negative number is a cut as well.
    f->ui.SkipActive = false;
    EXPECT_EQ(Run(-3), 0u);
}

TEST_F(Transitions, CircleStopsAtTheRadiusOfItsReference) {
    // Radii 5, 15, ... below 500: 50 steps of 20 ms.
    EXPECT_EQ(Run(4), 1000u);
    f->vars.S[20] = 0;
    EXPECT_EQ(Run(4), 1800u);  // below 900
    f->vars.S[20] = 400;
    f->vars.S[21] = 1000;
    EXPECT_EQ(Run(4), 2400u);  // below 1200
}

TEST_F(Transitions, DissolveLevelsFallBackToSixteen) {
    for (int levels : {0, 200}) {
        f->vars.S[16] = levels;
        EXPECT_EQ(Run(17), 3200u) << levels;
    }
    f->vars.S[16] = 2;
    EXPECT_EQ(Run(17), 400u);
}

TEST_F(Transitions, ClickEndsBlindsAtOnce) {
    Events("wait 100\nclick 10 10\n");
    EXPECT_EQ(Run(1), 105u);  // the step holding the click ends at 105
    EXPECT_EQ(f->vars.S[19], 1);
    EXPECT_TRUE(SamePixels(Canvas(), f->gfx.screen));
}

TEST_F(Transitions, ClickDuringQuickCrossfadeOnlyMarksItsEnd) {
    Events("wait 50\nclick 10 10\n");
    EXPECT_EQ(Run(6), 130u);
    EXPECT_EQ(f->vars.S[19], 1);
}

TEST_F(Transitions, ClickShortensTimedCrossfadeWithoutMarking) {
    Events("wait 400\nclick 10 10\n");
    EXPECT_EQ(Run(9), 440u);  // the frame after the pump that saw it
    EXPECT_EQ(f->vars.S[19], 0);
    EXPECT_TRUE(SamePixels(Canvas(), f->gfx.screen));
}

TEST_F(Transitions, CloseRequestCutsShortLikeAClick) {
    Events("wait 300\nclose\n");
    EXPECT_EQ(Run(12), 320u);
    EXPECT_EQ(f->flags.interruptRequest, 2);
    EXPECT_EQ(f->vars.S[19], 1);
    EXPECT_FALSE(plat->Closed());
}

int Blend(int a, int b, int w) { return (a * w + b * (256 - w)) >> 8; }

TEST_F(Transitions, QuickCrossfadeThirdFrameWeighsEighty) {
    // Frames are drawn at 0, 10 and 20 ms; the pump after the third runs at 20.
    Events("wait 20\nscreenshot third.png\n");
    Run(6);
    Picture p = Shot("third.png");
    const Picture& o = f->gfx.previous;
    const Picture& n = f->gfx.screen;
    for (int y : {0, 123, 599})
        for (int x : {0, 77, 799})
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(p.Pixel(x, y)[c], Blend(n.Pixel(x, y)[c], o.Pixel(x, y)[c], 80)) << x << "," << y;
}

TEST_F(Transitions, SoftWipeEdgeFollowsTheGradient) {
    // Frame k shows edge position -280 + 8k; k = 60 is drawn at 1200 ms.
    Events("wait 1200\nscreenshot edge.png\n");
    Run(12);
    Picture p = Shot("edge.png");
    const int edge = 200;
    const Picture& o = f->gfx.previous;
    const Picture& n = f->gfx.screen;
    for (int y : {0, 311, 599}) {
        for (int x = 0; x < 800; ++x) {
            for (int c = 0; c < 3; ++c) {
                int want;
                int nb = n.Pixel(x, y)[c], ob = o.Pixel(x, y)[c];
                if (x < edge + 32) want = nb;
                else if (x >= edge + 288) want = ob;
                else {
                    int m = x - edge - 32;
                    want = std::min(255, ((nb * (255 - m)) >> 8) + ((ob * m) >> 8));
                }
                ASSERT_EQ(p.Pixel(x, y)[c], want) << x << "," << y << " byte " << c;
            }
        }
    }
}

TEST_F(Transitions, DissolveUpdatesOneQuarterPerStep) {
    f->vars.S[16] = 4;
    // Steps are drawn at 0, 50, ...; a shot at 60 is taken in the wait
    // after the second (level 1, phase 1).
    Events("wait 60\nscreenshot quarter.png\n");
    Run(17);
    Picture p = Shot("quarter.png");
    const Picture& o = f->gfx.previous;
    const Picture& n = f->gfx.screen;
    for (int y = 10; y < 14; ++y)
        for (int x = 20; x < 24; ++x) {
            // Phase 0: even rows, even pixels; phase 1: odd rows, odd pixels.
            bool done = (y % 2 == 0 && x % 2 == 0) || (y % 2 == 1 && x % 2 == 1);
            for (int c = 0; c < 3; ++c) {
                int nb = n.Pixel(x, y)[c], ob = o.Pixel(x, y)[c];
                ASSERT_EQ(p.Pixel(x, y)[c], done ? (nb * 1 + ob * 3) / 4 : ob) << x << "," << y;
            }
        }
}

TEST_F(Transitions, ZoomReadsTheMagnifiedSourcePixel) {
    Events("screenshot zoom.png\n");  // the first frame, weight 8
    Run(21);
    Picture p = Shot("zoom.png");
    const Picture& o = f->gfx.previous;
    const Picture& n = f->gfx.screen;
    for (auto [x, y] : {std::pair{0, 0}, {799, 599}, {123, 456}, {400, 300}}) {
        int sx = 400 + ((x - 400) * 76800 / 308) / 256;
        int sy = 300 + ((y - 300) * 76800 / 308) / 256;
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(p.Pixel(x, y)[c], Blend(n.Pixel(x, y)[c], o.Pixel(sx, sy)[c], 8)) << x << "," << y;
    }
}

TEST_F(Transitions, SlidesReadBlackPastTheRow) {
    Events("screenshot slide.png\n");  // weight 8: old moved 8 pixels left
    Run(22);
    Picture p = Shot("slide.png");
    const Picture& o = f->gfx.previous;
    const Picture& n = f->gfx.screen;
    // New is 248 pixels to the right: black below x = 248.
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(p.Pixel(0, 5)[c], Blend(0, o.Pixel(8, 5)[c], 8));
        EXPECT_EQ(p.Pixel(795, 5)[c], Blend(n.Pixel(795 - 248, 5)[c], 0, 8));
    }
}

TEST_F(Transitions, RandomOrderRepeatsWithTheSeed) {
    auto tilesAt = [&](uint32_t seed) {
        f->rng.seed = seed;
        OldPattern(f->gfx.previous);
        plat->surface().BlitWhole(f->gfx.previous);
        Events("wait 300\nscreenshot tiles.png\n");
        uint32_t t0 = plat->Now();
        (void)t0;
        RunTransition(*f, 5);
        return Shot("tiles.png");
    };
    // Each run starts from virtual time 0 on a fresh clock.
    Picture a = tilesAt(7);
    SetUp();
    Picture b = tilesAt(7);
    SetUp();
    Picture c = tilesAt(8);
    EXPECT_TRUE(SamePixels(a, b));
    EXPECT_FALSE(SamePixels(a, c));
}

TEST(FillPolygon, CoversPixelCentresInside) {
    Picture p;
    p.Resize(10, 10);
    const int xs[4] = {2, 6, 6, 2}, ys[4] = {1, 1, 5, 5};
    FillPolygon(p, xs, ys, 4, 0x808080);
    int count = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) count += p.Pixel(x, y)[0] == 0x80;
    EXPECT_EQ(count, 16);
    EXPECT_EQ(p.Pixel(2, 1)[0], 0x80);
    EXPECT_EQ(p.Pixel(6, 1)[0], 0);
}

}  // namespace
}  // namespace velmora
