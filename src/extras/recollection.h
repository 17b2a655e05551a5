#pragma once
// The recollection: the scene table "sys_flashbak", the scenes unlocked by
// having been played, the recollection screen (play mode 8) with its record
// lists, and the replay of scenes in context 2.
#include <cstdint>
#include <string>
#include <vector>

#include "extras/extras_common.h"
#include "gfx/picture.h"
#include "text/glyph_outline.h"

namespace velmora {

class TForm1;

constexpr int kSceneCategories = 6;
constexpr int kSubListsMax = 8;
constexpr int kSceneGridCells = 150;
constexpr int kRecordListUsed = 25;
constexpr int kPlayListMax = 50;
constexpr int kRecordNameMax = 30;      // bytes kept from the rename dialog
constexpr int kRecordNameEditMax = 36;  // bytes the dialog's field takes
constexpr int kDoubleClickTicks = 5;
constexpr int kPreviewTicks = 10;

// What the pointer is on or drags.
enum class RecItem : uint8_t { None, Tab, SubList, Cell, Entry, Icon, Back, Play, Clear, Rename };

struct RecollectionState {
    // The scene table: line n of the scene part and its script name ("" for
    // sub-list labels, headings and ":END"). Line 0 is never a scene.
    std::vector<std::string> SceneLines, SceneScripts;
    int categoryCount = 0;
    std::string subLists[kSceneCategories][kSubListsMax];  // each with ":" in front
    int subListCount[kSceneCategories] = {};
    // The screen.
    bool open = false;
    int category = 0;
    int subList[kSceneCategories] = {};
    int recordList = 0;
    int cellScene[kSceneGridCells] = {};
    int cellLocked[kSceneGridCells] = {};  // the scene a cell would show once unlocked
    RecItem hoverKind = RecItem::None;
    int hoverIndex = -1;
    RecItem dragKind = RecItem::None;  // Cell: a scene from the grid; Entry: a list entry
    int dragScene = 0, dragEntry = -1;
    int grabX = 0, grabY = 0;
    int labelX = 0, labelY = 0;
    bool labelShown = false;
    int doubleClickTimer = 0;
    // The preview: the picture lines of the scene and the next one to show.
    std::vector<std::string> previewLines;
    int previewPos = 0, previewTicks = 0;
    bool previewRunning = false, previewDone = false;
    Picture kaiso, kaiso2, kaisoP;
    Picture dragLabel, panel, preview;
    OutlineFont font, boldFont;
    // The game's scene while the screen and its previews borrow it.
    Picture keptBackground, keptScene, keptScreen;
    std::string keptSprites;
    // The replay.
    int playList[kPlayListMax] = {};
    int playCount = 0, playPos = 0;
    ScriptPoint returnPoint;
    std::string sceneStartScript;  // what `rec` named
};

// Reads "sys_flashbak" into the scene table (faults traced with their lines).
void LoadSceneTable(TForm1& f);
// Unlocks the scene whose script this is, and its heading.
void UnlockScene(TForm1& f, const std::string& upperName);
bool SceneUnlocked(const TForm1& f, int line);
void OpenRecollection(TForm1& f);
// What a click at (x, y) would act on, as one number (0: nothing): a tab,
// a sub-list, a filled cell, a list entry or icon, a button.
int RecollectionHit(TForm1& f, int x, int y);
void CloseRecollection(TForm1& f);
// The centre of a tab, sub-list, cell, entry, icon or button of the screen,
// where a press on it lands.
bool RecollectionItemCentre(RecItem kind, int index, int& x, int& y);
// Where the pointer must be let go for a cell or entry pressed at (x, y) to
// drop at `row` of the record list shown; a negative row: off the list.
void RecollectionDropPoint(RecItem kind, int index, int x, int y, int row, int& dropX, int& dropY);
// Starts a replay of `count` scene numbers.
void StartRecollectionReplay(TForm1& f, const int* scenes, int count);
// Record-list edits, as dropping does them.
void RemoveListEntry(int32_t* list, int row);
void InsertListEntry(int32_t* list, int row, int scene);
int ListLength(const int32_t* list);
// The rename dialog TForm6 over the main window; the name kept on OK.
void ShowRecordNameDialog(TForm1& f, int list);

}  // namespace velmora
