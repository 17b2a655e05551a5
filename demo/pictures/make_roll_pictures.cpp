// Draws the demo's choice-tree and credit pictures: the tree backdrops
// "treelv0" ... "treelv5" (one tint per value of V100), the root button
// "tree1a" with its highlight "tree1b" and the row button "tree2a" with
// "tree2b", all stacked (colour above, alpha below); and "A_DAWN", the
// dawn sky the credits end on.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/file_io.h"
#include "gfx/png_file.h"
#include "tools/drawing.h"

namespace {

using velmora::Picture;
using velmora::drawing::Edge;
using velmora::drawing::RoundRect;

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

void Put(Picture& p, int x, int y, Rgb c) {
    uint8_t* d = p.Pixel(x, y);
    d[0] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 255.0));
    d[1] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 255.0));
    d[2] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 255.0));
}

void PutAlpha(Picture& p, int x, int y, double a) {
    uint8_t* d = p.Pixel(x, y);
    d[0] = d[1] = d[2] = static_cast<uint8_t>(std::clamp(a * 255.0, 0.0, 255.0));
}

// A translucent panel with a rounded frame and a faint trunk from the
// root's row down the left, where the rows hang.
Picture Backdrop(Rgb tint) {
    const int w = 722, h = 578;
    Picture p;
    p.Resize(w, 2 * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = RoundRect(x + 0.5, y + 0.5, 1, 1, w - 1, h - 1, 18);
            const double inside = Edge(d);
            const double frame = Edge(std::fabs(d + 4) - 1.2);
            Rgb c = Mix(Mix(tint, {8, 8, 16}, 0.55), Mix(tint, {0, 0, 0}, 0.85), static_cast<double>(y) / h);
            const double trunk = Edge(std::fabs(x - 165.0) - 1.5) * (y > 90 && y < 560 ? 1.0 : 0.0);
            c = Mix(c, {220, 200, 150}, trunk * 0.6);
            c = Mix(c, {235, 225, 200}, frame);
            Put(p, x, y, c);
            PutAlpha(p, x, h + y, inside * std::max(0.78, frame));
        }
    return p;
}

// A button picture w x h whose face (a vertical shade, a light rim, soft
// ends) fills it from column left and row top: the engine sets captions
// one character pitch right of the column's centre and some rows below the
// picture's top, so the face is cut to sit around them.
Picture Button(int w, int h, int left, int top, Rgb faceTop, Rgb faceBottom, Rgb rim, double opacity) {
    const int fh = h - top;
    Picture p;
    p.Resize(w, 2 * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double d = RoundRect(x + 0.5, y + 0.5, left, top, w, h, fh / 2.0 - 1);
            const double rimCover = Edge(std::fabs(d + 1.5) - 1.0);
            Rgb c = Mix(faceTop, faceBottom, std::max(0.0, static_cast<double>(y - top) / fh));
            c = Mix(c, rim, rimCover);
            Put(p, x, y, c);
            PutAlpha(p, x, h + y, Edge(d) * std::max(opacity, rimCover));
        }
    return p;
}

// Dawn over the sea: a sky from deep blue to gold, the sun half risen, its
// light on the water.
Picture Sky() {
    Picture p;
    p.Resize(800, 600);
    const double horizon = 400;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            Rgb c;
            if (y < horizon) {
                const double t = y / horizon;
                c = t < 0.6 ? Mix({20, 30, 80}, {120, 90, 150}, t / 0.6) : Mix({120, 90, 150}, {250, 180, 110}, (t - 0.6) / 0.4);
                const double sun = std::hypot(x - 272.0, y - horizon) - 60;
                c = Mix(c, {255, 230, 170}, Edge(sun));
                c = Mix(c, {255, 210, 150}, std::clamp(0.35 - sun / 400, 0.0, 0.35));
            } else {
                const double t = (y - horizon) / (600 - horizon);
                c = Mix({70, 60, 110}, {15, 20, 50}, t);
                const double glitter = std::fabs(x - 272.0) < 50 * (1 - t * 0.5) && (y / 6 + x / 17) % 3 == 0 ? 0.5 : 0;
                c = Mix(c, {255, 210, 150}, glitter * (1 - t));
            }
            Put(p, x, y, c);
        }
    return p;
}

bool Write(const std::string& dir, const std::string& name, const Picture& p) {
    const std::string path = dir + "/" + name;
    if (velmora::WritePng(path, p)) return true;
    std::fprintf(stderr, "velmora-demo-roll-pictures: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: velmora-demo-roll-pictures OUTDIR\n"
                   "  draws the demo's choice-tree pictures and the credits' sky into OUTDIR as PNG files\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    const std::string dir = argv[1];
    if (!velmora::MakeDirectories(dir)) {
        std::fprintf(stderr, "velmora-demo-roll-pictures: cannot create %s\n", dir.c_str());
        return 1;
    }
    static const Rgb kTints[6] = {{60, 80, 160}, {40, 120, 110}, {150, 70, 90},
                                  {120, 100, 50}, {90, 60, 140}, {70, 70, 80}};
    bool ok = true;
    for (int i = 0; i < 6; ++i) ok = ok && Write(dir, "treelv" + std::to_string(i) + ".png", Backdrop(kTints[i]));
    // Plain buttons carry white captions, lit ones red: dark and light faces.
    // The root's button stands at x 178 (column 1) and 442 (column 2), its
    // caption centred on x 333 and 597 and 5 or 7 rows below the button's
    // top; the row button stands at 227 and 491, its caption 8 rows below
    // its top and centred on the same lines. The glyphs ink from about 4 to
    // 34 rows below the caption's top, so the faces start a little below
    // the pictures' tops and reach down to the next row (rows stand 44
    // apart; a row's face starts 4 rows into its picture). Column 2 is
    // redrawn 284 pixels wide from x 442, so no button is wider.
    const Rgb lit[3] = {{255, 250, 235}, {235, 220, 185}, {215, 160, 60}};
    ok = ok && Write(dir, "tree1a.png", Button(284, 44, 28, 2, {70, 80, 130}, {30, 35, 70}, {200, 205, 235}, 0.9));
    ok = ok && Write(dir, "tree1b.png", Button(284, 44, 28, 2, lit[0], lit[1], lit[2], 0.96));
    ok = ok && Write(dir, "tree2a.png", Button(212, 46, 0, 4, {45, 55, 95}, {20, 25, 50}, {150, 160, 200}, 0.85));
    ok = ok && Write(dir, "tree2b.png", Button(212, 46, 0, 4, lit[0], lit[1], lit[2], 0.96));
    ok = ok && Write(dir, "A_DAWN.png", Sky());
    return ok ? 0 : 1;
}
