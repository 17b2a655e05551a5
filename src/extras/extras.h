#pragma once
// Gallery, recollection, choice tree, staff roll and scene scroll.
#include <cstdint>
#include <string>

#include "extras/gallery.h"
#include "extras/recollection.h"

namespace velmora {

class TForm1;

constexpr int kPictureSeenBits = 2000;
constexpr int kRecollectionBits = 2000;
constexpr int kRecordLists = 10;
constexpr int kRecordListLength = 50;
constexpr int kRecordListNameSize = 64;

struct ExtrasState {
    bool staffRollPaused = false;
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
void ChoiceTreePick(TForm1& f, int button);
void EndChoiceTree(TForm1& f);

}  // namespace velmora
