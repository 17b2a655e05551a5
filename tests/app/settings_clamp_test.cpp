// Settings come from a file anyone can edit: every value at its extremes
// reaches the engine inside the range its control allows, and the dialog
// shows what the engine uses.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/engine.h"
#include "app/trace.h"
#include "platform/headless/events.h"
#include "platform/headless/ini_store.h"
#include "support/test_game.h"

using namespace velmora;
using test::ReadText;

namespace {

const char kConfig[] = "TITLE:Clamp\nMAKER_REG:Software\\Test\\Clamp\nGAME_ID:clamp\nFONT_NAME:ＭＳ ゴシック\n";

const char* const kIntegers[] = {
    "Left", "Top", "BGM_ENA", "SE_ENA", "Delay", "GMode", "SMode", "Clear", "Seen", "BreakonSelect",
    "MemorySaveMode", "DirectSoundGlobal", "AnimQuality", "RC_MODE", "WHEEL_MODE", "CS_SWAP", "EFX_CUT",
    "DatePanel", "TXWStyle", "CV_THROUGH", "CV1", "CV2", "TextCopy", "TextFeed", "SelfVoice", "SpeakVoiced",
    "SpeechRate", "SpeechVol", "SE0", "SE1", "SE2", "SE3", "SE4", "SE_LVL0", "SE_LVL1", "SE_LVL2", "SE_LVL3",
    "SE_LVL4", "Vol1", "Vol2", "Vol3", "Vol4", "FONTAA", "FONTSIZE", "FONTBold", "LastSaveSlot", "TXBG_R",
    "TXBG_G", "TXBG_B", "TXBG_A", "TXBG_A2"};
const char* const kTexts[] = {"FontName", "PlayerName", "PlayerName2", "CDDir", "GameDir", "CDDA_DRV"};

// A settings file with every value of the game's group at `value`, every text `text`.
std::string SettingsFile(const std::string& value, const std::string& text) {
    std::string ini = "[Software/Test/Clamp/clamp]\n";
    for (const char* n : kIntegers) ini += std::string(n) + "=" + value + "\n";
    for (const char* n : kTexts) ini += std::string(n) + "=" + text + "\n";
    return ini;
}

struct ClampRig {
    explicit ClampRig(const std::string& ini) {
        sink_ = open_memstream(&buf_, &len_);
        SetTraceSink(sink_);
        game.Script("_config", kConfig).Script("main", "文章です。\\\n");
        game.Build();
        store.Write("settings.ini", ini);
        auto s = std::make_unique<platform::IniSettingsStore>(store.File("settings.ini"));
        EXPECT_TRUE(s->Load());
        e = std::make_unique<test::HeadlessEngine>(game.path(), 1920, 1080, std::move(s));
    }
    ~ClampRig() {
        e.reset();
        SetTraceSink(nullptr);
        std::fclose(sink_);
        std::free(buf_);
    }
    std::string Trace() {
        std::fflush(sink_);
        return std::string(buf_, len_);
    }
    // Opens the settings dialog on the text page and closes it again.
    std::string DialogTrace() {
        const size_t mark = Trace().size();
        platform::Timeline t;
        std::string error;
        EXPECT_TRUE(platform::ParseTimeline("dialog tab テキスト設定\ndialog press 閉じる\n", t, error));
        const uint32_t now = e->plat.Now();
        for (platform::TimelineEvent& ev : t.events) ev.time += now;
        t.endTime += now;
        e->plat.SetTimeline(std::move(t));
        ShowSettingsDialog(*e->f);
        return Trace().substr(mark);
    }
    test::TestGame game;
    test::TempDir store;
    std::unique_ptr<test::HeadlessEngine> e;
    char* buf_ = nullptr;
    size_t len_ = 0;
    std::FILE* sink_ = nullptr;
};

bool Has(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

}  // namespace

TEST(SettingsClamp, TheLargestValuesComeInAtTheTopOfEachRange) {
    // A megabyte of face name once kept fontconfig busy for a minute at start.
    ClampRig r(SettingsFile(std::to_string(INT_MAX), std::string(1 << 20, 'A')));
    const Settings& s = r.e->f->settings;
    EXPECT_EQ(s.FONTSIZE, 24);
    EXPECT_EQ(s.FONTAA, 1);
    EXPECT_EQ(s.Vol[0], 0);
    EXPECT_EQ(s.Vol[3], 0);
    EXPECT_EQ(s.SpeechRate, 100);
    EXPECT_EQ(s.TXBG_R, 255);
    EXPECT_EQ(s.TXBG_A2, 255);
    EXPECT_EQ(s.SE_LVL[4], 255);
    EXPECT_EQ(s.BGM_ENA, 1);
    EXPECT_EQ(s.Clear, 999999999);
    // Modes past their choices take the default.
    EXPECT_EQ(s.RC_MODE, 0);
    EXPECT_EQ(s.WHEEL_MODE, 0);
    EXPECT_EQ(s.SMode, 0);
    EXPECT_EQ(s.LastSaveSlot, 0);
    EXPECT_EQ(s.FontName.size(), 63u);
    EXPECT_EQ(s.PlayerName.size(), 63u);
    EXPECT_EQ(s.GameDir.size(), 1023u);
    EXPECT_EQ(r.e->f->vars.S[50], 1);

    const std::string t = r.DialogTrace();
    EXPECT_TRUE(Has(t, "spin box CSpinEdit1 \"フォントサイズ\" value 24")) << t;
    EXPECT_TRUE(Has(t, "slider TrackBar5 \"R\" value -255")) << t;
    EXPECT_TRUE(Has(t, "radio group RadioGroup1 \"右クリック割り当て\" choice \"メニュー\"")) << t;
    EXPECT_TRUE(Has(t, "settings: FONTSIZE = 2147483647 is out of range; 24 used")) << t;
}

TEST(SettingsClamp, TheSmallestValuesComeInAtTheBottomOfEachRange) {
    ClampRig r(SettingsFile(std::to_string(INT_MIN), ""));
    const Settings& s = r.e->f->settings;
    EXPECT_EQ(s.FONTSIZE, 18);
    EXPECT_EQ(s.Vol[0], -3000);
    EXPECT_EQ(s.Vol[3], -9999);
    EXPECT_EQ(s.SpeechRate, -100);
    EXPECT_EQ(s.SpeechVol, -3000);
    EXPECT_EQ(s.TXBG_B, 0);
    EXPECT_EQ(s.Left, -16384);
    EXPECT_EQ(s.Clear, 0);
    EXPECT_EQ(s.Delay, 1);  // not 0: each line at once, as any other non-zero value
    EXPECT_EQ(s.RC_MODE, 0);
    EXPECT_TRUE(s.FontName.empty());
    const std::string t = r.DialogTrace();
    EXPECT_TRUE(Has(t, "spin box CSpinEdit1 \"フォントサイズ\" value 18")) << t;
}

TEST(SettingsClamp, ValuesInRangePassAndTextsAreCutBetweenCharacters) {
    EXPECT_EQ(ClampSetting("RC_MODE", 4, 0), 4);
    EXPECT_EQ(ClampSetting("rc_mode", 5, 2), 2);  // names without regard to case
    EXPECT_EQ(ClampSetting("FONTSIZE", 21, 19), 21);
    EXPECT_EQ(ClampSetting("GV03", INT_MIN, 0), INT_MIN);  // global integers are the scripts' own
    EXPECT_EQ(ClampSetting("LastSaveSlot", 60, 0), 60);
    EXPECT_EQ(ClampSetting("LastSaveSlot", 61, 0), 0);
    // 31 double-byte characters and a lead byte whose trail would pass the cap.
    std::string name;
    for (int i = 0; i < 40; ++i) name += "\x82\xA0";
    EXPECT_EQ(ClampSettingText("FontName", name), name.substr(0, 62));
    EXPECT_EQ(ClampSettingText("PlayerName", std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(ClampSettingText("PlayerName", "\x82\xA0"), "\x82\xA0");
}

TEST(SettingsClamp, AGamesKeyPathIsMadeOfNamesOnly) {
    EXPECT_TRUE(IsKeyPathOfNames("Software\\Sablewood\\lumen"));
    EXPECT_TRUE(IsKeyPathOfNames("Software\\Sablewood\\"));
    EXPECT_TRUE(IsKeyPathOfNames(""));
    EXPECT_TRUE(IsKeyPathOfNames("Software\\..hidden"));
    for (const char* bad : {"Software\\..\\..\\..\\tmp", "..", "Software\\.", "a/b", "Software\\x/../../y",
                            "/etc\\passwd", "Soft\nware"})
        EXPECT_FALSE(IsKeyPathOfNames(bad)) << bad;
}
