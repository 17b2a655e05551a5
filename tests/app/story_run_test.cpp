// Whole stories through the velmora executable: the demo plays to its end,
// and a tiny game built with velmora-pack runs its waits as the events file
// drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_game.h"

using namespace velmora;
using test::RunVelmora;
using test::TempDir;

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

TEST(StoryRun, DemoPlaysToItsEnd) {
    TempDir out;
    std::string trace = out.File("trace.txt");
    std::string output;
    int rc = RunVelmora("--headless --game " + std::string(VELMORA_DEMO_DIR) + " --events " + VELMORA_SOURCE_DIR +
                            "/demo/demo.events --trace " + trace,
                        &output);
    ASSERT_EQ(rc, 0) << output;
    std::string t = ReadText(trace);
    EXPECT_NE(t.find("call chapter1: loaded, depth 1"), std::string::npos);
    EXPECT_NE(t.find("return to main"), std::string::npos);
    EXPECT_NE(t.find("switch : case chosen"), std::string::npos);
    EXPECT_NE(t.find("line フラグも立っています。"), std::string::npos);
    EXPECT_NE(t.find("sleep ended by a click"), std::string::npos);
    EXPECT_NE(t.find("script ending: end reached"), std::string::npos);
    EXPECT_EQ(t.find("ここには来ません"), std::string::npos);
    EXPECT_EQ(t.find("これは表示されません"), std::string::npos);
    EXPECT_EQ(t.find("system picture"), std::string::npos) << "the demo lacks a window picture";
}

TEST(StoryRun, PackedGameFollowsItsEventsFile) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("scripts"));
    dir.Write("scripts/_config.txt", std::string("TITLE:t\nMAKER_REG:Software\\T\nGAME_ID:t\n"));
    dir.Write("scripts/main.txt", std::string("one▼\n!V001=5\n*if (V001=5) *calc V002=V001*2\ntwo[?V002]▼\n"));
    std::string pack = std::string(VELMORA_PACK_EXE) + " script " + dir.File("scripts") + " " +
                       dir.File("vk_data.vrk") + " > /dev/null";
    ASSERT_EQ(std::system(pack.c_str()), 0);
    dir.Write("events.txt", std::string("wait 500\nkey Enter\nwait 500\n"));  // Enter acts as a click
    std::string trace = dir.File("trace.txt");
    ASSERT_EQ(RunVelmora("--headless --game " + dir.path() + " --events " + dir.File("events.txt") + " --trace " +
                         trace),
              0);
    std::string t = ReadText(trace);
    size_t first = t.find("line one");
    size_t click = t.find("wait 1 released by a click");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(click, std::string::npos);
    EXPECT_NE(t.find("assign V002 = 10"), std::string::npos);
    EXPECT_LT(first, click);
    EXPECT_LT(click, t.find("assign V001 = 5"));
    EXPECT_NE(t.find("line two[?V002]"), std::string::npos);
}
