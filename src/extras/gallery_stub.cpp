// Stand-ins for the picture gallery and the recollection until they are built.
#include "app/engine.h"
#include "app/trace.h"
#include "extras/extras.h"

namespace velmora {

void BuildGalleryList(TForm1& f, const std::string& page) { (void)f, (void)page; }
void InitRecollection(TForm1& f) { (void)f; }
void RecollectionScriptLoaded(TForm1& f, const std::string& name) { (void)f, (void)name; }
void ViewerCommand(TForm1&, const char* args) {
    Trace("viewer %s: the picture viewer is not built yet", TraceText(args).c_str());
}
void OpenRecollectionMenu(TForm1&) { Trace("kaisou: the recollection menu is not built yet"); }
void MarkAllPicturesSeen(TForm1&) { Trace("cgfull: the gallery is not built yet"); }
void MarkPictureSeen(TForm1&, const std::string& name) {
    Trace("picture %s: seen (the gallery list is empty)", TraceText(name).c_str());
}
void ReturnToGallery(TForm1&) { Trace("replay: back to the gallery (not built yet)"); }
void ReturnToRecollectionMenu(TForm1&) { Trace("replay: back to the recollection menu (not built yet)"); }
void NextReplayScene(TForm1&) { Trace("replay: next scene (not built yet)"); }
void ViewerIdleStep(TForm1&) {}
void RecollectionTick(TForm1&) {}
void SetSceneStartScript(TForm1&, const std::string& name) {
    Trace("rec: scene starts with %s", TraceText(name).c_str());
}
void ViewerHover(TForm1&, int, int) {}
void ViewerClick(TForm1&, int, int, int) {}
void RecollectionMouseMove(TForm1&, int, int) {}
void RecollectionMouseDown(TForm1&, int, int, int) {}
void RecollectionMouseUp(TForm1&, int, int, int) {}

}  // namespace velmora
