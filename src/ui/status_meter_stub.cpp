// Stub until the status meter exists: the redraw path draws it.
#include "app/engine.h"

namespace velmora {

void DrawStatusMeter(TForm1& f, int target) { (void)f, (void)target; }

}  // namespace velmora
