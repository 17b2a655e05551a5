// Stand-in for the name entry dialog until it is built.
#include "app/engine.h"
#include "app/trace.h"
#include "ui/input.h"

namespace velmora {

void ShowNameEntry(TForm1&) { Trace("setname: the name entry dialog is not built yet"); }

}  // namespace velmora
