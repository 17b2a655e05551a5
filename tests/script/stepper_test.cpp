// The stepper played on tiny games: line kinds, message text, inline tags,
// inserted text, waits and pacing.
#include <gtest/gtest.h>

#include "script/commands.h"
#include "story.h"

using namespace velmora;
using test::Count;
using test::Story;

TEST(Stepper, PageWaitDropsTheRestAndAClickReleasesIt) {
    Story s({{"main", "text▼more\nnext\n"}});
    s.Pass(2);
    EXPECT_EQ(s.f().stepper.PendingWait, 1);
    EXPECT_EQ(s.Backlog(0), "text");
    s.Pass(3);  // the wait holds the stepper
    EXPECT_FALSE(s.Traced("char 1,6 m"));
    s.Click();
    EXPECT_EQ(s.f().stepper.PendingWait, 0);
    s.Pass(1);
    EXPECT_EQ(s.Backlog(1), "next");
    EXPECT_FALSE(s.Traced("more"));
    EXPECT_TRUE(s.Traced("wait 1 released by a click"));
}

TEST(Stepper, OneTextLinePerPassAndLineKinds) {
    Story s({{"main", "; comment\n:label\n}\n!V001=3\nfirst\n\nsecond\n"}});
    s.Pass(2);
    EXPECT_EQ(s.V(1), 3);
    EXPECT_EQ(s.f().backlog.count, 1);
    EXPECT_EQ(s.f().text.line, 2);  // first on line 1, then down one
    s.Pass(1);
    // The empty line moved the text one line further down.
    EXPECT_TRUE(s.Traced("char 3,2 s"));
    EXPECT_EQ(s.Backlog(1), "second");
}

TEST(Stepper, TimedWaits) {
    Story s({{"main", "a%30b%c[wait 4]d[wait -5]e\n"}});
    s.Pass(2);
    EXPECT_EQ(s.f().stepper.TypingCountdown, 30);
    s.f().stepper.TypingCountdown = 0;
    s.Pass(1);
    EXPECT_EQ(s.f().stepper.TypingCountdown, 10);  // "%" alone
    s.f().stepper.TypingCountdown = 0;
    s.Pass(1);
    EXPECT_EQ(s.f().stepper.TypingCountdown, 4);
    s.f().stepper.TypingCountdown = 0;
    s.Pass(1);
    // A negative pause never holds the story.
    EXPECT_EQ(s.f().stepper.TypingCountdown, 0);
    s.Pass(1);
    EXPECT_EQ(s.Backlog(0), "abcde");
}

TEST(Stepper, TimedWaitCountsTimerTicks) {
    Story s({{"main", "a%3b\n"}});
    s.Pass(2);
    uint32_t t = s.plat().Now();
    while (s.f().stepper.TypingCountdown != 0) s.Pass(1);
    // Three 55 ms ticks, give or take the tick phase.
    EXPECT_GE(s.plat().Now() - t, 110u);
    EXPECT_LE(s.plat().Now() - t, 200u);
}

TEST(Stepper, SkippingIgnoresPausesButStillEndsThePass) {
    Story s({{"main", "a%30b\n=\nc〓d\ne\n"}});
    s.Pass(1);
    s.f().ui.SkipActive = true;
    s.Pass(1);
    EXPECT_EQ(s.f().stepper.TypingCountdown, 0);
    EXPECT_EQ(s.Backlog(0), "a");
    s.Pass(1);
    // The "=" line does nothing while skipping; "〓" still enters wait 2,
    // which the next pass releases.
    EXPECT_EQ(s.Backlog(0), "ab");
    EXPECT_EQ(s.f().stepper.PendingWait, 2);
    s.Pass(1);
    EXPECT_TRUE(s.Traced("wait 2 released by skipping"));
    EXPECT_EQ(s.Backlog(1), "ce");  // a line wait leaves the backlog line open
}

TEST(Stepper, InsertedTexts) {
    Story s({{"main", "!V001=4\n[?V001+1]|[$1]|[$12]|＄０|[$0]|[?v001]\n!F028=1\n＄０＄１[$0]＄Ａ.\n"}});
    s.Pass(2);
    EXPECT_EQ(s.Backlog(0), "5|明||遠野|遠野|0");
    EXPECT_TRUE(s.Traced("無効数式"));
    s.Pass(1);
    EXPECT_EQ(s.Backlog(1), "へたれへたれ遠野.");
}

TEST(Stepper, InsertedTextIsPacedLikeTypedText) {
    Story s({{"main", "!V001=45\n[?V001]x\n"}}, true);
    s.Pass(2);
    EXPECT_TRUE(s.Traced("char 1,2 4"));
    EXPECT_FALSE(s.Traced("char 1,3 5"));
    s.Pass(1);
    EXPECT_TRUE(s.Traced("char 1,3 5"));
}

TEST(Stepper, TypewriterDelayCostsAPassPlusTicks) {
    Story s({{"main", "[delay 3]ab[delay 0]cdef\n"}}, true);
    s.Pass(2);
    EXPECT_EQ(s.f().stepper.TypingCountdown, 2);
    EXPECT_EQ(Count(s.Trace(), "char "), 1);
    int passes = 0;
    while (Count(s.Trace(), "char ") == 1) {
        s.Pass(1);
        ++passes;
    }
    // Two 55 ms ticks at 20 ms a pass, then the pass that shows "b".
    EXPECT_GE(passes, 4);
    EXPECT_LE(passes, 7);
    while (Count(s.Trace(), "char ") == 2) s.Pass(1);
    // After [delay 0] the rest of the line comes in the same pass.
    EXPECT_EQ(Count(s.Trace(), "char "), 6);
}

TEST(Stepper, ClickFinishesTheMessage) {
    Story s({{"main", "abcdef▼\n"}}, true);
    s.Pass(2);
    EXPECT_EQ(Count(s.Trace(), "char "), 1);
    s.Click();
    s.Pass(1);
    EXPECT_EQ(Count(s.Trace(), "char "), 6);
    EXPECT_EQ(s.f().stepper.PendingWait, 1);
    EXPECT_FALSE(s.f().stepper.FinishMessage);  // entering the wait clears it
}

TEST(Stepper, SpeakerRubyAndMarks) {
    Story s({{"main", ">ミナ\n<るび>漢字◆§√です\n>＄１\n"}});
    s.Pass(2);
    EXPECT_EQ(s.Backlog(0), "ミナ");
    EXPECT_TRUE(s.Traced("name plate ミナ"));
    EXPECT_TRUE(s.Traced("ruby るび"));
    // The marks are drawn but stay out of the backlog, and so does the ruby.
    EXPECT_EQ(s.Backlog(1), "漢字です");
    EXPECT_TRUE(s.Traced("char 1,6 ◆"));
    s.Pass(1);
    EXPECT_EQ(s.Backlog(2), "明");
}

TEST(Stepper, PageWaitKindsAndPageRecords) {
    Story s({{"main", "a\n\\\nb\n~\nc\n+\nd〓e\n=\nf▽g\n"}});
    int kinds[] = {1, 4, 5, 2, 2};
    s.Pass(1);
    for (int k : kinds) {
        s.Pass(2);
        EXPECT_EQ(s.f().stepper.PendingWait, k);
        s.Click();
    }
    // "\" and "~" record a page; "〓" and "=" record and take the count back.
    EXPECT_EQ(s.f().backlog.pageHistoryCount, 2);
    s.Pass(2);
    EXPECT_TRUE(s.Traced("new page without a wait"));
    EXPECT_EQ(s.f().stepper.PendingWait, 0);
}

TEST(Stepper, AutoModeReleasesWaitsAndPacesPasses) {
    Story s({{"main", "!S026=8\n0123456789012345678901234567890123▼\nnext▼\n"}});
    s.Pass(1);
    uint32_t t = s.plat().Now();
    s.Pass(1);
    // A pass that runs the stepper in auto mode lasts 4 x 8 + 15 ms.
    EXPECT_EQ(s.plat().Now() - t, 47u);
    // 34 characters at level 8: 34 div 17 + 16 + 2 = 20 ticks.
    EXPECT_EQ(s.f().ui.AutoCountdown, 20);
    while (s.f().stepper.PendingWait != 0) s.Pass(1);
    EXPECT_GE(s.plat().Now() - t, 20u * 55u);
    EXPECT_TRUE(s.Traced("wait 1 released by the auto mode"));
}

TEST(Stepper, LongLinesAndVoiceNamesAreCut) {
    std::string longLine(3000, 'x');
    std::string longVoice(100, 'v');
    Story s({{"main", longLine + "\n[voice " + longVoice + "]\n"}});
    s.Pass(3);
    EXPECT_EQ(Count(s.Trace(), "char "), 2047);
    EXPECT_EQ(std::strlen(s.f().stepper.LastVoice), 35u);
    EXPECT_EQ(std::strlen(s.f().stepper.MessageVoices), 64u);  // 63 bytes of name and a space
    // The backlog line keeps 69 bytes of it.
    EXPECT_EQ(std::strlen(s.f().backlog.BacklogLines[0]), 69u);
}

TEST(Backlog, RingDropsTheOldestLine) {
    std::string script;
    for (int i = 0; i < 205; ++i) script += "line" + std::to_string(i) + "\n";
    Story s({{"main", script}});
    s.Pass(206);
    EXPECT_EQ(s.f().backlog.count, 200);
    EXPECT_EQ(s.Backlog(0), "line5");
    EXPECT_EQ(s.Backlog(199), "line204");
    EXPECT_EQ(s.f().backlog.writeOffset, 200 * 70);
}

TEST(Keywords, TableOrderAndCase) {
    EXPECT_EQ(FindCommand("@GO LABEL"), kCmdGo);
    EXPECT_EQ(FindCommand("*exitgame"), kCmdExitgame);
    EXPECT_EQ(FindCommand("*exitnow"), kCmdExit);
    EXPECT_EQ(FindCommand("*go"), -1);  // the trailing space is part of "go "
    EXPECT_EQ(FindCommand("*seloop x"), kCmdSeloop);
    EXPECT_EQ(FindCommand("*se x"), kCmdSe);
    EXPECT_EQ(FindCommand("*endless"), kCmdEnd);
    EXPECT_EQ(FindCommand("*nothing"), -1);
    EXPECT_STREQ(CommandArgs(kCmdEnd, "*end"), "");
    EXPECT_STREQ(CommandArgs(kCmdMark, "*mark 12"), "12");
}

TEST(Fields, SplitFields) {
    Field f[kFieldMax];
    EXPECT_EQ(SplitFields("", f), 0);
    EXPECT_EQ(SplitFields(" A,12: 0x ,-3,zz,,", f), 7);
    EXPECT_STREQ(f[0].text, "A");
    EXPECT_EQ(f[0].value, kNoNumber);
    EXPECT_EQ(f[1].value, 12);
    EXPECT_STREQ(f[2].text, "0x ");
    EXPECT_EQ(f[2].value, 0);  // begins with "0"
    EXPECT_EQ(f[3].value, -3);
    EXPECT_EQ(f[4].value, kNoNumber);
    EXPECT_EQ(f[5].value, kNoNumber);
    std::string many(40, ',');
    EXPECT_EQ(SplitFields(many.c_str(), f), kFieldMax);
    std::string longText(50, 'y');
    SplitFields(longText.c_str(), f);
    EXPECT_EQ(std::strlen(f[0].text), 31u);
}
