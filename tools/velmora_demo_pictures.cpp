// velmora-demo-pictures: draws the demo game's pictures (backgrounds, the
// title screen and two character sprites) as PNG files, so that no picture
// is kept in the repository. Everything is computed from gradients, shapes
// and the installed Japanese face.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/encoding.h"
#include "data/file_io.h"
#include "gfx/png_file.h"
#include "text/glyph_outline.h"

using velmora::Picture;

namespace {

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void Put(Picture& p, int x, int y, Rgb c) {
    uint8_t* d = p.Pixel(x, y);
    d[0] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 255.0));
    d[1] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 255.0));
    d[2] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 255.0));
}

Rgb Get(const Picture& p, int x, int y) {
    const uint8_t* d = p.Pixel(x, y);
    return {static_cast<double>(d[2]), static_cast<double>(d[1]), static_cast<double>(d[0])};
}

// Blends colour c into (x, y) with coverage a (0 ... 1).
void Cover(Picture& p, Picture* alpha, int x, int y, Rgb c, double a) {
    if (a <= 0) return;
    a = std::min(a, 1.0);
    Put(p, x, y, Mix(Get(p, x, y), c, a));
    if (alpha) {
        uint8_t* m = alpha->Pixel(x, y);
        double old = m[0] / 255.0;
        uint8_t v = static_cast<uint8_t>(std::lround(255.0 * (old + (1 - old) * a)));
        m[0] = m[1] = m[2] = v;
    }
}

// Coverage of a shape from its signed distance (negative inside).
double Edge(double distance) { return std::clamp(0.5 - distance, 0.0, 1.0); }

double EllipseDistance(double x, double y, double cx, double cy, double rx, double ry) {
    double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return (std::sqrt(dx * dx + dy * dy) - 1.0) * std::min(rx, ry);
}

uint32_t Hash(uint32_t v) {
    v ^= v >> 16;
    v *= 0x7feb352d;
    v ^= v >> 15;
    v *= 0x846ca68b;
    v ^= v >> 16;
    return v;
}

// A landscape: sky gradient, sun or moon, stars at night, two hill ranges.
Picture Landscape(Rgb skyTop, Rgb skyLow, Rgb sun, double sunX, double sunY, double sunR, Rgb hillFar,
                  Rgb hillNear, bool stars) {
    Picture p;
    p.Resize(800, 600);
    for (int y = 0; y < 600; ++y) {
        Rgb sky = Mix(skyTop, skyLow, y / 420.0);
        for (int x = 0; x < 800; ++x) Put(p, x, y, sky);
    }
    if (stars) {
        for (int i = 0; i < 220; ++i) {
            uint32_t h = Hash(static_cast<uint32_t>(i) * 7919u + 17u);
            int x = static_cast<int>(h % 800), y = static_cast<int>((h >> 10) % 380);
            double bright = 120 + (h >> 20) % 136;
            Cover(p, nullptr, x, y, {bright, bright, bright * 0.9 + 25}, 0.9);
        }
    }
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            double d = EllipseDistance(x, y, sunX, sunY, sunR, sunR);
            Cover(p, nullptr, x, y, sun, Edge(d));
            if (d > 0 && d < sunR * 1.5) Cover(p, nullptr, x, y, sun, 0.25 * (1 - d / (sunR * 1.5)));
        }
    }
    for (int x = 0; x < 800; ++x) {
        double far = 360 + 40 * std::sin(x / 97.0) + 18 * std::sin(x / 31.0 + 1.3);
        double near = 450 + 35 * std::sin(x / 150.0 + 2.0) + 10 * std::sin(x / 47.0);
        for (int y = 0; y < 600; ++y) {
            Cover(p, nullptr, x, y, Mix(hillFar, skyLow, 0.15), Edge(far - y));
            Cover(p, nullptr, x, y, Mix(hillNear, {0, 0, 0}, (y - near) / 400.0), Edge(near - y));
        }
    }
    return p;
}

// A stylised character from the waist up: hair, face, body, with an alpha
// channel that is 0 around the figure. As high as the screen, so the body
// goes on under the message window to the screen's bottom edge.
void Character(Picture& colour, Picture& alpha, Rgb hair, Rgb dress, Rgb eyes, double hairLength) {
    const int w = 320, h = 600;
    colour.Resize(w, h);
    alpha.Resize(w, h);
    const double cx = w / 2.0;
    Rgb skin{250, 222, 200};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Hair behind the head.
            double back = EllipseDistance(x, y, cx, 150, 105, 100 + hairLength);
            Cover(colour, &alpha, x, y, Mix(hair, {0, 0, 0}, (y - 60) / 700.0), Edge(back));
            // Body: from the shoulders down, widening less and less so it
            // stays inside the picture down to its foot.
            double half = 70 + 80 * (1 - std::exp((260.0 - y) / 150));
            double body = y < 260 ? 1e9 : std::max(std::fabs(x - cx) - half, 260.0 - y);
            double shoulders = EllipseDistance(x, y, cx, 300, 120, 60);
            double dressD = std::min(body, shoulders);
            Cover(colour, &alpha, x, y, Mix(dress, {255, 255, 255}, 0.25 - (y - 260) / 1200.0), Edge(dressD));
            // Neck and face.
            double neck = std::max(std::fabs(x - cx) - 22, std::fabs(y - 235.0) - 30);
            Cover(colour, &alpha, x, y, Mix(skin, {200, 150, 130}, 0.3), Edge(neck));
            double face = EllipseDistance(x, y, cx, 160, 72, 88);
            Cover(colour, &alpha, x, y, skin, Edge(face));
            // Fringe over the forehead.
            double fringe = std::max(EllipseDistance(x, y, cx, 105, 88, 52), y - 112.0 - 6 * std::sin(x / 9.0));
            Cover(colour, &alpha, x, y, hair, Edge(fringe));
            // Eyes and a small smile.
            for (int side = -1; side <= 1; side += 2) {
                double eye = EllipseDistance(x, y, cx + side * 28, 165, 11, 14);
                Cover(colour, &alpha, x, y, eyes, Edge(eye));
                double shine = EllipseDistance(x, y, cx + side * 28 - 3, 160, 3, 4);
                Cover(colour, &alpha, x, y, {255, 255, 255}, Edge(shine));
            }
            double mouth = std::fabs(EllipseDistance(x, y, cx, 196, 16, 9)) - 1.5;
            if (y > 198) Cover(colour, &alpha, x, y, {190, 90, 90}, Edge(mouth));
        }
    }
}

// Text through the engine's font service, with its top-left corner at (x,
// y); returns its width. A negative x centres it on the picture.
int Text(Picture& p, const char* family, int points, bool bold, int x, int y, const char* utf8, Rgb c) {
    velmora::OutlineFont font;
    velmora::FontRequest request;
    request.family = family;
    request.pointSize = points;
    request.bold = bold;
    if (!font.Open(request)) return -1;
    const std::string text = velmora::ToCp932(utf8);
    Picture scratch;
    const int width = font.DrawText(scratch, 0, 0, text, 0);
    if (x < 0) x = (p.width - width) / 2;
    const uint32_t colour = static_cast<uint32_t>(c.r) | static_cast<uint32_t>(c.g) << 8 |
                            static_cast<uint32_t>(c.b) << 16;
    font.DrawText(p, x, y, text, colour);
    return width;
}

// Softens a picture with a box blur of the given radius, n times.
void Blur(Picture& p, int radius, int n) {
    Picture tmp = p;
    for (int pass = 0; pass < 2 * n; ++pass) {
        const bool across = pass % 2 == 0;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                int sum[3] = {}, count = 0;
                for (int k = -radius; k <= radius; ++k) {
                    const int sx = across ? x + k : x, sy = across ? y : y + k;
                    if (sx < 0 || sy < 0 || sx >= p.width || sy >= p.height) continue;
                    const uint8_t* s = p.Pixel(sx, sy);
                    sum[0] += s[0], sum[1] += s[1], sum[2] += s[2];
                    ++count;
                }
                uint8_t* d = tmp.Pixel(x, y);
                for (int i = 0; i < 3; ++i) d[i] = static_cast<uint8_t>(sum[i] / count);
            }
        }
        std::swap(p, tmp);
    }
}

// The title screen: the night hills under a deep sky, the game's name with
// a soft glow near the top, and room in the middle for the title's choices.
bool TitleScreen(Picture& p) {
    p = Landscape({4, 6, 26}, {40, 36, 92}, {250, 244, 220}, 640, 96, 30, {34, 36, 80}, {12, 26, 32}, true);
    const char* mincho = "ＭＳ Ｐ明朝";
    // The glow: the name drawn on black, blurred, and added to the sky.
    Picture glow;
    glow.Resize(p.width, 170);
    if (Text(glow, mincho, 54, true, -1, 12, "Velmora", {120, 150, 255}) < 0) return false;
    Blur(glow, 6, 3);
    for (int y = 0; y < glow.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* g = glow.Pixel(x, y);
            const Rgb sky = Get(p, x, y);
            Put(p, x, y, {sky.r + g[2] * 1.6, sky.g + g[1] * 1.6, sky.b + g[0] * 1.6});
        }
    Text(p, mincho, 54, true, -1, 12, "Velmora", {246, 240, 255});
    Text(p, mincho, 18, false, -1, 90, "― デモ ―", {200, 205, 240});
    // A thin rule under the subtitle, fading out to both sides.
    for (int x = 250; x < 550; ++x) {
        const double t = 1 - std::fabs(x - 400) / 150.0;
        Cover(p, nullptr, x, 120, {170, 180, 230}, 0.8 * t);
    }
    return true;
}

bool Write(const std::string& dir, const std::string& name, const Picture& p) {
    std::string path = dir + "/" + name;
    if (!velmora::WritePng(path, p)) {
        std::fprintf(stderr, "velmora-demo-pictures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Colour and alpha as one RGBA PNG.
bool WriteRgba(const std::string& dir, const std::string& name, const Picture& colour, const Picture& alpha) {
    const std::string path = dir + "/" + name;
    if (velmora::WritePngWithAlpha(path, colour, &alpha)) return true;
    std::fprintf(stderr, "velmora-demo-pictures: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: velmora-demo-pictures OUTDIR\n"
                   "  draws the demo game's pictures into OUTDIR as PNG files\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    std::string dir = argv[1];
    if (!velmora::MakeDirectories(dir)) {
        std::fprintf(stderr, "velmora-demo-pictures: cannot create %s\n", dir.c_str());
        return 1;
    }
    bool ok = Write(dir, "A_HILLS.png",
                    Landscape({60, 110, 190}, {250, 190, 140}, {255, 240, 200}, 560, 250, 46, {110, 120, 170},
                              {60, 110, 70}, false));
    ok = ok && Write(dir, "A_NIGHT.png",
                     Landscape({8, 10, 35}, {50, 50, 100}, {240, 240, 215}, 180, 120, 34, {30, 35, 70},
                               {15, 30, 30}, true));
    Picture title;
    if (!TitleScreen(title)) {
        std::fputs("velmora-demo-pictures: no Japanese font for the title\n", stderr);
        return 1;
    }
    ok = ok && Write(dir, "A_TITLE.png", title);
    Picture colour, alpha;
    Character(colour, alpha, {120, 70, 40}, {70, 110, 200}, {60, 120, 60}, 30);
    ok = ok && WriteRgba(dir, "B_AOI.png", colour, alpha);
    Character(colour, alpha, {30, 30, 45}, {200, 80, 100}, {120, 60, 30}, 140);
    ok = ok && WriteRgba(dir, "B_KOU.png", colour, alpha);
    return ok ? 0 : 1;
}
