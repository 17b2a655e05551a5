// Stand-in for the save and load dialog until it is built. Loading offers
// the quick-save slot, so that a game saved with Q can be taken up again
// from the L key, the tool bar and the load command; saving does nothing.
#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "save/slots.h"
#include "ui/input.h"

namespace velmora {

void OpenSaveLoadDialog(TForm1& f, int mode) {
    if (mode == 0 && f.ui.promptKind == kPromptNone && IsRegularFile(SlotPath(f, kQuickSaveSlot))) {
        ShowPrompt(f, ToCp932("クイックロードしますか？"), kPromptQuickLoad);
        return;
    }
    Trace("%s dialog: not built yet", mode == 1 ? "save" : "load");
}

}  // namespace velmora
