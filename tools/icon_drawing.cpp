#include "tools/icon_drawing.h"

#include <cmath>
#include <cstdint>

#include "tools/drawing.h"

namespace velmora::tools {

using drawing::Edge;
using drawing::RoundRect;

namespace {

struct Rgb {
    double r, g, b;
};

// Paints colour over what is there with the given coverage.
void Paint(Picture& colour, Picture& alpha, int x, int y, Rgb c, double cover) {
    if (cover <= 0) return;
    uint8_t* d = colour.Pixel(x, y);
    uint8_t* a = alpha.Pixel(x, y);
    const double below = a[0] / 255.0;
    const double out = cover + below * (1 - cover);
    auto mix = [&](uint8_t old, double v) {
        const double o = out > 0 ? (v * cover + old * below * (1 - cover)) / out : 0;
        return static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, o))));
    };
    d[0] = mix(d[0], c.b);
    d[1] = mix(d[1], c.g);
    d[2] = mix(d[2], c.r);
    a[0] = a[1] = a[2] = static_cast<uint8_t>(std::lround(out * 255));
}

}  // namespace

// Drawn in a 256-unit square.
void DrawIcon(int n, Picture& colour, Picture& alpha) {
    colour.Resize(n, n);
    alpha.Resize(n, n);
    const double s = n / 256.0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double u = (x + 0.5) / s, v = (y + 0.5) / s;
            const double px = 1 / s;  // one pixel in units
            const double tile = RoundRect(u, v, 8, 8, 248, 248, 48) / px;
            const Rgb sky{24 + 40 * v / 256, 30 + 30 * v / 256, 78 + 60 * v / 256};
            Paint(colour, alpha, x, y, sky, Edge(tile));
            // The moon with a soft glow.
            const double moon = (std::hypot(u - 176, v - 76) - 34) / px;
            Paint(colour, alpha, x, y, {255, 236, 170}, Edge(moon - 24 / px) * 0.18 * (tile < 0));
            Paint(colour, alpha, x, y, {255, 240, 190}, Edge(moon));
            // A hill line under it.
            const double hill = v - (150 + 18 * std::sin(u / 40.0));
            Paint(colour, alpha, x, y, {40, 60, 110}, Edge(-hill / px) * (tile < 0));
            // The message window with two lines of text.
            const double window = RoundRect(u, v, 28, 150, 228, 226, 14) / px;
            Paint(colour, alpha, x, y, {12, 16, 44}, Edge(window) * 0.85);
            Paint(colour, alpha, x, y, {170, 190, 240}, Edge(std::fabs(window + 1.2) - 1.2 * (n >= 128 ? 1 : 0.6)));
            for (int line = 0; line < 2; ++line) {
                const double top = 170 + line * 26, len = line == 0 ? 150 : 100;
                const double text = RoundRect(u, v, 48, top, 48 + len, top + 10, 5) / px;
                Paint(colour, alpha, x, y, {235, 238, 250}, Edge(text));
            }
        }
}

}  // namespace velmora::tools
