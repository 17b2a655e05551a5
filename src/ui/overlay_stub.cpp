// Stand-in for OverlayActive until the play modes are built: the state goes
// to the trace and the menus are refreshed.
#include "app/engine.h"
#include "app/trace.h"
#include "ui/input.h"

namespace velmora {

void SetOverlayActive(TForm1& f, bool on) {
    Trace("overlay %s", on ? "active" : "inactive");
    UpdateMenuStates(f);
}

}  // namespace velmora
