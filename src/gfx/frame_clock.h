#pragma once
// The frame clock that paces every visual effect. Waits sleep through the
// platform clock and let the window process its messages, so input handlers
// run inside effects.
#include <cstdint>

namespace velmora {

class TForm1;

void StartFrameClock(TForm1& f);
// Waits for the end of the current frame of ms milliseconds and returns how
// many frames have passed since the last one (more than 1 when late, so a
// slow machine skips steps instead of slowing down).
int WaitFrame(TForm1& f, uint32_t ms);
// Sleeps until the tick count reaches deadline, then processes messages.
void WaitUntil(TForm1& f, uint32_t deadline);

}  // namespace velmora
