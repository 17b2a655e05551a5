// Stub until the status meter exists: the redraw path draws it.
#include "app/engine.h"
#include "app/trace.h"
#include "ui/input.h"

namespace velmora {

void DrawStatusMeter(TForm1& f, int target) { (void)f, (void)target; }
void DrawStatusIndicator(TForm1& f, int32_t state) {
    f.ui.statusShown = state;
    Trace("status indicator %d", state);
}

}  // namespace velmora
