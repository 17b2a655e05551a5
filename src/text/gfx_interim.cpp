#include "text/gfx_interim.h"

#include "app/engine.h"

namespace velmora::interim {

void RevealScreen(TForm1& f) { f.plat.surface().BlitWhole(f.gfx.screen); }

bool AnimatedBackgroundRunning(TForm1& f) { return BackgroundAnimationRunning(f); }

}  // namespace velmora::interim
