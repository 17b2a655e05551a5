// The configuration block: keys, values, the speaker table, colours.
#include <gtest/gtest.h>

#include "data/config.h"
#include "data/encoding.h"
#include "support/test_game.h"

using namespace velmora;

namespace {

ConfigValues Parse(const std::string& utf8) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(tools::ScriptTextToCp932(utf8, "_config", bytes, error)) << error;
    ConfigValues c;
    ParseConfigBlock(reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()), c);
    return c;
}

}  // namespace

TEST(Config, KeysAreCaseInsensitiveAndValuesKeepTheirSpaces) {
    ConfigValues c = Parse(
        "title:Game\n"
        "GAME_ID: spaced\n"
        "Maker_Reg:Software\\Studio\\Game\n"
        "TXW_OFS_Y:430\n"
        "txw_ofs_y:431\n"  // a key given twice keeps its last value
        "TX_PITCH_X: 12\n"
        "; VKD_GRA:2\n"
        "* VKD_SE:2\n"
        "\n"
        "end\n"  // lower case: an ordinary keyless line
        "no colon here\n"
        "FONT_NAME:ＭＳ ゴシック\n"
        "END\n"
        "VOLUME1:-500\n");
    EXPECT_EQ(c.TITLE, "Game");
    EXPECT_EQ(c.GAME_ID, " spaced");
    EXPECT_EQ(c.MAKER_REG, "Software\\Studio\\Game");
    EXPECT_EQ(c.TXW_OFS_Y, 431);
    EXPECT_EQ(c.TX_PITCH_X, 12);
    EXPECT_EQ(c.VKD_GRA, 0);
    EXPECT_EQ(c.VKD_SE, 0);
    EXPECT_EQ(ToUtf8(c.FONT_NAME), "ＭＳ ゴシック");
    EXPECT_EQ(c.VOLUME1, 0);  // after END
}

TEST(Config, NumbersThatAreNotDecimalIntegersAreIgnored) {
    ConfigValues c = Parse("VKD_GRA:2\nVKD_GRA:two\nVKD_SE:3x\nVKD_WAV:99999999999\nVKD_OGG:-2\nVOLUME2:\n");
    EXPECT_EQ(c.VKD_GRA, 2);
    EXPECT_EQ(c.VKD_SE, 0);
    EXPECT_EQ(c.VKD_WAV, 0);
    EXPECT_EQ(c.VKD_OGG, -2);
    EXPECT_EQ(c.VOLUME2, 0);
}

TEST(Config, SpeakerTableAndColourNotation) {
    ConfigValues c = Parse(
        "NAME:3,Someone,F80\n"
        "NAME:4,Other,\n"
        "NAME:5,Other,G0G\n"
        "NAME:6, 空白 ,f8\n"
        "NAME:7,Plain\n"
        "NAME:60,Too far,FFF\n"
        "NAME:-1,Negative,FFF\n"
        "NAME:x,Bad,FFF\n");
    EXPECT_TRUE(c.NAME[3].defined);
    EXPECT_EQ(c.NAME[3].name, "Someone");
    EXPECT_EQ(c.NAME[3].colour, 240u + 128u * 256u);
    EXPECT_EQ(c.NAME[4].colour, 16777215u);
    EXPECT_EQ(c.NAME[5].colour, 255u + 255u * 65536u);
    EXPECT_EQ(ToUtf8(c.NAME[6].name), " 空白 ");
    EXPECT_EQ(c.NAME[6].colour, 240u + 128u * 256u);  // lower case is upper-cased; a missing blue is 0
    EXPECT_EQ(c.NAME[7].colour, 16777215u);
    EXPECT_FALSE(c.NAME[0].defined);
    EXPECT_FALSE(c.NAME[2].defined);
    EXPECT_EQ(ParseColourText("Z9A"), 0u + 144u * 256u + 160u * 65536u);
}

TEST(Config, MissingBlockLeavesEverythingEmpty) {
    test::TestGame game;
    game.Script("main", "x\n");
    game.Build();
    test::HeadlessEngine e(game.path());
    EXPECT_EQ(e.f->config.TITLE, "");
    EXPECT_EQ(e.f->config.TXW_SIZE_X, 0);
    EXPECT_EQ(e.plat.Caption(), "");
}
