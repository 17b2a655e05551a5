// The pad on the headless platform: the mapping and its overrides, the
// focus the D-pad moves over what the screen offers, and the buttons as the
// window's own events.
#include <gtest/gtest.h>

#include "../script/story.h"
#include "data/file_io.h"
#include "platform/headless/events.h"
#include "platform/headless/ini_store.h"
#include "ui/pad_input.h"
#include "ui_support.h"

using namespace velmora;
using namespace velmora::platform;
using test::Story;

namespace {

const char kThree[] = "*select\n{北へ\nnorth▼\n{南へ\nsouth▼\n{西へ\nwest▼\n}\nafter▼\n";

std::string LastLine(Story& s) { return s.Backlog(s.f().backlog.count - 1); }

// Runs events-file lines now, with the idle passes a window would run,
// until their time is over.
void Play(Story& s, const std::string& lines) {
    ASSERT_TRUE(s.Events(lines + "wait 60\n"));
    for (int i = 0; i < 1000 && !s.plat().TimelineDone(); ++i) s.Pass();
}

}  // namespace

TEST(PadMapping, SettingsOverrideButtonsAndBadNamesKeepTheDefault) {
    IniSettingsStore store;
    store.Set("Software/Test/Story/story", "PadA", "Backlog");  // names ignore case
    store.Set("Software/Test/Story/story", "PadLB", "none");
    store.Set("Software/Test/Story/story", "PadX", "fly");
    PadMapping m = ReadPadMapping(store, "Software\\Test\\Story", "story");
    EXPECT_EQ(m[PadButton::A], PadAction::Backlog);
    EXPECT_EQ(m[PadButton::LeftShoulder], PadAction::None);
    EXPECT_EQ(m[PadButton::X], PadAction::HideWindow);
    EXPECT_EQ(m[PadButton::RightShoulder], PadAction::Skip);
    ResetPadMapping(store, "Software\\Test\\Story", "story");
    m = ReadPadMapping(store, "Software\\Test\\Story", "story");
    const PadMapping d = DefaultPadMapping();
    for (int i = 0; i < kPadButtons; ++i) EXPECT_EQ(m.action[i], d.action[i]) << i;
    EXPECT_FALSE(PadRumbleOn(store, "Software\\Test\\Story", "story"));
}

TEST(PadMapping, EventsFileTakesPadCommands) {
    Timeline t;
    std::string error;
    ASSERT_TRUE(ParseTimeline("pad A\npaddown rb\npadup RB\nstick 0 -32768\n", t, error)) << error;
    ASSERT_EQ(t.events.size(), 4u);
    EXPECT_EQ(t.events[0].kind, EventKind::Pad);
    EXPECT_EQ(t.events[1].kind, EventKind::PadDown);
    EXPECT_EQ(t.events[1].value, static_cast<int>(PadButton::RightShoulder));
    EXPECT_EQ(t.events[3].y, -32768);
    for (const char* bad : {"pad\n", "pad Z\n", "paddown A B\n", "stick 1\n", "stick 0 40000\n"}) {
        EXPECT_FALSE(ParseTimeline(std::string("wait 1\n") + bad, t, error)) << bad;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

TEST(PadFocus, NextTargetLooksAheadAndPrefersTheStraightWay) {
    const PadTarget t[] = {{400, 100, 1}, {400, 200, 2}, {700, 210, 3}, {100, 300, 4}};
    EXPECT_EQ(NextPadTarget(t, 4, 400, 100, 0, 1, 1), 1);   // straight down beats the nearer corner
    EXPECT_EQ(NextPadTarget(t, 4, 400, 200, 1, 0, 2), 2);
    EXPECT_EQ(NextPadTarget(t, 4, 400, 100, 0, -1, 1), -1);  // nothing above: the focus stays
    // Left from the bottom right corner: the thing out to the left, not the
    // one a few pixels left of the corner but far above it; with nothing in
    // that wedge, whatever lies ahead.
    const PadTarget g[] = {{714, 38, 83}, {140, 260, 1}, {718, 558, 53}};
    EXPECT_EQ(NextPadTarget(g, 3, 718, 558, -1, 0, 53), 1);
    EXPECT_EQ(NextPadTarget(g, 2, 718, 558, -1, 0, 0), 1);
    EXPECT_EQ(NextPadTarget(g, 1, 718, 558, -1, 0, 0), 0);
    // From a point on nothing, the nearest when nothing lies ahead.
    EXPECT_EQ(NextPadTarget(t, 4, 410, 90, 0, -1, 0), 0);
    EXPECT_EQ(NextPadTarget(t, 0, 0, 0, 0, 1, 0), -1);
}

TEST(PadFocus, DpadWalksTheChoicesWithTheMouseHoverFaceAndAPicks) {
    Story s({{"main", kThree}});
    s.Pass(2);
    TForm1& f = s.f();
    ASSERT_EQ(f.ui.choiceKind, kChoiceList);
    PadTarget t[kPadTargetMax];
    int rows = 0;
    for (int i = 0, n = PadTargets(f, t, kPadTargetMax); i < n; ++i) rows += t[i].key >= 1 && t[i].key <= 3;
    EXPECT_EQ(rows, 3);
    Play(s, "pad Down\n");
    EXPECT_EQ(f.ui.choice.hovered, 1);
    Play(s, "pad Down\npad Down\npad Down\n");
    EXPECT_EQ(f.ui.choice.hovered, 3);
    Play(s, "pad Up\n");
    EXPECT_EQ(f.ui.choice.hovered, 2);
    Picture byPad;
    s.plat().ReadBack(byPad);

    // The same row under the mouse shows the same face.
    Story m({{"main", kThree}});
    m.Pass(2);
    test::Move(m, f.ui.LastMouseX, f.ui.LastMouseY);
    m.Pass(2);
    Picture byMouse;
    m.plat().ReadBack(byMouse);
    EXPECT_TRUE(byPad.bytes == byMouse.bytes);

    Play(s, "pad A\n");
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    s.Pass(2);
    EXPECT_EQ(LastLine(s), "south");
}

TEST(PadFocus, HeldDirectionRepeatsAndTheStickMovesToo) {
    Story s({{"main", kThree}});
    s.Pass(2);
    TForm1& f = s.f();
    // Pressed, then held past the repeat delay: two more steps.
    Play(s, "paddown Down\nwait 600\npadup Down\nwait 500\n");
    EXPECT_EQ(f.ui.choice.hovered, 3);
    Play(s, "stick 0 -30000\nstick 0 0\n");
    EXPECT_EQ(f.ui.choice.hovered, 2);
    Play(s, "stick 0 -8000\n");  // inside the dead zone
    EXPECT_EQ(f.ui.choice.hovered, 2);
}

TEST(PadFocus, PromptAnswersByDpadAndB) {
    Story s({{"main", "page▼\n"}});
    s.ToWait();
    TForm1& f = s.f();
    ShowPrompt(f, ToCp932("タイトルへ戻りますか？"), kPromptTitle);
    Play(s, "pad Right\n");
    EXPECT_TRUE(f.ui.prompt.yes);
    Play(s, "pad Right\n");
    EXPECT_FALSE(f.ui.prompt.yes);
    Play(s, "pad Left\n");
    EXPECT_TRUE(f.ui.prompt.yes);
    // B is the right click: the prompt closes with no.
    Play(s, "pad B\n");
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    EXPECT_TRUE(s.Traced("answered no"));
}

TEST(PadButtons, AdvanceBacklogAndSkipAsTheirKeys) {
    std::string script = "!S028=1\n";
    for (int i = 1; i <= 16; ++i) script += "more\nmore\nline " + std::to_string(i) + "▼\n";
    Story s({{"main", script}});
    s.ToWait();
    TForm1& f = s.f();
    for (int i = 0; i < 12; ++i) {
        Play(s, "pad A\n");
        s.ToWait();
    }
    EXPECT_EQ(LastLine(s), "line 13");
    Play(s, "pad Y\n");
    ASSERT_TRUE(f.backlog.open);
    const int scroll = f.backlog.viewer.scroll;
    Play(s, "pad Up\n");
    EXPECT_GT(f.backlog.viewer.scroll, scroll);
    Play(s, "pad Down\n");
    EXPECT_EQ(f.backlog.viewer.scroll, scroll);
    Play(s, "pad Y\n");
    EXPECT_FALSE(f.backlog.open);
    // RB held is Ctrl held: skipping while it is down.
    Play(s, "paddown RB\n");
    EXPECT_TRUE(f.ui.SkipActive);
    Play(s, "padup RB\n");
    EXPECT_FALSE(f.ui.SkipActive);
    // An override from the settings: A opens the backlog instead.
    s.plat().settings().WriteString("Software\\Test\\Story", "story", "PadA", "backlog");
    s.plat().Pad().ReadMapping();
    Play(s, "pad A\n");
    EXPECT_TRUE(f.backlog.open);
}

TEST(PadDialogs, NameEnteredWithThePadAloneThroughTheKanaGrid) {
    Story s({{"main", "*setname\n[$0]です。\\\n"}});
    // Right: from the name field to "かな入力"; A opens the grid on "あ".
    // A, Right, A: "あい" after the name there; Left twice: round to "決定";
    // then "ＯＫ".
    ASSERT_TRUE(s.Events("wait 200\npad Right\npad A\nwait 50\npad A\npad Right\npad A\npad Left\npad Left\npad A\n"
                         "wait 50\npad Right\npad Right\npad A\n"));
    s.ToWait();
    EXPECT_EQ(ToUtf8(s.f().vars.str[0]), "遠野あい");
    EXPECT_TRUE(s.Traced("kana grid: \"遠野あい\""));
}

TEST(PadDialogs, MenuAndLoadDialogByPad) {
    Story s({{"main", "!S000=0\n!V001=1\n一ページ目\n\\\n!V001=2\n二ページ目\n\\\n"}});
    s.ToWait();
    Play(s, "save 1\npad A\n");
    s.ToWait();
    ASSERT_EQ(s.f().vars.V[1], 2);
    // Start: the right-click menu; "ロード" is the seventh item it can light;
    // in the dialog Down lights the next slot (an empty one, which A cannot
    // load), Up the saved one, and A loads it.
    Play(s, "pad Start\nwait 20\npad Down\npad Down\npad Down\npad Down\npad Down\npad Down\npad Down\n"
            "pad A\nwait 100\npad Down\npad A\npad Up\npad A\nwait 1500\n");
    EXPECT_TRUE(s.Traced("pad picks N9"));
    EXPECT_EQ(s.plat().OpenForm(), nullptr);
    EXPECT_EQ(s.f().vars.V[1], 1);
}

TEST(PadRunner, TheDemoTitleExtrasAndGalleryByPadAlone) {
    test::TempDir dir;
    // Title: Down to "おまけ", A; the extras' list comes up under the pointer
    // on "回想": Up to "ギャラリー", A; in the gallery the D-pad reaches the
    // seen picture (down to "もどる" first, it lies more left than down) and
    // the page buttons; B goes back.
    dir.Write("e.txt",
              "wait 2500\npad Down\npad Down\npad Down\npad A\nwait 2500\npad Up\npad A\nwait 3000\npad Down\npad Left\n"
              "wait 100\nscreenshot " + dir.File("cell.png") + "\npad Right\npad B\nwait 2000\n");
    std::string out;
    const int rc = test::RunVelmora("--headless --game " + test::CopyDemo(dir) + " --events " + dir.File("e.txt") +
                                        " --trace " + dir.File("t.txt"),
                                    &out);
    ASSERT_EQ(rc, 0) << out;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dir.File("t.txt"), bytes));
    const std::string trace(bytes.begin(), bytes.end());
    const size_t gallery = trace.find("view VIEW_1: open");
    ASSERT_NE(gallery, std::string::npos) << trace;
    EXPECT_NE(trace.find("focus to 1 at", gallery), std::string::npos);   // the seen picture
    EXPECT_NE(trace.find("focus to 82 at", gallery), std::string::npos);  // "場面"
    EXPECT_NE(trace.find("pad B down: rightclick", gallery), std::string::npos);
}
