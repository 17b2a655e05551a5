// The idle loop's pacing and gates, measured on the virtual clock.
#include <gtest/gtest.h>

#include "../script/story.h"

using namespace velmora;
using test::Story;

TEST(MainLoop, APageWaitIdlesAtFiftyPassesASecond) {
    Story s({{"main", "text▼\n"}});
    s.Pass(2);
    ASSERT_EQ(s.f().stepper.PendingWait, 1);
    int32_t frames = s.f().app.frameCounter, ticks = s.f().app.timerTicks;
    uint32_t t = s.plat().Now();
    while (s.plat().Now() - t < 10000) s.Pass(1);
    EXPECT_EQ(s.f().app.frameCounter - frames, 500);
    EXPECT_NEAR(s.f().app.timerTicks - ticks, 182, 1);
    EXPECT_EQ(s.f().stepper.PendingWait, 1);
}

TEST(MainLoop, GatesHoldTheStepper) {
    Story s({{"main", "!V001=1\n!V002=1\n!V003=1\n!V004=1\n"}});
    s.Pass(1);
    s.f().flags.busy = true;
    s.Pass(3);
    EXPECT_EQ(s.f().vars.V[1], 0);
    s.f().flags.busy = false;
    s.f().stepper.voiceEndWait = true;
    s.Pass(1);
    EXPECT_EQ(s.f().vars.V[1], 0);
    s.Pass(1);  // the timer ends the voice-end wait when nothing plays
    s.Pass(1);
    EXPECT_EQ(s.f().vars.V[1], 1);
    s.f().ui.promptKind = 1;
    s.f().stepper.ScriptRunning = false;
    s.Pass(2);
    EXPECT_EQ(s.f().app.frameCounter, 9);  // passes still count behind a prompt
}

TEST(MainLoop, QuitRequestClosesWithoutAsking) {
    Story s({{"main", "text\n"}});
    s.Pass(1);
    s.f().flags.quitRequest = true;
    s.Pass(1);
    EXPECT_TRUE(s.plat().Closed());
    EXPECT_TRUE(s.plat().Shown().empty());
}
