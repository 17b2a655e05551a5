// --strict: every content error of a headless run is counted by kind,
// summed up at the end of the trace with the script line that met it, and
// fails the run with exit 3, so an author's CI catches a missing picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/trace.h"
#include "support/test_game.h"

using namespace velmora;
using test::ReadText;

TEST(StrictRun, AMissingPictureAndLabelFailTheRunWithTheirScriptLines) {
    test::TestGame game;
    game.Script("main", "; a broken scene\n*gra A_GONE\n*go NOWHERE\n[blink]Hello.\n*call sub\n")
        .Script("sub", "\n*gra A_GONE2\n");
    game.Build();
    test::TempDir out;
    out.Write("e.txt", "wait 2000\nclick 400 300\nwait 2000\n");
    std::string output;
    const std::string args = "--headless --game " + game.path() + " --events " + out.File("e.txt") + " --trace ";
    EXPECT_EQ(test::RunVelmora(args + out.File("strict.txt") + " --strict", &output), 3) << output;
    // The game has none of the system pictures either: each is one more.
    EXPECT_NE(output.find("velmora: content errors: "), std::string::npos) << output;
    EXPECT_NE(output.find("label 1, tag 1)"), std::string::npos) << output;
    const std::string t = ReadText(out.File("strict.txt"));
    EXPECT_NE(t.find("background A_GONE: no such picture (script main:2)"), std::string::npos) << t;
    EXPECT_NE(t.find("label NOWHERE: not in script main (script main:3)"), std::string::npos) << t;
    EXPECT_NE(t.find("tag [blink]: unknown, ignored (script main:4)"), std::string::npos) << t;
    EXPECT_NE(t.find("background A_GONE2: no such picture (script sub:2)"), std::string::npos) << t;
    // The summary is the trace's last line; system pictures missing at start-up have no script line.
    EXPECT_NE(t.find("system picture sys_tw missing\n"), std::string::npos) << t;
    const size_t summary = t.rfind("content errors: ");
    ASSERT_NE(summary, std::string::npos) << t;
    EXPECT_EQ(t.find('\n', summary), t.size() - 1);
    EXPECT_NE(t.find("label 1, tag 1)", summary), std::string::npos) << t.substr(summary);

    // Without --strict the same run plays as before: exit 0, no summary.
    EXPECT_EQ(test::RunVelmora(args + out.File("plain.txt"), &output), 0) << output;
    EXPECT_EQ(ReadText(out.File("plain.txt")).find("content errors:"), std::string::npos);
    // --strict belongs to headless runs.
    EXPECT_EQ(test::RunVelmora("--strict " + game.path(), &output), 2) << output;
}

TEST(StrictRun, ContentErrorsAreCountedByKindInTheOrderFirstMet) {
    ResetContentErrors();
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    SetTraceSink(sink);
    ContentError("sound", "sound %s: not found", "SE9");
    SetTraceLocator([](const void*) { return std::string("scene:7"); }, nullptr);
    ContentError("picture", "a");
    ContentError("sound", "b");
    SetTraceLocator(nullptr, nullptr);
    SetTraceSink(nullptr);
    // Counted even without a sink.
    ContentError("picture", "c");
    EXPECT_EQ(ContentErrorCount(), 4);
    EXPECT_EQ(ContentErrorSummary(), "sound 2, picture 2");
    std::rewind(sink);
    char buf[256] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, sink);
    std::fclose(sink);
    EXPECT_EQ(std::string(buf, n), "sound SE9: not found\na (script scene:7)\nb (script scene:7)\n");
    ResetContentErrors();
    EXPECT_EQ(ContentErrorCount(), 0);
    EXPECT_EQ(ContentErrorSummary(), "");
}
