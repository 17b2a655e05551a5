// The play modes that advance text without clicks (skip and auto), the
// hidden window, the panic screen, and the timer's input duties.
#include <cstdio>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "gfx/composition.h"
#include "text/message_window.h"
#include "ui/input.h"

namespace velmora {

void ReleasePendingWait(TForm1& f, bool byClick) {
    StepperState& st = f.stepper;
    const int w = st.PendingWait;
    if (w == 1 || w == 4 || w == 5) {
        if (byClick || f.text.windowOpen) NewPage(f);
    } else if (w == 2) {
        EraseClickWait(f);
    } else if (w == 3) {
        EndChoiceDisplay(f);
        f.ui.choiceKind = kChoiceNone;
    }
    Trace("wait %d released by %s", w, byClick ? "a click" : "the auto mode");
    st.PendingWait = 0;
}

void StartSkip(TForm1& f, bool stopVoice) {
    if (stopVoice) StopVoice(f);
    f.vars.S[60] = 2;
    DrawQuickBar(f, 1);
    f.ui.SkipActive = true;
    Trace("skip on");
}

void StopSkip(TForm1& f) {
    f.vars.S[60] = 0;
    f.vars.S[61] = 0;
    if (f.text.windowOpen && f.app.playMode == 0) {
        f.ui.SkipActive = false;
        DrawQuickBar(f, 1);
    }
    if (f.ui.SkipActive) Trace("skip off");
    f.ui.SkipActive = false;
}

void BreakSkipAndAuto(TForm1& f, bool forced) {
    if (!forced && !f.settings.BreakonSelect) return;
    StopSkip(f);
    f.vars.S[26] = 0;
    if (f.app.playMode == 0) DrawQuickBar(f, 1);
}

void ToggleAutoA(TForm1& f) {
    int32_t* S = f.vars.S;
    if (S[26] == 0) {
        S[61] = 2;
        if (S[27] < 1 || S[27] > 13) S[27] = 8;
        S[26] = S[27];
    } else {
        S[61] = 0;
        S[27] = S[26];
        S[26] = 0;
    }
    S[60] = 0;
    DrawQuickBar(f, 1);
    Trace("auto level %d", S[26]);
}

void ToggleAutoB(TForm1& f) {
    int32_t* S = f.vars.S;
    f.ui.SkipActive = false;
    if (S[27] == 0) S[27] = 8;
    S[26] = S[26] != 0 ? 0 : S[27];
    DrawQuickBar(f, 1);
    Trace("auto level %d", S[26]);
}

void AutoOn(TForm1& f) {
    int32_t* S = f.vars.S;
    if (S[27] == 0) S[27] = 8;
    S[26] = S[27];
    DrawQuickBar(f, 1);
    Trace("auto level %d", S[26]);
}

void RightClickAction(TForm1& f) {
    UiState& ui = f.ui;
    if (ui.PopupOpen) {
        // The menu was dismissed by a click elsewhere: close what may be left.
        f.plat.DismissPopupMenu();
        ui.PopupOpen = false;
        return;
    }
    switch (f.settings.RC_MODE) {
        case 0:
            // Set while the menu is up.
            ui.PopupOpen = true;
            {
                int x = 0, y = 0;
                f.plat.PaintBoxToScreen(ui.LastMouseX + 16, ui.LastMouseY, x, y);
                ShowRightClickMenu(f, x, y);
            }
            break;
        case 1:
            HideMessageWindow(f);
            ui.PopupOpen = false;
            break;
        case 2: StartSkip(f); break;
        case 3: AutoOn(f); break;
        case 4: EnterPanic(f); break;
        default: break;
    }
}

void HideMessageWindow(TForm1& f) {
    if (f.vars.S[28] == 0) return;
    UiState& ui = f.ui;
    ui.OverlayActive = true;
    UpdateMenuStates(f);
    ui.hiddenScreen = f.gfx.screen;
    f.plat.surface().BlitWhole(f.gfx.scene);
    f.app.playMode = 1;
    Trace("window hidden");
}

void RestoreMessageWindow(TForm1& f) {
    UiState& ui = f.ui;
    f.plat.surface().BlitWhole(ui.hiddenScreen.Empty() ? f.gfx.screen : ui.hiddenScreen);
    ui.hiddenScreen = Picture();
    f.app.playMode = 0;
    ui.OverlayActive = false;
    DrawQuickBar(f, 1);
    UpdateMenuStates(f);
    Trace("window restored");
}

void EnterPanic(TForm1& f) {
    UiState& ui = f.ui;
    if (ui.PanicActive) return;
    Mute(f);
    ui.PanicSavedScreen.Resize(kScreenWidth, kScreenHeight);
    CopyPicture(ui.PanicSavedScreen, f.gfx.screen);
    // Whatever the file holds is shown at the screen's size; without a
    // readable file the screen is black.
    Picture panic;
    Picture& screen = f.gfx.screen;
    screen.Resize(kScreenWidth, kScreenHeight);
    if (ReadBmpFile("panic.bmp", panic)) CopyPicture(screen, panic);
    else Trace("panic.bmp missing or unreadable: a black screen instead");
    ui.OverlayActive = true;
    UpdateMenuStates(f);
    f.plat.surface().BlitWhole(screen);
    ui.PanicActive = true;
    ui.panicRaisedBusy = !f.flags.busy;
    f.flags.busy = true;
    StopVoice(f);
    Trace("panic screen");
}

void LeavePanic(TForm1& f) {
    UiState& ui = f.ui;
    if (!ui.PanicActive) return;
    Unmute(f);
    CopyPicture(f.gfx.screen, ui.PanicSavedScreen);
    f.plat.surface().BlitWhole(f.gfx.screen);
    ui.PanicSavedScreen = Picture();
    ui.PanicActive = false;
    if (ui.panicRaisedBusy) f.flags.busy = false;
    ui.panicRaisedBusy = false;
    ui.OverlayActive = false;
    UpdateMenuStates(f);
    Trace("panic screen left");
}

namespace {

// The auto countdown of one tick; releases the wait when it runs out.
void AutoTick(TForm1& f) {
    int32_t& c = f.ui.AutoCountdown;
    const bool playing = IsVoiceOrEffectPlaying(f);
    if (c != 0) {
        --c;
        // A voice still playing holds the page.
        if (c == 0 && playing) c = 1;
    } else if (playing) {
        c = 1;
    }
    if (c < 0) c = 0;
    if (c == 0) ReleasePendingWait(f, false);
}

}  // namespace

void InputTimerTick(TForm1& f) {
    StepperState& st = f.stepper;
    UiState& ui = f.ui;
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
    if (ui.MouseMoved) {
        int x = 0, y = 0;
        f.plat.GetCursorPos(x, y);
        x -= ui.PaintBoxOriginX;
        y -= ui.PaintBoxOriginY;
        const int control = x >= 0 && x < kScreenWidth && y >= 0 && y < kScreenHeight ? 1 : 0;
        if (control != ui.ControlUnderPointer) {
            // The pointer left PB (or came back): no button stays lit.
            QuickBarHover(f, 0, 0);
            ui.MouseMoved = false;
            ui.ControlUnderPointer = control;
        }
    }
    MusicDelayTick(f);
    if (st.PendingWait != 0 && !f.flags.busy && f.app.playMode == 0) {
        if (f.vars.S[26] != 0) AutoTick(f);
        else if (st.PendingWait != 5) AnimateClickWait(f);
    }
}

}  // namespace velmora
