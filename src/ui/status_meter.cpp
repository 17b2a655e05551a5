// The title's status meter: a 120 x 95 gauge at (670, 10) showing the state
// 0 ... 10 held in V(800 + V800), drawn while S004 is set.
#include <cstdio>

#include "app/engine.h"
#include "app/trace.h"
#include "gfx/frame_clock.h"
#include "gfx/image_files.h"
#include "gfx/pixel_ops.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kMeterX = 670, kMeterY = 10, kMeterWidth = 120, kMeterHeight = 95;

// The state the meter's variable holds, 0 when it is outside 0 ... 10 or
// names no variable.
int32_t MeterState(const TForm1& f) {
    const int32_t slot = 800 + f.vars.V[800];
    if (slot < 0 || slot >= kVBankSize) return 0;
    const int32_t v = f.vars.V[slot];
    return v >= 0 && v < kMeterFrames ? v : 0;
}

void SetMeterState(TForm1& f, int32_t v) {
    const int32_t slot = 800 + f.vars.V[800];
    if (slot >= 0 && slot < kVBankSize) f.vars.V[slot] = v;
}

}  // namespace

void LoadStatusMeter(TForm1& f) {
    Picture sheet;
    if (!LoadPicture(f, "sys_meter", sheet)) return;  // games without a meter have no picture
    for (int i = 0; i < kMeterFrames; ++i) {
        Picture& frame = f.ui.meterFrames[i];
        frame.Resize(2 * kMeterWidth, kMeterHeight);
        CopyRect(frame, 0, 0, sheet, 0, kMeterHeight * i, 2 * kMeterWidth, kMeterHeight);
    }
    f.ui.meterWork.Resize(kMeterWidth, kMeterHeight);
}

void DrawStatusMeter(TForm1& f, int target) {
    UiState& ui = f.ui;
    ui.MeterShown = 0;
    if (f.vars.S[4] == 0 || f.vars.V[800] == 0) return;
    if (ui.meterWork.Empty()) ui.meterWork.Resize(kMeterWidth, kMeterHeight);
    CopyRect(ui.meterWork, 0, 0, f.gfx.scene, kMeterX, kMeterY, kMeterWidth, kMeterHeight);
    const int32_t i = MeterState(f);
    ui.MeterShown = i;
    if (!ui.meterFrames[i].Empty()) BlitSideBySide(ui.meterWork, 0, 0, ui.meterFrames[i]);
    CopyPicture(f.gfx.screen, ui.meterWork, kMeterX, kMeterY);
    if (target == 1) f.plat.surface().Blit(ui.meterWork, 0, 0, kMeterWidth, kMeterHeight, kMeterX, kMeterY);
}

void BlinkStatusMeter(TForm1& f) {
    const int32_t a = MeterState(f);
    const int32_t before = f.ui.MeterShown;
    if (a == before) return;
    Trace("status meter %d -> %d", before, a);
    StartFrameClock(f);
    for (int i = 0; i < 5; ++i) {
        SetMeterState(f, before);
        DrawStatusMeter(f, 1);
        WaitFrame(f, 100);
        SetMeterState(f, a);
        DrawStatusMeter(f, 1);
        WaitFrame(f, 100);
    }
}

}  // namespace velmora
