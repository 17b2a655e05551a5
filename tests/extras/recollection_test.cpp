// The recollection: scenes unlocked by playing them, the grid, record lists
// filled by dragging and kept across runs, the rename box, and replays of a
// list in order back to the menu.
#include <gtest/gtest.h>

#include <cstring>

#include "extras/recollection.h"
#include "extras_game.h"
#include "ui/input.h"

namespace velmora::test {
namespace {

const char kTable[] =
    ":SETTING\n"
    "ONE,TWO\n"
    ":ONE\n"
    "*第一章\n"
    "朝の場面,SC_A\n"
    "昼の場面,SC_B\n"
    "夜の場面,SC_C\n"
    ":TWO\n"
    "*\n"
    "別の場面,SC_D\n"
    ":END\n";
// Scene numbers: the lines of the scene part from ":ONE" (0) on.
constexpr int kA = 2, kB = 3, kC = 4, kD = 7;

void Build(ExtrasGame& g, const std::string& main, const std::string& table = kTable) {
    g.Script("main", main).Script("sys_flashbak", table);
    g.Script("SC_A", "*gra AHILL\n朝▼\n*end\n").Script("SC_B", "昼▼\n*end\n");
    g.Script("k_SC_A", "*rec\nリプレイ朝▼\n*exit\n").Script("k_SC_B", "リプレイ昼▼\n*end\n");
    g.Pic("ss_kaiso", Filled(800, 600, 30, 30, 30)).Pic("ss_kaiso2", Filled(800, 600, 0, 160, 0));
    g.Pic("ss_kaiso_p", Filled(40, 92, 90, 0, 0)).Pic("AHILL", Filled(800, 600, 0, 0, 250));
}

bool Visible(TForm1& f, const char* item) {
    for (const auto& it : f.ui.PopupMenu1.items)
        if (it.name == item) return it.visible;
    return false;
}

TEST(Recollection, TheTableKeepsCategoriesHeadingsAndScripts) {
    ExtrasGame g;
    Build(g, "x▼\n");
    g.Start();
    const RecollectionState& r = g.f().extras.recollection;
    ASSERT_EQ(r.SceneLines.size(), 9u);
    EXPECT_EQ(r.categoryCount, 1);
    EXPECT_EQ(r.subListCount[0], 2);
    EXPECT_EQ(r.subLists[0][1], ":TWO");
    EXPECT_EQ(r.SceneScripts[kA], "SC_A");
    EXPECT_EQ(ToUtf8(r.SceneLines[kA]), "朝の場面");
    EXPECT_EQ(r.SceneScripts[kD], "SC_D");
    EXPECT_TRUE(r.SceneScripts[1].empty());
}

TEST(Recollection, AScenePlayedOnceIsInTheGridAfterARestartWithGapsForLockedOnes) {
    ExtrasGame g;
    Build(g, "*call SC_A\n*chain SC_C\n");
    g.Script("SC_C", "夜▼\n");
    g.Start();
    g.ToWait();
    g.NextWait();
    EXPECT_TRUE(SceneUnlocked(g.f(), kA));
    g.Start();
    TForm1& f = g.f();
    EXPECT_TRUE(SceneUnlocked(f, kA));
    EXPECT_TRUE(SceneUnlocked(f, 1));  // its heading
    EXPECT_FALSE(SceneUnlocked(f, kB));
    EXPECT_TRUE(SceneUnlocked(f, kC));
    OpenRecollection(f);
    const RecollectionState& r = f.extras.recollection;
    EXPECT_EQ(f.app.playMode, 8);
    // The heading takes the first row; the locked scene leaves cell 4 empty.
    EXPECT_EQ(r.cellScene[0], 0);
    EXPECT_EQ(r.cellScene[3], kA);
    EXPECT_EQ(r.cellScene[4], 0);
    EXPECT_EQ(r.cellScene[5], kC);
    // The second sub-list: "*" alone starts a row but takes none.
    f.PBMouseDown(platform::mbLeft, 0, 525, 402 + 46 + 10);
    EXPECT_EQ(r.subList[0], 1);
    EXPECT_EQ(r.cellScene[0], 0);
    EXPECT_STREQ(f.extras.recordListNames[0], "Record Slot 1");
}

TEST(Recollection, BlankLinesKeepTheirPlaceInTheTable) {
    // A blank category line is a category; a blank scene line holds a cell
    // and a number, so the scenes after it keep theirs.
    ExtrasGame g;
    Build(g, "*call SC_B\n", ":SETTING\nONE\n\n:ONE\n朝の場面,SC_A\n\n昼の場面,SC_B\n:END\n");
    g.Start();
    g.ToWait();
    TForm1& f = g.f();
    OpenRecollection(f);
    const RecollectionState& r = f.extras.recollection;
    EXPECT_EQ(r.categoryCount, 2);
    ASSERT_EQ(r.SceneLines.size(), 5u);
    EXPECT_EQ(r.SceneScripts[3], "SC_B");
    EXPECT_TRUE(SceneUnlocked(f, 3));
    ASSERT_EQ(f.app.playMode, 8);
    EXPECT_EQ(r.cellScene[1], 0);
    EXPECT_EQ(r.cellScene[2], 3);
}

TEST(Recollection, ButtonsTakeAnyMouseButton) {
    ExtrasGame g;
    Build(g, "x▼\n");
    g.Start();
    g.ToWait();
    TForm1& f = g.f();
    OpenRecollection(f);
    ASSERT_EQ(f.app.playMode, 8);
    f.PBMouseDown(platform::mbRight, 0, 750, 10);  // back
    EXPECT_EQ(f.app.playMode, 0);
}

TEST(Recollection, DraggingFillsAndReordersTheRecordList) {
    ExtrasGame g;
    Build(g, "*call SC_A\n*call SC_B\n*kaisou\n");
    g.Start();
    g.ToWait();
    g.NextWait();
    g.ToWait();
    g.NextWait();
    TForm1& f = g.f();
    ASSERT_EQ(f.app.playMode, 8);
    int32_t* list = f.extras.recordLists[0];
    // Cell 3 (scene A) grabbed 5, 5 from its corner, dropped on row 0.
    f.PBMouseDown(platform::mbLeft, 0, 30, 175);
    f.PBMouseMove(0, 400, 300);
    f.PBMouseUp(platform::mbLeft, 0, 535, 160);
    EXPECT_EQ(list[0], kA);
    g.Ticks(6);
    // Cell 4 (scene B) dropped below the last entry is appended.
    f.PBMouseDown(platform::mbLeft, 0, 200, 175);
    f.PBMouseUp(platform::mbLeft, 0, 535, 400);
    g.Ticks(6);
    EXPECT_EQ(list[1], kB);
    EXPECT_EQ(list[2], 0);
    // A scene dropped outside the panel changes nothing.
    f.PBMouseDown(platform::mbLeft, 0, 30, 175);
    f.PBMouseUp(platform::mbLeft, 0, 100, 100);
    g.Ticks(6);
    EXPECT_EQ(ListLength(list), 2);
    // Entry 3 dragged down to row 5 lands at row 4 of the shortened list.
    const int32_t six[6] = {kA, kB, kC, kD, kA, kB};
    std::memcpy(list, six, sizeof six);
    f.PBMouseDown(platform::mbLeft, 0, 580, 160 + 14 * 2 + 2);
    f.PBMouseUp(platform::mbLeft, 0, 540, 160 + 14 * 5 + 3 - 10 + 2);
    g.Ticks(6);
    const int32_t moved[6] = {kA, kB, kD, kA, kC, kB};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(list[i], moved[i]) << i;
    // An entry dragged out of the panel leaves the list.
    f.PBMouseDown(platform::mbLeft, 0, 580, 162);
    f.PBMouseUp(platform::mbLeft, 0, 100, 100);
    g.Ticks(6);
    EXPECT_EQ(list[0], kB);
    EXPECT_EQ(ListLength(list), 5);
}

TEST(Recollection, AFullListLosesItsLastEntryOnInsert) {
    int32_t list[kRecordListLength] = {};
    for (int i = 0; i < kRecordListUsed; ++i) list[i] = 100 + i;
    InsertListEntry(list, 3, 7);
    EXPECT_EQ(list[3], 7);
    EXPECT_EQ(list[4], 103);
    EXPECT_EQ(list[kRecordListUsed - 1], 100 + kRecordListUsed - 2);
    EXPECT_EQ(list[kRecordListUsed], 0);
    RemoveListEntry(list, 0);
    EXPECT_EQ(list[0], 101);
    EXPECT_EQ(ListLength(list), kRecordListUsed - 1);
}

TEST(Recollection, ARecordListReplaysItsScenesInOrderAndReturns) {
    ExtrasGame g;
    Build(g, "*call SC_A\n*call SC_B\n*kaisou\n閉じた▼\n");
    g.Start();
    g.ToWait();
    g.NextWait();
    g.ToWait();
    g.NextWait();
    TForm1& f = g.f();
    ASSERT_EQ(f.app.playMode, 8);
    f.extras.recordLists[0][0] = kA;
    f.extras.recordLists[0][1] = kB;
    g.Press(platform::mbLeft, 740, 550);
    EXPECT_EQ(f.app.replayContext, 2);
    EXPECT_TRUE(Visible(f, "N1"));
    EXPECT_TRUE(Visible(f, "N2"));
    g.ToWait();
    EXPECT_TRUE(g.BacklogHas("リプレイ朝"));
    g.NextWait();
    EXPECT_EQ(f.app.replayContext, 2);
    EXPECT_FALSE(Visible(f, "N1"));  // the last scene has no next one
    EXPECT_TRUE(g.BacklogHas("リプレイ昼"));
    g.NextWait();
    EXPECT_EQ(f.app.replayContext, 0);
    EXPECT_EQ(f.app.playMode, 8);
    EXPECT_FALSE(Visible(f, "N2"));
    EXPECT_EQ(f.audio.requestedTrack, 1);
    // Back closes the screen; the script goes on after kaisou.
    g.Press(platform::mbLeft, 750, 10);
    EXPECT_EQ(f.app.playMode, 0);
    g.ToWait();
    EXPECT_TRUE(g.BacklogHas("閉じた"));
}

TEST(Recollection, ADoubleClickReplaysOneSceneAndTheMenuEndsIt) {
    ExtrasGame g;
    Build(g, "*call SC_A\n*kaisou\n");
    g.Start();
    g.ToWait();
    g.NextWait();
    TForm1& f = g.f();
    ASSERT_EQ(f.app.playMode, 8);
    g.Press(platform::mbLeft, 30, 175);
    g.Ticks(2);
    g.Press(platform::mbLeft, 30, 175);
    EXPECT_EQ(f.app.replayContext, 2);
    EXPECT_FALSE(Visible(f, "N1"));
    g.ToWait();
    ASSERT_TRUE(g.Events("menu 回想モード終了\n"));
    f.SpeedButton1Click();
    EXPECT_EQ(f.app.replayContext, 0);
    EXPECT_EQ(f.app.playMode, 8);
    EXPECT_EQ(f.extras.recordLists[0][0], 0);  // the drag of a double click changes no list
}

TEST(Recollection, TheRenameBoxAndTheListsSurviveARestart) {
    ExtrasGame g;
    Build(g, "*kaisou\n");
    g.Start();
    g.Pass(5);
    TForm1& f = g.f();
    ASSERT_EQ(f.app.playMode, 8);
    f.extras.recordLists[2][0] = kB;
    g.Press(platform::mbLeft, 420 + 36 * 2 + 5, 25);
    EXPECT_EQ(f.extras.recollection.recordList, 2);
    EXPECT_STREQ(f.extras.recordListNames[2], "Record Slot 3");
    ASSERT_TRUE(g.Events("wait 100\ndialog type 別の名前\ndialog press キャンセル\n"));
    g.Press(platform::mbLeft, 650, 60);
    EXPECT_STREQ(f.extras.recordListNames[2], "Record Slot 3");
    EXPECT_TRUE(g.Traced("dialog TForm6"));
    // Eighteen full-width characters: fifteen are kept.
    ASSERT_TRUE(g.Events("wait 100\ndialog type 一二三四五六七八九十一二三四五六七八\ndialog press OK\n"));
    g.Press(platform::mbLeft, 650, 60);
    EXPECT_EQ(ToUtf8(f.extras.recordListNames[2]), "一二三四五六七八九十一二三四五");
    // Enter confirms, Escape cancels.
    ASSERT_TRUE(g.Events("wait 100\ndialog type 夜\ndialog key Escape\n"));
    g.Press(platform::mbLeft, 650, 60);
    EXPECT_EQ(ToUtf8(f.extras.recordListNames[2]), "一二三四五六七八九十一二三四五");
    ASSERT_TRUE(g.Events("wait 100\ndialog type 朝\ndialog key Enter\n"));
    g.Press(platform::mbLeft, 650, 60);
    EXPECT_EQ(ToUtf8(f.extras.recordListNames[2]), "朝");
    ASSERT_TRUE(g.Events("wait 100\ndialog type 一二三四五六七八九十一二三四五\ndialog press OK\n"));
    g.Press(platform::mbLeft, 650, 60);
    g.Start();
    EXPECT_EQ(g.f().extras.recordLists[2][0], kB);
    EXPECT_EQ(ToUtf8(g.f().extras.recordListNames[2]), "一二三四五六七八九十一二三四五");
}

TEST(Recollection, ADamagedTableOrListFileIsTracedNotFatal) {
    ExtrasGame g;
    g.Script("main", "*kaisou\n").Script("sys_flashbak", ":SETTING\nA\n:B\n題だけ\n:END\n");
    g.Start();
    g.Pass(5);
    EXPECT_TRUE(g.Traced("sys_flashbak line 4: a scene without a script name"));
    EXPECT_TRUE(g.Traced("recollection: sub-list :A is not in the scene table"));
    EXPECT_TRUE(g.Traced("recollection: picture ss_kaiso missing"));
    EXPECT_EQ(g.f().app.playMode, 8);
    // Clicks anywhere find nothing to act on.
    for (int y = 0; y < 600; y += 37) g.Press(platform::mbLeft, 560, y);
    g.f().extras.recordLists[0][0] = 9999;
    g.Start();
    EXPECT_EQ(g.f().extras.recordLists[0][0], 0);
    EXPECT_TRUE(g.Traced("record list entries name no scene"));
}

}  // namespace
}  // namespace velmora::test
