// Stand-ins for the choice tree, the staff roll and the scene scroll until
// they are built.
#include "app/engine.h"
#include "app/trace.h"
#include "extras/extras.h"

namespace velmora {

void PauseStaffRoll(TForm1& f) { f.extras.staffRollPaused = true; }
void ResumeStaffRoll(TForm1& f) { f.extras.staffRollPaused = false; }
void StopStaffRoll(TForm1& f) { (void)f; }
void EndSceneScroll(TForm1& f) { (void)f; }
void StartChoiceTree(TForm1&, int n) { Trace("seltree %d: the choice tree is not built yet", n); }
void StaffRollCommand(TForm1&, const char* args) {
    Trace("roll %s: the staff roll is not built yet", TraceText(args).c_str());
}
void EndingStaffRoll(TForm1&) { Trace("special 5: the staff roll is not built yet"); }
void SceneScrollCommand(TForm1&) { Trace("sroll: the scene scroll is not built yet"); }
void SceneScrollClick(TForm1&, bool) {}
void ChoiceTreeHover(TForm1&, int, int) {}
void ChoiceTreePick(TForm1&, int button) { Trace("choice tree press %d: the choice tree is not built yet", button); }
void EndChoiceTree(TForm1&) {}

}  // namespace velmora
