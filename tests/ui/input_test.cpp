// Input routing played on tiny games: clicks and waits, the debounce, the
// click hook, the auto meter and countdown, skip by Ctrl, the wheel, the
// panic screen.
#include <gtest/gtest.h>

#include "../script/story.h"
#include "backlog/backlog.h"
#include "ui_support.h"

using namespace velmora;
using namespace velmora::platform;
using test::Count;
using test::Story;

TEST(Input, ClickReleasesPageWaitFinishesTypingAndStopsTheVoice) {
    Story s({{"main", "first page text▼\nsecond\n"}}, /*typewriter=*/true);
    s.Pass(3);  // three characters typed
    ASSERT_EQ(s.f().stepper.PendingWait, 0);
    test::PlayFakeVoice(s);
    test::Press(s, mbLeft, 400, 300);
    EXPECT_TRUE(s.f().stepper.FinishMessage);
    EXPECT_FALSE(test::VoicePlaying(s));
    s.Pass(2);  // the rest of the page in one pass, then the wait
    EXPECT_EQ(s.f().stepper.PendingWait, 1);
    EXPECT_EQ(s.Backlog(0), "first page text");
    s.Pass(5);  // the debounce runs out
    test::Press(s, mbLeft, 400, 300);
    EXPECT_EQ(s.f().stepper.PendingWait, 0);
    EXPECT_TRUE(s.Traced("wait 1 released by a click"));
}

TEST(Input, VoiceGoesOnWithCvThroughAndOnTildePages) {
    Story s({{"main", "a\n~\nb\n\\\nc\n"}});
    s.Pass(3);
    ASSERT_EQ(s.f().stepper.PendingWait, 4);
    test::PlayFakeVoice(s);
    test::Press(s, mbLeft, 400, 300);
    EXPECT_TRUE(test::VoicePlaying(s));  // wait 4 lets the voice go on
    s.Pass(8);
    ASSERT_EQ(s.f().stepper.PendingWait, 1);
    s.f().settings.CV_THROUGH = 1;
    test::Press(s, mbLeft, 400, 300);
    EXPECT_TRUE(test::VoicePlaying(s));
    EXPECT_EQ(s.f().stepper.PendingWait, 0);
}

TEST(Input, SecondClickWithinTwoPassesKeepsTheVoice) {
    Story s({{"main", "a▼\nb▼\nc▼\n"}});
    s.Pass(2);
    test::Press(s, mbLeft, 400, 300);
    s.Pass(2);
    ASSERT_EQ(s.f().stepper.PendingWait, 1);
    test::PlayFakeVoice(s);
    test::Press(s, mbLeft, 400, 300);  // debounce 3 after two passes
    EXPECT_TRUE(test::VoicePlaying(s));
    EXPECT_EQ(s.f().stepper.PendingWait, 0);  // the page still turns
    s.Pass(3);
    test::Press(s, mbLeft, 400, 300);
    EXPECT_FALSE(test::VoicePlaying(s));
}

TEST(Input, ClickHook66IgnoresEveryPressAnd57Jumps) {
    Story s({{"main", "!S056=66\na▼\n*string 8 AWAY\n!S056=57\nb▼\nnot here▼\n:AWAY\nthere▼\n"}});
    s.Pass(2);
    ASSERT_EQ(s.f().stepper.PendingWait, 1);
    test::Press(s, mbLeft, 400, 300);
    test::Press(s, mbRight, 400, 300);
    EXPECT_EQ(s.f().stepper.PendingWait, 1);
    EXPECT_EQ(s.f().vars.S[56], 66);
    s.f().vars.S[56] = 0;
    test::Press(s, mbLeft, 400, 300);
    s.Pass(8);
    ASSERT_EQ(s.f().vars.S[56], 57);
    test::Press(s, mbLeft, 400, 300);
    EXPECT_EQ(s.f().vars.S[56], 0);
    s.f().stepper.PendingWait = 0;  // the hook jumps; the page is the script's
    s.Pass(2);
    EXPECT_EQ(s.Backlog(s.f().backlog.count - 1), "there");
}

TEST(Input, ClickHook56IgnoresRightPressesAndReturnsOnLeft) {
    Story s({{"main", "!S056=56\na▼\n"}});
    s.Pass(2);
    test::Press(s, mbRight, 400, 300);
    EXPECT_EQ(s.f().vars.S[56], 56);
    test::Press(s, mbLeft, 400, 300);
    EXPECT_EQ(s.f().vars.S[56], 0);
    EXPECT_TRUE(s.Traced("prompt 3 answered yes"));
    EXPECT_EQ(s.f().ui.promptKind, 0);
}

TEST(Input, AutoMeterSetsTheLevelAndPressesElsewhere) {
    Story s({{"main", "!S026=5\n!S027=5\nsome text▼\nmore▼\n"}});
    s.Pass(3);
    TForm1& f = s.f();
    ASSERT_TRUE(f.text.windowOpen);
    const int ox = f.config.TXW_OFS_X, oy = f.config.TXW_OFS_Y;
    test::Press(s, mbLeft, ox + 594, oy + 230);
    EXPECT_EQ(f.vars.S[26], 10);
    test::Press(s, mbLeft, ox + 683, oy + 253);
    EXPECT_EQ(f.vars.S[26], 1);
    EXPECT_EQ(f.vars.S[27], 1);
    // Elsewhere a left press lets the next tick release the wait.
    ASSERT_EQ(f.stepper.PendingWait, 1);
    f.ui.AutoCountdown = 15;
    test::Press(s, mbLeft, 400, 100);
    EXPECT_EQ(f.ui.AutoCountdown, 1);
    f.Timer1Timer();
    EXPECT_EQ(f.stepper.PendingWait, 0);
    // A right press switches auto off and forgets nothing of S027.
    test::Press(s, mbRight, 400, 100);
    EXPECT_EQ(f.vars.S[26], 0);
    EXPECT_EQ(f.vars.S[27], 1);
}

TEST(Input, AutoCountdownWaitsLongerWhileAVoicePlays) {
    Story s({{"main", "!S026=8\n0123456789012345678901234567890123▼\nnext▼\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    ASSERT_EQ(f.ui.AutoCountdown, 20);
    test::PlayFakeVoice(s, 5000);
    for (int i = 0; i < 40; ++i) f.Timer1Timer();
    EXPECT_EQ(f.stepper.PendingWait, 1);  // the voice holds the page
    EXPECT_EQ(f.ui.AutoCountdown, 1);
    StopVoice(f);
}

TEST(Input, CtrlTogglesSkipOnEveryRepeatAndReleaseEndsIt) {
    Story s({{"main", "a▼\nb▼\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    uint16_t ctrl = VK_CONTROL, shift = VK_SHIFT;
    f.FormKeyDown(ctrl, ssCtrl);
    EXPECT_TRUE(f.ui.SkipActive);
    EXPECT_EQ(f.vars.S[60], 2);
    f.FormKeyDown(ctrl, ssCtrl);  // auto-repeat
    EXPECT_FALSE(f.ui.SkipActive);
    f.FormKeyDown(ctrl, ssCtrl);
    EXPECT_TRUE(f.ui.SkipActive);
    f.FormKeyUp(ctrl, 0);
    EXPECT_FALSE(f.ui.SkipActive);
    EXPECT_EQ(f.vars.S[60], 0);
    // Shift toggles auto, with the level 8 when none was remembered.
    f.vars.S[27] = 0;
    f.FormKeyDown(shift, ssShift);
    EXPECT_EQ(f.vars.S[26], 8);
    f.FormKeyDown(shift, ssShift);
    EXPECT_EQ(f.vars.S[26], 0);
    // CS_SWAP exchanges the two keys.
    f.settings.CS_SWAP = 1;
    f.FormKeyDown(shift, ssShift);
    EXPECT_TRUE(f.ui.SkipActive);
    EXPECT_EQ(f.vars.S[26], 0);
    f.FormKeyUp(shift, 0);
    EXPECT_FALSE(f.ui.SkipActive);
    f.FormKeyDown(ctrl, ssCtrl);
    EXPECT_EQ(f.vars.S[26], 8);
}

TEST(Input, SpaceTogglesAutoAndKeepsTheLevel) {
    Story s({{"main", "a▼\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    f.vars.S[27] = 20;  // outside 1 ... 13
    char space = ' ';
    f.FormKeyPress(space);
    EXPECT_EQ(f.vars.S[26], 8);
    f.vars.S[26] = 11;
    f.FormKeyPress(space);
    EXPECT_EQ(f.vars.S[26], 0);
    EXPECT_EQ(f.vars.S[27], 11);
    f.FormKeyPress(space);
    EXPECT_EQ(f.vars.S[26], 11);
}

TEST(Input, UnreadMarkEndsSkipWithSeen) {
    Story s({{"main", "*mark 7\na▼\n*mark 7\n"}});
    s.f().ui.SkipActive = true;
    s.Pass(2);
    EXPECT_FALSE(s.f().ui.SkipActive);
    EXPECT_FALSE(s.f().ui.TextRead);
}

TEST(Input, WheelFollowsWheelModeAndIsNotReentered) {
    Story s({{"main", "!S028=1\na\n\\\nb\n\\\nc▼\n"}});
    s.ToWait();
    s.NextWait();
    s.NextWait();
    TForm1& f = s.f();
    bool handled = false;
    // Away from the player: the rewind, or with WHEEL_MODE 1 the backlog.
    f.FormMouseWheel(0, 120, 400, 300, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.app.playMode, 9);
    EndRewind(f);
    EXPECT_EQ(f.app.playMode, 0);
    f.settings.WHEEL_MODE = 1;
    f.FormMouseWheel(0, 120, 400, 300, handled);
    EXPECT_TRUE(f.backlog.open);
    EXPECT_EQ(f.vars.S[65], 1);
    CloseBacklog(f);
    // Down does nothing in normal play; a nested wheel event is dropped.
    size_t mark = s.Mark();
    handled = false;
    f.FormMouseWheel(0, -120, 400, 300, handled);
    EXPECT_TRUE(handled);
    f.ui.WheelGuard = true;
    handled = false;
    f.FormMouseWheel(0, 120, 400, 300, handled);
    EXPECT_FALSE(handled);
    EXPECT_EQ(s.TraceSince(mark), "");
}

TEST(Input, PanicWithoutItsPictureShowsBlackStaysMutedAndAnyPressLeaves) {
    Story s({{"main", "a▼\nb▼\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    f.settings.RC_MODE = 4;
    test::Press(s, mbRight, 400, 300);
    ASSERT_TRUE(f.ui.PanicActive);
    EXPECT_TRUE(f.flags.busy);
    EXPECT_TRUE(f.audio.muted);
    EXPECT_TRUE(s.Traced("panic.bmp missing"));
    Picture shown;
    s.plat().ReadBack(shown);
    EXPECT_EQ(shown.Pixel(400, 300)[0], 0);
    s.Pass(3);
    EXPECT_EQ(f.stepper.PendingWait, 1);  // the story waits behind it
    test::Press(s, mbMiddle, 10, 10);
    EXPECT_FALSE(f.ui.PanicActive);
    EXPECT_FALSE(f.flags.busy);
    EXPECT_FALSE(f.audio.muted);
    EXPECT_FALSE(f.ui.OverlayActive);
}

TEST(Input, RightClickHidesTheWindowAndAnyPressRestoresIt) {
    Story s({{"main", "!S028=1\na▼\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    f.settings.RC_MODE = 1;
    test::Press(s, mbRight, 400, 300);
    EXPECT_EQ(f.app.playMode, 1);
    EXPECT_TRUE(f.ui.OverlayActive);
    test::Press(s, mbLeft, 400, 300);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_EQ(f.stepper.PendingWait, 1);  // the press only restored the window
    char w = 'w';
    f.FormKeyPress(w);
    EXPECT_EQ(f.app.playMode, 1);
    f.FormKeyPress(w);
    EXPECT_EQ(f.app.playMode, 0);
}

TEST(Input, EveryRightClickOpensTheMenuAgainAfterItClosed) {
    Story s({{"main", "a▼\n"}});
    s.Pass(2);
    TForm1& f = s.f();
    const size_t mark = s.Mark();
    // Closed without a pick each time (Escape, a click elsewhere).
    for (int i = 0; i < 3; ++i) {
        test::Press(s, mbRight, 400, 300);
        EXPECT_FALSE(f.ui.PopupOpen);
    }
    char x = 'x';
    f.FormKeyPress(x);
    EXPECT_EQ(test::Count(s.TraceSince(mark), "menu PopupMenu3 opened"), 4);
    EXPECT_EQ(f.stepper.PendingWait, 1);  // and none of it advanced the page
}
