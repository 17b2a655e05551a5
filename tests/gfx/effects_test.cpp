// The effect script (flashes, negative flashes, shakes) and the animated
// background (offset and picture frames, play-once and looping, END).
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/effects.h"
#include "gfx/graphics_commands.h"
#include "gfx_fixture.h"
#include "script/loader.h"

namespace velmora {
namespace {

using test::SamePixels;

// Effect scripts as the loader leaves them: NUL-terminated lines.
std::string Lines(const std::string& text) {
    std::string s = text;
    for (char& c : s)
        if (c == '\n') c = '\0';
    return s;
}

TEST(EffectDefinition, ReadsItsLinesUpToTheNextLabel) {
    std::string s = Lines(":other\nN,10\n:Flash\n\nF,20,Fggg,30,F0008,40,x,50\nN,100,50,100,,7\nS,20,5,0,-5,0\n:next\nN,1\n");
    EffectStep steps[kEffectStepsMax];
    int n = 0;
    ASSERT_TRUE(ParseEffectDefinition(s.data(), static_cast<int32_t>(s.size()), "flash", steps, n));
    ASSERT_EQ(n, 8);
    EXPECT_EQ(steps[0].kind, EffectKind::ShowScreen);
    EXPECT_EQ(steps[0].duration, 20);
    EXPECT_EQ(steps[1].kind, EffectKind::Fill);
    EXPECT_EQ(steps[1].a, 0xFFFFFF);
    EXPECT_EQ(steps[2].kind, EffectKind::Tint);
    EXPECT_EQ(steps[2].b, 128);
    EXPECT_EQ(steps[3].kind, EffectKind::Negative);
    EXPECT_EQ(steps[4].kind, EffectKind::ShowScreen);
    EXPECT_EQ(steps[4].duration, 50);
    EXPECT_EQ(steps[5].kind, EffectKind::Negative);
    EXPECT_EQ(steps[6].kind, EffectKind::Move);
    EXPECT_EQ(steps[6].a, 5);
    EXPECT_EQ(steps[7].a, -5);
    EXPECT_FALSE(ParseEffectDefinition(s.data(), static_cast<int32_t>(s.size()), "none", steps, n));
}

TEST(EffectDefinition, KeepsTheFirstTwoHundredSteps) {
    std::string line = "N";
    for (int i = 0; i < 300; ++i) line += "," + std::to_string(i + 1);
    std::string s = Lines(":long\n" + line + "\n");
    EffectStep steps[kEffectStepsMax];
    int n = 0;
    ASSERT_TRUE(ParseEffectDefinition(s.data(), static_cast<int32_t>(s.size()), "long", steps, n));
    EXPECT_EQ(n, kEffectStepsMax);
    EXPECT_EQ(steps[199].duration, 200);
}

class EffectRun : public ::testing::Test {
protected:
    void SetUp() override {
        game.Script("_config", "TITLE:t\nMAKER_REG:Software\\T\nGAME_ID:t\n");
        game.Script("main", "x▼\n");
        game.Script("effect", ":neg\nN,100,50,100\n:jolt\nS,20,5,0,-5,3\n");
        game.Build();
        engine = std::make_unique<test::HeadlessEngine>(game.path());
        TForm1& f = *engine->f;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                uint8_t* p = f.gfx.screen.Pixel(x, y);
                p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = 7;
            }
    }
    void Events(const std::string& text) {
        platform::Timeline t;
        std::string error;
        ASSERT_TRUE(platform::ParseTimeline(text, t, error)) << error;
        for (auto& e : t.events) {
            e.time += engine->plat.Now();
            if (e.kind == platform::EventKind::Screenshot) e.path = dir.File(e.path.substr(e.path.rfind('/') + 1));
        }
        engine->plat.SetTimeline(t);
    }
    Picture Shot(const std::string& name) {
        Picture p;
        EXPECT_TRUE(ReadPng(dir.File(name), p)) << name;
        return p;
    }
    test::TestGame game;
    test::TempDir dir;
    std::unique_ptr<test::HeadlessEngine> engine;
};

TEST_F(EffectRun, NegativeFlashFollowsItsDurations) {
    TForm1& f = *engine->f;
    Events("screenshot a.png\nwait 100\nscreenshot b.png\nwait 50\nscreenshot c.png\n");
    uint32_t t0 = engine->plat.Now();
    EffectCommand(f, "NEG");
    EXPECT_EQ(engine->plat.Now() - t0, 250u);
    Picture a = Shot("a.png"), b = Shot("b.png"), c = Shot("c.png");
    EXPECT_EQ(a.Pixel(10, 20)[0], 255 - 10);
    EXPECT_EQ(a.Pixel(10, 20)[2], 255 - 7);
    EXPECT_TRUE(SamePixels(b, f.gfx.screen));
    EXPECT_TRUE(SamePixels(c, a));
    Picture now;
    engine->plat.surface().ReadBack(now);
    EXPECT_TRUE(SamePixels(now, f.gfx.screen));
}

TEST_F(EffectRun, ShakeStepsMoveFromTheStartAndReturn) {
    TForm1& f = *engine->f;
    engine->plat.window().Move(300, 400);
    uint32_t t0 = engine->plat.Now();
    EffectCommand(f, "jolt");
    EXPECT_EQ(engine->plat.Now() - t0, 40u);
    EXPECT_EQ(engine->plat.window().Left(), 300);
    EXPECT_EQ(engine->plat.window().Top(), 400);
}

TEST_F(EffectRun, UnknownEffectStillRestoresTheWindow) {
    TForm1& f = *engine->f;
    engine->plat.surface().Fill(0x123456);
    EffectCommand(f, "missing");
    Picture now;
    engine->plat.surface().ReadBack(now);
    EXPECT_TRUE(SamePixels(now, f.gfx.screen));
}

class BgAnim : public test::GfxFixture {};

TEST_F(BgAnim, OffsetFramesReadBlackLeftOfTheRow) {
    const Picture scr = f->gfx.screen;
    BgAnimCommand(*f, "OFS,2,256,-10,0,0,0,0");
    const BgAnimState& st = f->gfx.bgAnim;
    ASSERT_EQ(st.frameCount, 2);
    EXPECT_FALSE(f->flags.busy);
    const Picture& fr = st.frames[0].picture;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(fr.Pixel(9, 100)[c], 0);
        EXPECT_EQ(fr.Pixel(10, 100)[c], scr.Pixel(0, 100)[c]);
        EXPECT_EQ(fr.Pixel(795, 100)[c], scr.Pixel(795, 100)[c]);  // past the blend and the shifted copy
    }
    EXPECT_TRUE(SamePixels(st.frames[1].picture, scr));
    EXPECT_EQ(st.frames[0].cleanPiece.height, 170);
    // The idle loop shows the next frame on every second pass.
    f->app.frameCounter = 3;
    AdvanceBackgroundAnimation(*f);
    EXPECT_EQ(st.currentFrame, 0);
    f->app.frameCounter = 4;
    AdvanceBackgroundAnimation(*f);
    EXPECT_EQ(st.currentFrame, 1);
    EXPECT_TRUE(SamePixels(Canvas(), st.frames[1].picture));
}

TEST_F(BgAnim, PlayOnceReturnsAfterItsSequenceWithTheWindowHidden) {
    BgAnimState& st = f->gfx.bgAnim;
    // Missing pictures keep what the frames held before.
    st.frames[0].picture.Resize(800, 600);
    FillPicture(st.frames[0].picture, 0x0000FF);
    st.frames[1].picture.Resize(800, 600);
    FillPicture(st.frames[1].picture, 0x00FF00);
    f->text.windowOpen = true;
    Events("wait 60\nscreenshot one.png\n");
    uint32_t t0 = plat->Now();
    BgAnimCommand(*f, "2,nopic1,nopic2,>0110");
    EXPECT_EQ(plat->Now() - t0, 240u);  // four entries of 2 x 30 ms
    EXPECT_EQ(st.frameCount, 0);
    EXPECT_FALSE(f->text.windowOpen);
    EXPECT_FALSE(f->flags.busy);
    EXPECT_EQ(Shot("one.png").Pixel(3, 3)[1], 255);
    // A delay of 0 counts as 1.
    t0 = plat->Now();
    BgAnimCommand(*f, "0,nopic1,nopic2,>01");
    EXPECT_EQ(plat->Now() - t0, 60u);
}

TEST_F(BgAnim, SequencesSkipFramesThatDoNotExist) {
    BgAnimCommand(*f, "OFS,1,0,0,0,#0590");
    const BgAnimState& st = f->gfx.bgAnim;
    EXPECT_EQ(st.frameCount, 1);
    ASSERT_EQ(st.sequenceLength, 2);
    EXPECT_EQ(st.sequence[1], 0);
}

TEST_F(BgAnim, EndKeepsTheCurrentFrameAsBackground) {
    BgAnimCommand(*f, "OFS,1,0,5,0");
    ASSERT_EQ(f->gfx.bgAnim.frameCount, 1);
    BgAnimCommand(*f, "END");
    EXPECT_EQ(f->gfx.bgAnim.frameCount, 0);
    EXPECT_TRUE(SamePixels(f->gfx.background, f->gfx.bgAnim.frames[0].picture));
    EXPECT_TRUE(f->gfx.backgroundName.empty());
    BgAnimCommand(*f, "RELEASE");
    EXPECT_TRUE(f->gfx.bgAnim.frames[0].picture.Empty());  // MemorySaveMode is on by default
}

}  // namespace
}  // namespace velmora
