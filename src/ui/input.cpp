// Mouse, key and wheel events of the main window: each goes through the
// overlays (an interruptible effect, the prompt, the panic screen, the
// backlog) and then to the current play mode.
#include "ui/input.h"

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "extras/extras.h"
#include "gfx/transitions.h"
#include "save/slots.h"
#include "script/loader.h"
#include "text/message_window.h"
#include "ui/pad_input.h"

namespace velmora {

using namespace platform;

namespace {

bool ChoiceShown(const TForm1& f) { return f.ui.choiceKind != kChoiceNone; }

// The screens that answer the pointer alone (the novel style's choice
// list, a click map, the choice tree, the gallery, the recollection): the
// arrows walk what takes a click as the pointer would, its hover face lit (a
// tree's group shows its entries beside it), and Enter clicks. A list's
// arrows stay on its options: Enter on a quick button met on the way would
// save or load unasked. False for another key.
bool PointerArrowKey(TForm1& f, uint16_t key, uint32_t shift) {
    int dx = 0, dy = 0;
    switch (key) {
        case VK_UP: dy = -1; break;
        case VK_DOWN: dy = 1; break;
        case VK_LEFT: dx = -1; break;
        case VK_RIGHT: dx = 1; break;
        default: return false;
    }
    StepPointerFocus(f, dx, dy, shift, true, f.ui.choiceKind == kChoiceListNovel ? 100 : 1 << 30);
    return true;
}

void OpenBacklogByKey(TForm1& f) {
    f.vars.S[65] = 2;
    DrawQuickBar(f, 1);
    OpenBacklog(f);
    f.vars.S[65] = 1;
}

// The auto meter on the quick bar and what other presses do in auto mode.
// True when the press was handled.
bool AutoModePress(TForm1& f, MouseButton button, int x, int y) {
    const int ox = f.config.TXW_OFS_X, oy = f.config.TXW_OFS_Y;
    int32_t* S = f.vars.S;
    if (x >= ox + 594 && x < ox + 684 && y >= oy + 224 && y < oy + 254) {
        // Level 10 at the left end of the meter, 1 at the right end.
        S[26] = S[27] = 10 - (x - ox - 594) / 9;
        DrawQuickBar(f, 1);
        Trace("auto level %d from the meter", S[26]);
        return true;
    }
    if (ChoiceShown(f) || f.app.playMode != 0) return false;
    if (button == mbLeft) {
        if (!QuickBarAction(f)) {
            if (f.ui.AutoCountdown != 0) f.ui.AutoCountdown = 1;
            else f.stepper.FinishMessage = true;
        }
    } else {
        S[26] = 0;
        S[61] = 0;
        DrawQuickBar(f, 1);
        Trace("auto off by a press");
    }
    return true;
}

}  // namespace

void TForm1::PBMouseDown(MouseButton button, uint32_t shift, int x, int y) {
    (void)shift;
    StepperState& st = stepper;
    int32_t* S = vars.S;
    int cx = 0, cy = 0;
    plat.GetCursorPos(cx, cy);
    ui.PaintBoxOriginX = cx - x;
    ui.PaintBoxOriginY = cy - y;

    // The click hook scripts set.
    if (S[56] == 56) {
        if (button == mbRight) return;
        st.SleepCountdown = 0;
        StopVoice(*this);
        if (flags.interruptibleEffect) flags.interruptRequest = 1;
        ui.promptKind = kPromptTitle;
        ui.prompt.yes = true;
        PromptClick(*this, mbLeft, true);
        S[56] = 0;
        return;
    }
    if (S[56] == 57) {
        GotoLabel(*this, vars.str[8]);
        S[56] = 0;
        return;
    }
    if (S[56] == 66) return;

    if (flags.interruptibleEffect) {
        if (!settings.CV_THROUGH) StopVoice(*this);
        flags.interruptRequest = 1;
        return;
    }
    if (ui.promptKind != kPromptNone) {
        PromptClick(*this, button, false);
        return;
    }
    if (ui.PanicActive) {
        LeavePanic(*this);
        return;
    }
    if (button == mbLeft) ui.PopupOpen = false;
    if (flags.busy) return;
    if (button == mbLeft && st.PendingWait != 4 && ui.ClickDebounce < 3 && !settings.CV_THROUGH) StopVoice(*this);
    if (backlog.open) {
        if (button == mbRight) CloseBacklog(*this);
        else BacklogMouseDown(*this, button, x, y);
        return;
    }
    switch (app.playMode) {
        case 0: break;
        case 1: RestoreMessageWindow(*this); return;
        case 5: SceneScrollClick(*this, false); return;
        case 6: ViewerClick(*this, button, x, y); return;
        case 8: RecollectionMouseDown(*this, button, x, y); return;
        case 9:
            if (button == mbRight) EndRewind(*this);
            else if (button == mbLeft) QuickBarAction(*this);
            return;
        default: return;  // 3: the staff roll runs inside its command; 7 and 10 ignore presses
    }
    if (text.windowOpen && !ui.SkipActive && S[26] != 0 && AutoModePress(*this, button, x, y)) return;
    if (app.typewriter && st.PendingWait == 0 && !ChoiceShown(*this)) st.FinishMessage = true;
    if (st.SleepCountdown != 0) {
        st.SleepCountdown = 0;
        S[19] = 1;
        Trace("sleep ended by a click");
        return;
    }
    if (ui.SkipActive && !ChoiceShown(*this)) {
        StopSkip(*this);
        return;
    }
    if (button == mbLeft && !ChoiceShown(*this)) {
        QuickBarHover(*this, x, y);
        if (QuickBarAction(*this)) return;
    }
    if (button == mbLeft) {
        if (!ChoiceShown(*this)) {
            if (st.PendingWait != 0) ReleasePendingWait(*this, true);
        } else if (ui.ClickDebounce == 0) {
            PickChoice(*this, mbLeft);
            QuickBarAction(*this);
        }
    }
    if (button == mbRight) {
        if (ui.choiceKind == kChoiceMap || ui.choiceKind == kChoiceTree) PickChoice(*this, mbRight);
        else if (app.playMode == 0) RightClickAction(*this);
        return;
    }
    ui.ClickDebounce = 5;
}

void TForm1::PBMouseUp(MouseButton button, uint32_t shift, int x, int y) {
    (void)shift;
    if (backlog.open) {
        BacklogMouseUp(*this, button, x, y);
        return;
    }
    int32_t* S = vars.S;
    if (app.playMode == 0) {
        bool pressed = S[63] != 0 || S[64] != 0 || S[65] != 0;
        S[63] = S[64] = S[65] = 0;
        if (pressed) DrawQuickBar(*this, 1);
    } else if (app.playMode == 8) {
        RecollectionMouseUp(*this, button, x, y);
    }
}

void TForm1::PBMouseMove(uint32_t shift, int x, int y) {
    (void)shift;
    ui.LastMouseX = x;
    ui.LastMouseY = y;
    ui.MouseMoved = true;
    if (flags.busy || flags.interruptibleEffect) return;
    ToolBarReveal(*this, x, y);
    // An overlay owns the pointer.
    if (ui.promptKind != kPromptNone) {
        PromptHover(*this, x, y);
        return;
    }
    if (backlog.open) {
        BacklogMouseMove(*this, x, y);
        return;
    }
    switch (app.playMode) {
        case 0: break;
        case 6: ViewerHover(*this, x, y); return;
        case 8: RecollectionMouseMove(*this, x, y); return;
        case 9: QuickBarHover(*this, x, y); return;
        default: return;
    }
    switch (ui.choiceKind) {
        case kChoiceNone:
            if (!ui.SkipActive) QuickBarHover(*this, x, y);
            break;
        case kChoiceList:
        case kChoiceListNovel:
            QuickBarHover(*this, x, y);
            ChoiceListHover(*this, x, y);
            break;
        case kChoiceMap: ClickMapHover(*this, x, y); break;
        case kChoiceTree: ChoiceTreeHover(*this, x, y); break;
        default: break;
    }
}

void TForm1::FormKeyPress(char& key) {
    if (ui.promptKind != kPromptNone) {
        // Enter and Space answer as a press at the pointer does, Escape says no.
        if (key == '\r' || key == ' ') PromptClick(*this, mbLeft, false);
        else if (key == 27) PromptClick(*this, mbRight, false);
        return;
    }
    if (backlog.open) {
        if (key == '\b') CloseBacklog(*this);
        return;
    }
    const char c = AsciiUpper(key);
    if (ui.choiceKind == kChoiceTree && !flags.busy && (c == '\r' || c == ' ')) {
        const int hit = ChoiceTreeHit(*this, ui.LastMouseX, ui.LastMouseY);
        const ChoiceTreeState& t = extras.tree;
        if (hit >= 100 && hit < 200 && t.selection[0] == '\0' && t.column2Shown && t.column2Count > 0)
            StepPointerFocus(*this, 1, 0, 0, false);
        else
            PBMouseDown(mbLeft, 0, ui.LastMouseX, ui.LastMouseY);
        return;
    }
    if (c == '\r' || c == 'Z') {
        PBMouseDown(mbLeft, 0, ui.LastMouseX, ui.LastMouseY);
        // The recollection takes a press for the start of a drag: from a key
        // it is a click (two in a row a double click).
        if (app.playMode == 8) PBMouseUp(mbLeft, 0, ui.LastMouseX, ui.LastMouseY);
        return;
    }
    if (c == 27 && app.playMode == 6 && !flags.busy) {
        // The gallery's full view goes back to its page at the right button.
        PBMouseDown(mbRight, 0, ui.LastMouseX, ui.LastMouseY);
        PBMouseUp(mbRight, 0, ui.LastMouseX, ui.LastMouseY);
        return;
    }
    if (c == 'V') {
        PlaySoundByName(*this, stepper.LastVoice);
        return;
    }
    // V already replays the voice: self-voicing (読み上げ) sits on Y.
    if (c == 'Y') {
        ToggleSelfVoicing(*this);
        return;
    }
    if (flags.interruptibleEffect || flags.busy) return;
    const int32_t* S = vars.S;
    const bool normal = app.playMode == 0;
    const bool animating = BackgroundAnimationRunning(*this);
    switch (c) {
        case 'W':
            if (app.playMode == 1) RestoreMessageWindow(*this);
            else if (normal) HideMessageWindow(*this);
            break;
        case 'C': SpeedButton2Click(); break;
        case '\b':
            if (!animating && normal) OpenBacklogByKey(*this);
            break;
        case 27: ui.PopupOpen = false; break;
        case ' ': ToggleAutoA(*this); break;
        case 'L':
            if (S[0] < 2 && normal && !animating) {
                PlaySoundByName(*this, "SSE06");
                OpenSaveLoadDialog(*this, 0);
            }
            break;
        case 'S':
            if (S[0] < 1 && normal && !animating) {
                PlaySoundByName(*this, "SSE05");
                OpenSaveLoadDialog(*this, 1);
            }
            break;
        case 'Q':
            if (S[0] < 1 && normal && !animating) QuickSave(*this);
            break;
        case 'X': RightClickAction(*this); break;
        default: break;
    }
}

void TForm1::FormKeyDown(uint16_t& key, uint32_t shift) {
    // Copying the page works whatever is shown. Ctrl starts skipping as it
    // goes down, so the page is kept from that moment for Ctrl+C.
    if (key == VK_CONTROL && !ui.SkipActive) TextOutCtrlDown(*this);
    if (key == 'C' && (shift & ssCtrl)) {
        CopyPage(*this);
        return;
    }
    if (ui.promptKind != kPromptNone && !flags.busy) {
        PromptKey(*this, key);
        return;
    }
    if (backlog.open && ui.promptKind == kPromptNone && !flags.busy) {
        // Line by line, for a reader following the lines one at a time.
        if (key == VK_UP || key == VK_DOWN) BacklogKey(*this, key == VK_UP);
        return;
    }
    if (ui.promptKind != kPromptNone || backlog.open || flags.interruptibleEffect || flags.busy) return;
    const bool pointerOnly = ui.choiceKind == kChoiceTree || ui.choiceKind == kChoiceListNovel ||
                             ui.choiceKind == kChoiceMap || app.playMode == 6 || app.playMode == 8;
    if (pointerOnly && PointerArrowKey(*this, key, shift)) return;
    if (ui.choiceKind == kChoiceList) {
        if (key == VK_UP) MoveToChoice(*this, false);
        else if (key == VK_DOWN) MoveToChoice(*this, true);
        return;
    }
    const bool still = !ChoiceShown(*this) && !BackgroundAnimationRunning(*this);
    if (app.playMode == 9) {
        // Left goes one page further back, Right one page forward (leaving
        // the rewind after the newest page), as the wheel does.
        if (key == VK_LEFT && still) RewindStep(*this, true);
        else if (key == VK_RIGHT && still) RewindStep(*this, false);
        return;
    }
    if (app.playMode != 0) return;
    uint16_t k = key;
    if (settings.CS_SWAP) {
        if (k == VK_SHIFT) k = VK_CONTROL;
        else if (k == VK_CONTROL) k = VK_SHIFT;
    }
    // Every key-down counts, auto-repeated ones included.
    switch (k) {
        case VK_TAB: RightClickAction(*this); break;
        case VK_SHIFT: ToggleAutoB(*this); break;
        case VK_CONTROL:
            if (ui.SkipActive) {
                StopSkip(*this);
            } else {
                vars.S[26] = 0;
                StopSkip(*this);
                StopVoice(*this);
                vars.S[60] = 2;
                DrawQuickBar(*this, 1);
                ui.SkipActive = true;
                Trace("skip on");
            }
            break;
        case VK_LEFT:
            if (still) StartRewind(*this);
            break;
        default: break;
    }
}

void TForm1::FormKeyUp(uint16_t& key, uint32_t shift) {
    (void)shift;
    if (backlog.open) return;
    uint16_t k = key;
    if (settings.CS_SWAP) {
        if (k == VK_SHIFT) k = VK_CONTROL;
        else if (k == VK_CONTROL) k = VK_SHIFT;
    }
    if (k != VK_CONTROL) return;
    if (ui.SkipActive) Trace("skip off");
    // Skipping ends before the bar is drawn, or the drawing would press the
    // skip button again.
    ui.SkipActive = false;
    if (app.playMode == 0) {
        vars.S[60] = 0;
        if (!flags.busy) DrawQuickBar(*this, 1);
    }
}

void TForm1::FormMouseWheel(uint32_t shift, int delta, int x, int y, bool& handled) {
    (void)shift, (void)x, (void)y;
    if (ui.WheelGuard) return;
    if (backlog.open) {
        BacklogWheel(*this, delta);
        return;
    }
    if (ui.promptKind != kPromptNone || flags.busy || BackgroundAnimationRunning(*this)) return;
    handled = true;
    ui.WheelGuard = true;
    if (app.playMode == 9) {
        RewindStep(*this, delta >= 0);
    } else if (app.playMode == 0 && !ChoiceShown(*this) && delta > 0) {
        if (settings.WHEEL_MODE == 0) StartRewind(*this);
        else if (settings.WHEEL_MODE == 1) OpenBacklogByKey(*this);
    }
    ui.WheelGuard = false;
}

}  // namespace velmora
