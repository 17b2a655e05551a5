#include "extras/extras.h"

#include "app/engine.h"

namespace velmora {

void BuildGalleryList(TForm1& f, const std::string& page) { (void)f, (void)page; }
void InitRecollection(TForm1& f) { (void)f; }
void RecollectionScriptLoaded(TForm1& f, const std::string& name) { (void)f, (void)name; }
void PauseStaffRoll(TForm1& f) { f.extras.staffRollPaused = true; }
void ResumeStaffRoll(TForm1& f) { f.extras.staffRollPaused = false; }
void StopStaffRoll(TForm1& f) { (void)f; }
void EndSceneScroll(TForm1& f) { (void)f; }

}  // namespace velmora
