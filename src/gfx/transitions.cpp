// Running a transition: the effect flags, the rules that turn every
// transition into a cut, and the novel-mode hand-over afterwards.
#include "gfx/transitions.h"

#include "app/engine.h"
#include "gfx/effects.h"
#include "gfx/graphics_commands.h"
#include "gfx/pixel_ops.h"

namespace velmora {

void InitTransitions(TForm1& f) {
    f.gfx.bgAnim.frameCount = 0;
    GameinitSprites(f);
}

void RunTransition(TForm1& f, int n) {
    f.flags.busy = true;
    f.flags.interruptibleEffect = true;
    f.flags.interruptRequest = 0;
    f.vars.S[19] = 0;
    if (n < 0 || f.settings.GMode != 0 || f.ui.SkipActive) n = 0;
    // The work picture may hold a click map of another size.
    EnsureScreenSize(f.gfx.work);
    PlayTransition(f, n);
    if (f.vars.S[150] != 0) CopyPicture(f.gfx.previous, f.gfx.screen);
    f.flags.busy = false;
    f.flags.interruptibleEffect = false;
}

}  // namespace velmora
