#pragma once
// Gallery, recollection, choice tree, staff roll and scene scroll.
#include <cstdint>
#include <string>

#include "extras/gallery.h"
#include "extras/recollection.h"
#include "gfx/picture.h"
#include "text/glyph_outline.h"

namespace velmora {

class TForm1;

constexpr int kPictureSeenBits = 2000;
constexpr int kRecollectionBits = 2000;
constexpr int kRecordLists = 10;
constexpr int kRecordListLength = 50;
constexpr int kRecordListNameSize = 64;

// The choice tree: up to seven trees of the "seltree" table, each an entry
// list with the root first.
constexpr int kTreeCount = 7;
constexpr int kTreeEntryMax = 256;
constexpr int kTreeTextMax = 63;  // caption and target bytes
constexpr int kTreeRows = 15;     // rows of each column
constexpr int kTreePictures = 10;

struct ChoiceTreeEntry {
    int32_t level = 0;
    int32_t mark = 0;  // read mark that makes the entry reached
    char caption[kTreeTextMax + 1] = {};
    char target[kTreeTextMax + 1] = {};  // "script", "script:label" or empty (a group)
};

struct ChoiceTree {
    int32_t count = 0;
    ChoiceTreeEntry entries[kTreeEntryMax];
};

struct ChoiceTreeState {
    bool ready = false;  // the table was read at start-up and all ten pictures are there
    ChoiceTree trees[kTreeCount];
    // "treelv0" ... "treelv5", "tree1a", "tree1b", "tree2a", "tree2b": stacked;
    // decoded when a tree first opens.
    Picture pictures[kTreePictures];
    bool picturesLoaded = false;
    int32_t shown = 0;
    int32_t column1[kTreeRows] = {};
    int32_t column1Count = 0;
    int32_t column2[kTreeRows] = {};
    int32_t column2Count = 0;
    int32_t column2Offset = 0;
    int32_t column2Row = -1;     // the column-1 row whose group column 2 holds
    bool column2Shown = false;   // and whether it is drawn now
    int32_t hovered = -1;  // what the pointer lit last (area and row), -1 nothing
    char selection[kTreeTextMax + 1] = {};
};

struct ExtrasState {
    // Choice tree, staff roll, scene scroll and the ending roll.
    ChoiceTreeState tree;
    bool staffRollPaused = false;
    bool staffRollStop = false;
    bool sceneScrollStop = false;
    OutlineFont rollFont;    // "ＭＳ 明朝", 32 pixels: the staff roll's text blocks
    OutlineFont creditFont;  // "ＭＳ 明朝", 30 pixels, one bit: the ending roll
    OutlineFont scrollFont;  // "ＭＳ ゴシック", 20 pixels, bold: the scene scroll

    // Gallery: bit k set = entry k of the gallery list has been shown.
    uint8_t pictureSeen[kPictureSeenBits / 8] = {};
    // Recollection: bit n set = scene line n is unlocked; the record lists
    // (scene numbers ending at the first 0) and their names.
    uint8_t recollectionBits[kRecollectionBits / 8] = {};
    int32_t recordLists[kRecordLists][kRecordListLength] = {};
    char recordListNames[kRecordLists][kRecordListNameSize] = {};
    // The picture viewer and the recollection.
    GalleryState gallery;
    RecollectionState recollection;
};

void BuildGalleryList(TForm1& f, const std::string& page);
void InitRecollection(TForm1& f);
// Called with the upper-cased name of every loaded script.
void RecollectionScriptLoaded(TForm1& f, const std::string& name);
// Reads the "seltree" table and the tree pictures (start-up).
void LoadChoiceTrees(TForm1& f);
// 1 stop, 2 pause, 3 resume the staff roll.
void StaffRollControl(TForm1& f, int request);
void PauseStaffRoll(TForm1& f);
void ResumeStaffRoll(TForm1& f);
void StopStaffRoll(TForm1& f);
void EndSceneScroll(TForm1& f);

// What the script commands ask of the extras.
void StartChoiceTree(TForm1& f, int n);          // seltree
void StaffRollCommand(TForm1& f, const char* args);  // roll
void EndingStaffRoll(TForm1& f);                 // special 5
void SceneScrollCommand(TForm1& f);              // sroll
void ViewerCommand(TForm1& f, const char* args); // viewer
void OpenRecollectionMenu(TForm1& f);            // kaisou
void MarkAllPicturesSeen(TForm1& f);             // cgfull
// Sets the picture-seen bit of a gallery picture shown as a background.
void MarkPictureSeen(TForm1& f, const std::string& name);
void ReturnToGallery(TForm1& f);                 // leaving a replay started from the gallery
// "回想モード終了" in a replay from the recollection menu: the rest of the
// play list is dropped and the menu comes back.
void ReturnToRecollectionMenu(TForm1& f);
// A replayed scene ended (exit, vend, end at depth 0) or "シーンスキップ":
// on to the next scene of the play list, or back to the menu after the last.
void NextReplayScene(TForm1& f);
void ViewerIdleStep(TForm1& f);                 // play mode 6, every idle pass
void RecollectionTick(TForm1& f);               // play mode 8, every timer tick
void SetSceneStartScript(TForm1& f, const std::string& name);  // rec
// Input in the extras' play modes and on the choice tree.
void SceneScrollClick(TForm1& f, bool forced);
void ViewerHover(TForm1& f, int x, int y);
void ViewerClick(TForm1& f, int button, int x, int y);
void RecollectionMouseMove(TForm1& f, int x, int y);
void RecollectionMouseDown(TForm1& f, int button, int x, int y);
void RecollectionMouseUp(TForm1& f, int button, int x, int y);
void ChoiceTreeHover(TForm1& f, int x, int y);
// The row under (x, y): 100 + row of column 1, 200 + row of column 2 (while
// it is drawn), 0 none.
int ChoiceTreeHit(const TForm1& f, int x, int y);
// The reached entries that column 2 shows for column-1 row `row` (none for
// a row with a target); their number.
int ChoiceTreeSubEntries(const TForm1& f, int row, int32_t out[kTreeRows]);
// Where a row's button stands: column 1 row `row`, or column 2 row `row`
// beside the group in column-1 row `group`. False for a row not shown.
bool ChoiceTreeRowCentre(const TForm1& f, int column, int row, int group, int& x, int& y);
void ChoiceTreePick(TForm1& f, int button);
void EndChoiceTree(TForm1& f);

}  // namespace velmora
