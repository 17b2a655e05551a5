// The page history: what each page leaves behind, and the oldest page
// giving way once twenty are kept.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app/engine.h"
#include "backlog/backlog.h"
#include "script/story.h"

using namespace velmora;
using test::Story;

TEST(PageHistory, EachPageKeepsItsTextPicturesModeAndVoices) {
    Story s({{"main", "!S023=11\n一ページ目\n\\\n!S023=12\n二ページ目\n\\\n三ページ目\n\\\n"}});
    TForm1& f = s.f();
    s.ToWait();
    ASSERT_EQ(f.backlog.pageHistoryCount, 1);
    f.gfx.backgroundName = "BG01";
    f.gfx.spriteList = "CH01,CH02";
    std::strcpy(f.stepper.MessageVoices, "V001 V002 ");
    s.NextWait();
    ASSERT_EQ(f.backlog.pageHistoryCount, 2);

    const PageHistoryBlocks& h = f.backlog.history;
    EXPECT_EQ(h.s023[0], 11);
    EXPECT_EQ(std::string(h.pictures[0]), ",");  // nothing shown yet
    EXPECT_EQ(h.s023[1], 12);
    EXPECT_EQ(std::string(h.pictures[1]), "BG01,CH01,CH02");
    EXPECT_EQ(std::string(h.voices[1]), "V001 V002 ");
    EXPECT_EQ(h.mode[1], f.vars.S[150]);
    EXPECT_EQ(std::memcmp(h.text[1], f.text.PageText, sizeof h.text[1]), 0);
    // The voices belong to the page that was recorded, not to the next one.
    EXPECT_EQ(f.stepper.MessageVoices[0], '\0');
    EXPECT_NE(std::memcmp(h.text[0], h.text[1], sizeof h.text[0]), 0);
}

TEST(PageHistory, TwentyPagesAreKeptAndLongNamesAreCut) {
    std::string script;
    for (int i = 1; i <= 23; ++i) script += "!S023=" + std::to_string(i) + "\nページ\n\\\n";
    Story s({{"main", script}});
    TForm1& f = s.f();
    s.ToWait();
    f.gfx.backgroundName = std::string(100, 'B');
    f.gfx.spriteList = std::string(100, 'C');
    for (int i = 1; i < 23; ++i) s.NextWait();
    EXPECT_EQ(f.backlog.pageHistoryCount, 23);
    const PageHistoryBlocks& h = f.backlog.history;
    EXPECT_EQ(h.s023[2], 23);  // page 23 took the place of page 3
    EXPECT_EQ(h.s023[3], 4);
    EXPECT_EQ(std::strlen(h.pictures[2]), 127u);

    // A new game starts with an empty history.
    ClearBacklog(f);
    EXPECT_EQ(f.backlog.pageHistoryCount, 0);
    EXPECT_EQ(f.backlog.history.s023[2], 0);
}

TEST(PageHistory, ImportedNamesEndInsideTheirFields) {
    Story s({{"main", "x▼\n"}});
    TForm1& f = s.f();
    PageHistoryBlocks in;
    std::memset(&in, 'A', sizeof in);
    ImportPageHistory(f, in);
    EXPECT_EQ(std::strlen(f.backlog.history.pictures[5]), 127u);
    EXPECT_EQ(std::strlen(f.backlog.history.voices[19]), 255u);
    PageHistoryBlocks out;
    ExportPageHistory(f, out);
    EXPECT_EQ(std::memcmp(out.text, in.text, sizeof in.text), 0);
}
