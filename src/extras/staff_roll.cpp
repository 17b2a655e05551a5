// The staff roll (command roll): a small script of its own, a text table
// of command lines ("*" or "@" and a word) and text lines, that cross-fades
// pictures, starts music and fades blocks of text in and out of a
// rectangle, paced by waits against the clock.
//
//     *RESET
//     *MUSIC 3
//     *GRA staff01,1
//     *WIN 200,150,600,450
//     *CENTER XY
//     原作
//     ミナ
//     *PUT 1
//     *WAIT 30
//     *ERA 1
//     *WAIT 10
//
// A run of text lines is the next block; PUT shows it (1: fading in), ERA
// removes it (1: fading out), WAIT n holds until n tenths of a second after
// the previous WAIT, RESET or HOOK, so the time the commands between take
// is part of the wait and long credits keep to the music.
#include <cstring>
#include <string>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "data/encoding.h"
#include "extras/extras.h"
#include "extras/extras_common.h"
#include "extras/rolls.h"
#include "gfx/composition.h"
#include "script/commands.h"
#include "script/loader.h"

namespace velmora {

namespace {

struct RollRun {
    int left = 200, top = 200, right = 600, bottom = 600;
    Picture text, blend;
    std::vector<std::string> block;
    int alignment = 1;
    bool centred = true;
    uint32_t base = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

OutlineFont& RollFont(TForm1& f) {
    OutlineFont& font = f.extras.rollFont;
    if (!font.IsOpen()) {
        FontRequest r;
        r.family = "ＭＳ 明朝";
        r.cellHeight = kRollLineHeight;
        font.Open(r);
    }
    return font;
}

bool Stopped(const TForm1& f) { return f.extras.staffRollStop; }

void ShowScreen(TForm1& f) {
    f.plat.surface().BlitWhole(f.gfx.screen);
    f.plat.surface().Update();
}

// GRA: the picture into the scene picture, cross-faded in for modes 1
// (fast) and 2 (slow), at once otherwise. False when a stop cut the fade
// short.
bool RollPicture(TForm1& f, const std::string& name, int mode) {
    Picture loaded;
    if (LoadPicture(f, name, loaded)) {
        // The scene keeps its screen size whatever the picture's.
        if (loaded.width < kScreenWidth || loaded.height < kScreenHeight) FillPicture(f.gfx.scene, 0);
        CopyPicture(f.gfx.scene, loaded);
    } else {
        Trace("roll: picture %s missing; the scene stays", TraceText(name).c_str());
    }
    if (mode == 1 || mode == 2) {
        StartFrameClock(f);
        int w = 0;
        do {
            CrossfadeScreen(f.gfx.scene, f.gfx.screen, w, f.gfx.work);
            f.plat.surface().BlitWhole(f.gfx.work);
            f.plat.surface().Update();
            if (Stopped(f)) return false;
            w += (mode == 1 ? 16 : 8) * WaitFrame(f, 30);
        } while (w < 255);
    }
    CopyPicture(f.gfx.screen, f.gfx.scene);
    ShowScreen(f);
    return true;
}

// WIN: a new text rectangle, kept on the screen.
void RollRectangle(RollRun& run, const RollStep& step) {
    run.left = step.rect[0], run.top = step.rect[1], run.right = step.rect[2], run.bottom = step.rect[3];
    run.text.Resize(run.Width(), run.Height());
    run.blend.Resize(run.Width(), run.Height());
}

// The blend picture = first (rows from column `firstX`) at weight w over
// the screen under the rectangle, shown on the window.
void BlendRectangle(TForm1& f, RollRun& run, const Picture& first, int firstX, int firstY, int w) {
    const size_t bytes = static_cast<size_t>(run.Width()) * 3;
    for (int r = 0; r < run.Height(); ++r)
        BlendBytes(first.Pixel(firstX, firstY + r), f.gfx.screen.Pixel(run.left, run.top + r), w, run.blend.Row(r),
                   bytes);
    f.plat.surface().BlitWhole(run.blend, run.left, run.top);
    f.plat.surface().Update();
}

// PUT n: the block, drawn once into the text picture over the scene, shown
// at once (0) or faded in (1).
void RollPut(TForm1& f, RollRun& run, int n) {
    if (n == 0 || n == 1) {
        CopyRect(run.text, 0, 0, f.gfx.scene, run.left, run.top, run.Width(), run.Height());
        OutlineFont& font = RollFont(f);
        const int v = RollBlockTop(run.Height(), static_cast<int>(run.block.size()), run.centred);
        Picture measure;  // nothing is drawn on an empty picture
        for (size_t i = 0; i < run.block.size(); ++i) {
            const std::string& line = run.block[i];
            const int x = RollLineLeft(run.Width(), font.DrawText(measure, 0, 0, line, 0), run.alignment);
            const int y = kRollLineHeight * static_cast<int>(i) + v;
            font.DrawText(run.text, x + 2, y + 2, line, 0x000000);
            font.DrawText(run.text, x, y, line, 0xFFFFFF);
        }
        if (n == 1) {
            StartFrameClock(f);
            int w = 0;
            do {
                BlendRectangle(f, run, run.text, 0, 0, w);
                w += 8 * WaitFrame(f, 30);
            } while (w < 255);
        }
        CopyPicture(f.gfx.screen, run.text, run.left, run.top);
        CreditsNewPage(f);
        for (const std::string& line : run.block) CreditsLine(f, line);
    }
    ShowScreen(f);
}

// ERA n: the text gone, at once (0) or faded out (1).
void RollErase(TForm1& f, RollRun& run, int n) {
    if (n == 1) {
        StartFrameClock(f);
        int w = 0;
        do {
            BlendRectangle(f, run, f.gfx.scene, run.left, run.top, w);
            if (Stopped(f)) break;
            w += 8 * WaitFrame(f, 30);
        } while (w < 255);
    }
    if (n == 0 || n == 1) CopyPicture(f.gfx.screen, f.gfx.scene);
    ShowScreen(f);
}

// WAIT n: until n tenths of a second after the base time, in steps of at
// most 100 ms so that a stop is seen. The next wait measures from the end
// of this one: a step that overran its wait moves the rest of the roll on.
void RollWait(TForm1& f, RollRun& run, int32_t n) {
    platform::Clock& clock = f.plat.clock();
    const uint32_t target = run.base + 100u * static_cast<uint32_t>(n);
    for (;;) {
        const int32_t left = static_cast<int32_t>(target - clock.Now());
        if (left <= 0) break;
        f.plat.ProcessMessages();
        if (left < 100) {
            clock.Sleep(static_cast<uint32_t>(left));
            break;
        }
        clock.Sleep(100);
        if (Stopped(f)) break;
    }
    run.base = clock.Now();
}

// One step; false when the roll is to end.
bool RollStepPlay(TForm1& f, RollRun& run, const RollStep& step) {
    switch (step.op) {
        case RollOp::kTextNewBlock: run.block.clear(); [[fallthrough]];
        case RollOp::kText: run.block.push_back(step.text); break;
        case RollOp::kTextDropped:
            Trace("roll: a text block of more than %d lines; the rest is left out", kRollBlockMax);
            break;
        case RollOp::kMusic: SetMusic(f, step.value); break;
        case RollOp::kPicture: return RollPicture(f, step.text, step.value);
        case RollOp::kRectangle: RollRectangle(run, step); break;
        case RollOp::kBadRectangle:
            Trace("roll: WIN %s is not a rectangle on the screen; the text rectangle stays",
                  TraceText(step.text).c_str());
            break;
        case RollOp::kPut: RollPut(f, run, step.value); break;
        case RollOp::kErase: RollErase(f, run, step.value); break;
        case RollOp::kResetClock: run.base = f.plat.clock().Now(); break;
        case RollOp::kWait: RollWait(f, run, step.value); break;
        case RollOp::kAlign: run.alignment = step.alignment, run.centred = step.centred; break;
        case RollOp::kUnknown: Trace("roll: unknown command %s ignored", TraceText(step.text).c_str()); break;
    }
    return true;
}

}  // namespace

void StaffRollCommand(TForm1& f, const char* args) {
    int n = 0;
    while (args[n] && args[n] != ' ' && args[n] != '\t' && args[n] != '\r') ++n;
    const std::string name(args, static_cast<size_t>(n));
    if (name.empty() || !LoadScript(f, name, 2)) {
        Trace("roll %s: no such roll script", TraceText(name).c_str());
        return;
    }
    // Read before anything plays: what the roll does may load other tables.
    const std::vector<RollStep> steps = ParseRollScript(f.loader.table, f.loader.tableLength);
    Trace("roll %s: started", TraceText(name).c_str());
    PlayStaffRoll(f, steps);
    Trace("roll %s: %s", TraceText(name).c_str(), f.extras.staffRollStop ? "stopped" : "ended");
}

void PlayStaffRoll(TForm1& f, const std::vector<RollStep>& steps) {
    ExtrasState& x = f.extras;
    f.app.playMode = 3;
    x.staffRollStop = false;
    x.staffRollPaused = false;
    RollRun run;
    run.text.Resize(run.Width(), run.Height());
    run.blend.Resize(run.Width(), run.Height());
    run.base = f.plat.clock().Now();
    for (const RollStep& step : steps) {
        if (!RollStepPlay(f, run, step)) break;
        while (x.staffRollPaused && !x.staffRollStop) {
            f.plat.ProcessMessages();
            f.plat.clock().Sleep(100);
        }
        if (x.staffRollStop) break;
    }
    CreditsNewPage(f);
    f.app.playMode = 0;
}

void StaffRollControl(TForm1& f, int request) {
    switch (request) {
        case 1: f.extras.staffRollStop = true; break;
        case 2: f.extras.staffRollPaused = true; break;
        case 3: f.extras.staffRollPaused = false; break;
        default: break;
    }
}

void PauseStaffRoll(TForm1& f) { StaffRollControl(f, 2); }
void ResumeStaffRoll(TForm1& f) { StaffRollControl(f, 3); }
void StopStaffRoll(TForm1& f) { StaffRollControl(f, 1); }

}  // namespace velmora
