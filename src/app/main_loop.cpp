// The idle handler and the 55 ms timer.
#include "app/engine.h"

namespace velmora {

void TForm1::AppIdle(bool& done) {
    done = false;
    platform::Clock& clock = plat.clock();
    ++app.frameCounter;
    uint32_t t0 = clock.Now();
    if (ui.ClickDebounce > 0) --ui.ClickDebounce;
    if (!backlog.open && ui.promptKind == 0 && app.playMode == 0) {
        if (flags.titleStartRequest) {
            StartTitle(*this);
            flags.titleStartRequest = false;
        } else if (!flags.busy) {
            rng.Next(100);
            if (flags.quitRequest) plat.window().Close();
            if (ui.choiceKind == 0 && stepper.TypingCountdown == 0 && stepper.PendingWait == 0 &&
                !stepper.voiceEndWait) {
                if (stepper.SleepCountdown != 0) {
                    if (stepper.SleepCountdown > 0) --stepper.SleepCountdown;
                } else {
                    if (stepper.ScriptRunning) StepScript(*this);
                }
            }
        }
    }
    uint32_t spent = clock.Now() - t0;
    if (spent < 20) clock.Sleep(20 - spent);
}

void TForm1::Timer1Timer() { ++app.timerTicks; }

}  // namespace velmora
