// Stand-ins for the extras the script commands start, until they are built.
#include "app/engine.h"
#include "app/trace.h"
#include "extras/extras.h"

namespace velmora {

void StartChoiceTree(TForm1&, int n) { Trace("seltree %d: the choice tree is not built yet", n); }
void StaffRollCommand(TForm1&, const char* args) {
    Trace("roll %s: the staff roll is not built yet", TraceText(args).c_str());
}
void EndingStaffRoll(TForm1&) { Trace("special 5: the staff roll is not built yet"); }
void SceneScrollCommand(TForm1&) { Trace("sroll: the scene scroll is not built yet"); }
void ViewerCommand(TForm1&, const char* args) {
    Trace("viewer %s: the picture viewer is not built yet", TraceText(args).c_str());
}
void OpenRecollectionMenu(TForm1&) { Trace("kaisou: the recollection menu is not built yet"); }
void MarkAllPicturesSeen(TForm1&) { Trace("cgfull: the gallery is not built yet"); }
void ReturnToGallery(TForm1&) { Trace("replay: back to the gallery (not built yet)"); }
void ReturnToRecollectionMenu(TForm1&) { Trace("replay: back to the recollection menu (not built yet)"); }
void NextReplayScene(TForm1&) { Trace("replay: next scene (not built yet)"); }
void ViewerIdleStep(TForm1&) {}
void RecollectionTick(TForm1&) {}
void SetSceneStartScript(TForm1&, const std::string& name) {
    Trace("rec: scene starts with %s", TraceText(name).c_str());
}

}  // namespace velmora
