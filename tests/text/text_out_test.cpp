// Text out: what leaves the engine for the clipboard, the text feed and
// speech as a story plays, skipped pages included; and the headless feed
// file of the demo.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "../script/story.h"
#include "platform/input_codes.h"
#include "support/test_game.h"

using namespace velmora;
using test::ReadText;
using platform::TextKind;
using test::Story;

namespace {

// Records what the engine hands its outlets.
struct Recorder : platform::TextOutlets {
    struct Item {
        TextKind kind;
        std::string text;
        bool speak;
    };
    std::vector<Item> items;
    std::vector<std::string> copied;
    platform::TextOutSwitches switches;
    int hushes = 0;
    bool speech = false;
    bool reader = false;  // a screen reader listens
    int newPages = 0;
    bool ScreenReaderActive() override { return reader; }
    void NewPage() override { ++newPages; }
    void Apply(const platform::TextOutSwitches& s) override { switches = s; }
    void Put(TextKind kind, const std::string& utf8, bool speak) override { items.push_back({kind, utf8, speak}); }
    void Copy(const std::string& utf8) override { copied.push_back(utf8); }
    void Hush() override { ++hushes; }
    bool SpeechAvailable(std::string* why) override {
        if (!speech && why) *why = "not in this test";
        return speech;
    }
    std::vector<std::string> Texts(TextKind kind) const {
        std::vector<std::string> out;
        for (const Item& i : items)
            if (i.kind == kind) out.push_back(i.text);
        return out;
    }
    std::vector<std::string> Feed() const {
        std::vector<std::string> out;
        for (const Item& i : items)
            if (platform::FeedCarries(i.kind)) out.push_back(i.text);
        return out;
    }
};

void Attach(Story& s, Recorder& r) {
    s.plat().textOutletsImpl = &r;
    ApplyTextOut(s.f());
}

}  // namespace

TEST(TextOut, LinesLeaveWholeWithTheirSpeakerAndWithoutMarkup) {
    Story s({{"main",
              "*win_open\n"
              "朝の光。▼\n"
              ">ミナ\n"
              "「<きょう>今日は[?V001+1]日目[wait 1]。」%5▼\n"
              "一行目、\n"
              "二行目◆。▽\n"
              "＄１さん〓この先は落ちる\n"
              "三行目▼\n"}});
    Recorder r;
    Attach(s, r);
    s.f().vars.V[1] = 4;
    s.ToWait();
    s.NextWait();
    s.NextWait();
    s.NextWait();
    s.NextWait();
    const std::vector<std::string> want = {"朝の光。", "「ミナ」「今日は5日目。」", "一行目、", "二行目。",
                                           "明さん", "三行目"};
    EXPECT_EQ(r.Feed(), want);
    ASSERT_GE(r.items.size(), 2u);
    EXPECT_EQ(r.items[0].kind, TextKind::Narration);
    EXPECT_EQ(r.items[1].kind, TextKind::Speaker);
    // The speaker holds for its page only.
    EXPECT_EQ(r.items[2].kind, TextKind::Narration);
    for (const auto& i : r.items) EXPECT_TRUE(i.speak) << i.text;
    // Every click that starts a page cuts speech short.
    EXPECT_GE(r.hushes, 3);
}

TEST(TextOut, TheBacklogGivesItsSpeakerAsTheLiveLinesDo) {
    Story s({{"main", "!S028=1\n*win_open\n朝の光。▼\n>ミナ\n*voice V0001\n「おはよう。」▼\n地の文。▼\n"}});
    Recorder r;
    Attach(s, r);
    s.ToWait();
    s.NextWait();
    s.NextWait();
    s.Type('\b');
    ASSERT_TRUE(s.f().backlog.open);
    const std::vector<std::string> want = {"朝の光。", "「ミナ」「おはよう。」", "地の文。"};
    EXPECT_EQ(r.Texts(TextKind::Backlog), want);
}

TEST(TextOut, FullScreenStyleNameLinesBecomeTheSpeaker) {
    Story s({{"main", "!S150=1\n>カイ\n「もう閉館か……」\n地の文。▼\n"}});
    Recorder r;
    Attach(s, r);
    s.ToWait();
    const std::vector<std::string> want = {"「カイ」「もう閉館か……」", "「カイ」地の文。"};
    EXPECT_EQ(r.Feed(), want);
}

TEST(TextOut, SkippedPagesLoseNothingAndAreNotSpoken) {
    std::string script = "*win_open\n";
    for (int i = 1; i <= 6; ++i) script += "ページ" + std::to_string(i) + "の一行目\nページ" + std::to_string(i) + "の二行目▼\n";
    Story s({{"main", script + "*end\n"}});
    Recorder r;
    Attach(s, r);
    s.f().settings.Seen = 0;  // skip unread text too
    s.ToWait();
    uint16_t ctrl = platform::VK_CONTROL;
    s.f().FormKeyDown(ctrl, platform::ssCtrl);
    ASSERT_TRUE(s.f().ui.SkipActive);
    s.Pass(200);
    std::vector<std::string> want;
    for (int i = 1; i <= 6; ++i) {
        want.push_back("ページ" + std::to_string(i) + "の一行目");
        want.push_back("ページ" + std::to_string(i) + "の二行目");
    }
    EXPECT_EQ(r.Feed(), want);
    for (size_t i = 2; i < r.items.size(); ++i) EXPECT_FALSE(r.items[i].speak) << r.items[i].text;
}

TEST(TextOut, VoicedLinesAreSpokenOnlyWhenThePlayerAsksForBoth) {
    Story s({{"main", "[voice V0001]声のある台詞▼\n声のない台詞▼\n[voice V0002]もう一度▼\n"}});
    Recorder r;
    Attach(s, r);
    s.ToWait();
    s.NextWait();
    s.f().settings.SpeakVoiced = 1;
    s.NextWait();
    ASSERT_EQ(r.items.size(), 3u) << s.Trace();
    EXPECT_FALSE(r.items[0].speak);
    EXPECT_TRUE(r.items[1].speak) << s.Trace();
    EXPECT_TRUE(r.items[2].speak);
}

TEST(TextOut, ChoicesLeaveAsTheyOpenAndThePointedOneIsSpoken) {
    Story s({{"main", "どこへ？▼\n*select\n{北へ\nnorth▼\n{南へ\nsouth▼\n}\n"}});
    Recorder r;
    Attach(s, r);
    s.ToWait();
    s.NextWait();
    const std::vector<std::string> labels = {"北へ", "南へ"};
    EXPECT_EQ(r.Texts(TextKind::Choice), labels);
    ASSERT_EQ(s.f().ui.choiceKind, kChoiceList);
    const int top = s.f().ui.choice.listTop;
    s.f().PBMouseMove(0, 400, top + 50 + 5);  // the second row
    ASSERT_FALSE(r.Texts(TextKind::Menu).empty());
    EXPECT_EQ(r.Texts(TextKind::Menu).back(), "南へ");
}

TEST(TextOut, CtrlCCopiesThePageShownWhenCtrlWentDown) {
    std::string script = "*win_open\n>ミナ\n一行目\n二行目▼\n";
    for (int i = 1; i <= 20; ++i) script += "ページ" + std::to_string(i) + "▼\n";
    Story s({{"main", script}});
    Recorder r;
    Attach(s, r);
    s.f().settings.Seen = 0;
    s.ToWait();
    uint16_t ctrl = platform::VK_CONTROL, c = 'C';
    s.f().FormKeyDown(ctrl, platform::ssCtrl);
    s.Pass(3);  // skipping goes on while C is reached for
    s.f().FormKeyDown(c, platform::ssCtrl);
    ASSERT_EQ(r.copied.size(), 1u);
    EXPECT_EQ(r.copied[0], "「ミナ」一行目\n「ミナ」二行目");
    uint16_t up = platform::VK_CONTROL;
    s.f().FormKeyUp(up, 0);
    s.ToWait();
    s.f().FormKeyDown(c, platform::ssCtrl);
    ASSERT_EQ(r.copied.size(), 2u);
    EXPECT_EQ(r.copied[1].rfind("ページ", 0), 0u) << r.copied[1];
    // The events file's Ctrl and C copy as well, and open no settings dialog.
    ASSERT_TRUE(s.Events("keydown Ctrl\nkey C\nkeyup Ctrl\nwait 200\n"));
    s.Pass(10);
    EXPECT_EQ(r.copied.size(), 3u);
    EXPECT_FALSE(s.Traced("TForm11"));
    // With the switch on every completed line goes to the clipboard as well.
    s.f().settings.TextCopy = 1;
    ApplyTextOut(s.f());
    EXPECT_TRUE(r.switches.copy);
}

TEST(TextOut, CtrlCWhileALineTypesOutCopiesWhatShows) {
    Story s({{"main", "*win_open\n前の行\n[delay 1]タイプ中の行▼\n"}}, true);
    Recorder r;
    Attach(s, r);
    for (int i = 0; i < 300 && (s.f().textOut.page.empty() || s.f().textOut.lineLength < 6); ++i) s.Pass();
    ASSERT_EQ(s.f().stepper.PendingWait, 0);
    uint16_t c = 'C';
    s.f().FormKeyDown(c, platform::ssCtrl);
    ASSERT_EQ(r.copied.size(), 1u);
    EXPECT_EQ(r.copied[0].rfind("前の行\nタイプ", 0), 0u) << r.copied[0];
    EXPECT_NE(r.copied[0], "前の行\nタイプ中の行");
}

TEST(TextOut, SelfVoicingWithoutSpeechIsRefusedAndTracedOnce) {
    Story s({{"main", "一行目▼\n二行目▼\n"}});
    Recorder r;
    Attach(s, r);
    s.f().settings.SelfVoice = 1;
    ApplyTextOut(s.f());
    EXPECT_FALSE(r.switches.speech);
    s.Type('y');
    s.Type('Y');
    s.ToWait();
    s.NextWait();
    EXPECT_EQ(test::Count(s.Trace(), "self-voicing is unavailable: not in this test"), 1);
    // Where speech is, Y switches it and the store keeps it.
    r.speech = true;
    s.f().settings.SelfVoice = 0;
    s.Type('y');
    EXPECT_TRUE(r.switches.speech);
    EXPECT_EQ(s.plat().settings().ReadInteger("Software\\Test\\Story", "story", "SelfVoice", 0), 1);
}

TEST(TextOut, TheSettingsPageAndTheMenuSwitchTheOutletsAndStoreThem) {
    Story s({{"main", "一行目▼\n二行目▼\n"}});
    Recorder r;
    Attach(s, r);
    s.ToWait();
    ASSERT_TRUE(s.Events("key C\nwait 100\ndialog tab 出力\ndialog set CheckBox17 1\ndialog set TrackBar10 40\n"
                         "dialog set TrackBar11 -1500\ndialog press 閉じる\nwait 100\nclick 400 300 right\nwait 100\n"
                         "menu テキストをコピー\nwait 100\n"));
    s.Pass(40);
    platform::SettingsStore& reg = s.plat().settings();
    EXPECT_EQ(reg.ReadInteger("Software\\Test\\Story", "story", "TextFeed", 0), 1);
    EXPECT_EQ(reg.ReadInteger("Software\\Test\\Story", "story", "SpeechRate", 0), 40);
    EXPECT_EQ(reg.ReadInteger("Software\\Test\\Story", "story", "TextCopy", 0), 1);
    EXPECT_TRUE(r.switches.feed);
    EXPECT_TRUE(r.switches.copy);
    EXPECT_EQ(r.switches.speechRate, 40);
    EXPECT_EQ(r.switches.speechVolume, 0);  // -1500 of -3000: half way
    // Without speech its switches are greyed, in the dialog and the menu.
    const std::string t = s.Trace();
    const size_t box = t.find("CheckBox18");
    ASSERT_NE(box, std::string::npos);
    EXPECT_NE(t.substr(box, t.find('\n', box) - box).find("disabled"), std::string::npos);
    EXPECT_NE(t.find("N20 \"読み上げ\" disabled"), std::string::npos) << t;
    // Read again at the next start.
    s.f().settings.TextFeed = 0;
    ReadSettings(s.f());
    EXPECT_EQ(s.f().settings.TextFeed, 1);
}

TEST(TextOut, TheScreenReaderSwitchFollowsTheDesktopUntilSetAndSelfVoicingYieldsToIt) {
    Story s({{"main", "一行目▼\n二行目▼\n"}});
    Recorder r;
    r.speech = true;
    Attach(s, r);
    s.f().settings.SelfVoice = 1;
    ApplyTextOut(s.f());
    EXPECT_FALSE(r.switches.screenReader);
    EXPECT_TRUE(r.switches.speech);
    // A screen reader starts: the bridge goes on, self-voicing keeps quiet
    // (the player's switch stays as it was), and comes back when it leaves.
    r.reader = true;
    ApplyTextOut(s.f());
    EXPECT_TRUE(r.switches.screenReader);
    EXPECT_FALSE(r.switches.speech);
    EXPECT_EQ(s.f().settings.SelfVoice, 1);
    r.reader = false;
    ApplyTextOut(s.f());
    EXPECT_FALSE(r.switches.screenReader);
    EXPECT_TRUE(r.switches.speech);
    // Each page the story turns tells the outlets.
    s.ToWait();
    const int pages = r.newPages;
    s.NextWait();
    EXPECT_GT(r.newPages, pages);
    // Once the player sets it on the "出力" page it stays as set, and is read so at the next start.
    r.reader = true;
    ApplyTextOut(s.f());
    ASSERT_TRUE(s.Events("key C\nwait 100\ndialog tab 出力\ndialog set CheckBox20 0\ndialog press 閉じる\nwait 100\n"));
    s.Pass(20);
    EXPECT_FALSE(r.switches.screenReader);
    EXPECT_TRUE(r.switches.speech);  // no screen reader fed: self-voicing reads
    EXPECT_EQ(s.plat().settings().ReadInteger("Software\\Test\\Story", "story", "ScreenReader", -1), 0);
    ReadSettings(s.f());
    ApplyTextOut(s.f());
    EXPECT_FALSE(r.switches.screenReader);
}

TEST(TextOut, TheHeadlessFeedFileGivesTheDemosLinesInOrder) {
    test::TempDir dir;
    const std::string demo = test::CopyDemo(dir);
    std::string out;
    const int rc = test::RunVelmora("--headless --game " + demo + " --events " + VELMORA_SOURCE_DIR +
                                        "/demo/demo.events --text-feed " + dir.File("feed.txt") +
                                        " --settings " + dir.File("s.ini"),
                                    &out);
    ASSERT_EQ(rc, 0) << out;
    const std::string feed = ReadText(dir.File("feed.txt"));
    // The title's choices, the story's lines with speakers and ruby as base text.
    const char* const inOrder[] = {
        "はじめから\n",
        "朝の光が窓から差し込んでいた。部屋の中はまだ静かで、遠くで鳥の声が聞こえる。\n",
        "「ミナ」「おはよう。今日はどこへ行くの？」\n",
        "「カイ」「図書館へ。調べものがあるんだ。長い一日になりそうだけど、夕方には戻るよ。」\n",
        "ゆっくり、はなす。そして、いつもの速さで。\n",
        "∽　特別な印も描けます。\n",
        "「カイ」「もう閉館の時間か……」\n",
        "丘へ行く\n",
    };
    size_t at = 0;
    for (const char* line : inOrder) {
        const size_t next = feed.find(line, at);
        ASSERT_NE(next, std::string::npos) << line << "\nafter byte " << at << " of\n" << feed;
        at = next;
    }
    EXPECT_EQ(feed.find('<'), std::string::npos) << feed;
    EXPECT_EQ(feed.find('['), std::string::npos) << feed;
    // What is only spoken never reaches the feed.
    EXPECT_EQ(feed.find("ゲームを終了しますか"), std::string::npos);

    // A feed file that cannot be written is a bad command line.
    EXPECT_EQ(test::RunVelmora("--headless --game " + demo + " --text-feed " + dir.File("no/such/feed.txt"), &out), 2);
    EXPECT_NE(out.find("cannot write the text feed file"), std::string::npos) << out;
}
