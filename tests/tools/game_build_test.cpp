// velmora-pack new, build and extract: a starter game that packs and plays
// at once under --strict, builds that code only what changed, and archives
// that come back byte for byte through extract and build.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "data/archive.h"
#include "data/file_io.h"
#include "support/test_game.h"
#include "tools/game_build.h"
#include "tools/game_check.h"
#include "tools/game_layout.h"

using namespace velmora;
using namespace velmora::tools;

namespace {

std::vector<uint8_t> Bytes(const std::string& path) {
    std::vector<uint8_t> b;
    ReadWholeFile(path, b);
    return b;
}

int RunTool(const std::string& cmd, std::string* out = nullptr) {
    std::string all = cmd + " 2>&1";
    FILE* p = ::popen(all.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    std::string text;
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    const int status = ::pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const char* const kArchives[] = {"vk_data.vrk", "vk_gra.vrk", "vk_se0.vrk", "vk_ogg1.vrk", "vk_bgm.vrk"};

}  // namespace

TEST(GameBuild, TheStarterGameBuildsChecksCleanAndPlaysToItsChoicesUnderStrict) {
    test::TempDir dir;
    const std::string game = dir.File("mygame");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    EXPECT_FALSE(NewGame(game, error)) << "new must not write over a game";
    BuildSummary s;
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    for (const char* a : kArchives) EXPECT_TRUE(IsRegularFile(game + "/dist/" + a)) << a;
    EXPECT_EQ(s.coded, s.entries);

    // The checker passes it, from its sources and from its archives.
    for (const std::string& where : {game, game + "/dist"}) {
        GameContents g;
        ASSERT_TRUE(ReadGameContents(where, g, error)) << error;
        CheckReport r = CheckGame(g);
        std::string all;
        for (const CheckFinding& f : r.findings) all += FormatFinding(f) + "\n";
        EXPECT_EQ(r.errors + r.warnings, 0) << where << "\n" << all;
    }

    // The title's menu, then the first scene up to its choice: no content error.
    dir.Write("play.events",
              "wait 2000\nscreenshot " + dir.File("title.png") + "\nmove 400 184\nwait 100\nclick 400 184\nwait 3000\n"
              "click 400 300\nwait 1000\nclick 400 300\nwait 1000\nclick 400 300\nwait 2000\n"
              "screenshot " + dir.File("choice.png") + "\n");
    std::string out;
    const int rc = test::RunVelmora("--headless --strict --game " + game + "/dist --events " + dir.File("play.events") +
                                        " --trace " + dir.File("t.txt"),
                                    &out);
    std::vector<uint8_t> trace = Bytes(dir.File("t.txt"));
    const std::string t(trace.begin(), trace.end());
    EXPECT_EQ(rc, 0) << out << t.substr(t.size() > 4000 ? t.size() - 4000 : 0);
    EXPECT_NE(t.find("content errors: none"), std::string::npos);
    EXPECT_NE(t.find("chain scene1: loaded"), std::string::npos) << "the title's first option starts the scene";
    EXPECT_NE(t.find("select: 2 options"), std::string::npos) << "the scene reaches its choice";
}

TEST(GameBuild, ABuildWithNothingChangedCodesNothingAndOneChangeRebuildsOneArchive) {
    test::TempDir dir;
    const std::string game = dir.File("g");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    BuildSummary s;
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    const std::vector<uint8_t> pictures = Bytes(game + "/dist/vk_gra.vrk");
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.coded, 0);
    EXPECT_EQ(s.unchanged, s.archives);
    // A script changes: its archive alone is built again, and only it is coded.
    dir.Write("g/scripts/scene1.txt", "ようこそ。▼\n*chain title\n");
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.unchanged, s.archives - 1);
    EXPECT_EQ(s.coded, 1);
    EXPECT_EQ(Bytes(game + "/dist/vk_gra.vrk"), pictures);
    // A script that has no Shift-JIS form stops the build with its file and line.
    dir.Write("g/scripts/scene1.txt", "ok\n\xF0\x9F\x98\x80\n");
    EXPECT_FALSE(BuildGame(game, "", nullptr, s, error));
    EXPECT_NE(error.find("scene1.txt:2:"), std::string::npos) << error;
}

TEST(GameBuild, ExtractThenBuildGivesTheSameArchives) {
    test::TempDir dir;
    const std::string game = dir.File("g");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    BuildSummary s;
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    const std::string back = dir.File("back");
    for (const char* a : kArchives) ASSERT_TRUE(ExtractArchive(game + "/dist/" + a, {}, back, nullptr, error)) << error;
    EXPECT_TRUE(IsRegularFile(back + "/config.txt"));
    EXPECT_TRUE(IsRegularFile(back + "/pictures/B_GUIDE.png"));  // the sprite with its mask as alpha
    EXPECT_TRUE(IsRegularFile(back + "/music/M01.wav"));
    ASSERT_TRUE(BuildGame(back, "", nullptr, s, error)) << error;
    for (const char* a : kArchives)
        EXPECT_EQ(Bytes(back + "/dist/" + a), Bytes(game + "/dist/" + a)) << a << " differs after extract and build";
    // Named entries alone, and the program's refusals.
    const std::string one = dir.File("one");
    ASSERT_TRUE(ExtractArchive(game + "/dist/vk_gra.vrk", {"a_title"}, one, nullptr, error)) << error;
    EXPECT_EQ(ListFolder(one + "/pictures", false), std::vector<std::string>{"A_TITLE.png"});
    EXPECT_FALSE(ExtractArchive(game + "/dist/vk_gra.vrk", {"NOPE"}, one, nullptr, error));
    dir.Write("vk_gra.vrk", std::string("not an archive at all"));
    std::string out;
    EXPECT_EQ(RunTool(std::string(VELMORA_PACK_EXE) + " list " + dir.File("vk_gra.vrk"), &out), 1) << out;
    EXPECT_NE(out.find("not an archive"), std::string::npos) << out;
    MakeDirectories(dir.File("loose"));
    dir.Write("loose/intro.txt", "hello\n");
    EXPECT_EQ(RunTool(std::string(VELMORA_PACK_EXE) + " script " + dir.File("loose") + " " + dir.File("x.vrk"), &out), 0);
    EXPECT_NE(out.find("warning: " + dir.File("loose") + " has no script \"main\""), std::string::npos) << out;
    EXPECT_NE(out.find("has no script \"_config\""), std::string::npos) << out;
}
