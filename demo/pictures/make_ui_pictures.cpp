// Draws the demo's choice buttons as stacked pictures (colour above, alpha
// below): "sys_sw" and "sys_sw2" for the list, "sys_sw_m1" and
// "sys_sw_m1om" for the novel-style list.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/file_io.h"
#include "gfx/png_file.h"

namespace {

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
                   "  draws the demo's choice buttons into OUTDIR as PNG files\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    const std::string dir = argv[1];
    if (!velmora::MakeDirectories(dir)) {
        std::fprintf(stderr, "velmora-demo-ui-pictures: cannot create %s\n", dir.c_str());
        return 1;
    }
    bool ok = Write(dir, "sys_sw.png", Button(400, 40, {40, 50, 90}, {15, 20, 45}, {150, 160, 200}, 210));
    ok = ok && Write(dir, "sys_sw2.png", Button(400, 40, {90, 80, 40}, {45, 35, 10}, {255, 220, 120}, 230));
    ok = ok && Write(dir, "sys_sw_m1.png", Button(360, 30, {30, 30, 40}, {10, 10, 20}, {120, 120, 140}, 150));
    ok = ok && Write(dir, "sys_sw_m1om.png", Button(360, 30, {70, 60, 30}, {40, 30, 10}, {255, 220, 120}, 200));
    return ok ? 0 : 1;
}
