// The system menus, the tool bar rule, the quick-button bar, the return to
// the title and the status meter, played on tiny games.
#include <gtest/gtest.h>

#include "../script/story.h"
#include "data/file_io.h"
#include "save/slots.h"
#include "text/message_window.h"
#include "ui/input.h"
#include "ui_support.h"

using namespace velmora;
using namespace velmora::platform;
using test::Story;

namespace {

const char kPages[] = "一ページ目\n\\\n二ページ目\n\\\n三ページ目\n\\\n";
const char kTitle[] = "!S000=3\nタイトル画面\n\\\n";

bool Enabled(TForm1& f, const char* name) {
    for (const MenuItem& it : f.ui.PopupMenu3.items)
        if (it.name == name) return it.enabled;
    ADD_FAILURE() << name;
    return false;
}

// A quick-button sheet whose hover rows are red and pressed rows blue.
void FakeSheet(TForm1& f) {
    Picture& sheet = f.ui.quickSheet;
    sheet.Resize(768, 96);
    for (int y = 32; y < 96; ++y)
        for (int x = 0; x < 768; ++x) sheet.Pixel(x, y)[y < 64 ? 2 : 0] = 255;
}

}  // namespace

TEST(Menus, EntriesFollowS000S028AndOverlays) {
    Story s({{"main", kPages}});
    s.ToWait();
    TForm1& f = s.f();
    HeadlessPlatform& p = s.plat();
    struct Case {
        int s0, s28;
        bool save, load;
    } const cases[] = {{0, 1, true, true}, {1, 1, false, true}, {2, 1, false, false},
                       {3, 1, false, false}, {0, 0, false, true}};
    for (const Case& c : cases) {
        f.vars.S[28] = c.s28;
        f.vars.S[0] = c.s0;
        UpdateMenuStates(f);
        EXPECT_EQ(p.ToolBarEnabled(kButtonSave), c.save) << c.s0 << " " << c.s28;
        EXPECT_EQ(Enabled(f, "N8"), c.save);
        EXPECT_EQ(Enabled(f, "N10"), c.save);
        EXPECT_EQ(p.ToolBarEnabled(kButtonLoad), c.load) << c.s0;
        EXPECT_EQ(Enabled(f, "N5"), c.load);
        EXPECT_EQ(Enabled(f, "N9"), c.load);
        EXPECT_TRUE(Enabled(f, "N13"));
    }
    // A value outside 0 ... 3 leaves them as they are.
    f.vars.S[28] = 1;
    f.vars.S[0] = 0;
    UpdateMenuStates(f);
    f.vars.S[0] = 7;
    UpdateMenuStates(f);
    EXPECT_TRUE(p.ToolBarEnabled(kButtonSave));
    // An overlay disables the tool bar and what would leave the page.
    f.ui.OverlayActive = true;
    UpdateMenuStates(f);
    EXPECT_FALSE(p.ToolBarEnabled(0));
    EXPECT_FALSE(p.ToolBarEnabled(kButtonQuit));
    EXPECT_FALSE(Enabled(f, "N13"));
    EXPECT_TRUE(Enabled(f, "N4"));
    f.ui.OverlayActive = false;
    UpdateMenuStates(f);
    EXPECT_TRUE(p.ToolBarEnabled(0));
}

TEST(Menus, RightClickMenuItemsAndADismissedMenu) {
    Story s({{"main", std::string("!S000=0;S028=1\n") + kPages}});
    s.ToWait();
    TForm1& f = s.f();
    // Dismissed: the next right click opens it again.
    size_t mark = s.Mark();
    ASSERT_TRUE(s.Events("wait 10\nmenu cancel\n"));
    test::Press(s, mbRight, 400, 300);
    EXPECT_FALSE(f.ui.PopupOpen);
    test::Press(s, mbRight, 400, 300);
    EXPECT_FALSE(f.ui.PopupOpen);
    EXPECT_EQ(test::Count(s.TraceSince(mark), "menu PopupMenu3 opened"), 2);

    // "セーブ" opens the save dialog from the menu.
    ASSERT_TRUE(s.Events("wait 10\nmenu セーブ\ndialog select 6\ndialog press Button1\n"));
    test::Press(s, mbRight, 400, 300);
    EXPECT_FALSE(f.ui.PopupOpen);
    EXPECT_TRUE(IsRegularFile(SlotPath(f, 6)));
    // "クイックセーブ" by its place in the menu; a disabled item cannot be picked.
    ASSERT_TRUE(s.Events("wait 10\nmenu #7\n"));
    test::Press(s, mbRight, 400, 300);
    EXPECT_TRUE(IsRegularFile(SlotPath(f, 99)));
    f.vars.S[0] = 3;
    UpdateMenuStates(f);
    mark = s.Mark();
    ASSERT_TRUE(s.Events("wait 10\nmenu ロード\nmenu オートプレイ\n"));
    test::Press(s, mbRight, 400, 300);
    EXPECT_NE(s.TraceSince(mark).find("N9 is disabled, dropped"), std::string::npos);
    EXPECT_NE(f.vars.S[26], 0);  // auto on at the level remembered
    EXPECT_EQ(f.vars.S[26], f.vars.S[27]);
}

TEST(Menus, ReturnToTheTitleLeavesNoOverlayBehind) {
    Story s({{"main", std::string("!S000=0;S028=1\n") + kPages}, {"STITLE", kTitle}});
    s.ToWait();
    TForm1& f = s.f();
    // From auto mode, by the tool bar's end menu.
    f.vars.S[26] = 8;
    ASSERT_TRUE(s.Events("menu タイトルへ戻る\n"));
    f.SpeedButton1Click();
    ASSERT_EQ(f.ui.promptKind, kPromptTitle);
    test::Move(s, 330, 210);
    test::Press(s, mbLeft, 330, 210);
    s.ToWait();
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    EXPECT_EQ(f.vars.S[26], 0);
    EXPECT_FALSE(f.ui.OverlayActive);
    EXPECT_FALSE(f.backlog.open);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_STREQ(f.loader.currentScript, "STITLE");
    EXPECT_TRUE(s.Traced("line タイトル画面"));
    EXPECT_FALSE(s.plat().ToolBarEnabled(kButtonSave));  // the title set S000 = 3
}

TEST(Menus, ReturnToTheTitleFromAChoice) {
    Story s({{"main", "!S000=0\n*select\n{北へ\nnorth▼\n{南へ\nsouth▼\n}\n"}, {"STITLE", kTitle}});
    s.Pass(3);
    TForm1& f = s.f();
    ASSERT_EQ(f.ui.choiceKind, kChoiceList);
    ReturnToTitle(f);
    s.ToWait();
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    EXPECT_TRUE(s.Traced("line タイトル画面"));
}

TEST(QuickBar, HoverFacesAutoMarkerAndTheQuickSaveButton) {
    Story s({{"main", std::string("!S000=0;S028=1\n") + kPages}});
    s.ToWait();
    TForm1& f = s.f();
    FakeSheet(f);
    const int ox = f.config.TXW_OFS_X, oy = f.config.TXW_OFS_Y + kQuickBandRow;
    // The pointer's first way into the window clears every face once.
    test::Move(s, 400, 300);
    s.Pass(5);
    // Quick save's button (slot 4) at bar x 88 ... 187.
    test::Move(s, ox + 90, oy + 10);
    EXPECT_EQ(f.ui.HoveredQuickButton, 4);
    EXPECT_EQ(f.vars.S[63], 1);
    Picture shown;
    s.plat().ReadBack(shown);
    EXPECT_EQ(shown.Pixel(ox + 100, oy + 10)[2], 255);  // the red hover face
    EXPECT_NE(shown.Pixel(ox + 80, oy + 10)[2], 255);   // beside it, the band
    test::Move(s, ox + 87, oy + 10);
    EXPECT_EQ(f.ui.HoveredQuickButton, 0);
    s.plat().ReadBack(shown);
    EXPECT_NE(shown.Pixel(ox + 100, oy + 10)[2], 255);
    // The press saves into slot 99.
    test::Press(s, mbLeft, ox + 100, oy + 10);
    EXPECT_TRUE(IsRegularFile(SlotPath(f, 99)));

    // The auto marker lies at 682 - 10 x level on the bar.
    Picture marker;
    marker.Resize(20, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 20; ++x) marker.Pixel(x, y)[1] = x < 10 ? 200 : 255;  // colour left, mask right
    f.ui.autoMarker = marker;
    for (int level : {1, 8}) {
        f.vars.S[26] = level;
        DrawQuickBar(f, 1);
        EXPECT_NEAR(f.ui.quickWork.Pixel(682 - 10 * level, 5)[1], 200, 1) << level;
        EXPECT_LT(f.ui.quickWork.Pixel(682 - 10 * level - 1, 5)[1], 150) << level;
        EXPECT_EQ(f.vars.S[61], 2);
    }
    // From level 11 on the marker lies under the auto button's pressed face.
    f.vars.S[26] = 13;
    DrawQuickBar(f, 1);
    EXPECT_EQ(f.ui.quickWork.Pixel(552, 5)[0], 255);
    f.vars.S[26] = 0;
    DrawQuickBar(f, 1);
    EXPECT_EQ(f.vars.S[61], 0);
}

TEST(QuickBar, FiltersUnreadTextAndReplays) {
    Story s({{"main", std::string("!S000=0;S028=1\n") + kPages}});
    s.ToWait();
    TForm1& f = s.f();
    FakeSheet(f);
    const int ox = f.config.TXW_OFS_X, oy = f.config.TXW_OFS_Y + kQuickBandRow;
    test::Move(s, 400, 300);
    s.Pass(5);
    f.settings.Seen = 1;
    f.ui.TextRead = false;
    test::Move(s, ox + 310, oy + 10);  // skip
    EXPECT_EQ(f.ui.HoveredQuickButton, 0);
    f.ui.TextRead = true;
    test::Move(s, ox + 311, oy + 10);
    EXPECT_EQ(f.ui.HoveredQuickButton, 1);
    f.app.replayContext = 1;
    test::Move(s, ox + 200, oy + 10);  // quick load: not during a replay
    EXPECT_EQ(f.ui.HoveredQuickButton, 0);
    EXPECT_FALSE(QuickBarAction(f));
    f.app.replayContext = 0;
    test::Move(s, ox + 201, oy + 10);
    EXPECT_EQ(f.ui.HoveredQuickButton, 5);
    EXPECT_TRUE(QuickBarAction(f));
    EXPECT_EQ(f.ui.promptKind, kPromptQuickLoad);
}

TEST(StatusMeter, BlinksFiveTimesWhenTheStateChanged) {
    Story s({{"main", "!S004=1;V800=5;V805=3\n*chgprm\n!V805=3\n*chgprm\n!V805=7\n*chgprm\n終わり\n\\\n"}});
    size_t mark = s.Mark();
    const uint32_t t0 = s.plat().Now();
    s.ToWait();
    TForm1& f = s.f();
    std::string t = s.TraceSince(mark);
    EXPECT_EQ(test::Count(t, "status meter "), 2) << t;  // 0 -> 3, then 3 -> 7; 3 -> 3 does not blink
    EXPECT_GE(s.plat().Now() - t0, 2000u);
    EXPECT_EQ(f.vars.V[805], 7);
    EXPECT_EQ(f.ui.MeterShown, 7);
}

TEST(QuickBar, EachButtonActsWhereItIs) {
    Story s({{"main", std::string("!S000=0;S028=1\n") + kPages}});
    s.ToWait();
    TForm1& f = s.f();
    FakeSheet(f);
    f.settings.Seen = 0;  // skipping allowed on unread text
    test::Move(s, 400, 300);
    s.Pass(5);
    const int ox = f.config.TXW_OFS_X, oy = f.config.TXW_OFS_Y + kQuickBandRow + 10;
    auto click = [&](int x) {
        test::Press(s, mbLeft, ox + x, oy);
        s.Pass();
    };
    // Skip on, the voice playing on (the click itself lets it go on here).
    f.settings.CV_THROUGH = 1;
    test::PlayFakeVoice(s);
    click(310);
    EXPECT_TRUE(f.ui.SkipActive);
    EXPECT_EQ(f.vars.S[60], 2);
    EXPECT_TRUE(test::VoicePlaying(s));
    f.settings.CV_THROUGH = 0;
    f.ui.SkipActive = false;  // (skipping would run through the pages)
    f.vars.S[60] = 0;
    f.vars.S[27] = 0;
    click(480);  // auto on at level 8, and off again
    EXPECT_EQ(f.vars.S[26], 8);
    EXPECT_EQ(f.vars.S[61], 2);
    test::Move(s, 400, 300);
    click(481);
    EXPECT_EQ(f.vars.S[26], 0);
    EXPECT_EQ(f.vars.S[27], 8);
    test::Move(s, 400, 300);
    click(200);  // quick load asks first
    EXPECT_EQ(f.ui.promptKind, kPromptQuickLoad);
    test::Press(s, mbRight, 400, 300);
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    size_t mark = s.Mark();
    test::Move(s, 400, 300);
    click(380);  // the backlog, its button pressed meanwhile
    EXPECT_EQ(f.vars.S[65], 0);
    EXPECT_NE(s.TraceSince(mark).find("backlog"), std::string::npos);
}

// The runner's `toolbar` command clicks a tool-bar button as the window's
// mouse would: by caption or name, never a greyed button, never past an open form.
TEST(ToolBar, CommandClicksTheButtonsTheEngineLeavesEnabled) {
    Timeline t;
    std::string error;
    ASSERT_TRUE(ParseTimeline("toolbar 終了\ntoolbar ロード\ntoolbar SpeedButton3\ntoolbar 設定(C)\n", t, error)) << error;
    ASSERT_EQ(t.events.size(), 4u);
    EXPECT_EQ(t.events[0].value, kButtonQuit);
    EXPECT_EQ(t.events[1].value, kButtonLoad);
    EXPECT_EQ(t.events[2].value, kButtonSave);
    EXPECT_EQ(t.events[3].value, kButtonSettings);
    for (const char* bad : {"toolbar\n", "toolbar 開く\n", "toolbar SpeedButton5\n"})
        EXPECT_FALSE(ParseTimeline(bad, t, error)) << bad;

    Story s({{"main", std::string("!S000=0;S028=1\n") + kPages}});
    s.ToWait();
    ASSERT_TRUE(s.Events("toolbar セーブ\nwait 20\ndialog press 閉じる\nwait 20\ntoolbar 終了\nwait 20\nmenu cancel\n"));
    for (int i = 0; i < 200 && !s.plat().TimelineDone(); ++i) s.Pass();
    EXPECT_TRUE(s.Traced("dialog TForm9")) << s.Trace();
    EXPECT_TRUE(s.Traced("menu PopupMenu1 opened")) << s.Trace();
    EXPECT_EQ(s.plat().OpenForm(), nullptr);

    // Saving is off: its button is greyed and a click on it does nothing.
    s.f().vars.S[0] = 1;
    UpdateMenuStates(s.f());
    const size_t mark = s.Trace().size();
    ASSERT_TRUE(s.Events("toolbar セーブ\nwait 20\n"));
    for (int i = 0; i < 50 && !s.plat().TimelineDone(); ++i) s.Pass();
    const std::string after = s.Trace().substr(mark);
    EXPECT_NE(after.find("tool-bar button 3 is not there to click"), std::string::npos) << after;
    EXPECT_EQ(after.find("dialog TForm9"), std::string::npos) << after;
}

TEST(Menus, ThePromptAnswersTheKeyboard) {
    Story s({{"main", std::string("!S000=0;S028=1\n") + kPages}, {"STITLE", kTitle}});
    s.ToWait();
    TForm1& f = s.f();
    const auto key = [&](uint16_t k) {
        f.FormKeyDown(k, 0);
        s.plat().ProcessMessages();
    };
    const auto press = [&](char c) {
        f.FormKeyPress(c);
        s.plat().ProcessMessages();
    };
    const auto open = [&] {
        ASSERT_TRUE(s.Events("menu タイトルへ戻る\n"));
        f.SpeedButton1Click();
        ASSERT_EQ(f.ui.promptKind, kPromptTitle);
    };
    open();
    test::Move(s, 10, 10);
    // The arrows put the pointer on an answer, which shows it chosen.
    key(VK_LEFT);
    EXPECT_TRUE(f.ui.prompt.yes);
    key(VK_RIGHT);
    EXPECT_FALSE(f.ui.prompt.yes);
    EXPECT_EQ(PromptHit(f.ui.LastMouseX, f.ui.LastMouseY), 2);
    key(VK_TAB);
    EXPECT_TRUE(f.ui.prompt.yes);
    key(VK_DOWN);
    // Enter on "いいえ": the prompt closes, the page stays, and the Enter
    // does not go on to turn the page.
    const int wait = f.stepper.PendingWait;
    press('\r');
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    EXPECT_TRUE(s.Traced("prompt 3 answered no"));
    EXPECT_EQ(f.stepper.PendingWait, wait);
    // Escape is no wherever the pointer is.
    open();
    key(VK_UP);
    press(27);
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    EXPECT_EQ(f.app.playMode, 0);
    EXPECT_STRNE(f.loader.currentScript, "STITLE");
    // Space on "はい" returns to the title.
    open();
    key(VK_UP);
    press(' ');
    s.ToWait();
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    EXPECT_STREQ(f.loader.currentScript, "STITLE");
}
