// Stand-ins for the animation and script-object commands until they are
// built: each records its call in the trace and changes nothing.
#include "app/engine.h"
#include "app/trace.h"
#include "gfx/graphics_commands.h"

namespace velmora {

void AnimCommand(TForm1&, const char* args, bool quality) {
    Trace("%s %s: animations are not built yet", quality ? "animq" : "anim", TraceText(args).c_str());
}
void ObjCommand(TForm1&, const char* text) { Trace("obj_ %s: script objects are not built yet", TraceText(text).c_str()); }

}  // namespace velmora
