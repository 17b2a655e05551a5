#pragma once
// Gallery, recollection, choice tree, staff roll and scene scroll.
#include <string>

namespace velmora {

class TForm1;

struct ExtrasState {
    bool staffRollPaused = false;
};

void BuildGalleryList(TForm1& f, const std::string& page);
void InitRecollection(TForm1& f);
// Called with the upper-cased name of every loaded script.
void RecollectionScriptLoaded(TForm1& f, const std::string& name);
void PauseStaffRoll(TForm1& f);
void ResumeStaffRoll(TForm1& f);
void StopStaffRoll(TForm1& f);
void EndSceneScroll(TForm1& f);

// What the script commands ask of the extras (stand-ins in
// extras_commands_stub.cpp until they are built).
void StartChoiceTree(TForm1& f, int n);          // seltree
void StaffRollCommand(TForm1& f, const char* args);  // roll
void EndingStaffRoll(TForm1& f);                 // special 5
void SceneScrollCommand(TForm1& f);              // sroll
void ViewerCommand(TForm1& f, const char* args); // viewer
void OpenRecollectionMenu(TForm1& f);            // kaisou
void MarkAllPicturesSeen(TForm1& f);             // cgfull
void ReturnToGallery(TForm1& f);                 // leaving a replay started from the gallery
void ReturnToRecollectionMenu(TForm1& f);        // ... or from the recollection menu
void ViewerIdleStep(TForm1& f);                 // play mode 6, every idle pass
void RecollectionTick(TForm1& f);               // play mode 8, every timer tick
void SetSceneStartScript(TForm1& f, const std::string& name);  // rec

}  // namespace velmora
