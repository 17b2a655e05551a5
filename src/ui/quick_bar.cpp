// The quick-button bar over the bottom band of the message window: skip,
// auto with its level marker, quick save and load, the backlog, and the
// slots a game may place. A button's normal face is part of the window
// band; hover and pressed faces come from "sys_qbtn", 32 and 64 rows below.
#include "app/engine.h"
#include "app/trace.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "gfx/frame_clock.h"
#include "gfx/image_files.h"
#include "gfx/pixel_ops.h"
#include "gfx/transitions.h"
#include "save/slots.h"
#include "text/message_window.h"
#include "ui/input.h"

namespace velmora {

namespace {

struct QuickButton {
    int x, y, width, height, sourceX, sourceY;
};

// Slots 1 ... 10; a negative x: no button in that slot.
constexpr QuickButton kQuickButtons[kQuickSlots + 1] = {
    {},
    {306, 4, 66, 26, 306, 4},     // skip on/off
    {472, 4, 108, 26, 472, 4},    // auto on/off
    {-99, -99, 48, 18, -99, 0},   // hide the message window
    {88, 4, 100, 26, 88, 4},      // quick save
    {192, 4, 100, 26, 192, 4},    // quick load
    {378, 4, 90, 26, 378, 4},     // backlog
    {-99, -99, 48, 18, -99, 0},   // scene rewind
    {-99, -99, 48, 18, -99, 0},   // settings dialog
    {-99, -99, 0, 0, -99, 0},     // auto level + 1
    {-99, -99, 0, 0, -99, 0},     // auto level - 1
};

int32_t& State(TForm1& f, int slot) { return f.vars.S[59 + slot]; }

// A button's face for a moment, as a press shows it.
void PressFlash(TForm1& f, int slot) {
    State(f, slot) = 2;
    DrawQuickBar(f, 1);
    StartFrameClock(f);
    WaitFrame(f, 50);
    State(f, slot) = 0;
}

}  // namespace

bool QuickButtonRect(const TForm1& f, int slot, int& x, int& y, int& width, int& height) {
    if (slot < 1 || slot > kQuickSlots || kQuickButtons[slot].x < 0) return false;
    const QuickButton& b = kQuickButtons[slot];
    x = f.config.TXW_OFS_X + b.x;
    y = f.config.TXW_OFS_Y + kQuickBandRow + b.y;
    width = b.width;
    height = b.height;
    return true;
}

bool QuickButtonCentre(const TForm1& f, int slot, int& x, int& y) {
    int w = 0, h = 0;
    if (!QuickButtonRect(f, slot, x, y, w, h)) return false;
    x += w / 2;
    y += h / 2;
    return true;
}

void LoadQuickButtons(TForm1& f) {
    UiState& ui = f.ui;
    if (!LoadPicture(f, "sys_qbtn", ui.quickSheet)) ContentError("picture", "system picture sys_qbtn is missing");
    if (!LoadPicture(f, "AUTO_CR", ui.autoMarker)) ContentError("picture", "system picture AUTO_CR is missing");
    ui.quickWork.Resize(kQuickBandWidth, kQuickBandHeight);
}

void DrawQuickBar(TForm1& f, int target) {
    if (f.flags.interruptibleEffect || (f.app.playMode != 0 && f.app.playMode != 9) || BackgroundAnimationRunning(f))
        return;
    UiState& ui = f.ui;
    TextState& t = f.text;
    int32_t* S = f.vars.S;
    if (t.quickBand.width != kQuickBandWidth || t.quickBand.height != kQuickBandHeight) return;
    Picture& bar = ui.quickWork;
    bar = t.quickBand;
    const int a = S[26];
    if (a != 0) {
        if (!ui.autoMarker.Empty()) BlitSideBySide(bar, 682 - 10 * a, 5, ui.autoMarker);
        S[61] = 2;
    } else if (S[61] == 2) {
        S[61] = 0;
    }
    if (ui.SkipActive && S[60] == 0) S[60] = 2;
    for (int k = 1; k <= kQuickSlots; ++k) {
        const QuickButton& b = kQuickButtons[k];
        const int32_t s = State(f, k);
        if (b.x < 0 || (s & 8) != 0 || s == 0) continue;
        CopyRect(bar, b.x, b.y, ui.quickSheet, b.sourceX, b.sourceY + (s == 2 ? 64 : 32), b.width, b.height);
    }
    const int ox = f.config.TXW_OFS_X, oy = f.config.TXW_OFS_Y + kQuickBandRow;
    if (target == 0) {
        if (t.windowOpen || f.vars.S[150] != 0) CopyPicture(f.gfx.screen, bar, ox, oy);
        return;
    }
    if (target == 1 && t.windowOpen) {
        CopyPicture(f.gfx.screen, bar, ox, oy);
        f.plat.surface().BlitWhole(bar, ox, oy);
    }
    // Later redraws of the window carry the bar.
    CopyPicture(f.gfx.messageWindow, bar, 0, kQuickBandRow);
    if (t.windowSaved.width == f.gfx.messageWindow.width) CopyPicture(t.windowSaved, bar, 0, kQuickBandRow);
}

int QuickBarHit(TForm1& f, int x, int y) {
    const int mode = f.app.playMode;
    if (mode != 0 && mode != 9) return 0;
    const int bx = x - f.config.TXW_OFS_X, by = y - f.config.TXW_OFS_Y - kQuickBandRow;
    int hit = 0;
    for (int k = 1; k <= kQuickSlots && hit == 0; ++k) {
        const QuickButton& b = kQuickButtons[k];
        if (b.x >= 0 && bx >= b.x && bx < b.x + b.width && by >= b.y && by < b.y + b.height) hit = k;
    }
    const bool autoOn = f.vars.S[26] != 0;
    const bool replay = f.app.replayContext != 0;
    if (mode == 9 && hit != 1 && hit != 7) hit = 0;
    if ((hit == 9 || hit == 10) && !autoOn) hit = 0;
    if (hit == 1 && !f.ui.TextRead && f.settings.Seen) hit = 0;
    if (hit == 6 && f.ui.choiceKind != kChoiceNone) hit = 0;
    if ((hit == 4 || hit == 5) && (replay || BackgroundAnimationRunning(f) || mode != 0)) hit = 0;
    return hit;
}

void QuickBarHover(TForm1& f, int x, int y) {
    const int mode = f.app.playMode;
    if (mode != 0 && mode != 9) return;
    UiState& ui = f.ui;
    for (int k = 1; k <= kQuickSlots; ++k) State(f, k) = 0;
    const int hit = QuickBarHit(f, x, y);
    if (hit != ui.HoveredQuickButton) {
        if (hit != 0) State(f, hit) = 1;
        DrawQuickBar(f, 1);
    }
    ui.HoveredQuickButton = hit;
}

bool QuickBarAction(TForm1& f) {
    if (BackgroundAnimationRunning(f)) return false;
    UiState& ui = f.ui;
    int32_t* S = f.vars.S;
    if (f.app.playMode == 9) {
        if (ui.HoveredQuickButton == 1) {
            RewindStep(f, false);
            if (f.app.playMode == 9) S[60] = 2;
        } else if (ui.HoveredQuickButton == 7) {
            RewindStep(f, true);
            S[66] = 2;
        } else {
            RewindStep(f, false);
        }
        DrawQuickBar(f, 1);
        return true;
    }
    const int slot = ui.HoveredQuickButton;
    switch (slot) {
        case 1:
            S[61] = 0;
            if (ui.SkipActive) {
                S[60] = 0;
                StopSkip(f);
            } else {
                S[60] = 2;
                StartSkip(f, false);
            }
            DrawQuickBar(f, 1);
            ui.HoveredQuickButton = 0;
            return true;
        case 2:
            if (S[26] != 0) {
                S[61] = 0;
                S[27] = S[26];
                S[26] = 0;
            } else {
                S[61] = 2;
                if (S[27] < 1 || S[27] > 13) S[27] = 8;
                S[26] = S[27];
            }
            Trace("auto level %d from the quick bar", S[26]);
            DrawQuickBar(f, 1);
            ui.HoveredQuickButton = 0;
            return true;
        case 3:
            S[26] = 0;
            S[61] = 0;
            PressFlash(f, 3);
            HideMessageWindow(f);
            ui.HoveredQuickButton = 0;
            return true;
        case 4:
            PressFlash(f, 4);
            QuickSave(f);
            ui.HoveredQuickButton = 0;
            return true;
        case 5:
            PressFlash(f, 5);
            ShowPrompt(f, ToCp932("クイックロードしますか？"), kPromptQuickLoad);
            ui.HoveredQuickButton = 0;
            DrawQuickBar(f, 1);
            return true;
        case 6:
            S[26] = 0;
            S[61] = 0;
            S[65] = 2;
            DrawQuickBar(f, 1);
            OpenBacklog(f);
            S[65] = 0;
            ui.HoveredQuickButton = 0;
            return true;
        case 7:
            if (ui.choiceKind == kChoiceNone) {
                S[66] = 2;
                DrawQuickBar(f, 1);
                S[66] = 0;
                StartRewind(f);
            }
            ui.HoveredQuickButton = 0;
            return true;
        case 8:
            ShowSettingsDialog(f);
            ApplySettings(f);
            return true;
        case 9:
            if (S[26] < 13) ++S[26];
            S[27] = S[26];
            DrawQuickBar(f, 1);
            return true;
        case 10:
            if (S[26] > 1) --S[26];
            S[27] = S[26];
            DrawQuickBar(f, 1);
            return true;
        default: return false;
    }
}

}  // namespace velmora
