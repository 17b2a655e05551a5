// Stand-ins for the backlog viewer and scene rewind until they are built:
// each call goes to the trace.
#include "app/engine.h"
#include "app/trace.h"
#include "backlog/backlog.h"

namespace velmora {

void OpenBacklog(TForm1&) { Trace("backlog: the viewer is not built yet"); }
void CloseBacklog(TForm1& f) { f.backlog.open = false; }
void BacklogMouseMove(TForm1&, int, int) {}
void BacklogMouseDown(TForm1&, int, int, int) {}
void BacklogMouseUp(TForm1&, int, int, int) {}
void BacklogWheel(TForm1&, int) {}
void StartRewind(TForm1&) { Trace("rewind: scene rewind is not built yet"); }
void RewindStep(TForm1&, bool back) { Trace("rewind step %s: scene rewind is not built yet", back ? "back" : "forward"); }
void EndRewind(TForm1& f) { f.app.playMode = 0; }

}  // namespace velmora
