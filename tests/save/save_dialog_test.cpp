// The save and load dialog as a player drives it through the events file:
// rows, comments, sorting, deleting, loading, the remembered row, and slots
// that are damaged or vanish behind the dialog's back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "app/engine.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "save/slot_file.h"
#include "save/slot_reader.h"
#include "save/slots.h"
#include "script/story.h"

using namespace velmora;
using test::Story;

namespace {

const char kGame[] =
    "!S000=0\n"
    "!V001=1\n"
    "*title 第一話\n"
    "一ページ目\n\\\n"
    "!V001=2\n"
    "二ページ目\n\\\n"
    "!V001=3\n"
    "三ページ目\n\\\n";

test::SlotReader Slot(Story& s, int slot) {
    test::SlotReader r;
    ReadWholeFile(SlotPath(s.f(), slot), r.b);
    return r;
}

// Opens the dialog with its key after scheduling what the player does in it.
void InDialog(Story& s, char key, const std::string& events) {
    ASSERT_TRUE(s.Events(events));
    s.Type(key);
}

// The trace line of one row in the dialog that opened since mark.
std::string RowLine(Story& s, size_t mark, int row) {
    std::string t = s.TraceSince(mark);
    std::string key = "dialog TForm9: row " + std::to_string(row) + ": ";
    size_t p = t.find(key);
    if (p == std::string::npos) return "";
    size_t e = t.find('\n', p);
    return t.substr(p + key.size(), e - p - key.size());
}

}  // namespace

TEST(SaveDialog, SaveWithACommentThenTheRowsOfBothModes) {
    Story s({{"main", kGame}});
    s.ToWait();
    TForm1& f = s.f();
    size_t mark = s.Mark();
    InDialog(s, 'S', "dialog select 5\ndialog type はじめて の保存\ndialog press セーブ\n");
    EXPECT_TRUE(f.stepper.ScriptRunning);
    test::SlotReader r = Slot(s, 5);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(ToUtf8(r.Comment()), "はじめて の保存");
    EXPECT_EQ(f.save.dialogRow, 4);
    std::string opened = s.TraceSince(mark);
    EXPECT_NE(opened.find("dialog TForm9 \"セーブ\" opened: 490 x 410"), std::string::npos) << opened;
    EXPECT_NE(opened.find("list ListView1 \"\" 98 rows, row 1 selected"), std::string::npos);
    EXPECT_EQ(RowLine(s, mark, 98), "98 |  未登録 |   |  ");
    EXPECT_EQ(RowLine(s, mark, 99), "");
    EXPECT_NE(opened.find("button Button3 \"コメント登録(最大全角15文字)\" disabled"), std::string::npos);

    // The load dialog lists slot 99 too, opens on the row used last and
    // shows the slot's time, title and comment.
    mark = s.Mark();
    InDialog(s, 'L', "dialog key Escape\n");
    EXPECT_NE(s.TraceSince(mark).find("99 rows, row 5 selected"), std::string::npos);
    std::string row5 = RowLine(s, mark, 5);
    ASSERT_EQ(row5.size(), std::string("05 | 2026/01/01 00:00:00 |  第一話 | はじめて の保存").size()) << row5;
    EXPECT_EQ(row5.substr(0, 5), "05 | ");
    EXPECT_EQ(row5[9], '/');
    EXPECT_EQ(row5.substr(24), " |  第一話 | はじめて の保存");
    EXPECT_NE(s.TraceSince(mark).find("slot 5, comment \"はじめて の保存\""), std::string::npos);
}

TEST(SaveDialog, LoadGoesBackToTheSavedLineAndEmptyRowsDoNothing) {
    Story s({{"main", kGame}});
    s.ToWait();
    TForm1& f = s.f();
    const int32_t savedAt = f.stepper.readPos;
    InDialog(s, 'S', "dialog select 2\ndialog press Button1\n");
    ASSERT_TRUE(IsRegularFile(SlotPath(f, 2)));
    s.NextWait();
    ASSERT_EQ(s.V(1), 2);

    // Escape: nothing changes. Loading an empty row keeps the dialog open.
    size_t mark = s.Mark();
    InDialog(s, 'L', "dialog select 3\ndialog press ロード\ndialog key Escape\n");
    EXPECT_EQ(s.V(1), 2);
    EXPECT_NE(s.TraceSince(mark).find("press Button1"), std::string::npos);
    EXPECT_NE(s.TraceSince(mark).find("dialog TForm9 closed"), std::string::npos);
    EXPECT_EQ(f.save.dialogRow, 2);

    // Enter on the list loads the selected row; the tool bar reaches the
    // dialog while the backlog is open, and the load closes the backlog.
    f.vars.S[28] = 1;
    OpenBacklog(f);
    ASSERT_TRUE(f.backlog.open);
    ASSERT_TRUE(s.Events("dialog select 2\ndialog key Enter\n"));
    mark = s.Mark();
    f.SpeedButton4Click();
    EXPECT_FALSE(f.backlog.open);
    EXPECT_EQ(s.V(1), 1);
    // The dialog is gone before the loaded scene is shown.
    const std::string t = s.TraceSince(mark);
    ASSERT_NE(t.find("load 2: resumed"), std::string::npos) << t;
    EXPECT_LT(t.find("dialog TForm9 closed"), t.find("load 2: resumed")) << t;
    EXPECT_EQ(f.stepper.readPos, savedAt);
    EXPECT_TRUE(f.stepper.ScriptRunning);
    s.NextWait();
    EXPECT_EQ(s.V(1), 2);  // and play goes on from there
}

TEST(SaveDialog, SortingByDateBothWaysKeepsTheSelectionOnItsSlot) {
    Story s({{"main", kGame}});
    s.ToWait();
    for (int slot : {3, 7}) ASSERT_TRUE(SaveGame(s.f(), slot, true));
    size_t mark = s.Mark();
    InDialog(s, 'L', "dialog select 7\ndialog sort 2\ndialog sort 2\ndialog sort 1\ndialog key Escape\n");
    std::string t = s.TraceSince(mark);
    // Ascending: the empty rows first, their text begins with a space.
    size_t asc = t.find("sorted by column 2 ascending: 01 02 04 05 06 08");
    ASSERT_NE(asc, std::string::npos) << t;
    std::string ascLine = t.substr(asc, t.find('\n', asc) - asc);
    EXPECT_NE(ascLine.find("98 99 03 07"), std::string::npos) << ascLine;
    // Descending: the saved slots first (in the same second they keep slot order).
    size_t desc = t.find("sorted by column 2 descending: ");
    ASSERT_NE(desc, std::string::npos) << t;
    std::string first = t.substr(desc + 31, 14);
    EXPECT_TRUE(first == "07 03 01 02 04" || first == "03 07 01 02 04") << first;
    EXPECT_NE(t.find("sorted by column 1 ascending: 01 02 03"), std::string::npos);
    // The selection followed slot 7 to the top and back.
    EXPECT_EQ(s.f().save.sortColumn, 0);
    EXPECT_EQ(s.f().save.lastSortedColumn, 0);

    // A new opening lists the slots in order again; a click on the column
    // sorted last now sorts it descending.
    mark = s.Mark();
    InDialog(s, 'L', "dialog sort 1\ndialog key Escape\n");
    EXPECT_NE(s.TraceSince(mark).find("sorted by column 1 descending: 99 98 97"), std::string::npos);
}

TEST(SaveDialog, DeleteAndCommentsCutOnACharacterBoundary) {
    Story s({{"main", kGame}});
    s.ToWait();
    TForm1& f = s.f();
    ASSERT_TRUE(SaveGame(f, 4, true));
    ASSERT_TRUE(SaveGame(f, 6, true));
    // Sixteen full-width characters keep fifteen; a half-width letter first
    // keeps fourteen, never half a character.
    InDialog(s, 'S',
             "dialog select 4\ndialog type あいうえおかきくけこさしすせそた\ndialog press コメント\n"
             "dialog select 6\ndialog type aあいうえおかきくけこさしすせそ\ndialog press Button3\n"
             "dialog press 閉じる\n");
    EXPECT_EQ(ToUtf8(Slot(s, 4).Comment()), "あいうえおかきくけこさしすせそ");
    EXPECT_EQ(ToUtf8(Slot(s, 6).Comment()), "aあいうえおかきくけこさしすせ");
    EXPECT_EQ(Slot(s, 6).Comment().size(), 29u);

    // Delete at once, no question; the comment button on the now empty row does nothing.
    size_t mark = s.Mark();
    InDialog(s, 'S', "dialog select 4\ndialog press 削除\ndialog type 消えたあと\ndialog press コメント\n"
                     "dialog press 閉じる\n");
    EXPECT_FALSE(IsRegularFile(SlotPath(f, 4)));
    EXPECT_NE(s.TraceSince(mark).find("slot 4 deleted"), std::string::npos);
    EXPECT_FALSE(IsRegularFile(SlotPath(f, 4)));
    // Deleting a row whose file is already gone shows it empty as well.
    InDialog(s, 'S', "dialog select 4\ndialog press 削除\ndialog press 閉じる\n");
    EXPECT_FALSE(IsRegularFile(SlotPath(f, 4)));
}

TEST(SaveDialog, ACharacterWithoutAShiftJisFormIsRefusedVisibly) {
    Story s({{"main", kGame}});
    s.ToWait();
    ASSERT_TRUE(SaveGame(s.f(), 1, true));
    size_t shown = s.plat().Shown().size();
    InDialog(s, 'S', "dialog select 1\ndialog type 前の文\ndialog type 絵文字😀\ndialog press セーブ\n");
    ASSERT_EQ(s.plat().Shown().size(), shown + 1);
    EXPECT_NE(s.plat().Shown().back().find("この文字は使えません"), std::string::npos);
    // The field kept what it held: that is the comment saved.
    EXPECT_EQ(ToUtf8(Slot(s, 1).Comment()), "前の文");
}

TEST(SaveDialog, RememberedRowIsClampedAndDamagedSlotsAreNotLoaded) {
    Story s({{"main", kGame}});
    s.ToWait();
    TForm1& f = s.f();
    ASSERT_TRUE(SaveGame(f, 99, true));
    size_t mark = s.Mark();
    InDialog(s, 'L', "dialog select 99\ndialog key Escape\n");
    EXPECT_EQ(f.save.dialogRow, 98);
    InDialog(s, 'S', "dialog key Escape\n");
    EXPECT_NE(s.TraceSince(mark).find("98 rows, row 98 selected"), std::string::npos);
    EXPECT_EQ(f.save.dialogRow, 97);

    // A short file: shown as damaged, not as empty, and not loaded.
    std::vector<uint8_t> junk(500, 'x');
    ASSERT_TRUE(WriteFileAtomic(SlotPath(f, 8), junk));
    s.NextWait();
    mark = s.Mark();
    size_t shown = s.plat().Shown().size();
    InDialog(s, 'L', "dialog select 8\ndialog press ロード\ndialog key Escape\n");
    EXPECT_EQ(s.V(1), 2);
    EXPECT_EQ(s.plat().Shown().size(), shown);  // not even tried
    EXPECT_NE(RowLine(s, mark, 8).find("破損データ"), std::string::npos);
    EXPECT_NE(s.TraceSince(mark).find("slot 8, damaged"), std::string::npos);
    // Saving over it makes it a slot again.
    InDialog(s, 'S', "dialog select 8\ndialog press セーブ\n");
    EXPECT_TRUE(Slot(s, 8).Ok());
}

TEST(SaveDialog, AWholeFileOfRandomBytesIsDamagedNotABlankGame) {
    Story s({{"main", kGame}});
    s.ToWait();
    TForm1& f = s.f();
    std::mt19937 rng(7);
    std::vector<uint8_t> noise(kSlotFileSize);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(rng());
    // Even with a header that reads like a save's.
    const char head[] = "2026/12/10 13:45:12  第一話";
    std::memcpy(noise.data(), head, sizeof head);
    // And one whose only fault is a stepper record no save writes.
    ASSERT_TRUE(SaveGame(f, 6, true));
    ASSERT_TRUE(WriteFileAtomic(SlotPath(f, 5), noise));
    std::vector<uint8_t> bent;
    ASSERT_TRUE(ReadWholeFile(SlotPath(f, 6), bent));
    const int32_t playMode = 4;  // no such mode
    std::memcpy(bent.data() + kSlotStepperOffset + 4 * kRecPlayMode, &playMode, 4);
    ASSERT_TRUE(WriteFileAtomic(SlotPath(f, 6), bent));

    size_t mark = s.Mark();
    InDialog(s, 'L', "dialog select 5\ndialog press ロード\ndialog select 6\ndialog press ロード\ndialog key Escape\n");
    EXPECT_NE(RowLine(s, mark, 5).find("破損データ"), std::string::npos) << RowLine(s, mark, 5);
    EXPECT_NE(RowLine(s, mark, 6).find("破損データ"), std::string::npos) << RowLine(s, mark, 6);
    EXPECT_EQ(s.V(1), 1);
    EXPECT_TRUE(f.stepper.ScriptRunning);
    // Loaded by number (the script's load, the runner's) it is refused too, and the game goes on.
    EXPECT_FALSE(LoadGame(f, 5, true));
    EXPECT_FALSE(LoadGame(f, 6, true));
    EXPECT_EQ(s.V(1), 1);
    s.NextWait();
    EXPECT_EQ(s.V(1), 2);
}

TEST(SaveDialog, ArrowKeysRefreshTheCommentPagingKeysDoNot) {
    Story s({{"main", kGame}});
    s.ToWait();
    TForm1& f = s.f();
    ASSERT_TRUE(SaveGame(f, 2, true));
    ASSERT_TRUE(SetSlotComment(f, 2, ToCp932("二番")));
    size_t mark = s.Mark();
    InDialog(s, 'L', "dialog select 1\ndialog key Down\ndialog key PageDown\ndialog key Escape\n");
    std::string t = s.TraceSince(mark);
    EXPECT_NE(t.find("slot 2, comment \"二番\""), std::string::npos) << t;
    EXPECT_NE(t.find("ListView1 row 19 selected"), std::string::npos) << t;
    EXPECT_EQ(t.find("slot 19"), std::string::npos);
    EXPECT_EQ(f.save.dialogRow, 1);  // the row the arrow refreshed
}

TEST(SaveDialog, TheGameWindowTakesNoInputWhileItIsOpenAndTheCommandsOpenIt) {
    Story s({{"main", std::string("!S000=0\n*save\n") + kGame}});
    size_t mark = s.Mark();
    ASSERT_TRUE(s.Events("wait 200\nclick 400 300\ndialog select 3\nmenu セーブ\ndialog press セーブ\n"));
    s.Pass(3);
    std::string t = s.TraceSince(mark);
    EXPECT_NE(t.find("dialog TForm9 \"セーブ\" opened"), std::string::npos) << t;
    EXPECT_NE(t.find("events line 2: the game window takes no input while TForm9 is open, dropped"),
              std::string::npos);
    EXPECT_NE(t.find("events line 4: menu with no menu open, dropped"), std::string::npos);
    EXPECT_TRUE(Slot(s, 3).Ok());
    EXPECT_TRUE(s.f().stepper.ScriptRunning);
    // After the dialog, a dialog command finds nothing open.
    mark = s.Mark();
    ASSERT_TRUE(s.Events("dialog press セーブ\n"));
    s.Pass();
    EXPECT_NE(s.TraceSince(mark).find("dialog with no dialog open, dropped"), std::string::npos);
}
