// The 25 numbered transitions from the previous-screen picture (old) to the
// screen picture (new). Each is a loop that draws straight onto the window
// and paces itself with the frame clock or a deadline; input reaches it only
// through the interrupt request.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/engine.h"
#include "gfx/composition.h"
#include "gfx/effects.h"
#include "gfx/frame_clock.h"
#include "gfx/pixel_ops.h"
#include "gfx/transitions.h"

namespace velmora {

namespace {

constexpr int W = kScreenWidth;
constexpr int H = kScreenHeight;

platform::Surface& Win(TForm1& f) { return f.plat.surface(); }
uint32_t Tick(TForm1& f) { return f.plat.clock().Now(); }

// Copies a rectangle of pic onto the same place of the window.
void ShowRect(TForm1& f, const Picture& pic, int x, int y, int w, int h) { Win(f).Blit(pic, x, y, w, h, x, y); }

void ShowAll(TForm1& f, const Picture& pic) {
    Win(f).BlitWhole(pic);
    Win(f).Update();
}

// The per-step check of the interruptible transitions: on a request the
// new picture is shown whole and the script learns that it was cut short.
bool CutShort(TForm1& f) {
    if (f.flags.interruptRequest == 0) return false;
    ShowAll(f, f.gfx.screen);
    f.vars.S[19] = 1;
    return true;
}

void VerticalBlinds(TForm1& f) {
    for (int s = 0; s < 16; ++s) {
        uint32_t t = Tick(f);
        for (int x = s; x < W; x += 16) ShowRect(f, f.gfx.screen, x, 0, 1, H);
        Win(f).Update();
        WaitUntil(f, t + 15);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void HorizontalBlinds(TForm1& f) {
    for (int s = 0; s < 16; ++s) {
        uint32_t t = Tick(f);
        for (int y = s; y < H; y += 16) ShowRect(f, f.gfx.screen, 0, y, W, 1);
        Win(f).Update();
        WaitUntil(f, t + 20);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void StripWipe(TForm1& f) {
    for (int fr = 0; fr < 70; ++fr) {
        uint32_t t = Tick(f);
        for (int i = 0; i < 16; ++i) {
            int c = fr + i - 15;
            if (c >= 0 && c < 80) ShowRect(f, f.gfx.screen, 16 * c, 0, 16 - i, H);
        }
        Win(f).Update();
        WaitUntil(f, t + 20);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void CircleSpan(TForm1& f, int row, int w) { ShowRect(f, f.gfx.screen, 400 - w, row, 2 * w + 1, 1); }

void CircleOpening(TForm1& f) {
    int64_t dx = std::llabs(static_cast<int64_t>(f.vars.S[20]) - 400);
    int64_t dy = std::llabs(static_cast<int64_t>(f.vars.S[21]) - 300);
    int64_t limit = std::max(dx, dy) + 500;
    for (int64_t rr = 5; rr < limit; rr += 10) {
        uint32_t t = Tick(f);
        // Past the screen's corners every span is the full width.
        int r = static_cast<int>(std::min<int64_t>(rr, 2000));
        int d = r, x = r, y = 0;
        while (x >= y) {
            if (y <= 300) {
                int w = std::min(x, 400);
                CircleSpan(f, 300 - y, w);
                CircleSpan(f, 300 + y, w);
            }
            if (x <= 300) {
                int w = std::min(y, 400);
                CircleSpan(f, 300 - x, w);
                CircleSpan(f, 300 + x, w);
            }
            y = y + 1;
            d = d - (2 * (y - 1) - 1);
            if (d < 0) {
                d = d + 2 * (x - 1);
                x = x - 1;
            }
        }
        Win(f).Update();
        WaitUntil(f, t + 20);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void RandomTiles(TForm1& f) {
    CopyPicture(f.gfx.work, f.gfx.previous);
    int tiles[100];
    for (int i = 0; i < 100; ++i) tiles[i] = i;
    for (int i = 0; i < 100; ++i) std::swap(tiles[i], tiles[f.rng.Next(100)]);
    int order[132];
    for (int& o : order) o = -1;
    for (int i = 0; i < 100; ++i) order[16 + i] = tiles[i];
    auto tile = [&](int t, int w) {
        if (t < 0) return;
        int x = (t % 10) * 80, y = (t / 10) * 60;
        CrossfadeTile(f, x, y, w);
        ShowRect(f, f.gfx.work, x, y, 80, 60);
    };
    StartFrameClock(f);
    for (int fr = 0; fr < 116;) {
        // Frames skipped on a slow machine must not leave tiles half done.
        if (fr >= 4)
            for (int p = fr - 3; p <= fr; ++p) tile(order[p], 0);
        for (int d = 0; d <= 16; ++d) tile(order[fr + d], 16 * d);
        Win(f).Update();
        fr += WaitFrame(f, 20);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void QuickCrossfade(TForm1& f) {
    CrossfadeFrames(f, f.gfx.screen, f.gfx.previous, 48, 16, 10, 256, false);
    ShowAll(f, f.gfx.screen);
    // Not cut short, but the script still learns of the click.
    if (f.flags.interruptRequest != 0) f.vars.S[19] = 1;
}

void RowsFromEdges(TForm1& f) {
    for (int y = 0; y < H;) {
        uint32_t t = Tick(f);
        for (int k = 0; k < 5 && y < H; ++k, y += 2) {
            ShowRect(f, f.gfx.screen, 0, y, W, 1);
            ShowRect(f, f.gfx.screen, 0, H - 1 - y, W, 1);
        }
        Win(f).Update();
        WaitUntil(f, t + 15);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void ColumnsFromEdges(TForm1& f) {
    for (int x = 0; x < W;) {
        uint32_t t = Tick(f);
        for (int k = 0; k < 5 && x < W; ++k, x += 2) {
            ShowRect(f, f.gfx.screen, x, 0, 1, H);
            ShowRect(f, f.gfx.screen, W - 1 - x, 0, 1, H);
        }
        Win(f).Update();
        WaitUntil(f, t + 10);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void GrowingSquares(TForm1& f, int g) {
    const int h = g / 2;
    const int rows = g == 64 ? 10 : 19;
    const int frames = g == 64 ? 57 : 59;
    for (int fr = 0; fr < frames; ++fr) {
        uint32_t t = Tick(f);
        for (int i = 0; i < h; ++i) {
            int sum = fr + i - h;
            int side = 2 * (h - i);
            for (int c = 0; c < 25; ++c) {
                int j = sum - c;
                if (j < 0 || j >= rows) continue;
                ShowRect(f, f.gfx.screen, g * c + h - side / 2, g * j + h - side / 2, side, side);
            }
        }
        Win(f).Update();
        WaitUntil(f, t + 30);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

// 32 pixels of mask 0 and then a 256-pixel ramp, three equal bytes a pixel.
struct GradientStrip {
    uint8_t bytes[288 * 3];
    GradientStrip() {
        for (int i = 0; i < 288; ++i) {
            uint8_t v = static_cast<uint8_t>(i < 32 ? 0 : i - 32);
            bytes[3 * i] = bytes[3 * i + 1] = bytes[3 * i + 2] = v;
        }
    }
};

void SoftWipe(TForm1& f) {
    static const GradientStrip strip;
    Picture& work = f.gfx.work;
    const Picture& scr = f.gfx.screen;
    const Picture& prev = f.gfx.previous;
    CopyPicture(work, prev);
    StartFrameClock(f);
    for (int p = -280; p < W;) {
        for (int y = 0; y < H; ++y) {
            if (p < 0) {
                int n = (3 * p + 864) / 8;
                if (n > 0) MaskRows(scr.Row(y), prev.Row(y), strip.bytes + 3 * -p, n, work.Row(y));
            } else if (p <= 512) {
                MaskRows(scr.Pixel(p, y), prev.Pixel(p, y), strip.bytes, 108, work.Pixel(p, y));
            } else {
                MaskRows(scr.Pixel(p, y), prev.Pixel(p, y), strip.bytes, (2400 - 3 * p) / 8, work.Pixel(p, y));
            }
        }
        ShowAll(f, work);
        p += 8 * WaitFrame(f, 20);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void RandomHalfLines(TForm1& f) {
    struct Half {
        int16_t y, x0, x1;
    };
    Half halves[2 * H];
    for (int y = 0; y < H; ++y) {
        int16_t s = static_cast<int16_t>(f.rng.Next(600) + 20);
        halves[2 * y] = {static_cast<int16_t>(y), 0, s};
        halves[2 * y + 1] = {static_cast<int16_t>(y), s, static_cast<int16_t>(W)};
    }
    for (int i = 0; i < 2 * H; ++i) std::swap(halves[i], halves[2 * f.rng.Next(600)]);
    for (int step = 0; step < 50; ++step) {
        for (int k = 0; k < 24; ++k) {
            const Half& h = halves[step * 24 + k];
            ShowRect(f, f.gfx.screen, h.x0, h.y, h.x1 - h.x0, 1);
        }
        Win(f).Update();
        f.plat.clock().Sleep(20);
        f.plat.ProcessMessages();
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void MorphBand(TForm1& f) {
    Picture& prev = f.gfx.previous;
    const Picture& scr = f.gfx.screen;
    for (int p = -124; p < 664; p += 8) {
        for (int y = std::max(p, 0); y < std::min(p + 128, H); ++y) {
            uint8_t* b = prev.Row(y);
            const uint8_t* t = scr.Row(y);
            for (int i = 0; i < W * 3; ++i) {
                int v = b[i], g = t[i];
                b[i] = static_cast<uint8_t>(v < g ? std::min(v + 16, g) : std::max(v - 16, g));
            }
        }
        ShowAll(f, prev);
        f.plat.ProcessMessages();
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void DiagonalStrips(TForm1& f) {
    Picture& prev = f.gfx.previous;
    const Picture& scr = f.gfx.screen;
    for (int fr = 0; fr < 95; ++fr) {
        uint32_t t = Tick(f);
        for (int i = 0; i < 20; ++i) {
            int w = 20 - i;
            int c = fr + i - 19;
            for (int y = 0; y < H; ++y) {
                int x0 = std::max(20 * c - y, 0);
                int x1 = std::min(20 * c - y + w, W);
                if (x1 > x0) std::memcpy(prev.Pixel(x0, y), scr.Pixel(x0, y), static_cast<size_t>(x1 - x0) * 3);
            }
        }
        if (fr & 1) {
            ShowAll(f, prev);
            WaitUntil(f, t + 30);
        }
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void QuarterDissolve(TForm1& f) {
    Picture& work = f.gfx.work;
    const Picture& prev = f.gfx.previous;
    const Picture& scr = f.gfx.screen;
    CopyPicture(work, prev);
    const int n = f.vars.S[16] >= 1 && f.vars.S[16] <= 128 ? f.vars.S[16] : 16;
    static uint8_t table[65536];
    for (int k = 1; k <= n; ++k) {
        for (int phase = 0; phase < 4; ++phase) {
            uint32_t t = Tick(f);
            // table[old + 256 * new]
            for (int i = 0; i < 65536; ++i) table[i] = static_cast<uint8_t>(((i >> 8) * k + (i & 255) * (n - k)) / n);
            const int x0 = (phase == 0 || phase == 3) ? 0 : 1;
            for (int y = phase & 1; y < H; y += 2) {
                uint8_t* o = work.Row(y);
                const uint8_t* a = prev.Row(y);
                const uint8_t* b = scr.Row(y);
                for (int x = x0; x < W; x += 2)
                    for (int c = 3 * x; c < 3 * x + 3; ++c) o[c] = table[a[c] + 256 * b[c]];
            }
            ShowAll(f, work);
            f.plat.ProcessMessages();
            WaitUntil(f, t + 50);
            if (CutShort(f)) return;
        }
    }
    ShowAll(f, f.gfx.screen);
}

void HalvesMeet(TForm1& f) {
    StartFrameClock(f);
    int w = 32;
    do {
        int ww = std::min(w, 400);
        Win(f).Blit(f.gfx.screen, 400 - ww, 0, ww, H, 0, 0);
        Win(f).Blit(f.gfx.screen, 400, 0, ww, H, W - ww, 0);
        Win(f).Update();
        w += 32 * WaitFrame(f, 40);
        if (CutShort(f)) return;
    } while (w < 401);
    ShowAll(f, f.gfx.screen);
}

void PushRight(TForm1& f) {
    StartFrameClock(f);
    int x = 0;
    do {
        int xx = std::min(x, W);
        Win(f).Blit(f.gfx.screen, W - xx, 0, xx, H, 0, 0);
        Win(f).Blit(f.gfx.previous, 0, 0, W - xx, H, xx, 0);
        Win(f).Update();
        x += 20 * WaitFrame(f, 15);
        if (CutShort(f)) return;
    } while (x < W);
    ShowAll(f, f.gfx.screen);
}

void MosaicSwap(TForm1& f) {
    static const int sizes[10] = {2, 3, 4, 6, 8, 12, 16, 20, 28, 40};
    StartFrameClock(f);
    for (int i = 0; i < 10;) {
        Mosaic(f, f.gfx.previous, sizes[i]);
        i += WaitFrame(f, 80);
        if (CutShort(f)) return;
    }
    for (int i = 9; i >= 0;) {
        Mosaic(f, f.gfx.screen, sizes[i]);
        i -= WaitFrame(f, 80);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

void ZoomFade(TForm1& f) {
    Picture& work = f.gfx.work;
    const Picture& prev = f.gfx.previous;
    const Picture& scr = f.gfx.screen;
    uint8_t line[W * 3 + 8];
    int sx[W];
    StartFrameClock(f);
    for (int w = 8; w < 256;) {
        for (int x = 0; x < W; ++x) sx[x] = 400 + ((x - 400) * 76800 / (w + 300)) / 256;
        for (int y = 0; y < H; ++y) {
            int sy = 300 + ((y - 300) * 76800 / (w + 300)) / 256;
            const uint8_t* src = prev.Row(sy);
            for (int x = 0; x < W; ++x) std::memcpy(line + 3 * x, src + 3 * sx[x], 3);
            BlendRows(scr.Row(y), line, w, work.Row(y), kScreenGroups);
        }
        ShowAll(f, work);
        w += 8 * WaitFrame(f, 15);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

// Old slides out one way and fades, new slides in from the other side.
// Both rows sit in zero-margined buffers so reads past a row give black.
void SlideFade(TForm1& f, bool left) {
    constexpr int kLine = 1056;  // 800 pixels and a 256-pixel margin
    static uint8_t oldLine[kLine * 3], newLine[kLine * 3];
    std::memset(oldLine, 0, sizeof oldLine);
    std::memset(newLine, 0, sizeof newLine);
    // Transition 22: old at the buffer start, new after the margin, both
    // read from x + w. Transition 23 the other way round, read from x + 256 - w.
    uint8_t* oldAt = left ? oldLine : oldLine + 256 * 3;
    uint8_t* newAt = left ? newLine + 256 * 3 : newLine;
    Picture& work = f.gfx.work;
    StartFrameClock(f);
    for (int w = 8; w < 256;) {
        int shift = left ? w : 256 - w;
        for (int y = 0; y < H; ++y) {
            std::memcpy(oldAt, f.gfx.previous.Row(y), W * 3);
            std::memcpy(newAt, f.gfx.screen.Row(y), W * 3);
            BlendRows(newLine + 3 * shift, oldLine + 3 * shift, w, work.Row(y), kScreenGroups);
        }
        ShowAll(f, work);
        w += 8 * WaitFrame(f, 15);
        if (CutShort(f)) return;
    }
    ShowAll(f, f.gfx.screen);
}

}  // namespace

// Even-odd scan-line fill of a polygon, sampling pixel centres.
void FillPolygon(Picture& dst, const int* xs, const int* ys, int n, uint32_t colour) {
    if (n < 3 || dst.Empty()) return;
    int ymin = ys[0], ymax = ys[0];
    for (int i = 1; i < n; ++i) {
        ymin = std::min(ymin, ys[i]);
        ymax = std::max(ymax, ys[i]);
    }
    ymin = std::max(ymin, 0);
    ymax = std::min(ymax, dst.height - 1);
    const uint8_t b = static_cast<uint8_t>(colour >> 16), g = static_cast<uint8_t>(colour >> 8),
                  r = static_cast<uint8_t>(colour);
    double cross[64];
    for (int py = ymin; py <= ymax; ++py) {
        double yc = py + 0.5;
        int k = 0;
        for (int i = 0; i < n && k < 64; ++i) {
            int j = (i + 1) % n;
            double y0 = ys[i], y1 = ys[j];
            if ((y0 <= yc && yc < y1) || (y1 <= yc && yc < y0))
                cross[k++] = xs[i] + (yc - y0) * (xs[j] - xs[i]) / (y1 - y0);
        }
        std::sort(cross, cross + k);
        for (int i = 0; i + 1 < k; i += 2) {
            int x0 = std::max(static_cast<int>(std::ceil(cross[i] - 0.5)), 0);
            int x1 = std::min(static_cast<int>(std::ceil(cross[i + 1] - 0.5)), dst.width);
            for (int x = x0; x < x1; ++x) {
                uint8_t* p = dst.Pixel(x, py);
                p[0] = b;
                p[1] = g;
                p[2] = r;
            }
        }
    }
}

namespace {

void StarOpening(TForm1& f) {
    Picture& mask = f.gfx.mask;
    mask.Resize(W, H);
    StartFrameClock(f);
    int r = 5, a = 0;
    constexpr double kRad = 3.14159265358979323846 / 180.0;
    while (r < 660) {
        FillPicture(mask, 0);
        int g = std::min(r >> 1, 255);
        int xs[10], ys[10];
        for (int k = 0; k < 10; ++k) {
            double angle = (36 * k + r) * kRad;
            double radius = (k & 1) ? ((r + a) >> 1) : r;
            xs[k] = static_cast<int>(400 - std::cos(angle) * radius);
            ys[k] = static_cast<int>(300 + std::sin(angle) * radius);
        }
        FillPolygon(mask, xs, ys, 10, static_cast<uint32_t>(g) * 0x010101u);
        MaskScreen(f);
        int n = WaitFrame(f, 40);
        a = a + n + 2;
        r = r + 5 * n;
        if (CutShort(f)) break;
    }
    mask = Picture();
    if (f.vars.S[19] == 0) ShowAll(f, f.gfx.screen);
}

}  // namespace

void PlayTransition(TForm1& f, int n) {
    switch (n) {
        case 0: ShowAll(f, f.gfx.screen); break;
        case 1: VerticalBlinds(f); break;
        case 2: HorizontalBlinds(f); break;
        case 3: StripWipe(f); break;
        case 4: CircleOpening(f); break;
        case 5: RandomTiles(f); break;
        case 6: QuickCrossfade(f); break;
        case 7: RowsFromEdges(f); break;
        case 8: ColumnsFromEdges(f); break;
        case 9: TimedCrossfade(f, 2); break;
        case 10: GrowingSquares(f, 64); break;
        case 11: GrowingSquares(f, 32); break;
        case 12: SoftWipe(f); break;
        case 13: TimedCrossfade(f, 4); break;
        case 14: RandomHalfLines(f); break;
        case 15: MorphBand(f); break;
        case 16: DiagonalStrips(f); break;
        case 17: QuarterDissolve(f); break;
        case 18: HalvesMeet(f); break;
        case 19: PushRight(f); break;
        case 20: MosaicSwap(f); break;
        case 21: ZoomFade(f); break;
        case 22: SlideFade(f, true); break;
        case 23: SlideFade(f, false); break;
        case 24: StarOpening(f); break;
        default: break;  // above 24 the window keeps the old picture
    }
}

}  // namespace velmora
