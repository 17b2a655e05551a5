// Stand-ins for the input duties until input routing is built: a left click
// releases the pending wait, finishes the typing or ends a sleep; the timer
// counts the typing pause down and lets the auto mode release waits.
#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "text/message_window.h"
#include "ui/input.h"

namespace velmora {

namespace {

void ReleaseWait(TForm1& f, const char* by) {
    StepperState& st = f.stepper;
    if (st.PendingWait == 1 || st.PendingWait == 4 || st.PendingWait == 5) NewPage(f);
    else if (st.PendingWait == 2) EraseClickWait(f);
    else if (st.PendingWait == 3) {
        EndChoiceDisplay(f);
        f.ui.choiceKind = 0;
    }
    Trace("wait %d released by %s", st.PendingWait, by);
    st.PendingWait = 0;
}

}  // namespace

// Called by PBMouseDown for a left press in normal play.
void StandInLeftClick(TForm1& f) {
    StepperState& st = f.stepper;
    if (f.flags.busy || f.app.playMode != 0 || f.backlog.open) return;
    if (st.PendingWait != 4 && f.ui.ClickDebounce < 3 && !f.settings.CV_THROUGH) StopVoice(f);
    if (f.app.typewriter && st.PendingWait == 0 && f.ui.choiceKind == 0) st.FinishMessage = true;
    if (st.SleepCountdown != 0) {
        st.SleepCountdown = 0;
        f.vars.S[19] = 1;
        Trace("sleep ended by a click");
        return;
    }
    if (f.ui.SkipActive && f.ui.choiceKind == 0) {
        StopSkip(f);
        return;
    }
    if (f.ui.choiceKind == 0 && st.PendingWait != 0) ReleaseWait(f, "a click");
    f.ui.ClickDebounce = 5;
}

void InputTimerTick(TForm1& f) {
    StepperState& st = f.stepper;
    if (st.voiceEndWait && !IsVoiceOrEffectPlaying(f)) {
        st.voiceEndWait = false;
        Trace("voice-end wait released");
    }
    if (st.TypingCountdown != 0) {
        // A negative count would never reach 0: it counts as none.
        st.TypingCountdown = st.TypingCountdown > 0 ? st.TypingCountdown - 1 : 0;
        if (st.TypingCountdown == 0) Trace("typing pause over");
        return;
    }
    MusicDelayTick(f);  // a track asked for while the game was in the background
    if (st.PendingWait != 0 && !f.flags.busy && f.app.playMode == 0) {
        if (f.vars.S[26] != 0) {
            int32_t& c = f.ui.AutoCountdown;
            bool playing = IsVoiceOrEffectPlaying(f);
            if (c != 0) {
                --c;
                if (c == 0 && playing) c = 1;
            } else if (playing) {
                c = 1;
            }
            if (c == 0) {
                if ((st.PendingWait == 1 || st.PendingWait == 4 || st.PendingWait == 5) && !f.text.windowOpen) {
                    Trace("wait %d released by the auto mode", st.PendingWait);
                    st.PendingWait = 0;
                } else {
                    ReleaseWait(f, "the auto mode");
                }
            }
        } else if (st.PendingWait != 5) {
            AnimateClickWait(f);
        }
    }
}

void StopSkip(TForm1& f) {
    f.vars.S[60] = 0;
    f.vars.S[61] = 0;
    f.ui.SkipActive = false;
}

void BreakSkipAndAuto(TForm1& f, bool forced) {
    if (forced || f.settings.BreakonSelect) {
        StopSkip(f);
        f.vars.S[26] = 0;
    }
}

}  // namespace velmora
