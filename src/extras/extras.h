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

}  // namespace velmora
