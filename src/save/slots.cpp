#include "save/slots.h"

#include "app/engine.h"
#include "app/trace.h"

namespace velmora {

bool SaveGame(TForm1& f, int slot, bool quiet) {
    (void)f, (void)quiet;
    Trace("save %d: slot saves are not built yet", slot);
    return false;
}

bool LoadGame(TForm1& f, int slot, bool quiet) {
    (void)f, (void)quiet;
    Trace("load %d: slot loads are not built yet", slot);
    return false;
}

}  // namespace velmora
