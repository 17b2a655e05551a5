// Until the transition set exists every transition is a cut, and no
// animated background runs.
#include "gfx/transitions.h"

#include "app/engine.h"

namespace velmora {

void InitTransitions(TForm1& f) { (void)f; }

void RunTransition(TForm1& f, int n) {
    (void)n;
    f.plat.surface().BlitWhole(f.gfx.screen);
    f.plat.surface().Update();
    f.flags.busy = false;
    f.flags.interruptibleEffect = false;
}

bool BackgroundAnimationRunning(TForm1& f) {
    (void)f;
    return false;
}

void RestoreFrameCleanPieces(TForm1& f) { (void)f; }
void CopyWindowPieceToFrames(TForm1& f) { (void)f; }

}  // namespace velmora
