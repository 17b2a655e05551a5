// Stand-ins for the picture commands until they are built: each records its
// call in the trace and changes nothing.
#include "app/engine.h"
#include "app/trace.h"
#include "gfx/graphics_commands.h"

namespace velmora {

namespace {
void Note(const char* command, const char* args) {
    Trace("%s %s: picture commands are not built yet", command, TraceText(args).c_str());
}
}  // namespace

void OvrCommand(TForm1&, const char* args) { Note("ovr", args); }
void PartsloadCommand(TForm1&, const char* args) { Note("partsload", args); }
void PtsetCommand(TForm1&, const char* args) { Note("ptset", args); }
void DirectCommand(TForm1&, const char* args) { Note("direct", args); }
void ScrollCommand(TForm1&, const char* args) { Note("scroll", args); }
void ShakeCommand(TForm1&, const char* args) { Note("shake", args); }
void ManpuCommand(TForm1&, const char* args) { Note("manpu", args); }
void SprmvCommand(TForm1&, const char* args) { Note("sprmv", args); }
void EffectCommand(TForm1&, const char* args) { Note("effect", args); }
void BgAnimCommand(TForm1&, const char* args) { Note("bg_anim", args); }
void SepiaFade(TForm1&) { Note("special", "sepia"); }
void AnimCommand(TForm1&, const char* args, bool quality) { Note(quality ? "animq" : "anim", args); }
void EffectTick(TForm1&) {}
void AdvanceBackgroundAnimation(TForm1&) {}
void ObjCommand(TForm1&, const char* text) { Note("obj_", text); }

}  // namespace velmora
