// The script commands that change the screen: backgrounds, sprites, the
// overlay, parts stamped onto the window, panning, shakes, the comic symbol
// and moving sprites.
#include "gfx/graphics_commands.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "extras/extras.h"
#include "gfx/composition.h"
#include "gfx/effects.h"
#include "gfx/frame_clock.h"
#include "gfx/image_files.h"
#include "gfx/pixel_ops.h"
#include "gfx/transitions.h"
#include "script/commands.h"
#include "script/variables.h"
#include "text/message_window.h"
#include "ui/input.h"

namespace velmora {

namespace {

// The name, transition and side letter of gra, grb and bg.
struct PictureArgs {
    std::string name;
    int transition = 0;
    char side = 0;  // 'L', 'R' or 0
};

PictureArgs ScanPictureArgs(const char* args) {
    PictureArgs a;
    int i = 0;
    while (args[i] && args[i] != ' ' && args[i] != ',' && args[i] != ']' && i < 64) ++i;
    a.name.assign(args, static_cast<size_t>(i));
    bool inNumber = false;
    for (; i < 63 && args[i] && args[i] != ']'; ++i) {
        char c = args[i];
        if (c >= '0' && c <= '9') {
            // A new run of digits replaces the number read so far.
            if (!inNumber) a.transition = 0;
            if (a.transition < 100000) a.transition = a.transition * 10 + (c - '0');
            inNumber = true;
            continue;
        }
        inNumber = false;
        if (c == 'L' || c == 'l') a.side = 'L';
        else if (c == 'R' || c == 'r') a.side = 'R';
    }
    return a;
}

// A comma-separated number that may be missing.
bool ReadField(const char*& p, int32_t& out) {
    while (*p == ' ') ++p;
    const char* q = p;
    if (*q == '+' || *q == '-') ++q;
    if (*q < '0' || *q > '9') return false;
    out = ReadInt(p);
    while (*p && *p != ',') ++p;
    return true;
}

// Moves p past the next comma; false at the end.
bool NextComma(const char*& p) {
    while (*p && *p != ',') ++p;
    if (!*p) return false;
    ++p;
    return true;
}

// The message window keeps a copy of the scene under it; every scene change
// makes that copy stale.
void SceneRedraw(TForm1& f, int transition) {
    f.text.windowValid = false;
    Redraw(f, transition);
}

void ClearSprites(TForm1& f) {
    f.gfx.spriteCount = 0;
    f.gfx.spriteNames[0].clear();
    f.gfx.spriteNames[1].clear();
    f.gfx.spriteList.clear();
}


// A new background picture or colour; `colour` for an S name. True when
// it redrew.
bool ChangeBackground(TForm1& f, const PictureArgs& a, bool colour) {
    f.gfx.backgroundChanged = true;
    bool found = true;
    if (colour) {
        f.gfx.backgroundName = a.name;
        FillColourBackground(f, a.name);
    } else {
        MarkPictureSeen(f, a.name);
        f.gfx.backgroundName = a.name;
        found = LoadPicture(f, a.name, f.gfx.background);
        if (!found) ContentError("picture", "background %s: no such picture", TraceText(a.name).c_str());
    }
    if (!found || f.gfx.noRedraw) return false;
    ClearSprites(f);
    SceneRedraw(f, a.transition);
    return true;
}

std::string PairList(const TForm1& f) { return f.gfx.spriteNames[0] + "," + f.gfx.spriteNames[1]; }

}  // namespace

void FillColourBackground(TForm1& f, const std::string& name) {
    Picture& bg = f.gfx.background;
    // Nothing has been loaded yet: the colour covers the whole screen.
    if (bg.Empty()) bg.Resize(kScreenWidth, kScreenHeight);
    FillPicture(bg, ColourFromName(name.c_str()));
}

int GraCommand(TForm1& f, const char* args) {
    f.gfx.noRedraw = f.stepper.grbSelected;
    PictureArgs a = ScanPictureArgs(args);
    bool redraws = false;
    switch (AsciiUpper(a.name.empty() ? '\0' : a.name[0])) {
        case 'A': redraws = ChangeBackground(f, a, false); break;
        case 'S': redraws = ChangeBackground(f, a, true); break;
        case 'B': {
            std::string list;
            if (a.side == 'L') {
                f.gfx.spriteNames[0] = a.name;
                list = PairList(f);
            } else if (a.side == 'R') {
                if (f.gfx.spriteCount == 1) f.gfx.spriteNames[0].clear();
                f.gfx.spriteNames[1] = a.name;
                list = PairList(f);
            } else {
                list = a.name;
            }
            SetSprites(f, list);
            f.gfx.spriteList = list;
            if (!f.gfx.noRedraw) {
                redraws = true;
                SceneRedraw(f, a.transition);
            }
            break;
        }
        default:
            ContentError("picture", "gra %s: not a background, sprite or colour name", TraceText(a.name).c_str());
            break;
    }
    // Only a transition of this command can have been cut short.
    if (!redraws) f.flags.interruptRequest = 0;
    return 0;
}

void BgCommand(TForm1& f, const char* args) {
    PictureArgs a = ScanPictureArgs(args);
    if (a.name.empty()) return;
    ChangeBackground(f, a, AsciiUpper(a.name[0]) == 'S');
}

void ClrbCommand(TForm1& f, const char* args) {
    int32_t transition = ReadInt(args);
    size_t n = std::strlen(args);
    char last = n ? AsciiUpper(args[n - 1]) : '\0';
    if (last == 'L' || last == 'R') {
        // The remaining sprite keeps its place in the two-sprite layout.
        f.gfx.spriteNames[last == 'L' ? 0 : 1].clear();
        f.gfx.spriteList = PairList(f);
    } else {
        ClearSprites(f);
    }
    SceneRedraw(f, transition);
}

void SprCommand(TForm1& f, const char* args) {
    int transition = SetSprites(f, args);
    f.gfx.spriteList = args;
    SceneRedraw(f, transition);
}

void OvrCommand(TForm1& f, const char* args) {
    int i = 0;
    while (args[i] && args[i] != ',' && args[i] != ' ' && i < 64) ++i;
    std::string name(args, static_cast<size_t>(i));
    const char* p = args + i;
    if (*p) ++p;
    int32_t transition = 6;
    ReadField(p, transition);
    int32_t v = 0;
    if (NextComma(p) && ReadField(p, v)) f.vars.S[21] = v;
    if (NextComma(p) && ReadField(p, v)) f.vars.S[22] = v;
    if (EqualsNoCase(name.c_str(), "OFF")) {
        f.vars.S[35] = 0;
    } else {
        if (!LoadPicture(f, name, f.gfx.overlay))
            ContentError("picture", "ovr %s: no such picture", TraceText(name).c_str());
        f.vars.S[35] = 1;
    }
    SceneRedraw(f, transition);
}

void PartsloadCommand(TForm1& f, const char* args) {
    const char* comma = std::strchr(args, ',');
    if (!comma) {
        if (!LoadPicture(f, args, f.gfx.parts))
            ContentError("picture", "partsload %s: no such picture", TraceText(args).c_str());
        f.vars.S[15] = 0;
        return;
    }
    std::string first(args, static_cast<size_t>(comma - args));
    std::string second(comma + 1);
    if (!LoadPicture(f, first, f.gfx.parts))
        ContentError("picture", "partsload %s: no such picture", TraceText(first).c_str());
    if (!LoadPicture(f, second, f.gfx.work))
        ContentError("picture", "partsload %s: no such picture", TraceText(second).c_str());
    f.vars.S[15] = 1;
}

void PtsetCommand(TForm1& f, const char* args) {
    int32_t v[6] = {0, 0, 0, 0, 0, 0};
    const char* p = args;
    for (int i = 0; i < 6; ++i) {
        int32_t stop = 0;
        v[i] = EvalExpression(f, p, &stop);
        p += stop;
        if (*p != ',') break;
        ++p;
    }
    const Picture& parts = f.gfx.parts;
    int sx = v[0], sy = v[1], w = v[2] - v[0], h = v[3] - v[1], dx = v[4], dy = v[5];
    // Clip to the parts sheet and to the window.
    if (sx < 0) { w += sx; dx -= sx; sx = 0; }
    if (sy < 0) { h += sy; dy -= sy; sy = 0; }
    if (dx < 0) { w += dx; sx -= dx; dx = 0; }
    if (dy < 0) { h += dy; sy -= dy; dy = 0; }
    w = std::min({w, parts.width - sx, kScreenWidth - dx});
    h = std::min({h, parts.height - sy, kScreenHeight - dy});
    if (w <= 0 || h <= 0) return;
    Picture canvas;
    f.plat.surface().ReadBack(canvas);
    if (canvas.width < dx + w || canvas.height < dy + h) return;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = parts.Pixel(sx, sy + y);
        uint8_t* d = canvas.Pixel(dx, dy + y);
        for (int x = 0; x < w; ++x, s += 3, d += 3) {
            // Cyan (red 0, green 255, blue 255) is the transparent colour.
            if (s[0] == 255 && s[1] == 255 && s[2] == 0) continue;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    f.plat.surface().Blit(canvas, dx, dy, w, h, dx, dy);
    f.plat.surface().Update();
}

void DirectCommand(TForm1& f, const char* args) {
    int i = 0;
    while (args[i] && args[i] != ',' && i < 31) ++i;
    std::string name(args, static_cast<size_t>(i));
    const char* p = args + i;
    int32_t ms = 0, x = 0, y = 0;
    if (NextComma(p)) ms = ReadInt(p);
    if (NextComma(p)) x = ReadInt(p);
    if (NextComma(p)) y = ReadInt(p);
    f.stepper.ScriptRunning = false;
    platform::Clock& clock = f.plat.clock();
    const uint32_t start = clock.Now();
    if (!LoadPicture(f, name, f.gfx.parts))
        ContentError("picture", "direct %s: no such picture", TraceText(name).c_str());
    f.plat.surface().BlitWhole(f.gfx.parts, x, y);
    f.plat.surface().Update();
    const uint32_t wait = ms > 0 ? static_cast<uint32_t>(ms) : 0;
    for (;;) {
        uint32_t spent = clock.Now() - start;
        if (spent >= wait) break;
        clock.Sleep(std::min<uint32_t>(wait - spent, 10));
        f.plat.ProcessMessages();
    }
    f.stepper.ScriptRunning = true;
}

void ScrollCommand(TForm1& f, const char* args) {
    int i = 0;
    while (args[i] && args[i] != ',' && i < 64) ++i;
    std::string name(args, static_cast<size_t>(i));
    const char* p = args + i;
    int32_t direction = 0, ms = 0, transition = 0;
    if (NextComma(p)) direction = ReadInt(p);
    if (NextComma(p)) ms = ReadInt(p);
    if (NextComma(p)) transition = ReadInt(p);
    Picture pic;
    if (!LoadPicture(f, name, pic)) {
        ContentError("picture", "scroll %s: no such picture", TraceText(name).c_str());
        return;
    }
    f.ui.OverlayActive = true;
    UpdateMenuStates(f);
    f.app.playMode = 7;
    const int wd = pic.width, ht = pic.height;
    int x0 = 0, y0 = 0, stepX = 0, stepY = 0, steps = 0;
    switch (direction) {
        case 0: y0 = ht - 600; stepY = -1; steps = ht - 600; break;
        case 1: stepX = 1; steps = wd - 800; break;
        case 2: stepY = 1; steps = ht - 600; break;
        case 3: x0 = wd - 800; stepX = -1; steps = wd - 800; break;
        default: break;
    }
    // A picture smaller than the view has nothing to pan over.
    if (steps < 0) {
        steps = 0;
        x0 = y0 = 0;
    }
    auto view = [&](Picture& dst, int s) {
        if (wd < kScreenWidth || ht < kScreenHeight) FillPicture(dst, 0);
        CopyRect(dst, 0, 0, pic, x0 + s * stepX, y0 + s * stepY, kScreenWidth, kScreenHeight);
    };
    CopyPicture(f.gfx.previous, f.gfx.screen);
    view(f.gfx.screen, 0);
    RunTransition(f, transition);
    StartFrameClock(f);
    f.flags.busy = true;
    f.flags.interruptibleEffect = true;
    f.flags.interruptRequest = 0;
    platform::Surface& win = f.plat.surface();
    for (int s = 0; s < steps;) {
        win.Blit(pic, x0 + s * stepX, y0 + s * stepY, kScreenWidth, kScreenHeight, 0, 0);
        win.Update();
        f.plat.ProcessMessages();
        if (f.flags.interruptRequest != 0) break;
        s += WaitFrame(f, static_cast<uint32_t>(std::max(ms, 0)));
    }
    f.flags.busy = false;
    f.flags.interruptibleEffect = false;
    f.app.playMode = 0;
    view(f.gfx.screen, steps);
    win.BlitWhole(f.gfx.screen);
    win.Update();
    f.ui.OverlayActive = false;
    UpdateMenuStates(f);
}

void ShakeCommand(TForm1& f, const char* args) {
    const char* p = args;
    int32_t kind = 0, amplitude = 20, ms = 50, v = 0;
    if (ReadField(p, v)) kind = v;
    if (NextComma(p) && ReadField(p, v)) amplitude = v;
    if (NextComma(p) && ReadField(p, v)) ms = v;
    platform::Window& window = f.plat.window();
    const int left = window.Left(), top = window.Top();
    static const int kDir[8][2] = {{0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};
    StartFrameClock(f);
    for (int32_t a = amplitude; a >= 1;) {
        // Every move is an offset from where the window started.
        int sign = (a & 2) ? 1 : -1;
        switch (kind) {
            case 0: window.Move(left, top + sign * a); break;
            case 1: window.Move(left + sign * a, top); break;
            case 2: {
                int r = f.rng.Next(32768) & 7;
                window.Move(left + kDir[r][0] * a, top + kDir[r][1] * a);
                break;
            }
            default: break;
        }
        a -= 2 * WaitFrame(f, static_cast<uint32_t>(std::max(ms, 0)));
    }
    window.Move(left, top);
}

void ManpuCommand(TForm1& f, const char* args) {
    Field fields[kFieldMax];
    int n = SplitFields(args, fields);
    SymbolOverlay& sym = f.gfx.symbol;
    if (!LoadPicture(f, fields[0].text, sym.picture))
        ContentError("picture", "manpu %s: no such picture", TraceText(fields[0].text).c_str());
    const int w = sym.picture.width / 2, h = sym.picture.height;
    for (Picture* p : {&sym.savedBackground, &sym.composite, &sym.spare})
        if (p->width != w || p->height != h) p->Resize(w, h);
    auto value = [&](int i) { return fields[i].value == kNoNumber ? 0 : fields[i].value; };
    if (n >= 2) sym.mode = value(1);
    if (n >= 3) {
        f.vars.S[32] = value(2);
        f.vars.S[33] = value(3);
    }
    sym.active = true;
    const int x = f.vars.S[32], y = f.vars.S[33];
    CopyRect(sym.savedBackground, 0, 0, f.gfx.scene, x, y, w, h);
    CopyPicture(sym.spare, sym.savedBackground);
    CopyPicture(sym.composite, sym.savedBackground);
    BlitSideBySide(sym.composite, 0, 0, sym.picture);
    f.plat.surface().BlitWhole(sym.composite, x, y);
    f.plat.surface().Update();
    if (sym.mode == 1) CopyPicture(f.gfx.screen, sym.composite, x, y);
}

void EffectTick(TForm1& f) {
    SymbolOverlay& sym = f.gfx.symbol;
    if (!sym.active) return;
    const int x = f.vars.S[32], y = f.vars.S[33];
    if (sym.mode == 1) {
        // The symbol leaves the window but stays in the screen picture.
        f.plat.surface().BlitWhole(sym.spare, x, y);
    } else if (sym.mode == 2 && f.app.timerTicks % 4 == 0) {
        f.plat.surface().BlitWhole((f.app.timerTicks & 4) ? sym.composite : sym.spare, x, y);
    }
}

void SprmvCommand(TForm1& f, const char* args) {
    Field fields[kFieldMax];
    int count = SplitFields(args, fields);
    if (count == 1 && EqualsNoCase(fields[0].text, "INIT")) {
        GameinitSprites(f);
        return;
    }
    if (count == 0 || count % 4 != 0) {
        ContentError("command", "sprmv %s: %d fields, not groups of four", TraceText(args).c_str(), count);
        return;
    }
    const int n = count / 4;
    // The layouts stop at four sprites; more would move the y variables.
    if (n > 4) {
        Trace("sprmv: %d sprites, the layouts hold at most 4", n);
        return;
    }
    auto value = [&](int i) { return fields[i].value == kNoNumber ? 0 : fields[i].value; };
    CloseWindow(f);
    const int base = n * (n - 1) / 2;  // first layout variable of count n
    int32_t* S = f.vars.S;
    int32_t sx[4], sy[4];
    std::string list;
    for (int k = 0; k < n; ++k) {
        sx[k] = S[80 + base + k];
        sy[k] = S[90 + base + k];
        if (k) list += ",";
        list += fields[4 * k].text;
    }
    SetSprites(f, list);
    f.gfx.spriteList = list;
    // The sprites move under the closed window: its copy of the scene is stale.
    f.text.windowValid = false;
    f.flags.busy = true;
    f.flags.interruptibleEffect = true;
    f.flags.interruptRequest = 0;
    StartFrameClock(f);
    int64_t t = 0, longest = 0;
    for (int k = 0; k < n; ++k) longest = std::max<int64_t>(longest, value(4 * k + 3));
    for (;;) {
        bool moving = false;
        for (int k = 0; k < n; ++k) {
            int64_t tx = value(4 * k + 1), ty = value(4 * k + 2), d = value(4 * k + 3);
            int64_t x = tx, y = ty;
            if (d == 0) {
                x = sx[k];
                y = sy[k];
            } else if (t < d) {
                x = sx[k] + (tx - sx[k]) * t / d;
                y = sy[k] + (ty - sy[k]) * t / d;
                moving = true;
            }
            S[80 + base + k] = static_cast<int32_t>(x);
            S[90 + base + k] = static_cast<int32_t>(y);
        }
        if (f.flags.interruptRequest != 0) {
            // A click ends the movement without drawing the frames between.
            if (moving) {
                t = longest;
                continue;
            }
            S[19] = 1;
        }
        ComposeScene(f);
        f.plat.surface().BlitWhole(f.gfx.scene);
        f.plat.surface().Update();
        if (!moving) break;
        t += WaitFrame(f, 30);
    }
    CopyPicture(f.gfx.screen, f.gfx.scene);
    f.flags.busy = false;
    f.flags.interruptibleEffect = false;
}

void GameinitSprites(TForm1& f) {
    static const int32_t kX[10] = {400, 250, 550, 200, 400, 600, 100, 300, 500, 700};
    for (int i = 0; i < 10; ++i) {
        f.vars.S[80 + i] = kX[i];
        f.vars.S[90 + i] = 0;
    }
}

}  // namespace velmora
