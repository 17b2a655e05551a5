// Stand-ins for choices, the click map, the name entry dialog and the status
// indicator until they are built.
#include "app/engine.h"
#include "app/trace.h"
#include "ui/input.h"

namespace velmora {

void StartChoiceList(TForm1&) { Trace("select: choices are not built yet"); }
void ClickMapCommand(TForm1&, const char* args) {
    Trace("clickmap %s: click maps are not built yet", TraceText(args).c_str());
}
void EndChoiceDisplay(TForm1&) {}
void ChoiceTick(TForm1&) {}
void ShowNameEntry(TForm1&) { Trace("setname: the name entry dialog is not built yet"); }
void DrawStatusIndicator(TForm1& f, int32_t state) {
    f.ui.statusShown = state;
    Trace("status indicator %d", state);
}

}  // namespace velmora
