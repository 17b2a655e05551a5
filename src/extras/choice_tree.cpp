// The choice tree (command seltree): the branching points the player has
// reached, as a tree over the scene; a pick calls the script and label of
// the entry, and its `end` comes back after seltree.
//
// The trees are the text table "seltree" in the script archive, read once
// at start-up. One line per entry, "level,mark,caption,target":
//
//     ; tree 0: the branching scene
//     0,120,わかれみち,
//     0,120,最初の分かれ道,
//     1,121,丘へ行く,treeback:HILL
//     1,122,町へ行く,treeback:TOWN
//     0,123,夜,
//     1,124,本を読む,treeback
//     END
//     0,300,二章,chapter2
//     END
//     ALLEND
//
// level: 0 for the top level, deeper entries one more than their group.
// mark: the read mark (command mark) that makes the entry appear; the first
// line is the tree's root and is always shown. caption: the button's text.
// target: the script to call, "script:label" to start at a label, or
// nothing for a group, whose reached sub-entries show in a second column
// while the pointer rests on it. "END" closes each tree (tree 0 first, at
// most seven, for seltree 0 ... 6) and "ALLEND" the table; lines starting
// with ";" and empty lines are skipped. A column shows at most 15 rows.
//
// The pictures are stacked (colour above, mask below): "treelv0" ...
// "treelv5" the backdrop chosen by V100, "tree1a" and "tree1b" the root's
// button and its highlight, "tree2a" and "tree2b" the row button and its
// highlight. Without the table or any picture there is no tree.
#include <cstdio>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/config.h"
#include "data/encoding.h"
#include "extras/extras.h"
#include "extras/rolls.h"
#include "gfx/composition.h"
#include "script/loader.h"
#include "script/variables.h"
#include "text/glyphs.h"
#include "text/message_window.h"
#include "text/text_out.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr const char* kTreePictureNames[kTreePictures] = {"treelv0", "treelv1", "treelv2", "treelv3", "treelv4",
                                                          "treelv5", "tree1a",  "tree1b",  "tree2a",  "tree2b"};
enum { kFirstButton = 6, kFirstButtonLit = 7, kRowButton = 8, kRowButtonLit = 9 };

// Layout: backdrop, row pitch, the two columns.
constexpr int kBackdropX = 39, kBackdropY = 11;
constexpr int kPitch = 44;
constexpr int kColumn1RootX = 178, kColumn1RowX = 227, kColumn1Centre = 321;
constexpr int kColumn2RootX = 442, kColumn2RowX = 491, kColumn2Centre = 585;
constexpr int kColumn2Right = 702;
constexpr int kTop = 72;
constexpr int kColumn2Width = 284;

// Copies text into a field of kTreeTextMax bytes, never splitting a
// two-byte character; false when it had to be cut.
bool CopyText(char* dst, const std::string& text) {
    size_t n = 0;
    while (n < text.size()) {
        size_t step = IsLeadByte(static_cast<unsigned char>(text[n])) ? 2 : 1;
        if (n + step > static_cast<size_t>(kTreeTextMax)) break;
        n += step;
    }
    if (n > text.size()) n = text.size();
    std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
    return n == text.size();
}

bool Reached(const TForm1& f, int32_t mark) { return TestBit(f.ui.ReadMarks, (kReadMarkMax / 8 + 1) * 8, mark); }

const ChoiceTree& ShownTree(const TForm1& f) { return f.extras.tree.trees[f.extras.tree.shown]; }

void Caption(TForm1& f, const ChoiceTreeEntry& e, int centre, Picture& target, int colour, int y) {
    DrawStringCentred(f, e.caption, centre, target, colour, y);
}

// Column-1 row r (0 the root) drawn plain or lit.
void DrawColumn1Row(TForm1& f, Picture& target, int r, bool lit) {
    ChoiceTreeState& t = f.extras.tree;
    const ChoiceTreeEntry& e = ShownTree(f).entries[t.column1[r]];
    if (r == 0) {
        BlitStacked(target, kColumn1RootX, kTop, t.pictures[lit ? kFirstButtonLit : kFirstButton]);
        Caption(f, e, kColumn1Centre, target, lit ? 2 : 0, 77);
    } else {
        BlitStacked(target, kColumn1RowX, 69 + kPitch * r, t.pictures[lit ? kRowButtonLit : kRowButton]);
        Caption(f, e, kColumn1Centre, target, lit ? 2 : 0, 77 + kPitch * r);
    }
}

// Every column-2 row; row `lit` (or none) highlighted.
void DrawColumn2(TForm1& f, int lit) {
    ChoiceTreeState& t = f.extras.tree;
    const int o = t.column2Offset;
    for (int k = 0; k < t.column2Count; ++k) {
        const ChoiceTreeEntry& e = ShownTree(f).entries[t.column2[k]];
        const bool on = k == lit;
        if (k == 0) {
            BlitStacked(f.gfx.screen, kColumn2RootX, o + kTop, t.pictures[on ? kFirstButtonLit : kFirstButton]);
            Caption(f, e, kColumn2Centre, f.gfx.screen, on ? 2 : 0, o + 79);
        } else {
            BlitStacked(f.gfx.screen, kColumn2RowX, 69 + kPitch * k + o, t.pictures[on ? kRowButtonLit : kRowButton]);
            Caption(f, e, kColumn2Centre, f.gfx.screen, on ? 2 : 0, 77 + kPitch * k + o);
        }
    }
}

// The reached sub-entries of the group in column-1 row r, beside it.
void BuildColumn2(TForm1& f, int r) {
    ChoiceTreeState& t = f.extras.tree;
    t.column2Count = ChoiceTreeSubEntries(f, r, t.column2);
    t.column2Offset = ColumnTwoOffset(t.column2Count, r);
    t.column2Row = r;
}

void SetSelection(TForm1& f, const char* target) {
    char* sel = f.extras.tree.selection;
    std::snprintf(sel, kTreeTextMax + 1, "%s", target);
}

}  // namespace

bool ParseChoiceTrees(const char* table, int32_t length, ChoiceTree trees[kTreeCount], std::string& error) {
    for (int n = 0; n < kTreeCount; ++n) trees[n].count = 0;
    int tree = 0;
    int lineNo = 0;
    bool ended = false;
    bool any = false;
    for (int32_t pos = 0; pos < length;) {
        const std::string line = ReadTableLine(table, length, pos);
        ++lineNo;
        if (line == "ALLEND") {
            ended = true;
            break;
        }
        if (line == "END") {
            ++tree;
            continue;
        }
        if (line.empty() || line[0] == ';') continue;
        if (tree >= kTreeCount) {
            Trace("seltree line %d: more than %d trees; the rest of the table is left out", lineNo, kTreeCount);
            break;
        }
        std::string fields[5];
        const int n = SplitTableFields(line, fields, 5);
        int32_t level = 0, mark = 0;
        if (n < 3 || !ParseDecimal(fields[0], level) || !ParseDecimal(fields[1], mark) || level < 0 || mark < 0 ||
            mark > kReadMarkMax) {
            Trace("seltree line %d: not \"level,mark,caption,target\" with a level from 0 and a mark from 0 to %d; "
                  "left out",
                  lineNo, kReadMarkMax);
            continue;
        }
        if (n > 4) {
            Trace("seltree line %d: more than four fields; left out", lineNo);
            continue;
        }
        ChoiceTree& t = trees[tree];
        if (t.count == kTreeEntryMax) {
            Trace("seltree line %d: tree %d has more than %d entries; left out", lineNo, tree, kTreeEntryMax);
            continue;
        }
        ChoiceTreeEntry& e = t.entries[t.count];
        e = ChoiceTreeEntry{};
        if (n == 4 && !CopyText(e.target, fields[3])) {
            Trace("seltree line %d: the target is longer than %d bytes; left out", lineNo, kTreeTextMax);
            continue;
        }
        if (!CopyText(e.caption, fields[2]))
            Trace("seltree line %d: the caption is cut to %d bytes", lineNo, kTreeTextMax);
        e.level = level;
        e.mark = mark;
        ++t.count;
        any = true;
    }
    if (!ended) Trace("seltree: no \"ALLEND\" line; the trees read up to the end of the table are kept");
    if (!any) {
        error = "the table holds no entry";
        return false;
    }
    return true;
}

void LoadChoiceTrees(TForm1& f) {
    ChoiceTreeState& t = f.extras.tree;
    t.ready = false;
    if (!ScriptExists(f, "seltree") || !LoadScript(f, "seltree", 2)) {
        Trace("seltree: no table \"seltree\"; the game has no choice tree");
        return;
    }
    std::string error;
    if (!ParseChoiceTrees(f.loader.table, f.loader.tableLength, t.trees, error)) {
        Trace("seltree: %s; the game has no choice tree", error.c_str());
        return;
    }
    // Most runs never open a tree: its pictures are only looked up now and
    // decoded at the first seltree.
    for (int i = 0; i < kTreePictures; ++i) {
        if (!PictureExists(f, kTreePictureNames[i])) {
            Trace("seltree: picture %s missing; the game has no choice tree", kTreePictureNames[i]);
            return;
        }
    }
    for (Picture& p : t.pictures) p = Picture{};
    t.picturesLoaded = false;
    t.ready = true;
    int trees = 0;
    for (const ChoiceTree& tree : t.trees) trees += tree.count > 0;
    Trace("seltree: %d tree(s) read", trees);
}

namespace {

bool LoadTreePictures(TForm1& f) {
    ChoiceTreeState& t = f.extras.tree;
    if (t.picturesLoaded) return true;
    for (int i = 0; i < kTreePictures; ++i) {
        if (!LoadPicture(f, kTreePictureNames[i], t.pictures[i])) {
            Trace("seltree: picture %s cannot be read; the game has no choice tree", kTreePictureNames[i]);
            for (Picture& p : t.pictures) p = Picture{};
            t.ready = false;
            return false;
        }
    }
    t.picturesLoaded = true;
    return true;
}

}  // namespace

void StartChoiceTree(TForm1& f, int n) {
    ChoiceTreeState& t = f.extras.tree;
    if (n < 0 || n >= kTreeCount) {
        Trace("seltree %d: refused, trees are numbered 0 ... %d", n, kTreeCount - 1);
        return;
    }
    if (!t.ready || t.trees[n].count == 0 || !LoadTreePictures(f)) {
        Trace("seltree %d: refused, the game has no such tree", n);
        return;
    }
    int32_t backdrop = f.vars.V[100];
    if (backdrop < 0 || backdrop > 5) {
        Trace("seltree %d: V100 = %d has no backdrop; %d used", n, backdrop, backdrop < 0 ? 0 : 5);
        backdrop = backdrop < 0 ? 0 : 5;
    }
    CloseWindow(f);
    f.flags.busy = true;
    Picture& save = f.gfx.choiceSave;
    CopyPicture(save, f.gfx.screen);
    BlitStacked(save, kBackdropX, kBackdropY, t.pictures[backdrop]);
    t.shown = n;
    t.selection[0] = '\0';
    t.column1Count = 0;
    t.column2Count = 0;
    t.column2Offset = 0;
    t.column2Row = -1;
    t.column2Shown = false;
    t.hovered = -1;
    const ChoiceTree& tree = t.trees[n];
    t.column1[t.column1Count++] = 0;
    DrawColumn1Row(f, save, 0, false);
    for (int i = 1; i < tree.count; ++i) {
        if (tree.entries[i].level != 0 || !Reached(f, tree.entries[i].mark)) continue;
        if (t.column1Count == kTreeRows) {
            Trace("seltree %d: more than %d reached entries; the rest are left out", n, kTreeRows - 1);
            break;
        }
        t.column1[t.column1Count] = i;
        DrawColumn1Row(f, save, t.column1Count, false);
        ++t.column1Count;
    }
    CopyPicture(f.gfx.screen, save);
    f.plat.surface().BlitWhole(f.gfx.screen);
    f.ui.choiceKind = kChoiceTree;
    f.flags.busy = false;
    Trace("seltree %d: %d row(s) shown", n, t.column1Count);
    // The rows go out as a choice list's options do.
    for (int r = 0; r < t.column1Count; ++r)
        ShowText(f.plat, platform::TextKind::Choice, tree.entries[t.column1[r]].caption);
}

int ChoiceTreeHit(const TForm1& f, int x, int y) {
    const ChoiceTreeState& t = f.extras.tree;
    if (f.ui.choiceKind != kChoiceTree || x < kColumn1RowX || y < kTop) return 0;
    if (x < kColumn2RowX && y < 69 + kPitch * t.column1Count) return 100 + (y < 113 ? 0 : (y - 113) / kPitch + 1);
    // Column 2 takes a press only where it is drawn: its rows stay after
    // another row is lit, out of sight until the pointer passes over them.
    if (t.column2Shown && x >= kColumn2RowX && x <= kColumn2Right && y >= t.column2Offset + kTop) {
        const int o = t.column2Offset;
        const int k = y - kTop < o + 41 ? 0 : (y - o - 113) / kPitch + 1;
        if (k < t.column2Count) return 200 + k;
    }
    return 0;
}

int ChoiceTreeSubEntries(const TForm1& f, int row, int32_t out[kTreeRows]) {
    const ChoiceTreeState& t = f.extras.tree;
    if (row < 0 || row >= t.column1Count) return 0;
    const ChoiceTree& tree = ShownTree(f);
    const int g = t.column1[row];
    if (tree.entries[g].target[0] != '\0') return 0;
    const int level = tree.entries[g].level + 1;
    int n = 0;
    for (int j = g + 1; j < tree.count && tree.entries[j].level >= level; ++j) {
        if (tree.entries[j].level != level || !Reached(f, tree.entries[j].mark)) continue;
        if (n == kTreeRows) {
            Trace("seltree: the group \"%s\" has more than %d reached entries; the rest are left out",
                  TraceText(tree.entries[g].caption).c_str(), kTreeRows);
            break;
        }
        out[n++] = j;
    }
    return n;
}

bool ChoiceTreeRowCentre(const TForm1& f, int column, int row, int group, int& x, int& y) {
    const ChoiceTreeState& t = f.extras.tree;
    if (row < 0) return false;
    if (column == 1) {
        if (row >= t.column1Count) return false;
        x = kColumn1Centre;
        y = row == 0 ? (kTop + 113) / 2 : 69 + kPitch * row + kPitch / 2;
        return true;
    }
    int32_t entries[kTreeRows];
    const int count = ChoiceTreeSubEntries(f, group, entries);
    if (column != 2 || row >= count) return false;
    const int o = ColumnTwoOffset(count, group);
    x = kColumn2Centre;
    y = row == 0 ? o + (kTop + 113) / 2 : 69 + kPitch * row + o + kPitch / 2;
    return true;
}

void ChoiceTreeHover(TForm1& f, int x, int y) {
    ChoiceTreeState& t = f.extras.tree;
    if (f.ui.choiceKind != kChoiceTree) return;
    platform::Surface& pb = f.plat.surface();
    if (x < kColumn1RowX || y < kTop) {
        // Off the rows: nothing lit, nothing to pick.
        t.selection[0] = '\0';
        if (t.hovered == 0) return;
        t.hovered = 0;
        t.column2Shown = false;
        CopyPicture(f.gfx.screen, f.gfx.choiceSave);
        pb.BlitWhole(f.gfx.screen);
        return;
    }
    if (x < kColumn2RowX && y < 69 + kPitch * t.column1Count) {
        const int r = y < 113 ? 0 : (y - 113) / kPitch + 1;
        const int key = 100 + r;
        if (t.hovered == key) return;
        t.hovered = key;
        const int e = t.column1[r];
        const ChoiceTreeEntry& entry = ShownTree(f).entries[e];
        CopyPicture(f.gfx.screen, f.gfx.choiceSave);
        DrawColumn1Row(f, f.gfx.screen, r, true);
        t.column2Shown = entry.target[0] == '\0';
        if (t.column2Shown) {
            BuildColumn2(f, r);
            DrawColumn2(f, -1);
        }
        pb.BlitWhole(f.gfx.screen);
        SetSelection(f, entry.target);
        ShowText(f.plat, platform::TextKind::Menu, entry.caption);
        return;
    }
    if (x >= kColumn2RowX && x <= kColumn2Right) {
        const int o = t.column2Offset;
        int k = -1;
        if (y >= o + kTop) k = y - kTop < o + 41 ? 0 : (y - o - 113) / kPitch + 1;
        if (k >= t.column2Count) k = -1;
        const int key = 200 + k;
        t.selection[0] = '\0';
        if (k >= 0) SetSelection(f, ShownTree(f).entries[t.column2[k]].target);
        if (t.hovered == key) return;
        t.hovered = key;
        t.column2Shown = true;
        CopyRect(f.gfx.screen, kColumn2RootX, kTop, f.gfx.choiceSave, kColumn2RootX, kTop, kColumn2Width,
                 kScreenHeight - kTop);
        DrawColumn2(f, k);
        pb.BlitWhole(f.gfx.screen);
        if (k >= 0) ShowText(f.plat, platform::TextKind::Menu, ShownTree(f).entries[t.column2[k]].caption);
        return;
    }
    // Below column 1, or right of column 2: nothing to pick, the picture stays.
    t.selection[0] = '\0';
    t.hovered = -1;
}

void ChoiceTreePick(TForm1& f, int button) {
    (void)button;  // either button picks
    ChoiceTreeState& t = f.extras.tree;
    if (f.ui.choiceKind != kChoiceTree || t.selection[0] == '\0') return;
    const std::string selection = t.selection;
    const size_t colon = selection.find(':');
    const std::string name = selection.substr(0, colon);
    const std::string label = colon == std::string::npos ? std::string() : selection.substr(colon + 1);
    LoaderState& L = f.loader;
    bool called = false;
    if (L.callDepth >= kCallDepthMax) {
        Trace("seltree: %s refused, %d calls are already nested", TraceText(selection).c_str(), L.callDepth);
    } else {
        CallStackEntry& back = L.CallStack[L.callDepth];
        std::memcpy(back.name, L.currentScript, sizeof back.name);
        back.returnPosition = f.stepper.readPos;
        if (LoadScript(f, name, 1)) {
            std::snprintf(L.currentScript, sizeof L.currentScript, "%s", name.c_str());
            ResetWaits(f);
            ++L.callDepth;
            if (!label.empty()) GotoLabel(f, label.c_str());
            SetGlyphColour(f, 0);
            called = true;
        }
    }
    Trace("seltree: picked %s, %s", TraceText(selection).c_str(),
          called ? "called" : "not loaded; the script goes on after seltree");
    CopyPicture(f.gfx.screen, f.gfx.scene);
    f.plat.surface().BlitWhole(f.gfx.scene);
    f.ui.choiceKind = kChoiceNone;
    t.selection[0] = '\0';
    t.hovered = -1;
    t.column2Shown = false;
}

void EndChoiceTree(TForm1& f) {
    // The title return clears the choice kind; only the pick is forgotten.
    f.extras.tree.selection[0] = '\0';
    f.extras.tree.hovered = -1;
    f.extras.tree.column2Shown = false;
}

}  // namespace velmora
