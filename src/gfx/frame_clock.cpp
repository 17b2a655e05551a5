#include "gfx/frame_clock.h"

#include "app/engine.h"

namespace velmora {

void StartFrameClock(TForm1& f) { f.gfx.frameStamp = f.plat.clock().Now(); }

int WaitFrame(TForm1& f, uint32_t ms) {
    f.plat.ProcessMessages();
    platform::Clock& clock = f.plat.clock();
    const uint32_t elapsed = clock.Now() - f.gfx.frameStamp;
    if (ms == 0) {
        // A frame of no length cannot be divided into; count it as one.
        f.gfx.frameStamp += elapsed;
        return 1;
    }
    if (elapsed < ms) {
        clock.Sleep(ms - elapsed);
        f.gfx.frameStamp += ms;
        return 1;
    }
    const uint32_t frames = elapsed / ms + 1;
    clock.Sleep(frames * ms - elapsed);
    f.gfx.frameStamp += frames * ms;
    return static_cast<int>(frames);
}

void WaitUntil(TForm1& f, uint32_t deadline) {
    const int32_t left = static_cast<int32_t>(deadline - f.plat.clock().Now());
    if (left > 0) f.plat.clock().Sleep(static_cast<uint32_t>(left));
    f.plat.ProcessMessages();
}

}  // namespace velmora
