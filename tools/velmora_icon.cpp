// velmora-icon: draws the engine's desktop icon (a night scene with a moon
// over a message window) as RGBA PNG files at the sizes a desktop asks for,
// and as an SVG of the same shapes for any other size, so that no picture is
// kept in the repository.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/file_io.h"
#include "gfx/png_file.h"
#include "tools/drawing.h"

using velmora::Picture;
using velmora::drawing::Edge;
using velmora::drawing::RoundRect;

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

// The icon at n x n pixels, drawn in a 256-unit square.
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

// The same icon as SVG, in the same 256-unit square.
std::string IconSvg() {
    std::string hill;
    for (int u = 8; u <= 248; u += 8) {
        char point[48];
        std::snprintf(point, sizeof point, " L%d,%.1f", u, 150 + 18 * std::sin(u / 40.0));
        hill += point;
    }
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
           "  <defs>\n"
           "    <linearGradient id=\"sky\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
           "      <stop offset=\"0\" stop-color=\"#181e4e\"/><stop offset=\"1\" stop-color=\"#403c8a\"/>\n"
           "    </linearGradient>\n"
           "    <clipPath id=\"tile\"><rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" rx=\"48\"/></clipPath>\n"
           "  </defs>\n"
           "  <rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" rx=\"48\" fill=\"url(#sky)\"/>\n"
           "  <g clip-path=\"url(#tile)\">\n"
           "    <circle cx=\"176\" cy=\"76\" r=\"58\" fill=\"#ffecaa\" fill-opacity=\"0.18\"/>\n"
           "    <circle cx=\"176\" cy=\"76\" r=\"34\" fill=\"#fff0be\"/>\n"
           "    <path d=\"M0,150" + hill + " L256,256 L0,256 Z\" fill=\"#283c6e\"/>\n"
           "  </g>\n"
           "  <rect x=\"28\" y=\"150\" width=\"200\" height=\"76\" rx=\"14\" fill=\"#0c102c\" fill-opacity=\"0.85\"\n"
           "        stroke=\"#aabef0\" stroke-width=\"2.4\"/>\n"
           "  <rect x=\"48\" y=\"170\" width=\"150\" height=\"10\" rx=\"5\" fill=\"#ebeefa\"/>\n"
           "  <rect x=\"48\" y=\"196\" width=\"100\" height=\"10\" rx=\"5\" fill=\"#ebeefa\"/>\n"
           "</svg>\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: velmora-icon OUTDIR\n"
                   "  draws the desktop icon into OUTDIR as velmora-48.png, velmora-128.png, velmora-256.png\n"
                   "  and velmora.svg\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    const std::string dir = argv[1];
    if (!velmora::IsDirectory(dir) && !velmora::MakeDirectories(dir)) {
        std::fprintf(stderr, "velmora-icon: cannot create %s\n", dir.c_str());
        return 1;
    }
    for (int n : {48, 128, 256}) {
        Picture colour, alpha;
        DrawIcon(n, colour, alpha);
        const std::string path = dir + "/velmora-" + std::to_string(n) + ".png";
        if (!velmora::WritePngWithAlpha(path, colour, &alpha)) {
            std::fprintf(stderr, "velmora-icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const std::string svg = IconSvg();
    if (!velmora::WriteFileAtomic(dir + "/velmora.svg", svg.data(), svg.size())) {
        std::fprintf(stderr, "velmora-icon: cannot write %s/velmora.svg\n", dir.c_str());
        return 1;
    }
    return 0;
}
