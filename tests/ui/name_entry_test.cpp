// The name entry dialog: which names it takes, what it stores, and that it
// can be left only with a name.
#include <gtest/gtest.h>

#include "app/engine.h"
#include "data/encoding.h"
#include "platform/headless/ini_store.h"
#include "script/story.h"
#include "ui/input.h"

using namespace velmora;
using test::Story;

namespace {

const char kGame[] = "*setname\n[$0][$1]です。\\\n";

std::string Name(Story& s, int n) { return ToUtf8(s.f().vars.str[n]); }
std::string Stored(Story& s, const char* value) {
    return ToUtf8(s.plat().settings().ReadString("Software\\Test\\Story", "story", value, "-"));
}

}  // namespace

TEST(NameEntry, ValidNamesAreOneToFourFullWidthCharacters) {
    for (const char* good : {"かな", "山田花子", "Ａ", "　"}) EXPECT_TRUE(ValidPlayerName(ToCp932(good))) << good;
    for (const char* bad : {"", "山田花子だ", "abc", "かなa", "ｶﾅ", "aかな"})
        EXPECT_FALSE(ValidPlayerName(ToCp932(bad))) << bad;
    EXPECT_FALSE(ValidPlayerName(std::string("\x82\xa0\x82", 3)));  // a lead byte without its trail
}

TEST(NameEntry, RefusedNamesGoBackAndTheDialogStaysUntilAGoodOne) {
    Story s({{"main", kGame}});
    ASSERT_TRUE(s.Events("wait 200\ndialog type abc\ndialog press ＯＫ\ndialog type \ndialog press ＯＫ\n"
                         "dialog type 五文字の名前\ndialog press ＯＫ\ndialog type ｶﾅ\ndialog press ＯＫ\n"
                         "dialog type かな\ndialog press ＯＫ\n"));
    size_t mark = s.Mark();
    s.ToWait();
    std::string t = s.TraceSince(mark);
    EXPECT_NE(t.find("dialog TForm2 \"名前の変更\" opened: 275 x 96"), std::string::npos) << t;
    EXPECT_NE(t.find("edit Edit1 \"\" text \"遠野\""), std::string::npos) << t;
    EXPECT_EQ(test::Count(t, "refused"), 4) << t;
    EXPECT_EQ(Name(s, 0), "かな");
    EXPECT_EQ(Name(s, 1), "明");
    EXPECT_EQ(Stored(s, "PlayerName"), "かな");
    EXPECT_EQ(Stored(s, "PlayerName2"), "明");
    EXPECT_EQ(s.f().vars.S[6], 1);
    EXPECT_EQ(s.f().settings.PlayerName, ToCp932("かな"));
    EXPECT_FALSE(s.f().flags.busy);
    EXPECT_NE(s.Backlog(0).find("かな明です。"), std::string::npos) << s.Backlog(0);
}

TEST(NameEntry, DefaultRestoresTheConfiguredNamesAndTheFrameCannotCloseIt) {
    Story s({{"main", kGame}});
    s.f().settings.PlayerName = ToCp932("前の名");
    ASSERT_TRUE(s.Events("wait 200\ndialog type 別の名\ndialog press デフォルト\nkey Escape\ndialog press ＯＫ\n"));
    s.ToWait();
    EXPECT_EQ(Name(s, 0), "遠野");
    EXPECT_EQ(Name(s, 1), "明");
    EXPECT_EQ(Stored(s, "PlayerName"), "遠野");
    EXPECT_EQ(s.f().vars.S[6], 0);
}

TEST(NameEntry, AnInvalidGivenNameKeepsTheDialogOpenUntilDefault) {
    Story s({{"main", "*string 1,x\n" + std::string(kGame)}});
    size_t mark = s.Mark();
    ASSERT_TRUE(s.Events("wait 200\ndialog type かな\ndialog press ＯＫ\ndialog press ＯＫ\ndialog press デフォルト\n"
                         "dialog type かな\ndialog press ＯＫ\n"));
    s.ToWait();
    std::string t = s.TraceSince(mark);
    EXPECT_EQ(test::Count(t, "given name \"x\" refused"), 2) << t;
    EXPECT_EQ(Name(s, 0), "かな");
    EXPECT_EQ(Name(s, 1), "明");
    EXPECT_EQ(s.f().vars.S[6], 1);
}

TEST(NameEntry, EnterTakesAGoodNameAndLeavesABadOneToMend) {
    Story s({{"main", kGame}});
    ASSERT_TRUE(s.Events("wait 200\ndialog type abc\ndialog key Enter\ndialog type かなa\ndialog key Enter\n"
                         "dialog type かな\ndialog key Enter\n"));
    size_t mark = s.Mark();
    s.ToWait();
    std::string t = s.TraceSince(mark);
    EXPECT_EQ(test::Count(t, "refused"), 0) << t;  // nothing was put back under the player's fingers
    EXPECT_EQ(Name(s, 0), "かな");
    EXPECT_EQ(Stored(s, "PlayerName"), "かな");
    EXPECT_NE(t.find("dialog TForm2 closed"), std::string::npos) << t;
}
