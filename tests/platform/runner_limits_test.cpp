// The headless runner against inputs that would never end: an endless
// events file, and a script that loops without ever waiting.
#include <gtest/gtest.h>

#include <string>

#include "data/file_io.h"
#include "support/test_game.h"

using namespace velmora;

TEST(RunnerLimits, AnEventsFileBeyondAnySaneSizeIsRefused) {
    test::TempDir dir;
    std::string out;
    EXPECT_EQ(test::RunVelmora("--headless --events /dev/zero", &out, 60), 2) << out;
    EXPECT_NE(out.find("larger than"), std::string::npos) << out;
    dir.Write("big.txt", std::string(17 << 20, '#'));
    EXPECT_EQ(test::RunVelmora("--headless --events " + dir.File("big.txt"), &out, 60), 2) << out;
    EXPECT_NE(out.find("larger than"), std::string::npos) << out;
}

TEST(RunnerLimits, ALoopWithNoWaitLetsTheTimelineRunToItsEnd) {
    test::TestGame game;
    game.Script("_config", "TITLE:Loop\nMAKER_REG:Software\\Test\\Loop\nGAME_ID:loop\n")
        .Script("main", ":L\n!V001=V001+1\n*go L\n");
    game.Build();
    test::TempDir dir;
    dir.Write("e.txt", "wait 3000\nscreenshot " + dir.File("s.png") + "\nwait 100\n");
    std::string out;
    const std::string run = "--headless --game " + game.path() + " --events " + dir.File("e.txt") + " --trace " +
                            dir.File("t.txt");
    ASSERT_EQ(test::RunVelmora(run, &out, 120), 0) << out;
    EXPECT_TRUE(IsRegularFile(dir.File("s.png")));
    const std::string trace = test::ReadText(dir.File("t.txt"));
    const size_t said = trace.find("lines ran without a wait");
    ASSERT_NE(said, std::string::npos) << trace.substr(0, 2000);
    EXPECT_EQ(trace.find("lines ran without a wait", said + 1), std::string::npos);
    // An author's CI hears of it as a content error.
    EXPECT_EQ(test::RunVelmora(run + " --strict", &out, 120), 3) << out;
}
