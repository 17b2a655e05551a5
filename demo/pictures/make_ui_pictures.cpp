// Draws the demo's choice buttons as stacked pictures (colour above, alpha
// below): "sys_sw" and "sys_sw2" for the list, "sys_sw_m1" and
// "sys_sw_m1om" for the novel-style list; and the status meter "sys_meter",
// eleven frames one under the other, each colour on the left and its mask
// on the right; and the backlog viewer's scroll bar "sys_bl_bar" (normal
// colours, highlighted colours and alpha in three columns), its thumb
// "sys_bl_cur" and the voice marks "sys_blVR" and "sys_blVR2" (colour left,
// mask right).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/drawing.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "gfx/png_file.h"
#include "text/glyph_outline.h"

namespace {

using velmora::drawing::Edge;
using velmora::drawing::RoundRect;

using velmora::Picture;

struct Rgb {
    int r, g, b;
};

// A rounded button: fill with a vertical shade, a border line, soft corners.
Picture Button(int w, int h, Rgb top, Rgb bottom, Rgb border, int opacity, int line = 2) {
    Picture p;
    p.Resize(w, 2 * h);
    const int radius = h / 3;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int cx = x < radius ? radius - x : x >= w - radius ? x - (w - radius - 1) : 0;
            int cy = y < radius ? radius - y : y >= h - radius ? y - (h - radius - 1) : 0;
            const int d2 = cx * cx + cy * cy;
            int alpha = d2 > radius * radius ? 0 : opacity;
            const bool edge = d2 > (radius - line) * (radius - line) ||
                              ((cx == 0 && cy == 0) && (y < line || y >= h - line)) ||
                              (cy == 0 && cx == 0 && (x < line || x >= w - line));
            Rgb c{top.r + (bottom.r - top.r) * y / h, top.g + (bottom.g - top.g) * y / h,
                  top.b + (bottom.b - top.b) * y / h};
            if (edge && alpha) {
                c = border;
                alpha = 255;
            }
            uint8_t* px = p.Pixel(x, y);
            px[0] = static_cast<uint8_t>(c.b), px[1] = static_cast<uint8_t>(c.g), px[2] = static_cast<uint8_t>(c.r);
            uint8_t* a = p.Pixel(x, h + y);
            a[0] = a[1] = a[2] = static_cast<uint8_t>(alpha);
        }
    }
    return p;
}

// ---- The status meter ----

constexpr int kMeterWidth = 120, kMeterHeight = 95, kMeterFrames = 11;
constexpr double kPi = 3.14159265358979323846;

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {static_cast<int>(std::lround(a.r + (b.r - a.r) * t)), static_cast<int>(std::lround(a.g + (b.g - a.g) * t)),
            static_cast<int>(std::lround(a.b + (b.b - a.b) * t))};
}

// Paints colour c with coverage a over (x, y) of a frame, and raises the
// frame's mask to hold it.
void Paint(Picture& colour, Picture& mask, int x, int y, Rgb c, double a) {
    if (a <= 0) return;
    a = std::min(a, 1.0);
    uint8_t* d = colour.Pixel(x, y);
    const Rgb old{d[2], d[1], d[0]};
    const Rgb n = Mix(old, c, a);
    d[0] = static_cast<uint8_t>(n.b), d[1] = static_cast<uint8_t>(n.g), d[2] = static_cast<uint8_t>(n.r);
    uint8_t* m = mask.Pixel(x, y);
    const double was = m[0] / 255.0;
    m[0] = m[1] = m[2] = static_cast<uint8_t>(std::lround(255 * (was + (1 - was) * a)));
}

// Text centred on (cx, top), in the colour and into the mask.
void CentredText(velmora::OutlineFont& font, Picture& colour, Picture& mask, int cx, int top, const char* utf8,
                 Rgb c) {
    const std::string text = velmora::ToCp932(utf8);
    Picture scratch;
    const int width = font.DrawText(scratch, 0, 0, text, 0);
    const uint32_t bgr = static_cast<uint32_t>(c.r) | static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b) << 16;
    font.DrawText(colour, cx - width / 2, top, text, bgr);
    font.DrawText(mask, cx - width / 2, top, text, 0xFFFFFF);
}

// Frame i of the meter: a dark card with ten segments on an arc, the first
// i of them lit from cool to warm, the state's number in the middle and the
// meter's name under it.
void MeterFrame(int lit, velmora::OutlineFont& big, velmora::OutlineFont& small, Picture& colour, Picture& mask) {
    const int w = kMeterWidth, h = kMeterHeight;
    colour.Resize(w, h);
    mask.Resize(w, h);
    const double cx = 60, cy = 56, inner = 29, outer = 41;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double card = RoundRect(px, py, 2, 2, w - 2, h - 2, 10);
            Paint(colour, mask, x, y, Mix({10, 14, 40}, {4, 6, 20}, py / h), Edge(card) * 0.78);
            Paint(colour, mask, x, y, {150, 170, 225}, Edge(std::fabs(card + 0.8) - 0.6));
            // Angles from 200 degrees (left, a little below the centre) down
            // to -20 degrees, clockwise, in ten segments with small gaps.
            const double r = std::hypot(px - cx, py - cy);
            double angle = std::atan2(cy - py, px - cx) * 180 / kPi;
            if (angle < -90) angle += 360;
            const double along = (200 - angle) / 24;  // 0 ... 10 over the arc
            if (along < 0 || along >= 10) continue;
            const int k = static_cast<int>(along);
            const double gap = std::min(along - k, k + 1 - along) * 24 * kPi / 180 * r;  // pixels to the gap
            const double cover = Edge(std::max({inner - r, r - outer, 1.2 - gap}));
            const Rgb on = Mix({110, 200, 255}, {255, 110, 160}, k / 9.0);
            Paint(colour, mask, x, y, k < lit ? on : Rgb{44, 52, 88}, cover);
        }
    }
    char number[4];
    std::snprintf(number, sizeof number, "%d", lit);
    CentredText(big, colour, mask, 60, 38, number, {255, 255, 255});
    CentredText(small, colour, mask, 60, 74, "なかよし度", {200, 210, 240});
}

bool StatusMeter(Picture& sheet) {
    velmora::OutlineFont big, small;
    velmora::FontRequest request;
    request.family = "ＭＳ ゴシック";
    request.bold = true;
    request.pointSize = 18;
    if (!big.Open(request)) return false;
    request.bold = false;
    request.pointSize = 9;
    if (!small.Open(request)) return false;
    sheet.Resize(2 * kMeterWidth, kMeterHeight * kMeterFrames);
    for (int i = 0; i < kMeterFrames; ++i) {
        Picture colour, mask;
        MeterFrame(i, big, small, colour, mask);
        for (int y = 0; y < kMeterHeight; ++y) {
            std::memcpy(sheet.Pixel(0, kMeterHeight * i + y), colour.Row(y), colour.Stride());
            std::memcpy(sheet.Pixel(kMeterWidth, kMeterHeight * i + y), mask.Row(y), mask.Stride());
        }
    }
    return true;
}

// ---- The backlog viewer ----

// Straight-alpha layering: colour c at coverage a over what the pixel holds,
// its alpha kept in `alpha` (grey) at (ax, y).
void Layer(Picture& colour, int x, int y, Picture& alpha, int ax, Rgb c, double a) {
    if (a <= 0) return;
    a = std::min(a, 1.0);
    uint8_t* d = colour.Pixel(x, y);
    uint8_t* m = alpha.Pixel(ax, y);
    const double was = m[0] / 255.0, now = a + was * (1 - a);
    const Rgb old{d[2], d[1], d[0]};
    const Rgb n = Mix(old, c, a / now);
    d[0] = static_cast<uint8_t>(n.b), d[1] = static_cast<uint8_t>(n.g), d[2] = static_cast<uint8_t>(n.r);
    m[0] = m[1] = m[2] = static_cast<uint8_t>(std::lround(255 * now));
}

// The share of pixel (x, y) inside a shape, from 4 x 4 samples.
template <typename Inside>
double Cover(int x, int y, Inside inside) {
    int n = 0;
    for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) n += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
    return n / 16.0;
}

// An arrow head with its point at (cx, tip), `height` rows tall towards
// `dir` (-1 up, +1 down), twice as wide as tall.
bool InArrow(double px, double py, double cx, double tip, double height, int dir) {
    const double along = (py - tip) * -dir;  // 0 at the tip, growing towards the base
    return along >= 0 && along <= height && std::fabs(px - cx) <= along;
}

struct BarLook {
    Rgb top, bottom, border, arrow;
};
constexpr BarLook kBarNormal{{32, 40, 82}, {14, 18, 46}, {98, 114, 170}, {238, 232, 214}};
constexpr BarLook kBarHover{{86, 110, 178}, {46, 62, 122}, {206, 218, 255}, {255, 255, 255}};

// The bar's parts by its own rows (the viewer stands it at window row 10):
// to the oldest line, up, the track, down, to the newest line.
constexpr int kBlBarWidth = 24, kBlBarHeight = 561;
struct BarButtonRows {
    int top, bottom, dir;  // dir: the arrow's way, -1 up, +1 down
    bool toEnd;            // a stop line before the arrow's point
};
constexpr BarButtonRows kBlButtons[4] = {{0, 22, -1, true}, {23, 38, -1, false}, {530, 544, 1, false},
                                         {545, 560, 1, true}};
constexpr int kBlTrackTop = 39, kBlTrackBottom = 529;

// One look of the bar into `colour`, its alpha into column `ax` of `alpha`.
void DrawBar(const BarLook& look, Picture& colour, int cx0, Picture& alpha, int ax0) {
    const double mid = kBlBarWidth / 2.0;
    for (int y = kBlTrackTop; y <= kBlTrackBottom; ++y) {
        for (int x = 0; x < kBlBarWidth; ++x) {
            const double d = RoundRect(x + 0.5, y + 0.5, 6, kBlTrackTop + 1, kBlBarWidth - 6, kBlTrackBottom, 5);
            Layer(colour, cx0 + x, y, alpha, ax0 + x, Mix({6, 8, 24}, {16, 20, 50}, (x - 6) / 12.0), Edge(d) * 0.8);
            Layer(colour, cx0 + x, y, alpha, ax0 + x, kBarNormal.border, Edge(std::fabs(d + 0.6) - 0.5) * 0.8);
        }
    }
    for (const BarButtonRows& b : kBlButtons) {
        const int h = b.bottom - b.top + 1;
        const double centre = b.top + h / 2.0;
        const double arrowHeight = std::min(5.0, h / 3.0);
        // The point, with the stop line (if any) just beyond it.
        const double tip = centre + b.dir * (b.toEnd ? arrowHeight / 2 - 0.5 : arrowHeight / 2);
        const double stop = tip + b.dir * 2.5;
        for (int y = b.top; y <= b.bottom; ++y) {
            for (int x = 0; x < kBlBarWidth; ++x) {
                const double d = RoundRect(x + 0.5, y + 0.5, 1, b.top + 1, kBlBarWidth - 1, b.bottom, 4);
                const Rgb fill = Mix(look.top, look.bottom, (y - b.top) / double(h - 1));
                Layer(colour, cx0 + x, y, alpha, ax0 + x, fill, Edge(d) * 0.92);
                Layer(colour, cx0 + x, y, alpha, ax0 + x, look.border, Edge(std::fabs(d + 0.6) - 0.5));
                const double mark = Cover(x, y, [&](double px, double py) {
                    if (InArrow(px, py, mid, tip, arrowHeight, b.dir)) return true;
                    return b.toEnd && std::fabs(px - mid) <= 5 && std::fabs(py - stop) <= 0.75;
                });
                Layer(colour, cx0 + x, y, alpha, ax0 + x, look.arrow, mark);
            }
        }
    }
}

// "sys_bl_bar": normal colours in columns 0-23, highlighted 24-47, alpha
// 48-71 (the same shapes serve both looks).
Picture BacklogBar() {
    Picture sheet, hoverAlpha;
    sheet.Resize(3 * kBlBarWidth, kBlBarHeight);
    hoverAlpha.Resize(kBlBarWidth, kBlBarHeight);
    DrawBar(kBarNormal, sheet, 0, sheet, 2 * kBlBarWidth);
    DrawBar(kBarHover, sheet, kBlBarWidth, hoverAlpha, 0);
    return sheet;
}

// "sys_bl_cur": the thumb, an ivory pill with three grip lines.
Picture BacklogThumb() {
    const int w = 16, h = 20;
    Picture p;
    p.Resize(2 * w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double d = RoundRect(x + 0.5, y + 0.5, 1, 1, w - 1, h - 1, 4);
            Layer(p, x, y, p, w + x, Mix({255, 251, 238}, {214, 204, 176}, y / double(h - 1)), Edge(d));
            Layer(p, x, y, p, w + x, {98, 114, 170}, Edge(std::fabs(d + 0.6) - 0.5));
            const bool grip = (y == 7 || y == 10 || y == 13) && x >= 4 && x < w - 4;
            if (grip) Layer(p, x, y, p, w + x, {120, 110, 86}, 0.8);
        }
    }
    return p;
}

// "sys_blVR" and "sys_blVR2": a speaker with two sound waves at the left of
// a faint band that fades out to the right; 256 x 23 colour, mask beside.
Picture VoiceMark(Rgb band, double bandAlpha, Rgb speaker) {
    const int w = 256, h = 23;
    Picture p;
    p.Resize(2 * w, h);
    const double cy = h / 2.0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double d = RoundRect(x + 0.5, y + 0.5, 1, 2, w, h - 2, 5);
            const double fade = std::clamp((w - 8 - (x + 0.5)) / 150.0, 0.0, 1.0);
            Layer(p, x, y, p, w + x, band, Edge(d) * bandAlpha * fade);
            const double mark = Cover(x, y, [&](double px, double py) {
                const double dy = std::fabs(py - cy);
                if (px >= 6 && px <= 10 && dy <= 3) return true;                   // the box
                if (px > 10 && px <= 15 && dy <= 3 + (px - 10) * 0.9) return true;  // the cone
                const double r = std::hypot(px - 14, py - cy);
                const bool ahead = px - 14 > dy * 0.8;
                return ahead && (std::fabs(r - 5.5) <= 0.8 || std::fabs(r - 8.5) <= 0.8);  // the waves
            });
            Layer(p, x, y, p, w + x, speaker, mark);
        }
    }
    return p;
}

bool Write(const std::string& dir, const char* name, const Picture& p) {
    const std::string path = dir + "/" + name;
    if (velmora::WritePng(path, p)) return true;
    std::fprintf(stderr, "velmora-demo-ui-pictures: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: velmora-demo-ui-pictures OUTDIR\n"
                   "  draws the demo's choice buttons, status meter and backlog viewer parts\n"
                   "  into OUTDIR as PNG files\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    const std::string dir = argv[1];
    if (!velmora::MakeDirectories(dir)) {
        std::fprintf(stderr, "velmora-demo-ui-pictures: cannot create %s\n", dir.c_str());
        return 1;
    }
    bool ok = Write(dir, "sys_sw.png", Button(400, 40, {40, 50, 90}, {15, 20, 45}, {150, 160, 200}, 210));
    // The list's highlight carries red text: a light face keeps it readable.
    ok = ok && Write(dir, "sys_sw2.png", Button(400, 40, {255, 251, 238}, {238, 224, 190}, {214, 160, 60}, 245));
    // The novel-style labels are drawn 3 rows into their button and, at the
    // largest font size, ink (with their shadow) down to its row 33: the
    // button takes the whole TX2_PITCH_Y = 36 rows it stands in, with a
    // one-row frame line, so the text stays off the frame.
    ok = ok && Write(dir, "sys_sw_m1.png", Button(360, 36, {30, 30, 40}, {10, 10, 20}, {120, 120, 140}, 150, 1));
    ok = ok && Write(dir, "sys_sw_m1om.png", Button(360, 36, {70, 60, 30}, {40, 30, 10}, {255, 220, 120}, 200, 1));
    Picture meter;
    if (!StatusMeter(meter)) {
        std::fputs("velmora-demo-ui-pictures: no Japanese font for the status meter\n", stderr);
        return 1;
    }
    ok = ok && Write(dir, "sys_meter.png", meter);
    ok = ok && Write(dir, "sys_bl_bar.png", BacklogBar()) && Write(dir, "sys_bl_cur.png", BacklogThumb());
    ok = ok && Write(dir, "sys_blVR.png", VoiceMark({46, 62, 122}, 0.45, {238, 232, 214}));
    ok = ok && Write(dir, "sys_blVR2.png", VoiceMark({86, 110, 178}, 0.7, {255, 204, 110}));
    return ok ? 0 : 1;
}
