// The settings dialog as a player drives it through the events file: what
// each change reaches at once (the store, the mixer, the music) and what
// shows only once the dialog has closed (text speed, font, window colour,
// screen mode).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/engine.h"
#include "app/library_notices.h"
#include "app/trace.h"
#include "audio/sound_data.h"
#include "data/encoding.h"
#include "platform/headless/events.h"
#include "platform/headless/ini_store.h"
#include "support/test_game.h"
#include "text/text_layout.h"
#include "ui/input.h"

using namespace velmora;
using test::ReadText;
using platform::MixerEvent;

namespace {

const char kGroup[] = "Software/Velmora/demo";  // the demo configuration's key and section

const char kGame[] =
    "*music 5\n"
    "*gra S448 0\n"
    "一ページ目の文章です。\n\\\n"
    "二ページ目の文章です。\n\\\n"
    "三ページ目の文章です。\n\\\n"
    "四ページ目の文章です。\n\\\n";

// The demo's layout and window pictures with a script of our own, a music
// track and the voice sample; settings in an INI file, the text at the
// fast speed unless a test asks otherwise.
class Rig {
public:
    explicit Rig(const char* storedSMode = nullptr) {
        sink_ = open_memstream(&buf_, &len_);
        SetTraceSink(sink_);
        game_.Script("_config", ReadText(VELMORA_SOURCE_DIR "/demo/config.txt"))
            .Script("main", kGame)
            .Entry("vk_bgm.vrk", "M05", test::MusicEntry(test::CodedNoise(50000, 1), 1, 2205, 0, 0, 0))
            .Entry("vk_se0.vrk", "SAMPLECV", test::EffectEntry({0x03, 0x03, 0x03}));
        game_.Build();
        std::filesystem::copy_file(VELMORA_DEMO_DIR "/vk_gra.vrk", game_.dir().File("vk_gra.vrk"));
        iniPath_ = store_.File("settings.ini");
        auto store = std::make_unique<platform::IniSettingsStore>(iniPath_);
        store->Set(kGroup, "Delay", "1");
        if (storedSMode) store->Set(kGroup, "SMode", storedSMode);
        e_ = std::make_unique<test::HeadlessEngine>(game_.path(), 1920, 1080, std::move(store));
        ToWait();
    }
    ~Rig() {
        e_.reset();
        SetTraceSink(nullptr);
        std::fclose(sink_);
        std::free(buf_);
    }
    TForm1& f() { return *e_->f; }
    platform::HeadlessPlatform& plat() { return e_->plat; }
    platform::HeadlessMixer& mixer() { return plat().headlessMixer; }

    void Pass(int n = 1) {
        for (int i = 0; i < n; ++i) {
            plat().ProcessMessages();
            bool done = false;
            f().AppIdle(done);
        }
    }
    void ToWait() {
        for (int i = 0; i < 300 && f().stepper.PendingWait == 0; ++i) Pass();
    }
    void Click() { f().PBMouseDown(platform::mbLeft, 0, 400, 300); }

    // What the player does in the dialog, from now on.
    void Events(const std::string& text) {
        platform::Timeline t;
        std::string error;
        ASSERT_TRUE(platform::ParseTimeline(text, t, error)) << error;
        const uint32_t now = plat().Now();
        for (platform::TimelineEvent& ev : t.events) ev.time += now;
        t.endTime += now;
        plat().SetTimeline(std::move(t));
    }
    // The tool bar's "設定(C)": the dialog over a stopped script, then its settings applied.
    void OpenSettings(const std::string& events) {
        Events(events);
        TForm1& e = f();
        BreakSkipAndAuto(e, true);
        e.flags.busy = true;
        e.stepper.ScriptRunning = false;
        ShowSettingsDialog(e);
        ApplySettings(e);
        e.stepper.ScriptRunning = true;
        e.flags.busy = false;
    }

    int32_t Stored(const char* name) { return plat().settings().ReadInteger("Software\\Velmora", "demo", name, -99999); }
    std::string Trace() {
        std::fflush(sink_);
        return std::string(buf_, len_);
    }
    size_t Mark() { return Trace().size(); }
    std::string TraceSince(size_t mark) { return Trace().substr(mark); }
    Picture Shown() {
        Picture p;
        plat().surface().ReadBack(p);
        return p;
    }
    const std::string& iniPath() const { return iniPath_; }

private:
    test::TestGame game_;
    test::TempDir store_;
    std::string iniPath_;
    std::unique_ptr<test::HeadlessEngine> e_;
    char* buf_ = nullptr;
    size_t len_ = 0;
    std::FILE* sink_ = nullptr;
};

bool Has(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// The first mixer event of a kind on a slot from index `from` (with `value`
// unless it is kAny); -1 when none.
constexpr int64_t kAny = INT64_MIN;
int FindEvent(const platform::HeadlessMixer& m, MixerEvent::Kind kind, int slot, size_t from, int64_t value = kAny) {
    for (size_t i = from; i < m.events.size(); ++i) {
        const MixerEvent& e = m.events[i];
        if (e.kind == kind && e.slot == slot && (value == kAny || e.value == value)) return static_cast<int>(i);
    }
    return -1;
}

// A place inside the message window that the text never reaches.
constexpr int kPanelX = 600, kPanelY = 450;
bool SameArea(const Picture& a, const Picture& b, int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y)
        if (!std::equal(a.Pixel(x0, y), a.Pixel(x0 + w, y), b.Pixel(x0, y))) return false;
    return true;
}

}  // namespace

TEST(SettingsDialog, OpensOnTheLastTabAndReloadsItsControlsFromTheStore) {
    Rig r;
    size_t mark = r.Mark();
    r.OpenSettings("dialog tab 音設定\ndialog press 閉じる\n");
    std::string t = r.TraceSince(mark);
    EXPECT_TRUE(Has(t, "dialog TForm11 \"設定\" opened: 407 x 336")) << t;
    EXPECT_TRUE(Has(t, "dialog TForm11: page \"著作権表示\"\n")) << t;  // the first time
    EXPECT_TRUE(Has(t, "\"本製品は以下の技術及び著作物を利用しております\""));
    EXPECT_TRUE(Has(t, "FreeType Project (www.freetype.org). All rights reserved."));
    EXPECT_TRUE(Has(t, "radio group RadioGroup5 \"文字表示速度\" choice \"高速\""));
    EXPECT_TRUE(Has(t, "spin box CSpinEdit1 \"フォントサイズ\" value 19"));
    EXPECT_TRUE(Has(t, "slider TrackBar7 \"B\" value -40"));  // TXW_COLOR_B as its default
    // The hidden switches are kept but not shown.
    EXPECT_FALSE(Has(t, "CheckBox4")) << t;
    EXPECT_EQ(r.f().ui.SettingsPage, 1);

    // A value changed behind the dialog's back shows at the next opening,
    // which is on the tab shown last.
    r.plat().settings().WriteInteger("Software\\Velmora", "demo", "RC_MODE", 3);
    r.plat().settings().WriteInteger("Software\\Velmora", "demo", "GMode", 7);
    mark = r.Mark();
    r.OpenSettings("dialog press 閉じる\n");
    t = r.TraceSince(mark);
    EXPECT_TRUE(Has(t, "dialog TForm11: page \"音設定\"\n")) << t;
    EXPECT_TRUE(Has(t, "radio group RadioGroup1 \"右クリック割り当て\" choice \"オート\""));
    EXPECT_TRUE(Has(t, "radio group RadioGroup4 \"グラフィック表示\" choice \"高速\""));  // past the choices: the last
    // Only a change writes: the right-click setting of the engine stays.
    EXPECT_EQ(r.f().settings.RC_MODE, 0);
}

TEST(SettingsDialog, TheTextSpeedShowsOnTheNextPageAfterTheClose) {
    Rig r;
    // Idle passes from a click to the next page's wait.
    auto passesForAPage = [&] {
        r.Click();
        int n = 0;
        do r.Pass(); while (++n < 300 && r.f().stepper.PendingWait == 0);
        return n;
    };
    const int fast = passesForAPage();
    EXPECT_LE(fast, 3);
    r.OpenSettings("dialog tab システム設定\ndialog set 文字表示速度 通常\ndialog set RadioGroup4 1\ndialog press 閉じる\n");
    EXPECT_EQ(r.Stored("Delay"), 0);
    EXPECT_EQ(r.Stored("GMode"), 1);
    EXPECT_TRUE(r.f().app.typewriter);
    EXPECT_EQ(r.f().settings.GMode, 1);
    EXPECT_GE(passesForAPage(), fast + 10);  // a character a pass
    EXPECT_EQ(r.f().text.charCount, 11);
}

TEST(SettingsDialog, VolumeSlidersReachTheMixerWhileTheDialogIsOpen) {
    Rig r;
    platform::HeadlessMixer& m = r.mixer();
    ASSERT_TRUE(m.HasBuffer(kSlotMusic));
    const size_t from = m.events.size();
    r.OpenSettings("dialog set TrackBar4 -1200\ndialog set 全体音量 -800\ndialog set TrackBar3 -5000\n"
                   "dialog press ボイス\nwait 400\ndialog press 閉じる\n");
    const uint32_t closed = r.plat().Now();
    const int music = FindEvent(m, MixerEvent::Volume, kSlotMusic, from, -1200);
    const int master = FindEvent(m, MixerEvent::Primary, -1, from, -800);
    ASSERT_GE(music, 0);
    ASSERT_GE(master, 0);
    EXPECT_LE(m.events[music].time + 400, closed);
    EXPECT_LE(m.events[master].time + 400, closed);
    // The music went on streaming at the new volume behind the dialog.
    const int refill = FindEvent(m, MixerEvent::Write, kSlotMusic, static_cast<size_t>(music));
    ASSERT_GE(refill, 0);
    EXPECT_LT(m.events[refill].time, closed);
    // The voice sample plays although the dialog, not the game, has the focus.
    EXPECT_GE(FindEvent(m, MixerEvent::Play, kSlotEffect, from), 0);
    EXPECT_EQ(r.f().audio.activeDialog, SoundDialog::None);

    EXPECT_EQ(r.Stored("Vol3"), -1200);
    EXPECT_EQ(r.Stored("Vol2"), -3000);  // the slider's quiet end
    EXPECT_EQ(r.f().settings.Vol[1], -3000);
    EXPECT_EQ(r.f().audio.masterVolume, -800);
    EXPECT_FALSE(Has(ReadText(r.iniPath()), "-800"));  // the overall volume is not kept
}

TEST(SettingsDialog, MusicOffStopsItAndOnAgainStartsTheRequestedTrack) {
    Rig r;
    platform::HeadlessMixer& m = r.mixer();
    ASSERT_EQ(r.f().audio.playingTrack, 5);
    size_t from = m.events.size();
    r.OpenSettings("dialog tab 音設定\ndialog set BGM 0\nwait 300\ndialog set CheckBox13 1\ndialog press 閉じる\n");
    const int stopped = FindEvent(m, MixerEvent::Release, kSlotMusic, from);
    ASSERT_GE(stopped, 0);
    const int started = FindEvent(m, MixerEvent::Create, kSlotMusic, static_cast<size_t>(stopped));
    ASSERT_GE(started, 0);
    EXPECT_GE(m.events[started].time, m.events[stopped].time + 300);
    EXPECT_TRUE(m.IsPlaying(kSlotMusic));
    EXPECT_EQ(r.f().audio.playingTrack, 5);
    EXPECT_EQ(r.Stored("BGM_ENA"), 1);

    r.OpenSettings("dialog set BGM 0\ndialog press 閉じる\n");
    r.Pass(5);
    EXPECT_FALSE(m.HasBuffer(kSlotMusic));
    EXPECT_EQ(r.f().audio.playingTrack, 0);
    EXPECT_EQ(r.f().audio.requestedTrack, 5);  // still asked for, for when it comes back on
    EXPECT_EQ(r.f().settings.BGM_ENA, 0);
    EXPECT_EQ(r.Stored("BGM_ENA"), 0);
}

TEST(SettingsDialog, ATypedFontSizeIsClampedAndTheValuesLandInTheStore) {
    Rig r;
    r.OpenSettings("dialog tab テキスト設定\ndialog set CSpinEdit1 30\ndialog set 太字 1\ndialog press 閉じる\n");
    EXPECT_EQ(r.Stored("FONTSIZE"), 24);
    EXPECT_EQ(r.f().text.glyphs.font.request().pointSize, 24);
    EXPECT_TRUE(r.f().text.glyphs.font.request().bold);
    EXPECT_TRUE(r.f().ui.DisplayChanged);

    size_t mark = r.Mark();
    r.OpenSettings("dialog set フォントサイズ 12\ndialog press 閉じる\n");
    EXPECT_TRUE(Has(r.TraceSince(mark), "spin box CSpinEdit1 \"フォントサイズ\" value 24")) << r.TraceSince(mark);
    EXPECT_EQ(r.Stored("FONTSIZE"), 18);

    // Written to the file, where the next start reads them.
    platform::IniSettingsStore again(r.iniPath());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.ReadInteger("Software\\Velmora", "demo", "FONTSIZE", 0), 18);
    EXPECT_EQ(again.ReadInteger("Software\\Velmora", "demo", "FONTBold", 0), 1);

    // Opening and closing without a change shows nothing anew.
    r.OpenSettings("dialog press 閉じる\n");
    EXPECT_FALSE(r.f().ui.DisplayChanged);
}

TEST(SettingsDialog, TheWindowColourShowsOnlyOnceTheDialogHasClosed) {
    Rig r;
    TForm1& f = r.f();
    ASSERT_GT(f.text.tw1.Pixel(kPanelX - f.config.TXW_OFS_X, kPanelY - f.config.TXW_OFS_Y)[0], 0);
    const Picture before = r.Shown();
    r.Events("dialog tab テキスト設定\ndialog set TrackBar5 -255\ndialog press 閉じる\n");
    ShowSettingsDialog(f);
    EXPECT_EQ(f.settings.TXBG_R, 255);
    EXPECT_EQ(r.Stored("TXBG_R"), 255);
    EXPECT_TRUE(f.ui.DisplayChanged);
    // Above the click-wait icon, which goes on blinking behind the dialog.
    EXPECT_TRUE(SameArea(r.Shown(), before, 0, 0, 800, 530));
    ApplySettings(f);
    const Picture after = r.Shown();
    EXPECT_GT(after.Pixel(kPanelX, kPanelY)[2], before.Pixel(kPanelX, kPanelY)[2] + 40);
    EXPECT_TRUE(SameArea(after, before, 0, 0, 800, 300));  // the scene above the window stays
    EXPECT_TRUE(f.text.windowOpen);
    EXPECT_EQ(f.text.charCount, 11);  // the page is still on it
}

TEST(SettingsDialog, AnotherFontRedrawsThePageAfterTheClose) {
    Rig r;
    TForm1& f = r.f();
    const std::vector<std::string> names = SettingsFontNames(InstalledFontFamilies());
    if (std::find(names.begin(), names.end(), ToCp932("IPA明朝")) == names.end()) GTEST_SKIP() << "no IPA明朝";
    const Picture before = r.Shown();
    const int textX = 40, textY = 390, textW = 300, textH = 70;  // the page's first line
    r.Events("dialog tab テキスト設定\ndialog set ComboBox1 IPA明朝\ndialog press 閉じる\n");
    ShowSettingsDialog(f);
    EXPECT_EQ(ToUtf8(f.settings.FontName), "IPA明朝");
    EXPECT_EQ(ReadText(r.iniPath()).find("FontName=IPA明朝") != std::string::npos, true);
    EXPECT_TRUE(SameArea(r.Shown(), before, textX, textY, textW, textH));
    ApplySettings(f);
    EXPECT_FALSE(SameArea(r.Shown(), before, textX, textY, textW, textH));
    EXPECT_NE(f.text.glyphs.font.face().family.find("Mincho"), std::string::npos) << f.text.glyphs.font.face().family;
}

TEST(SettingsDialog, DefaultRestoresTheWindowColourButNotTheNovelOpacity) {
    Rig r;
    TForm1& f = r.f();
    r.OpenSettings("dialog tab テキスト設定\ndialog set TrackBar5 -200\ndialog set TrackBar8 -10\n"
               "dialog set ノベルモード透過 -100\ndialog press Default\ndialog press 閉じる\n");
    EXPECT_EQ(f.settings.TXBG_R, 0);
    EXPECT_EQ(f.settings.TXBG_B, 40);
    EXPECT_EQ(f.settings.TXBG_A, 160);
    EXPECT_EQ(f.settings.TXBG_A2, 100);
    EXPECT_EQ(r.Stored("TXBG_R"), 0);
    EXPECT_EQ(r.Stored("TXBG_A"), 160);
    EXPECT_EQ(r.Stored("TXBG_A2"), 100);
    size_t mark = r.Mark();
    r.OpenSettings("dialog press 閉じる\n");
    std::string t = r.TraceSince(mark);
    EXPECT_TRUE(Has(t, "slider TrackBar8 \"透過\" value -160")) << t;
    EXPECT_TRUE(Has(t, "slider TrackBar9 \"ノベルモード透過\" value -100")) << t;
}

TEST(SettingsDialog, TheFontListHoldsNamesWithJapaneseCharactersAndNoVerticalFaces) {
    const std::vector<std::string> picked =
        SettingsFontNames({"@IPAゴシック", "DejaVu Sans", "IPAゴシック", "한국어", "VL ゴシック", "", "@Mincho"});
    ASSERT_EQ(picked.size(), 2u);
    EXPECT_EQ(ToUtf8(picked[0]), "IPAゴシック");
    EXPECT_EQ(ToUtf8(picked[1]), "VL ゴシック");

    // The dialog's own list, as it traces it. A Windows face drawn through
    // its stand-in shows the stand-in chosen, and nothing is stored for it.
    Rig r;
    r.f().settings.FontName = ToCp932("ＭＳ ゴシック");
    size_t mark = r.Mark();
    r.OpenSettings("dialog press 閉じる\n");
    std::string t = r.TraceSince(mark);
    const std::string key = "ComboBox1 fonts: ";
    size_t p = t.find(key);
    ASSERT_NE(p, std::string::npos) << t;
    std::string list = t.substr(p + key.size(), t.find('\n', p) - p - key.size());
    EXPECT_TRUE(Has(t, "ComboBox1 \"フォント指定(※)\" choice \"IPAゴシック\"")) << t;
    EXPECT_EQ(ToUtf8(r.f().settings.FontName), "ＭＳ ゴシック");
    ASSERT_FALSE(list.empty());
    std::stringstream ss(list);
    for (std::string name; std::getline(ss, name, '|');) {
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        EXPECT_NE(name[0], '@') << name;
        EXPECT_TRUE(std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            << name;
    }
    EXPECT_TRUE(Has(list, "IPAゴシック")) << list;
}

TEST(SettingsDialog, FullScreenSwitchesAtTheCloseAndARefusalLeavesTheWindow) {
    Rig r;
    TForm1& f = r.f();
    platform::HeadlessPlatform& p = r.plat();
    r.Events("dialog tab システム設定\ndialog set スクリーンモード 全画面\ndialog press 閉じる\n");
    ShowSettingsDialog(f);
    EXPECT_FALSE(p.fullScreen);  // not before the close
    ApplySettings(f);
    EXPECT_TRUE(p.fullScreen);
    EXPECT_TRUE(f.ui.FullScreenActive);
    EXPECT_EQ(r.Stored("SMode"), 1);
    r.OpenSettings("dialog set スクリーンモード ウィンドウ\ndialog press 閉じる\n");
    EXPECT_FALSE(p.fullScreen);
    EXPECT_TRUE(p.window().Border());
    EXPECT_EQ(p.window().Left(), (1920 - kWindowOuterWidth) / 2);

    p.fullScreenWorks = false;
    r.OpenSettings("dialog set スクリーンモード 全画面\ndialog press 閉じる\n");
    EXPECT_FALSE(f.ui.FullScreenActive);
    EXPECT_TRUE(p.window().Border());
    EXPECT_EQ(p.window().Left(), (1920 - kWindowOuterWidth) / 2);
    EXPECT_EQ(r.Stored("SMode"), 1);  // still asked for
    EXPECT_FALSE(f.flags.busy);
}

TEST(SettingsDialog, TheBorderlessModeKeepsTheWindowPlaceAcrossOpenings) {
    // Screen mode 2 (a borderless window, no display change) from the store.
    Rig r("2");
    TForm1& f = r.f();
    platform::HeadlessPlatform& p = r.plat();
    ASSERT_FALSE(p.window().Border());
    r.OpenSettings("dialog press 閉じる\n");
    r.OpenSettings("dialog press 閉じる\n");
    EXPECT_FALSE(p.window().Border());
    EXPECT_EQ(p.window().Left(), 0);
    r.OpenSettings("dialog tab システム設定\ndialog set スクリーンモード ウィンドウ\ndialog press 閉じる\n");
    EXPECT_TRUE(p.window().Border());
    EXPECT_EQ(p.window().Left(), (1920 - kWindowOuterWidth) / 2);
    EXPECT_EQ(f.app.screenMode, 0);
}

TEST(SettingsDialog, TheLayoutIsThePlayersChoiceUnlessTheGameSetsIt) {
    Rig r;
    EXPECT_FALSE(ProportionalText(r.f()));
    size_t mark = r.Mark();
    r.OpenSettings("dialog tab テキスト設定\ndialog set 文字の配置 1\ndialog press 閉じる\n");
    EXPECT_TRUE(Has(r.TraceSince(mark), "RadioGroup10 \"文字の配置\" choice \"等幅\"")) << r.TraceSince(mark);
    EXPECT_EQ(r.Stored("TextLayout"), 1);
    EXPECT_TRUE(ProportionalText(r.f()));
    EXPECT_TRUE(r.f().ui.DisplayChanged);

    // A game that names its layout keeps it: the control is there, disabled.
    r.f().config.TEXT_LAYOUT = "grid";
    mark = r.Mark();
    r.OpenSettings("dialog set 文字の配置 1\ndialog press 閉じる\n");
    EXPECT_TRUE(Has(r.TraceSince(mark), "\"文字の配置\" disabled")) << r.TraceSince(mark);
    EXPECT_FALSE(ProportionalText(r.f()));
}

TEST(SettingsDialog, AFeedThePlatformCannotOfferIsGreyedAndKeepsItsValue) {
    Rig r;
    r.OpenSettings("dialog tab 出力\ndialog set CheckBox17 1\ndialog press 閉じる\n");
    EXPECT_EQ(r.Stored("TextFeed"), 1);

    r.plat().textFeedAvailable = false;
    const size_t mark = r.Mark();
    r.OpenSettings("dialog set CheckBox17 0\ndialog press 閉じる\n");
    EXPECT_TRUE(Has(r.TraceSince(mark), "CheckBox17 is disabled")) << r.TraceSince(mark);
    EXPECT_EQ(r.Stored("TextFeed"), 1);
}

TEST(SettingsDialog, GreyedSelfVoicingSaysWhatThisPlatformNeeds) {
    Rig r;  // the headless platform has no text outlets at all
    size_t mark = r.Mark();
    r.OpenSettings("dialog press 閉じる\n");
    std::string t = r.TraceSince(mark);
    EXPECT_TRUE(Has(t, "CheckBox18 \"読み上げる（Y キー）\" disabled off hint \"この環境では読み上げを使えません\"")) << t;

    // Outlets without speech name what they would need, in their own words.
    struct NoSpeech : platform::TextOutlets {
        void Apply(const platform::TextOutSwitches&) override {}
        void Put(platform::TextKind, const std::string&, bool) override {}
        std::string SpeechNeeds() const override { return "読み上げには試験の声が必要です"; }
    } outlets;
    r.plat().textOutletsImpl = &outlets;
    mark = r.Mark();
    r.OpenSettings("dialog press 閉じる\n");
    t = r.TraceSince(mark);
    EXPECT_TRUE(Has(t, "disabled off hint \"読み上げには試験の声が必要です\"")) << t;
    // A switch that works says nothing.
    EXPECT_FALSE(Has(t, "CheckBox16 \"テキストをコピー（Ctrl+C でページをコピー）\" off hint")) << t;
    r.plat().textOutletsImpl = nullptr;
}

TEST(SettingsDialog, TheCopyrightPageListsTheLibrariesOfThisBuild) {
    Rig r;
    const size_t mark = r.Mark();
    r.OpenSettings("dialog tab 著作権表示\ndialog press 閉じる\n");
    const std::string t = r.TraceSince(mark);
    const std::vector<std::string> notices = LibraryNotices();
    ASSERT_FALSE(notices.empty());
    for (const std::string& n : notices) {
        // Each notice starts a label of its own: its first words, up to the name's colon.
        const std::string head = n.substr(0, n.find(':') + 1);
        EXPECT_TRUE(Has(t, "\"" + head)) << head << "\n" << t;
    }
    // The desktop build names its own libraries, nothing of the browser's.
    EXPECT_TRUE(Has(t, "\"FreeType:")) << t;
    EXPECT_FALSE(Has(t, "stb")) << t;
}
