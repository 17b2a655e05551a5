// Stand-in for the save and load dialog until it is built.
#include "app/engine.h"
#include "app/trace.h"
#include "save/slots.h"

namespace velmora {

void OpenSaveLoadDialog(TForm1&, int mode) {
    Trace("%s dialog: not built yet", mode == 1 ? "save" : "load");
}

}  // namespace velmora
