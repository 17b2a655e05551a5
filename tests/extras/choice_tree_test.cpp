// The choice tree on tiny games: which entries show, where column 2 goes,
// what the pointer lights and what a pick calls.
#include <gtest/gtest.h>

#include "extras/rolls.h"
#include "extras_game.h"
#include "ui/input.h"

using namespace velmora;
using namespace velmora::platform;
using test::At;
using test::Bgr;
using test::ExtrasGame;
using platform::TextKind;

namespace {

constexpr Bgr kBackdrop[6] = {{10, 10, 10}, {20, 20, 20}, {30, 30, 30}, {40, 40, 40}, {50, 50, 50}, {60, 60, 60}};
constexpr Bgr kRoot = {0, 0, 200}, kRootLit = {0, 200, 0}, kRow = {200, 0, 0}, kRowLit = {200, 200, 0};

// What an opaque stacked picture of colour c leaves on the screen.
Bgr Opaque(Bgr c) { return {uint8_t(c.b * 255 >> 8), uint8_t(c.g * 255 >> 8), uint8_t(c.r * 255 >> 8)}; }

ExtrasGame::Pictures TreePictures() {
    return {{"treelv0", test::Stacked(700, 560, kBackdrop[0])}, {"treelv1", test::Stacked(700, 560, kBackdrop[1])},
            {"treelv2", test::Stacked(700, 560, kBackdrop[2])}, {"treelv3", test::Stacked(700, 560, kBackdrop[3])},
            {"treelv4", test::Stacked(700, 560, kBackdrop[4])}, {"treelv5", test::Stacked(700, 560, kBackdrop[5])},
            {"tree1a", test::Stacked(180, 36, kRoot)},          {"tree1b", test::Stacked(180, 36, kRootLit)},
            {"tree2a", test::Stacked(180, 36, kRow)},           {"tree2b", test::Stacked(180, 36, kRowLit)}};
}

// Tree 0: a root with a target, nothing else reached. Tree 1: a group in
// row 3 with four reached sub-entries (one unread, one deeper, and one
// after the next top-level entry, which ends the group). Tree 2: eleven
// reached sub-entries in row 3.
const char kTable[] =
    "; trees for the tests\n"
    "0,0,はじめ,sub:ROOT\n"
    "0,50,未読,sub\n"
    "END\n"
    "0,0,根,\n"
    "0,1,一,sub:ONE\n"
    "0,1,二,sub\n"
    "0,1,組,\n"
    "1,1,甲,sub:KOU\n"
    "1,1,乙,sub\n"
    "1,2,未,sub\n"
    "1,1,丙,nosuch\n"
    "2,1,深,sub\n"
    "1,1,丁,sub\n"
    "0,1,後,sub\n"
    "1,1,外,sub\n"
    "END\n"
    "0,0,根,\n"
    "0,1,一,sub\n"
    "0,1,二,sub\n"
    "0,1,組,\n"
    "1,1,a,sub\n1,1,b,sub\n1,1,c,sub\n1,1,d,sub\n1,1,e,sub\n1,1,f,sub\n"
    "1,1,g,sub\n1,1,h,sub\n1,1,i,sub\n1,1,j,sub\n1,1,k,sub\n"
    "END\n"
    "ALLEND\n";

const char kSub[] =
    "最初から▼\n*end\n"
    ":ROOT\nはじめの場面▼\n*end\n"
    ":ONE\n一の場面▼\n*end\n"
    ":KOU\n甲の場面▼\n*end\n";

std::string Main(int tree) {
    return "*mark 1\n前のページ▼\n!V100=" + std::string(tree == 2 ? "9" : "2") + "\n*seltree " +
           std::to_string(tree) + "\n後のページ▼\n";
}

// Plays up to the tree.
void ToTree(ExtrasGame& g) {
    g.ToWait();
    g.Press(mbLeft, 400, 300);
    g.Pass(8);  // past the click debounce
    ASSERT_EQ(g.f().ui.choiceKind, kChoiceTree);
}

}  // namespace

TEST(ChoiceTreeTable, TreesEndAtEndAndBadLinesAreLeftOut) {
    const std::string table = std::string("0,0,root,\n") + "x,1,bad level,\n" + "1,1,ok,s:L\n" + "1,1,too,many,fields\n" +
                              "END\n" + "END\n" + "0,0,third,\n" + "ALLEND\n" + "0,0,after,\n";
    std::string bytes = table;
    for (char& c : bytes)
        if (c == '\n') c = '\0';
    ChoiceTree trees[kTreeCount];
    std::string error;
    ASSERT_TRUE(ParseChoiceTrees(bytes.data(), static_cast<int32_t>(bytes.size()), trees, error));
    EXPECT_EQ(trees[0].count, 2);
    EXPECT_STREQ(trees[0].entries[1].target, "s:L");
    EXPECT_EQ(trees[0].entries[1].level, 1);
    EXPECT_EQ(trees[1].count, 0);
    EXPECT_EQ(trees[2].count, 1);
    EXPECT_STREQ(trees[2].entries[0].caption, "third");
    EXPECT_EQ(trees[3].count, 0);
    const std::string empty(1, '\0');
    EXPECT_FALSE(ParseChoiceTrees(empty.data(), 1, trees, error));
}

TEST(ChoiceTreeTable, ColumnTwoLevelWithItsGroupOrEndingAtRowTwelve) {
    EXPECT_EQ(ColumnTwoOffset(4, 3), 132);
    EXPECT_EQ(ColumnTwoOffset(11, 3), 44);
    EXPECT_EQ(ColumnTwoOffset(9, 3), 132);   // 12 rows: still level
    EXPECT_EQ(ColumnTwoOffset(10, 3), 88);  // 13: lifted
}

TEST(ChoiceTree, NothingReachedShowsOnlyTheRootWhichStillPicks) {
    ExtrasGame g({{"main", Main(0)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
    ToTree(g);
    TForm1& f = g.f();
    EXPECT_EQ(f.extras.tree.column1Count, 1);
    Picture shown = g.Canvas();
    EXPECT_EQ(At(shown, 45, 500), Opaque(kBackdrop[2]));  // V100 = 2
    EXPECT_EQ(At(shown, 181, 75), Opaque(kRoot));
    EXPECT_NE(At(shown, 230, 69 + 44 + 3), Opaque(kRow));  // no row 1
    g.Move(250, 90);
    EXPECT_EQ(At(g.Canvas(), 181, 75), Opaque(kRootLit));
    EXPECT_STREQ(f.extras.tree.selection, "sub:ROOT");
    g.Press(mbRight, 250, 90);  // either button picks
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    g.ToWait();
    EXPECT_EQ(g.LastLine(), "はじめの場面");
    g.Press(mbLeft, 400, 300);
    g.Pass(2);
    g.ToWait();
    EXPECT_EQ(g.LastLine(), "後のページ");  // end came back after seltree
}

TEST(ChoiceTree, GroupInRowThreeShowsItsReachedEntriesLevelWithIt) {
    ExtrasGame g({{"main", Main(1)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
    ToTree(g);
    TForm1& f = g.f();
    ChoiceTreeState& t = f.extras.tree;
    EXPECT_EQ(t.column1Count, 5);  // root, 一, 二, 組, 後
    g.Move(300, 69 + 44 * 3 + 10);
    EXPECT_STREQ(t.selection, "");  // a group has nothing to pick
    ASSERT_EQ(t.column2Count, 4);   // 甲 乙 丙 丁: the unread one and the deeper one left out
    EXPECT_EQ(t.column2Offset, 132);
    EXPECT_EQ(ToUtf8(f.extras.tree.trees[1].entries[t.column2[3]].caption), "丁");
    Picture shown = g.Canvas();
    EXPECT_EQ(At(shown, 230, 69 + 44 * 3 + 3), Opaque(kRowLit));
    EXPECT_EQ(At(shown, 445, 132 + 75), Opaque(kRoot));  // column-2 row 0 beside its group
    EXPECT_EQ(At(shown, 494, 69 + 44 * 3 + 132 + 3), Opaque(kRow));
    // Into column 2: row 1 lights and is the pick; the group stays lit in
    // column 1 only on the picture saved before.
    g.Move(600, 69 + 44 + 132 + 10);
    EXPECT_STREQ(t.selection, "sub");
    shown = g.Canvas();
    EXPECT_EQ(At(shown, 494, 69 + 44 + 132 + 3), Opaque(kRowLit));
    EXPECT_EQ(At(shown, 445, 132 + 75), Opaque(kRoot));
    // Above the column: nothing lit there, nothing to pick.
    g.Move(600, 100);
    EXPECT_STREQ(t.selection, "");
    EXPECT_EQ(At(g.Canvas(), 494, 69 + 44 + 132 + 3), Opaque(kRow));
    // Row 0 of column 2 calls its script at the label.
    g.Move(600, 132 + 80);
    EXPECT_STREQ(t.selection, "sub:KOU");
    g.Press(mbLeft, 600, 132 + 80);
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    EXPECT_EQ(f.loader.callDepth, 1);
    g.ToWait();
    EXPECT_EQ(g.LastLine(), "甲の場面");
    g.Press(mbLeft, 400, 300);
    g.Pass(2);
    g.ToWait();
    EXPECT_EQ(g.LastLine(), "後のページ");
    EXPECT_EQ(f.loader.callDepth, 0);
}

TEST(ChoiceTree, ElevenEntriesEndAtRowTwelveAndAClampedBackdrop) {
    ExtrasGame g({{"main", Main(2)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
    ToTree(g);
    EXPECT_TRUE(g.Traced("V100 = 9 has no backdrop; 5 used"));
    EXPECT_EQ(At(g.Canvas(), 45, 500), Opaque(kBackdrop[5]));
    g.Move(300, 69 + 44 * 3 + 10);
    EXPECT_EQ(g.f().extras.tree.column2Count, 11);
    EXPECT_EQ(g.f().extras.tree.column2Offset, 44);
    // The last row ends at row 12.
    EXPECT_EQ(At(g.Canvas(), 494, 69 + 44 * 10 + 44 + 3), Opaque(kRow));
}

TEST(ChoiceTree, LeftOfTheRowsClearsTheHighlightAndAClickThereDoesNothing) {
    ExtrasGame g({{"main", Main(1)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
    ToTree(g);
    TForm1& f = g.f();
    g.Move(300, 69 + 44 + 10);
    EXPECT_EQ(At(g.Canvas(), 230, 69 + 44 + 3), Opaque(kRowLit));
    EXPECT_STREQ(f.extras.tree.selection, "sub:ONE");
    g.Move(200, 69 + 44 + 10);
    EXPECT_EQ(At(g.Canvas(), 230, 69 + 44 + 3), Opaque(kRow));
    g.Press(mbLeft, 200, 69 + 44 + 10);
    g.Pass(3);
    EXPECT_EQ(f.ui.choiceKind, kChoiceTree);
    // Below column 1 the pick is gone but the picture stays.
    g.Pass(6);
    g.Move(300, 69 + 44 + 10);
    g.Move(300, 69 + 44 * 6 + 10);
    EXPECT_STREQ(f.extras.tree.selection, "");
    g.Press(mbLeft, 300, 69 + 44 * 6 + 10);
    EXPECT_EQ(f.ui.choiceKind, kChoiceTree);
}

TEST(ChoiceTree, ATargetThatCannotLoadClosesTheTreeAndGoesOn) {
    ExtrasGame g({{"main", Main(1)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
    ToTree(g);
    TForm1& f = g.f();
    g.Move(300, 69 + 44 * 3 + 10);
    g.Move(600, 69 + 44 * 2 + 132 + 10);  // 丙, whose script is missing
    EXPECT_STREQ(f.extras.tree.selection, "nosuch");
    g.Press(mbLeft, 600, 69 + 44 * 2 + 132 + 10);
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    EXPECT_EQ(f.loader.callDepth, 0);
    g.ToWait();
    EXPECT_EQ(g.LastLine(), "後のページ");
    EXPECT_TRUE(g.Traced("not loaded; the script goes on after seltree"));
}

TEST(ChoiceTree, NoTreeWithoutItsPicturesOrBeyondTreeSix) {
    ExtrasGame g({{"main", "*seltree 7\n*seltree 0\n続き▼\n"}, {"seltree", kTable}},
                 {{"treelv0", test::Stacked(10, 10, kRoot)}});
    g.ToWait();
    EXPECT_EQ(g.f().ui.choiceKind, kChoiceNone);
    EXPECT_EQ(g.LastLine(), "続き");
    EXPECT_TRUE(g.Traced("seltree: picture treelv1 missing; the game has no choice tree"));
    EXPECT_TRUE(g.Traced("seltree 7: refused, trees are numbered 0 ... 6"));
    EXPECT_TRUE(g.Traced("seltree 0: refused, the game has no such tree"));
}

// The tree's pictures cost nothing until a tree opens; one that turns out
// damaged then refuses the tree as a missing one does at start-up.
TEST(ChoiceTree, PicturesAreReadWhenATreeFirstOpens) {
    {
        ExtrasGame g({{"main", Main(0)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
        g.ToWait();
        const ChoiceTreeState& t = g.f().extras.tree;
        EXPECT_TRUE(t.ready);
        EXPECT_FALSE(t.picturesLoaded);
        EXPECT_TRUE(t.pictures[0].Empty());
        ToTree(g);
        EXPECT_TRUE(t.picturesLoaded);
        EXPECT_EQ(At(g.Canvas(), 181, 75), Opaque(kRoot));
    }
    ExtrasGame::Pictures pictures = TreePictures();
    pictures.pop_back();  // tree2b: damaged below
    ExtrasGame g;
    g.Script("main", Main(0)).Script("sub", kSub).Script("seltree", kTable);
    for (auto& [name, picture] : pictures) g.Pic(name, picture);
    std::vector<uint8_t> damaged = test::Packed(test::Stacked(180, 36, kRowLit));
    damaged.resize(damaged.size() / 2);
    g.Entry("vk_gra.vrk", "tree2b", damaged);
    g.Start();
    g.ToWait();
    g.Press(mbLeft, 400, 300);
    g.Pass(8);
    EXPECT_EQ(g.f().ui.choiceKind, kChoiceNone);
    EXPECT_TRUE(g.Traced("seltree: picture tree2b cannot be read; the game has no choice tree"));
    EXPECT_TRUE(g.Traced("seltree 0: refused, the game has no such tree"));
}

namespace {

// The row of column 1 (r) or 2 (k, beside its group) lit on the screen.
bool Column1Lit(ExtrasGame& g, int r) { return At(g.Canvas(), 230, 69 + 44 * r + 3) == Opaque(kRowLit); }

void KeyDown(ExtrasGame& g, uint16_t key) {
    uint16_t k = key;
    g.f().FormKeyDown(k, 0);
}

void KeyPress(ExtrasGame& g, char c) { g.f().FormKeyPress(c); }

}  // namespace

// The arrows walk the rows as the pointer does (the lit row is the pick, a
// group opens its entries beside it), Right and Left go between the columns
// and Enter picks; the rows of a column no longer drawn are no stop.
TEST(ChoiceTreeKeys, ArrowsLightTheRowsAndEnterPicks) {
    ExtrasGame g({{"main", Main(1)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
    ToTree(g);  // the pointer rests below the rows
    TForm1& f = g.f();
    ChoiceTreeState& t = f.extras.tree;
    KeyDown(g, VK_DOWN);  // on no row: the first one
    EXPECT_EQ(t.hovered, 100);
    EXPECT_EQ(At(g.Canvas(), 181, 75), Opaque(kRootLit));
    KeyDown(g, VK_DOWN);
    EXPECT_STREQ(t.selection, "sub:ONE");
    EXPECT_TRUE(Column1Lit(g, 1));
    EXPECT_EQ(At(g.Canvas(), 181, 75), Opaque(kRoot));
    // Nothing to the right of a row with a target.
    KeyDown(g, VK_RIGHT);
    EXPECT_STREQ(t.selection, "sub:ONE");
    KeyDown(g, VK_DOWN);
    KeyDown(g, VK_DOWN);  // the group: its entries show beside it
    EXPECT_TRUE(Column1Lit(g, 3));
    EXPECT_STREQ(t.selection, "");
    EXPECT_TRUE(t.column2Shown);
    EXPECT_EQ(At(g.Canvas(), 445, 132 + 75), Opaque(kRoot));
    KeyDown(g, VK_RIGHT);
    EXPECT_STREQ(t.selection, "sub:KOU");
    EXPECT_EQ(At(g.Canvas(), 445, 132 + 75), Opaque(kRootLit));
    KeyDown(g, VK_DOWN);
    EXPECT_STREQ(t.selection, "sub");  // 乙
    KeyDown(g, VK_UP);
    KeyDown(g, VK_LEFT);  // back to the group, level with the column's first row
    EXPECT_EQ(t.hovered, 103);
    // Past the last row nothing moves.
    KeyDown(g, VK_DOWN);
    KeyDown(g, VK_DOWN);
    EXPECT_EQ(t.hovered, 104);
    // Up to the row with a target: column 2 is gone from the screen, and a
    // key no longer reaches it.
    KeyDown(g, VK_UP);
    KeyDown(g, VK_UP);
    EXPECT_STREQ(t.selection, "sub");  // 二
    EXPECT_FALSE(t.column2Shown);
    EXPECT_EQ(ChoiceTreeHit(f, 600, 132 + 80), 0);
    KeyDown(g, VK_RIGHT);
    EXPECT_EQ(t.hovered, 102);
    // Enter on the group goes into its entries; Enter there picks.
    KeyDown(g, VK_DOWN);
    KeyPress(g, '\r');
    EXPECT_STREQ(t.selection, "sub:KOU");
    EXPECT_EQ(f.ui.choiceKind, kChoiceTree);
    KeyPress(g, '\r');
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    g.ToWait();
    EXPECT_EQ(g.LastLine(), "甲の場面");
}

// The same through the runner's key lines, and Space picks as Enter does
// (it does not switch the auto mode on behind the tree).
TEST(ChoiceTreeKeys, TheRunnersKeyLinesWalkAndSpacePicks) {
    ExtrasGame g({{"main", Main(1)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
    ToTree(g);
    ASSERT_TRUE(g.Events("key Down\nkey Down\nkey Down\nkey Down\nkey Right\nkey Down\nwait 100\nkey Space\n"));
    for (int i = 0; i < 20 && g.f().ui.choiceKind == kChoiceTree; ++i) g.Pass();
    EXPECT_EQ(g.f().ui.choiceKind, kChoiceNone);
    EXPECT_EQ(g.f().vars.S[26], 0);
    EXPECT_TRUE(g.Traced("seltree: picked sub, called"));
}

// While the tree shows, its rows and the one lit reach the text outlets as
// a choice list's options and the option under the pointer do.
TEST(ChoiceTreeKeys, RowsGoToTheTextOutletsAsChoices) {
    ExtrasGame g({{"main", Main(1)}, {"sub", kSub}, {"seltree", kTable}}, TreePictures());
    test::HeardText heard;
    g.plat().textOutletsImpl = &heard;
    ToTree(g);
    EXPECT_EQ(heard.Of(TextKind::Choice), (std::vector<std::string>{"根", "一", "二", "組", "後"}));
    g.Move(300, 69 + 44 * 3 + 10);
    g.Move(600, 69 + 44 + 132 + 10);
    g.Move(600, 69 + 44 + 132 + 20);  // the same row: told once
    g.Move(100, 100);                 // off the rows: nothing
    EXPECT_EQ(heard.Of(TextKind::Menu), (std::vector<std::string>{"組", "乙"}));
    g.plat().textOutletsImpl = nullptr;
}

namespace {

// The demo's tree pictures as the build drew them.
ExtrasGame::Pictures DemoTreePictures() {
    ExtrasGame::Pictures out;
    for (const char* name : {"treelv0", "treelv1", "treelv2", "treelv3", "treelv4", "treelv5", "tree1a", "tree1b",
                             "tree2a", "tree2b"}) {
        Picture p;
        EXPECT_TRUE(ReadPng(std::string(VELMORA_DEMO_GAME) + "/pictures/" + name + ".png", p)) << name;
        out.emplace_back(name, p);
    }
    return out;
}

// The tree with a group in row 2 hovered (so both columns, plain and lit
// buttons show), at the largest font size; captions written as given.
Picture DemoTreeShown(const ExtrasGame::Pictures& pictures, const char* const captions[6]) {
    const std::string table = std::string("0,0,") + captions[0] + ",sub\n0,1," + captions[1] + ",sub\n0,1," +
                              captions[2] + ",\n1,1," + captions[3] + ",sub\n1,1," + captions[4] + ",sub\n0,1," +
                              captions[5] + ",sub\nEND\nALLEND\n";
    ExtrasGame g;
    g.Script("main", Main(0)).Script("sub", kSub).Script("seltree", table);
    for (auto& [name, picture] : pictures) g.Pic(name, picture);
    g.settings = {{"FONTSIZE", "24"}};
    g.Start();
    ToTree(g);
    g.Move(300, 69 + 44 * 2 + 20);
    EXPECT_EQ(g.f().extras.tree.column2Count, 2);
    return g.Canvas();
}

}  // namespace

TEST(ChoiceTree, TheDemoButtonsHoldTheirCaptions) {
    const ExtrasGame::Pictures pictures = DemoTreePictures();
    const Picture& root = pictures[6].second;
    const Picture& row = pictures[8].second;
    ASSERT_FALSE(root.Empty());
    ASSERT_FALSE(row.Empty());
    // The demo's widest and lowest-reaching captions, and blanks of the same
    // lengths: what differs is the ink of the captions.
    const char* const captions[6] = {"わかれみち", "窓の外を見る", "夜のすごし方", "本を読む", "早く寝る", "部屋で"};
    const char* const blanks[6] = {"　　　　　", "　　　　　　", "　　　　　　", "　　　　", "　　　　", "　　　"};
    const Picture inked = DemoTreeShown(pictures, captions);
    const Picture blank = DemoTreeShown(pictures, blanks);
    // Where the buttons stand (column 2 beside row 2).
    struct Placed {
        const Picture* p;
        int x, y;
    };
    const int o = 44 * 2;
    const Placed buttons[] = {{&root, 178, 72},      {&row, 227, 69 + 44},     {&row, 227, 69 + 88},
                              {&row, 227, 69 + 132}, {&root, 442, o + 72},     {&row, 491, 69 + 44 + o}};
    // Inside a button's face (its mask at least half) with a pixel to spare.
    auto inFace = [&](int x, int y) {
        for (const Placed& b : buttons) {
            const int h = b.p->height / 2;
            bool inside = true;
            for (auto [dx, dy] : {std::pair{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                const int px = x + dx - b.x, py = y + dy - b.y;
                inside = inside && px >= 0 && px < b.p->width && py >= 0 && py < h && b.p->Pixel(px, h + py)[0] >= 128;
            }
            if (inside) return true;
        }
        return false;
    };
    int ink = 0, outside = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            if (At(inked, x, y) == At(blank, x, y)) continue;
            ++ink;
            if (!inFace(x, y)) {
                if (outside == 0) ADD_FAILURE() << "caption ink off its button at (" << x << ", " << y << ")";
                ++outside;
            }
        }
    EXPECT_GT(ink, 1000);
    EXPECT_EQ(outside, 0);
}
