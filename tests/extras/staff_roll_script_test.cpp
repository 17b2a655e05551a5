// Reading roll scripts into steps: words, numbers, names and rectangles as
// the roll will play them, and hostile scripts kept inside their bounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extras/rolls.h"
#include "script/loader.h"

using namespace velmora;

namespace {

// Lines joined by NULs, as a loaded table holds them.
std::vector<RollStep> Parse(const std::vector<std::string>& lines) {
    std::string table;
    for (const std::string& l : lines) table += l + '\0';
    return ParseRollScript(table.data(), static_cast<int32_t>(table.size()));
}

}  // namespace

TEST(RollScript, CommandWordsIgnoreCaseAndTakeTheirArguments) {
    const auto s = Parse({"*reset", "@Music 3", "*WAIT\t25", "*put 1", "*ERA\r0", "*hook", "*CENTER rx", "*GRA"});
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(s[0].op, RollOp::kResetClock);
    EXPECT_EQ(s[1].op, RollOp::kMusic);
    EXPECT_EQ(s[1].value, 3);
    EXPECT_EQ(s[2].op, RollOp::kWait);
    EXPECT_EQ(s[2].value, 25);
    EXPECT_EQ(s[3].op, RollOp::kPut);
    EXPECT_EQ(s[3].value, 1);
    EXPECT_EQ(s[4].op, RollOp::kErase);
    EXPECT_EQ(s[4].value, 0);
    EXPECT_EQ(s[5].op, RollOp::kResetClock);
    EXPECT_EQ(s[6].op, RollOp::kAlign);
    EXPECT_EQ(s[6].alignment, 1);  // the last letter wins
    EXPECT_FALSE(s[6].centred);
    EXPECT_EQ(s[7].op, RollOp::kPicture);  // no name: the roll traces it missing
    EXPECT_EQ(s[7].text, "");
    EXPECT_EQ(s[7].value, 1);
}

TEST(RollScript, UnknownAndOverlongWordsAreKeptWholeForTheTrace) {
    const auto s = Parse({"*", "*NOSUCH 1", "*WAITWAITWA 3", "*CENTERXYZ"});
    ASSERT_EQ(s.size(), 4u);
    for (const RollStep& step : s) EXPECT_EQ(step.op, RollOp::kUnknown);
    EXPECT_EQ(s[1].text, "*NOSUCH 1");
    EXPECT_EQ(s[2].text, "*WAITWAITWA 3");
}

TEST(RollScript, PictureNamesStopAtASeparatorOrTheirLimit) {
    const std::string longName(80, 'p');
    const auto s = Parse({"*GRA sky,2", "*GRA sky 0", "*GRA sky,x", "*GRA " + longName, "*GRA " + longName + ",2"});
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0].text, "sky");
    EXPECT_EQ(s[0].value, 2);
    EXPECT_EQ(s[1].text, "sky");
    EXPECT_EQ(s[1].value, 1);  // a blank ends the name; only a comma gives a mode
    EXPECT_EQ(s[2].value, 0);  // not a number
    EXPECT_EQ(s[3].text, longName.substr(0, kRollNameMax));
    EXPECT_EQ(s[3].value, 1);
    EXPECT_EQ(s[4].text.size(), static_cast<size_t>(kRollNameMax));
    EXPECT_EQ(s[4].value, 2);  // the comma past the cut still gives the mode
}

TEST(RollScript, RectanglesAreKeptOnTheScreenAndEmptyOnesRefused) {
    const auto s = Parse({"*WIN 150,150,650,450", "*WIN -50,-9,9999,700", "*WIN 1,2", "*WIN 300,100,300,200",
                          "*WIN 900,0,1000,10", "*WIN a,b,c,d"});
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0].op, RollOp::kRectangle);
    EXPECT_EQ(std::vector<int>(s[0].rect, s[0].rect + 4), (std::vector<int>{150, 150, 650, 450}));
    EXPECT_EQ(s[1].op, RollOp::kRectangle);
    EXPECT_EQ(std::vector<int>(s[1].rect, s[1].rect + 4), (std::vector<int>{0, 0, 800, 600}));
    for (int i : {2, 3, 4, 5}) EXPECT_EQ(s[i].op, RollOp::kBadRectangle) << i;
    EXPECT_EQ(s[2].text, "1,2");
}

TEST(RollScript, WaitsStayWithinTheClocksReach) {
    const auto s = Parse({"*WAIT -5", "*WAIT 99999999999", "*WAIT 21474836", "*WAIT soon"});
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].value, 0);
    EXPECT_EQ(s[1].value, kRollWaitMax);  // not wrapped round to no wait at all
    EXPECT_EQ(s[2].value, kRollWaitMax);
    EXPECT_EQ(s[3].value, 0);
    // The deadline's distance from the base is still a positive signed difference.
    EXPECT_GT(static_cast<int32_t>(100u * static_cast<uint32_t>(kRollWaitMax)), 0);
}

TEST(RollScript, TextLinesFormBlocksThatCommandsEndAndThatHaveALimit) {
    std::vector<std::string> lines = {"first", "", "*PUT 0", "second"};
    for (int i = 0; i < kRollBlockMax + 2; ++i) lines.push_back("line " + std::to_string(i));
    lines.push_back("*PUT 0");
    lines.push_back("third");
    const auto s = Parse(lines);
    ASSERT_EQ(s.size(), lines.size());
    EXPECT_EQ(s[0].op, RollOp::kTextNewBlock);
    EXPECT_EQ(s[1].op, RollOp::kText);  // an empty line is text too
    EXPECT_EQ(s[3].op, RollOp::kTextNewBlock);
    EXPECT_EQ(s[3].text, "second");
    EXPECT_EQ(s[3 + kRollBlockMax - 1].op, RollOp::kText);
    EXPECT_EQ(s[3 + kRollBlockMax].op, RollOp::kTextDropped);
    EXPECT_EQ(s[3 + kRollBlockMax + 1].op, RollOp::kTextDropped);
    EXPECT_EQ(s.back().op, RollOp::kTextNewBlock);
}

TEST(RollScript, HostileBytesStayInsideTheirBounds) {
    EXPECT_TRUE(ParseRollScript(nullptr, 10).empty());
    EXPECT_TRUE(ParseRollScript("*RESET", 0).empty());
    EXPECT_TRUE(ParseRollScript("*RESET", -3).empty());
    // The last line needs no NUL, and nothing past the length is read.
    const char unterminated[] = {'*', 'W', 'A', 'I', 'T', ' ', '4', '2'};
    auto s = ParseRollScript(unterminated, sizeof unterminated);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].value, 42);
    s = ParseRollScript("*MUSIC 12", 8);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].value, 1);
    // Nothing past what a table holds is read, however long the input.
    const std::string huge(static_cast<size_t>(kScriptBufferSize) + 1000, '\0');
    EXPECT_EQ(ParseRollScript(huge.data(), static_cast<int32_t>(huge.size())).size(),
              static_cast<size_t>(kScriptBufferSize));
}
