// Start-up: settings and their defaults, derived values, the failure
// messages, the close confirmation.
#include <gtest/gtest.h>

#include <functional>

#include "app/engine.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "platform/headless/ini_store.h"
#include "support/test_game.h"
#include "support/trace_capture.h"

using namespace velmora;
using test::HeadlessEngine;
using test::TestGame;

namespace {

const char kConfig[] =
    "TITLE:テスト\nMAKER_REG:Software\\Test\\Game\nGAME_ID:test\n"
    "DEFAULT_NAME:山田\nDEFAULT_NAME2:太郎\nFONT_NAME:ＭＳ 明朝\n"
    "VOLUME1:-100\nVOLUME4:-400\nTXW_COLOR_B:40\nTXW_ALPHA:160\n";

std::unique_ptr<platform::IniSettingsStore> Store(
    std::initializer_list<std::pair<const char*, const char*>> values) {
    auto s = std::make_unique<platform::IniSettingsStore>();
    for (auto& [k, v] : values) s->Set("Software/Test/Game/test", k, v);
    return s;
}

struct Game {
    Game() {
        game.Script("_config", kConfig).Script("main", "hello\n");
        game.Build();
    }
    TestGame game;
};

}  // namespace

TEST(Startup, EmptyStoreGivesEveryDefault) {
    Game g;
    HeadlessEngine e(g.game.path(), 1920, 1080);
    const Settings& s = e.f->settings;
    EXPECT_EQ(s.FONTSIZE, 19);
    EXPECT_EQ(s.BGM_ENA, 1);
    EXPECT_EQ(s.SE_ENA, 1);
    EXPECT_EQ(s.EFX_CUT, 1);
    EXPECT_EQ(s.Seen, 1);
    EXPECT_EQ(s.MemorySaveMode, 1);
    EXPECT_EQ(s.CV1, 1);
    EXPECT_EQ(s.SE[4], 1);
    EXPECT_EQ(s.Vol[0], -100);
    EXPECT_EQ(s.Vol[3], -400);
    EXPECT_EQ(s.TXBG_B, 40);
    EXPECT_EQ(s.TXBG_A, 160);
    EXPECT_EQ(ToUtf8(s.FontName), "ＭＳ 明朝");
    EXPECT_EQ(ToUtf8(s.PlayerName), "山田");
    // Centred on the screen with the window's outer size.
    EXPECT_EQ(s.Left, (1920 - 808) / 2);
    EXPECT_EQ(s.Top, (1080 - kWindowOuterHeight) / 2);
    EXPECT_EQ(e.plat.Left(), s.Left);
    EXPECT_EQ(e.plat.Top(), s.Top);
    EXPECT_TRUE(e.f->app.typewriter);
    EXPECT_EQ(e.f->app.screenMode, 0);
    EXPECT_EQ(ToUtf8(e.plat.Caption()), "テスト");
    // The installation values.
    EXPECT_EQ(s.CDDir, "NULL");
    EXPECT_EQ(s.CDDA_DRV, "NUL");
    EXPECT_FALSE(e.f->flags.quitRequest);
    EXPECT_TRUE(e.f->flags.titleStartRequest);
    // Initial system variables and the player's names in $0 and $1.
    const int32_t* S = e.f->vars.S;
    EXPECT_EQ(S[0], 3);
    EXPECT_EQ(S[8], 8);
    EXPECT_EQ(S[37], 16777215);
    EXPECT_EQ(S[50], 1);
    EXPECT_EQ(S[51], 1);
    EXPECT_EQ(S[6], 0);
    EXPECT_EQ(ToUtf8(e.f->vars.str[0]), "山田");
    EXPECT_EQ(ToUtf8(e.f->vars.str[1]), "太郎");
    EXPECT_EQ(e.f->gfx.screen.width, 800);
}

TEST(Startup, StoredSettingsAndTheirDerivedValues) {
    Game g;
    HeadlessEngine e(g.game.path(), 1920, 1080,
                     Store({{"fontsize", "24"}, {"Delay", "1"}, {"Clear", "3"}, {"GV07", "-5"}, {"Left", "10"},
                            {"PlayerName2", "花子"}, {"DatePanel", "0"}, {"SMode", "1"}}));
    EXPECT_EQ(e.f->settings.FONTSIZE, 24);  // names compare without regard to case
    EXPECT_FALSE(e.f->app.typewriter);
    EXPECT_EQ(e.f->vars.S[100], 3);
    EXPECT_EQ(e.f->vars.G[7], -5);
    EXPECT_EQ(e.plat.Left(), 10);
    EXPECT_EQ(e.f->vars.S[6], 1);  // the given name differs from the default
    EXPECT_EQ(ToUtf8(e.f->vars.str[1]), "花子");
    EXPECT_EQ(e.f->vars.S[50], 0);
    EXPECT_EQ(e.f->app.screenMode, 1);
}

TEST(Startup, WindowModeOnANarrowScreenBecomesBorderless) {
    Game g;
    {
        HeadlessEngine e(g.game.path(), 600, 480);
        EXPECT_EQ(e.f->app.screenMode, 2);
        bool done;
        e.f->AppIdle(done);  // the first pass starts the title and the screen mode
        EXPECT_FALSE(e.plat.Border());
        EXPECT_EQ(e.plat.Left(), 0);
    }
    HeadlessEngine wide(g.game.path(), 601, 480);
    EXPECT_EQ(wide.f->app.screenMode, 0);
    HeadlessEngine stored(g.game.path(), 600, 480, Store({{"SMode", "1"}}));
    EXPECT_EQ(stored.f->app.screenMode, 1);
}

TEST(Startup, FirstIdlePassLoadsMain) {
    Game g;
    HeadlessEngine e(g.game.path());
    bool done = true;
    e.f->AppIdle(done);
    EXPECT_FALSE(done);
    EXPECT_FALSE(e.f->flags.titleStartRequest);
    EXPECT_STREQ(e.f->loader.currentScript, "main");
    EXPECT_EQ(e.f->loader.callDepth, 0);
    EXPECT_TRUE(e.f->stepper.ScriptRunning);
    EXPECT_EQ(e.plat.Now(), 20u);  // the pass is paced to 20 ms
}

TEST(Startup, MissingGameDataAsksNothingOnClose) {
    test::TempDir empty;
    HeadlessEngine e(empty.path());
    ASSERT_EQ(e.plat.Shown().size(), 1u);
    EXPECT_EQ(e.plat.Shown()[0], "Error!: ゲームデータを読み込めません。\n" + empty.path() +
                                     " is not a game: vk_data.vrk is missing");
    EXPECT_TRUE(e.f->flags.quitRequest);
    bool done;
    e.f->AppIdle(done);  // the first pass closes the window without asking
    EXPECT_TRUE(e.plat.Closed());
    EXPECT_EQ(e.plat.Shown().size(), 1u);
}

TEST(Startup, SetupNotRunIsReported) {
    Game g;
    HeadlessEngine e(g.game.path(), 1920, 1080, Store({{"GameDir", "NULL"}}));
    ASSERT_EQ(e.plat.Shown().size(), 1u);
    EXPECT_EQ(e.plat.Shown()[0], "Warning: 先にセットアップを実行してください。");
    EXPECT_TRUE(e.f->flags.quitRequest);
}

TEST(Startup, CloseAsksAndIsRefusedWhileBusy) {
    Game g;
    HeadlessEngine e(g.game.path());
    bool can = false;
    e.f->flags.busy = true;
    e.f->FormCloseQuery(can);
    EXPECT_FALSE(can);
    EXPECT_TRUE(e.plat.Shown().empty());
    e.f->flags.busy = false;
    e.f->flags.interruptibleEffect = true;
    e.f->FormCloseQuery(can);
    EXPECT_FALSE(can);
    EXPECT_EQ(e.f->flags.interruptRequest, 2);
    e.f->flags.interruptibleEffect = false;
    e.f->flags.interruptRequest = 0;
    e.f->stepper.ScriptRunning = true;
    e.f->FormCloseQuery(can);
    EXPECT_TRUE(can);
    EXPECT_EQ(e.f->flags.interruptRequest, 1);
    EXPECT_TRUE(e.f->stepper.ScriptRunning);
    ASSERT_EQ(e.plat.Shown().size(), 1u);
    EXPECT_EQ(e.plat.Shown()[0], "確認: ゲームを終了しますか？");
}

TEST(Startup, DamagedScriptArchiveIsRefusedLikeAMissingOne) {
    // Each of these used to start with no script: a black window, exit 0.
    struct Case {
        const char* what;
        std::function<void(TestGame&, test::TempDir&)> make;
        const char* reason;
    };
    auto build = [](TestGame& g, const std::string& main) {
        g.Script("_config", kConfig).Script("main", main).Script("other", "text\n");
        g.Build();
    };
    auto truncate = [](const std::string& path, size_t keep) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadWholeFile(path, bytes));
        bytes.resize(std::min(keep, bytes.size()));
        ASSERT_TRUE(WriteFileAtomic(path, bytes));
    };
    const std::vector<Case> cases = {
        {"zero length", [&](TestGame& g, test::TempDir&) { build(g, "hello\n"); truncate(g.dir().File("vk_data.vrk"), 0); },
         "vk_data.vrk is empty (0 bytes)"},
        {"cut inside the records",
         [&](TestGame& g, test::TempDir&) { build(g, "hello\n"); truncate(g.dir().File("vk_data.vrk"), 30); },
         "vk_data.vrk is damaged"},
        {"main too large for the buffer",
         [&](TestGame& g, test::TempDir&) { build(g, std::string(300000, 'x') + "\n"); },
         "larger than the script buffer"},
        {"main empty", [&](TestGame& g, test::TempDir&) { build(g, ""); }, "\"main\" in vk_data.vrk is empty"},
        {"every archive empty",
         [&](TestGame& g, test::TempDir&) {
             g.Entry("vk_gra.vrk", "BG", {1, 2, 3});
             build(g, "hello\n");
             truncate(g.dir().File("vk_data.vrk"), 0);
             truncate(g.dir().File("vk_gra.vrk"), 0);
         },
         "vk_data.vrk is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestGame g;
        test::TempDir scratch;
        c.make(g, scratch);
        HeadlessEngine e(g.path());
        ASSERT_EQ(e.plat.Shown().size(), 1u);
        // The box says why, as the terminal does.
        EXPECT_EQ(e.plat.Shown()[0], "Error!: ゲームデータを読み込めません。\n" + e.f->app.startFailure);
        EXPECT_TRUE(e.f->flags.quitRequest);
        EXPECT_NE(e.f->app.startFailure.find("is not a playable game"), std::string::npos);
        EXPECT_NE(e.f->app.startFailure.find(c.reason), std::string::npos) << e.f->app.startFailure;
    }
}

TEST(Startup, DamagedVolumesAreToldOnceAndTheGamePlaysOn) {
    Game g;
    g.game.Entry("vk_gra.vrk", "BG", {1, 2, 3});
    g.game.Entry("vk_se0.vrk", "SE", {1, 2, 3});
    g.game.Build();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(g.game.dir().File("vk_se0.vrk"), bytes));
    bytes.resize(bytes.size() - 1);  // half-copied
    ASSERT_TRUE(WriteFileAtomic(g.game.dir().File("vk_se0.vrk"), bytes));
    ASSERT_TRUE(WriteFileAtomic(g.game.dir().File("vk_gra.vrk"), std::vector<uint8_t>{}));
    test::TraceCapture trace;
    ResetContentErrors();
    HeadlessEngine e(g.game.path());
    EXPECT_TRUE(e.plat.Shown().empty());
    EXPECT_FALSE(e.f->flags.quitRequest);
    EXPECT_EQ(trace.Count("archive vk_gra.vrk: the file is empty"), 1) << trace.Text();
    EXPECT_EQ(trace.Count("archive vk_se0.vrk: entry SE"), 1) << trace.Text();
    // The empty volume is a placeholder, not damage: only the cut one counts.
    EXPECT_NE(ContentErrorSummary().find("damaged 1,"), std::string::npos) << ContentErrorSummary();
}
