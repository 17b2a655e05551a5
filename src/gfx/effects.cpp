// The timed cross-fades, the mosaic, the sepia fade and the effect script's
// flashes, negative flashes and window shakes.
#include "gfx/effects.h"

#include <algorithm>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/composition.h"
#include "gfx/frame_clock.h"
#include "gfx/graphics_commands.h"
#include "gfx/pixel_ops.h"
#include "script/loader.h"

namespace velmora {

namespace {

void ShowAll(TForm1& f, const Picture& pic) {
    f.plat.surface().BlitWhole(pic);
    f.plat.surface().Update();
}

int32_t ReadNumber(const std::string& s) {
    const char* p = s.c_str();
    while (*p == ' ') ++p;
    bool neg = false;
    if (*p == '+' || *p == '-') neg = *p++ == '-';
    int64_t v = 0;
    while (*p >= '0' && *p <= '9' && v < 100000000) v = v * 10 + (*p++ - '0');
    return static_cast<int32_t>(neg ? -v : v);
}

}  // namespace

void EnsureScreenSize(Picture& p) {
    if (p.width != kScreenWidth || p.height != kScreenHeight) p.Resize(kScreenWidth, kScreenHeight);
}

int ColourChannel(char c) {
    if (c >= '0' && c <= '9') return 16 * (c - '0');
    if (c >= 'a' && c <= 'f') return 16 * (c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return 16 * (c - 'A' + 10);
    if (c == 'g' || c == 'G') return 255;
    return 0;
}

uint32_t ColourFromName(const char* name) {
    // A short name reads its missing characters as 0.
    char c[3] = {0, 0, 0};
    for (int i = 0; i < 3 && name[0] && name[i + 1]; ++i) c[i] = name[i + 1];
    if (!name[0]) return 0;
    return static_cast<uint32_t>(ColourChannel(c[0])) | static_cast<uint32_t>(ColourChannel(c[1])) << 8 |
           static_cast<uint32_t>(ColourChannel(c[2])) << 16;
}

void TimedCrossfade(TForm1& f, int kind) {
    int step = 12;
    uint32_t interval = 40;
    switch (kind) {
        case 1: step = 24; interval = 40; break;
        case 2: step = 12; interval = 40; break;
        case 3: step = 5; interval = 50; break;
        case 4: step = 2; interval = 50; break;
        default: break;
    }
    f.flags.busy = true;
    f.flags.interruptibleEffect = true;
    f.flags.interruptRequest = 0;
    // Up to and including full weight.
    CrossfadeFrames(f, f.gfx.screen, f.gfx.previous, 0, step, interval, 257, true);
    f.flags.busy = false;
    f.flags.interruptibleEffect = false;
    ShowAll(f, f.gfx.screen);
}

void CrossfadeFrames(TForm1& f, const Picture& to, const Picture& from, int weight, int step, uint32_t interval,
                     int end, bool stoppable) {
    EnsureScreenSize(f.gfx.work);
    StartFrameClock(f);
    do {
        CrossfadeScreen(to, from, weight, f.gfx.work);
        ShowAll(f, f.gfx.work);
        if (stoppable && f.flags.interruptRequest != 0) break;
        weight += step * WaitFrame(f, interval);
    } while (weight < end);
}

void Mosaic(TForm1& f, const Picture& source, int size) {
    Picture& work = f.gfx.work;
    EnsureScreenSize(work);
    if (size < 1) size = 1;
    const int w = std::min(source.width, kScreenWidth), h = std::min(source.height, kScreenHeight);
    for (int by = 0; by < h; by += size) {
        int bh = std::min(size, h - by);
        for (int bx = 0; bx < w; bx += size) {
            int bw = std::min(size, w - bx);
            const uint8_t* px = source.Pixel(bx, by);
            uint8_t* row = work.Pixel(bx, by);
            for (int x = 0; x < bw; ++x) std::memcpy(row + 3 * x, px, 3);
            for (int y = 1; y < bh; ++y) std::memcpy(work.Pixel(bx, by + y), row, static_cast<size_t>(bw) * 3);
        }
    }
    ShowAll(f, work);
}

void SepiaFade(TForm1& f) {
    f.flags.busy = true;
    EnsureScreenSize(f.gfx.work);
    // The scene filter's sepia form, applied once to the scene itself.
    int32_t filter = f.vars.S[11];
    f.vars.S[11] = 2;
    ApplySceneFilter(f);
    f.vars.S[11] = filter;
    CopyPicture(f.gfx.screen, f.gfx.scene);
    f.gfx.composing = true;
    DrawWindowLayers(f);
    f.gfx.composing = false;
    CrossfadeFrames(f, f.gfx.screen, f.gfx.previous, 48, 8, 20, 256, false);
    ShowAll(f, f.gfx.screen);
    f.flags.busy = false;
}

bool ParseEffectDefinition(const char* script, int32_t length, const char* name, EffectStep* steps, int& count) {
    count = 0;
    int32_t pos = 0;
    bool found = false;
    while (pos < length) {
        std::string line = ReadTableLine(script, length, pos);
        if (!line.empty() && line[0] == ':' && EqualsNoCase(line.c_str() + 1, name)) {
            found = true;
            break;
        }
    }
    if (!found) return false;
    auto add = [&](EffectKind kind, int32_t duration, int32_t a, int32_t b) {
        // Definitions longer than the list keep their first steps.
        if (count >= kEffectStepsMax) return;
        steps[count++] = EffectStep{kind, duration, a, b};
    };
    constexpr int kFieldsMax = 512;
    static std::string fields[kFieldsMax];
    while (pos < length) {
        std::string line = ReadTableLine(script, length, pos);
        if (line.empty()) continue;
        if (line[0] == ':') break;
        int n = SplitTableFields(line, fields, kFieldsMax);
        switch (AsciiUpper(line[0])) {
            case 'F':
                for (int i = 0; i + 1 < n; i += 2) {
                    const std::string& spec = fields[i];
                    if (spec.empty() || AsciiUpper(spec[0]) != 'F') break;
                    int32_t duration = ReadNumber(fields[i + 1]);
                    if (spec.size() == 1) {
                        add(EffectKind::ShowScreen, duration, 0, 0);
                    } else {
                        uint32_t colour = ColourFromName(spec.c_str());
                        if (spec.size() >= 5) add(EffectKind::Tint, duration, static_cast<int32_t>(colour), ColourChannel(spec[4]));
                        else add(EffectKind::Fill, duration, static_cast<int32_t>(colour), 0);
                    }
                }
                break;
            case 'N':
                for (int i = 1; i < n && !fields[i].empty(); ++i)
                    add(i % 2 == 1 ? EffectKind::Negative : EffectKind::ShowScreen, ReadNumber(fields[i]), 0, 0);
                break;
            case 'S': {
                if (n < 2) break;
                int32_t duration = ReadNumber(fields[1]);
                for (int i = 2; i + 1 < n && !fields[i].empty() && !fields[i + 1].empty(); i += 2)
                    add(EffectKind::Move, duration, ReadNumber(fields[i]), ReadNumber(fields[i + 1]));
                break;
            }
            default: break;
        }
    }
    return true;
}

void EffectCommand(TForm1& f, const char* args) {
    platform::Window& window = f.plat.window();
    const int left = window.Left(), top = window.Top();
    static EffectStep steps[kEffectStepsMax];
    int count = 0;
    std::string name(args);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!LoadScript(f, "effect", 2)) {
        ContentError("effect", "effect %s: there is no effect script", TraceText(name).c_str());
    } else if (!ParseEffectDefinition(f.loader.table, f.loader.tableLength, name.c_str(), steps, count)) {
        ContentError("effect", "effect %s: not defined in the effect script", TraceText(name).c_str());
    }
    Picture& work = f.gfx.work;
    EnsureScreenSize(work);
    EnsureScreenSize(f.gfx.previous);
    bool negativeReady = false;
    StartFrameClock(f);
    for (int i = 0; i < count; ++i) {
        const EffectStep& s = steps[i];
        switch (s.kind) {
            case EffectKind::ShowScreen: ShowAll(f, f.gfx.screen); break;
            case EffectKind::Fill:
                f.plat.surface().Fill(static_cast<uint32_t>(s.a));
                f.plat.surface().Update();
                break;
            case EffectKind::Tint:
                FillPicture(f.gfx.previous, static_cast<uint32_t>(s.a));
                FillPicture(work, static_cast<uint32_t>(s.a));
                CrossfadeScreen(f.gfx.previous, f.gfx.screen, s.b, work);
                negativeReady = false;
                ShowAll(f, work);
                break;
            case EffectKind::Negative:
                if (!negativeReady) {
                    const size_t n = std::min(work.bytes.size(), f.gfx.screen.bytes.size());
                    for (size_t k = 0; k < n; ++k) work.bytes[k] = static_cast<uint8_t>(~f.gfx.screen.bytes[k]);
                    negativeReady = true;
                }
                ShowAll(f, work);
                break;
            case EffectKind::Move: window.Move(left + s.a, top + s.b); break;
        }
        WaitFrame(f, static_cast<uint32_t>(std::max(s.duration, 0)));
    }
    ShowAll(f, f.gfx.screen);
    window.Move(left, top);
    Trace("effect %s: %d steps", TraceText(name).c_str(), count);
}

}  // namespace velmora
