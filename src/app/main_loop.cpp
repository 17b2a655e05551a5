// The idle handler and the 55 ms timer: everything that is not a direct
// reaction to input runs from these two.
#include "app/engine.h"
#include "app/trace.h"
#include "gfx/graphics_commands.h"

namespace velmora {

namespace {

// Sleeps until `ms` milliseconds have passed since t0.
void SleepUntil(platform::Clock& clock, uint32_t t0, uint32_t ms) {
    uint32_t spent = clock.Now() - t0;
    if (spent < ms) clock.Sleep(ms - spent);
}

}  // namespace

void TForm1::AppIdle(bool& done) {
    done = false;
    platform::Clock& clock = plat.clock();
    ++app.frameCounter;
    uint32_t t0 = clock.Now();
    if (ui.ClickDebounce > 0) --ui.ClickDebounce;
    if (backlog.open || ui.promptKind != 0) {
        SleepUntil(clock, t0, 20);
        return;
    }
    switch (app.playMode) {
        case 0: {
            if (flags.titleStartRequest) {
                StartTitle(*this);
                flags.titleStartRequest = false;
                SleepUntil(clock, t0, 20);
                return;
            }
            if (flags.busy) {
                SleepUntil(clock, t0, 20);
                return;
            }
            // Random results in scripts also depend on how many passes ran.
            rng.Next(32768);
            if (flags.quitRequest) plat.window().Close();
            StepperState& st = stepper;
            if (ui.SkipActive && st.PendingWait != 0) {
                if (st.PendingWait == 1 || st.PendingWait == 4 || st.PendingWait == 5) NewPage(*this);
                Trace("wait %d released by skipping", st.PendingWait);
                st.PendingWait = 0;
            }
            if (ui.choiceKind == 0 && st.TypingCountdown == 0 && st.PendingWait == 0 && !st.voiceEndWait) {
                if (st.SleepCountdown != 0) {
                    if (st.SleepCountdown > 0 && --st.SleepCountdown == 0) Trace("sleep over");
                } else {
                    if (st.ScriptRunning) StepScript(*this);
                    if (vars.S[26] != 0) {
                        // Auto mode paces the passes that run the stepper.
                        SleepUntil(clock, t0, static_cast<uint32_t>(4 * vars.S[26] + 15));
                        return;
                    }
                }
            }
            break;
        }
        case 6: ViewerIdleStep(*this); break;
        default: break;  // 3: the staff roll runs inside its command; 4: the title hook does nothing
    }
    AdvanceBackgroundAnimation(*this);
    SleepUntil(clock, t0, 20);
}

void TForm1::Timer1Timer() {
    ++app.timerTicks;
    UpdateMusic(*this);
    EffectTick(*this);
    if (app.playMode == 8) {
        RecollectionTick(*this);
        return;
    }
    if (app.playMode != 0 || backlog.open || flags.busy) return;
    if (ui.choiceKind == 0 || ui.promptKind != 0) InputTimerTick(*this);
    else ChoiceTick(*this);
}

}  // namespace velmora
