// Draws the demo's choice buttons as stacked pictures (colour above, alpha
// below): "sys_sw" and "sys_sw2" for the list, "sys_sw_m1" and
// "sys_sw_m1om" for the novel-style list; and the status meter "sys_meter",
// eleven frames one under the other, each colour on the left and its mask
// on the right.
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
Picture Button(int w, int h, Rgb top, Rgb bottom, Rgb border, int opacity) {
    Picture p;
    p.Resize(w, 2 * h);
    const int radius = h / 3;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int cx = x < radius ? radius - x : x >= w - radius ? x - (w - radius - 1) : 0;
            int cy = y < radius ? radius - y : y >= h - radius ? y - (h - radius - 1) : 0;
            const int d2 = cx * cx + cy * cy;
            int alpha = d2 > radius * radius ? 0 : opacity;
            const bool edge = d2 > (radius - 2) * (radius - 2) || ((cx == 0 && cy == 0) && (y < 2 || y >= h - 2)) ||
                              (cy == 0 && cx == 0 && (x < 2 || x >= w - 2));
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
                   "  draws the demo's choice buttons and status meter into OUTDIR as PNG files\n",
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
    // The novel-style labels are drawn 3 rows into their button and ink down
    // to its row 29: 34 rows keep them off the frame line (the buttons stand
    // TX2_PITCH_Y = 36 rows apart).
    ok = ok && Write(dir, "sys_sw_m1.png", Button(360, 34, {30, 30, 40}, {10, 10, 20}, {120, 120, 140}, 150));
    ok = ok && Write(dir, "sys_sw_m1om.png", Button(360, 34, {70, 60, 30}, {40, 30, 10}, {255, 220, 120}, 200));
    Picture meter;
    if (!StatusMeter(meter)) {
        std::fputs("velmora-demo-ui-pictures: no Japanese font for the status meter\n", stderr);
        return 1;
    }
    ok = ok && Write(dir, "sys_meter.png", meter);
    return ok ? 0 : 1;
}
