// Labels, calls, chains, blocks, switch and cjmp, and the commands the
// dispatcher runs itself, played on tiny games.
#include <gtest/gtest.h>

#include "story.h"

using namespace velmora;
using test::Count;
using test::Story;

TEST(ControlFlow, GoFindsLabelsWithoutRegardToCase) {
    Story s({{"main", "@GO LABEL\nskipped\n:label\n!V001=1\n*go INLINE\nskipped too\n12:INLINE\n!V002=2\n*go none\n!V003=3\n"}});
    s.Pass(2);
    EXPECT_EQ(s.V(1), 1);
    EXPECT_EQ(s.V(2), 2);  // a label inside a text line counts
    EXPECT_EQ(s.V(3), 3);  // a missing label changes nothing
    EXPECT_FALSE(s.Traced("skipped"));
}

TEST(ControlFlow, CallAndEndReturnAfterTheCall) {
    Story s({{"main", "*call sub\n!V001=V001+10\n*call other\n!V002=1\n"},
             {"sub", "!V001=1\n"},
             {"other", "!V003=V001\n*end\n!V004=1\n"}});
    s.Pass(1);
    s.Pass(1);  // the call ends the pass
    EXPECT_EQ(s.f().loader.callDepth, 1);
    s.Pass(1);  // sub runs off its end and returns
    EXPECT_EQ(s.f().loader.callDepth, 0);
    EXPECT_STREQ(s.f().loader.currentScript, "main");
    EXPECT_EQ(s.V(1), 1);
    s.Pass(1);  // main goes on after the call and calls again
    EXPECT_EQ(s.f().loader.callDepth, 1);
    EXPECT_STREQ(s.f().loader.CallStack[0].name, "main");
    s.Pass(4);
    EXPECT_EQ(s.V(1), 11);
    EXPECT_EQ(s.V(3), 11);
    EXPECT_EQ(s.V(4), 0);
    EXPECT_EQ(s.V(2), 1);
}

TEST(ControlFlow, CallWithLabelAndStringVariable) {
    Story s({{"main", "!V001=1\n*string 5 sub\n*call $5:PART2\n!V009=9\n"}, {"sub", "!V001=100\n:PART2\n!V002=V001\n"}});
    s.Pass(2);
    EXPECT_EQ(s.f().loader.callDepth, 1);
    EXPECT_STREQ(s.f().loader.currentScript, "sub");
    s.Pass(1);
    EXPECT_EQ(s.V(2), 1);  // started after the label
    s.Pass(2);
    EXPECT_EQ(s.V(9), 9);
}

TEST(ControlFlow, CallReadsOneHundredBytesAndChainOneHundredTwentyEight) {
    // Labels that end exactly at the last byte each command reads; one more
    // byte is not read.
    const std::string callLabel(100 - std::string("*call sub:").size(), 'C');
    const std::string chainLabel(128 - std::string("*chain sub:").size(), 'H');
    Story s({{"main", "*call sub:" + callLabel + "\n*chain sub:" + chainLabel + "X\n"},
             {"sub", "!V001=V001+1\n*end\n:" + callLabel + "\n!V002=1\n*end\n:" + chainLabel + "\n!V003=1\n"}});
    s.Pass(6);
    EXPECT_EQ(s.V(2), 1);
    EXPECT_EQ(s.V(3), 1);
    EXPECT_EQ(s.V(1), 0);
}

TEST(ControlFlow, ChainDiscardsTheStack) {
    Story s({{"main", "*call sub\n"}, {"sub", "*chain next\n"}, {"next", "*end\n!V001=1\n"}});
    s.Pass(3);
    EXPECT_EQ(s.f().loader.callDepth, 0);
    EXPECT_STREQ(s.f().loader.currentScript, "next");
    s.Pass(1);  // end at depth 0 outside a replay only ends the pass
    EXPECT_EQ(s.V(1), 0);
    s.Pass(1);
    EXPECT_EQ(s.V(1), 1);
}

TEST(ControlFlow, TenthNestedCallIsRefused) {
    Story s({{"main", "!V001=V001+1\n*call main\n"}});
    s.Pass(11);
    EXPECT_EQ(s.f().loader.callDepth, 9);
    EXPECT_TRUE(s.Traced("call main: refused, 9 calls are already nested"));
    EXPECT_EQ(s.V(1), 10);
    s.Pass(20);  // every call returns in turn
    EXPECT_EQ(s.f().loader.callDepth, 0);
    EXPECT_EQ(s.V(1), 10);
}

TEST(ControlFlow, MissingScriptKeepsTheStory) {
    Story s({{"main", "*call nowhere\n!V001=1\n*chain nowhere:L\n!V002=2\n"}});
    s.Pass(4);
    EXPECT_EQ(s.V(1), 1);
    EXPECT_EQ(s.V(2), 2);
    EXPECT_EQ(s.f().loader.callDepth, 0);
}

TEST(ControlFlow, BlocksAndSwitch) {
    Story s({{"main",
              "{\n!V001=99\n}\n"
              "!V002=2\n*switch\n{(V002=1)\n!V003=1\n{(V002=2)\n!V003=2\n{\n!V003=3\n}\n"
              "*switch\n{(V002=7)\n!V004=1\n}\n!V005=5\n"
              "*switch\n{(V002=7)\n!V006=1\n{\n!V006=6\n}\n"
              "*switch OUT\n{:OUT(V002=0)\n!V007=1\n{:OUTER\n!V007=9\n{:OUT\n!V007=7\n}:OUT\n!V008=8\n"}});
    s.Pass(10);
    EXPECT_EQ(s.V(1), 0);  // a bare block is switched off
    EXPECT_EQ(s.V(3), 2);
    EXPECT_EQ(s.V(4), 0);  // no case and no default: after the block
    EXPECT_EQ(s.V(5), 5);
    EXPECT_EQ(s.V(6), 6);  // the default case
    EXPECT_EQ(s.V(7), 7);  // the named default, not the longer name
    EXPECT_EQ(s.V(8), 8);
}

TEST(ControlFlow, Cjmp) {
    const char* script = "*cjmp V001\n{\n!V002=10\n{\n!V002=11\n{\n!V002=12\n}\n!V003=3\n";
    for (int n : {1, 5, -1, 0}) {
        Story s({{"main", std::string("!V001=") + (n < 0 ? "0-1" : std::to_string(n)) + "\n" + script}});
        s.Pass(3);
        EXPECT_EQ(s.V(2), n == 1 ? 11 : n == 0 ? 10 : 0) << n;
        EXPECT_EQ(s.V(3), 3) << n;
    }
}

TEST(Commands, IfRunsItsTargetInTheSamePass) {
    Story s({{"main", "!V001=1\n*if (V001=1) !V002=5\n!V003=1\n*if (V001=0) !V004=1\n!V005=1\n"
                      "*if (V001=1) LAB\n!V006=1\n:LAB\n!V007=1\n"}});
    s.Pass(2);
    EXPECT_EQ(s.V(2), 5);
    EXPECT_EQ(s.V(3), 1);
    EXPECT_EQ(s.V(4), 0);
    EXPECT_EQ(s.V(5), 0);  // a false condition ends the pass
    s.Pass(1);
    EXPECT_EQ(s.V(5), 1);
    s.Pass(1);
    EXPECT_EQ(s.V(6), 0);
    EXPECT_EQ(s.V(7), 1);
}

TEST(Commands, IfWithCommandTarget) {
    Story s({{"main", "!V001=1\n*if (V001=1) *gra bg01\n!V002=1\n"}});
    s.Pass(2);
    EXPECT_TRUE(s.Traced("command *gra bg01"));
    EXPECT_EQ(s.V(2), 1);
}

TEST(Commands, Sleep) {
    Story s({{"main", "@SLEEP 100\n!V001=1\n*sleep 10\n!V002=1\n"}});
    s.Pass(2);
    EXPECT_EQ(s.f().stepper.SleepCountdown, 3);
    s.Pass(3);
    EXPECT_EQ(s.V(1), 0);
    s.Pass(1);
    EXPECT_EQ(s.V(1), 1);
    EXPECT_EQ(s.f().stepper.SleepCountdown, -1);
    s.Pass(20);
    EXPECT_EQ(s.V(2), 0);  // until a click
    s.Click();
    EXPECT_EQ(s.f().vars.S[19], 1);
    s.Pass(1);
    EXPECT_EQ(s.V(2), 1);
}

TEST(Commands, SleepIgnoredWhileSkipping) {
    Story s({{"main", "*sleep 1000\n!V001=1\n"}});
    s.Pass(1);
    s.f().ui.SkipActive = true;
    s.Pass(1);
    EXPECT_EQ(s.V(1), 1);
}

TEST(Commands, AssignmentRules) {
    Story s({{"main", "!v001 = 2+3*4 ; V002=10/0;V003=7%0\n!V005=12\n!P005=7\n!F010=2;E010=2;F011=1\n"
                      "!V020=V5+1;V021=1\n!V022=R0;V023=1\n!X001=1;V024=4\n!S200=1\n"}});
    s.Pass(2);
    EXPECT_EQ(s.V(1), 20);
    EXPECT_EQ(s.V(2), 0);
    EXPECT_EQ(s.V(3), 0);
    EXPECT_EQ(s.V(12), 7);
    EXPECT_EQ(GetVar(s.f().vars, 'F', 10), 0);
    EXPECT_EQ(GetVar(s.f().vars, 'E', 10), 0);
    EXPECT_EQ(GetVar(s.f().vars, 'F', 11), 1);
    EXPECT_EQ(Count(s.Trace(), "代入エラー"), 3);  // E010=2, X001, S200
    // A failed number stops the rest of its line.
    EXPECT_EQ(s.V(21), 0);
    EXPECT_EQ(s.V(23), 0);
    EXPECT_EQ(s.V(24), 4);
    EXPECT_TRUE(s.Traced("assign V001 = 20"));
}

TEST(Commands, VoiceKeepsItsBooks) {
    Story s({{"main", "*voice V001\n[voice V002]x\n\\\n"}});
    s.Pass(2);
    EXPECT_EQ(s.Backlog(0), "@V001");
    EXPECT_STREQ(s.f().stepper.LastVoice, "V002]x");  // the tag takes the rest of the line
    EXPECT_EQ(s.Backlog(1), "x");
    s.Pass(1);
    EXPECT_TRUE(s.Traced("page 0 recorded (voices: V001 V002]x )"));
    EXPECT_STREQ(s.f().stepper.MessageVoices, "");
}

TEST(Commands, GameClearCountsInTheRegistry) {
    Story s({{"main", "*gameclr\n*gameclr\n*movie anything\n!V001=S100\n"}});
    s.Pass(2);
    EXPECT_EQ(s.plat().settings().ReadInteger("Software\\Sablewood", "lumen", "Clear", 0), 2);
    EXPECT_EQ(s.V(1), 2);
    EXPECT_EQ(GetVar(s.f().vars, 'E', 999), 1);
}

TEST(Commands, ExitgameAndExit) {
    {
        Story s({{"main", "*exit\n!V001=1\n"}});
        s.Pass(2);
        EXPECT_EQ(s.V(1), 0);
        s.Pass(1);
        EXPECT_EQ(s.V(1), 1);
    }
    {
        Story s({{"main", "*exitgame\n"}});
        s.Pass(2);
        EXPECT_TRUE(s.plat().Closed());  // the headless box answers OK
    }
}

TEST(Commands, SpecialDarkensOutsideTheBand) {
    Story s({{"main", "*special 2,100,500,8\n"}});
    s.Pass(1);
    Picture& screen = s.f().gfx.screen;
    std::fill(screen.bytes.begin(), screen.bytes.end(), 200);
    s.Pass(1);
    EXPECT_EQ(screen.Pixel(0, 0)[0], 100);
    EXPECT_EQ(screen.Pixel(799, 99)[2], 100);
    EXPECT_EQ(screen.Pixel(0, 100)[0], 200);
    EXPECT_EQ(screen.Pixel(0, 499)[0], 200);
    EXPECT_EQ(screen.Pixel(0, 500)[0], 100);
}

TEST(Commands, MarkAndBackto) {
    Story s({{"main", "*mark 5\n*mark 5\n!V001=1\n*backto\n*mark 80001\n"}});
    s.Pass(2);
    EXPECT_TRUE(s.f().ui.TextRead);
    EXPECT_GT(s.f().vars.S[10], 0);
    EXPECT_TRUE(s.Traced("mark 80001: outside"));
}

TEST(Loader, OversizedEntryIsRefused) {
    std::string big(262145, 'x');
    Story s({{"main", "*call big\n!V001=1\n"}, {"big", big}});
    s.Pass(3);
    EXPECT_EQ(s.V(1), 1);
    EXPECT_EQ(s.f().loader.callDepth, 0);
    EXPECT_TRUE(s.Traced("cannot be read into the 262144-byte buffer"));
}

TEST(Loader, EmptyEntryIsAnEmptyScript) {
    // An empty entry loads as a script with no lines: the call returns at once.
    Story s({{"main", "*call empty\n!V001=1\n"}, {"empty", ""}});
    s.Pass(5);
    EXPECT_EQ(s.V(1), 1) << s.Trace();
    EXPECT_EQ(s.f().loader.callDepth, 0);
    EXPECT_TRUE(s.Traced("script empty: loaded, 0 bytes"));
}

TEST(Commands, KnownCommandWithoutItsArgumentIsNotCalledUnknown) {
    Story s({{"main", "*gra\n*GRA\n*music\n*gravel\n!V001=1\n"}});
    s.Pass(2);
    EXPECT_EQ(s.V(1), 1);
    EXPECT_EQ(Count(s.Trace(), "argument missing"), 3) << s.Trace();
    EXPECT_TRUE(s.Traced("command *gra: argument missing, ignored"));
    // A word that is no command stays unknown.
    EXPECT_TRUE(s.Traced("command *gravel: unknown, ignored"));
    EXPECT_FALSE(s.Traced("command *gra: unknown"));
}
