// Stand-in for the quick save until slot saves are built.
#include "app/engine.h"
#include "app/trace.h"
#include "save/slots.h"

namespace velmora {

void QuickSave(TForm1&) { Trace("quick save: slot saves are not built yet"); }

}  // namespace velmora
