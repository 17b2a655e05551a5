// The demo's animation and script object, drawn and synthesised at build
// time into its game folder: anim/sunrise/ gets the numbered frames of a
// sunrise over the hills and its chime as sound.wav, pictures/ the stacked
// masked star for obj_.
#include <cmath>
#include <cstdio>
#include <string>

#include "data/file_io.h"
#include "gfx/png_file.h"
#include "tools/sound_encoder.h"

using velmora::Picture;

namespace {

constexpr int kW = 320, kH = 240, kFrames = 30;

void Put(Picture& p, int x, int y, int b, int g, int r) {
    uint8_t* d = p.Pixel(x, y);
    d[0] = static_cast<uint8_t>(b), d[1] = static_cast<uint8_t>(g), d[2] = static_cast<uint8_t>(r);
}

// Frame i: the sky brightens, the sun climbs behind a still hill line, so
// most frames change only around the sun and the packer makes patches.
Picture Sunrise(int i) {
    Picture p;
    p.Resize(kW, kH);
    const double t = static_cast<double>(i) / (kFrames - 1);
    const int sunX = 200, sunY = static_cast<int>(210 - 130 * t);
    const int sky = i < 10 ? 0 : i < 20 ? 1 : 2;  // the sky changes in three steps
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int hill = 170 + static_cast<int>(18 * std::sin(x * 0.03));
            if (y >= hill) {
                Put(p, x, y, 30, 90 + (y - hill) / 3, 40);
                continue;
            }
            const int d2 = (x - sunX) * (x - sunX) + (y - sunY) * (y - sunY);
            if (d2 < 22 * 22) Put(p, x, y, 60, 200, 255);
            else Put(p, x, y, 120 + 40 * sky - y / 4, 60 + 45 * sky + y / 6, 40 + 60 * sky + y / 3);
        }
    return p;
}

// A five-pointed star, colour above and its mask below, as obj_ stamps it.
Picture Star() {
    const int n = 48;
    Picture p;
    p.Resize(n, 2 * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double dx = x - n / 2.0 + 0.5, dy = y - n / 2.0 + 0.5;
            const double a = std::atan2(dy, dx), r = std::sqrt(dx * dx + dy * dy);
            const double edge = 11 + 11 * std::pow(std::fabs(std::cos(2.5 * a + 1.5708)), 3);
            const int m = r < edge - 1 ? 255 : r < edge ? static_cast<int>(255 * (edge - r)) : 0;
            Put(p, x, y, 40, 210 - y * 2, 255);
            Put(p, x, n + y, m, m, m);
        }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_anim GAME_DIR\n");
        return 2;
    }
    const std::string frames = std::string(argv[1]) + "/anim/sunrise", pictures = std::string(argv[1]) + "/pictures";
    if (!velmora::MakeDirectories(frames) || !velmora::MakeDirectories(pictures)) {
        std::fprintf(stderr, "make_anim: cannot create %s and %s\n", frames.c_str(), pictures.c_str());
        return 1;
    }
    for (int i = 0; i < kFrames; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/sun%02d.png", i);
        if (!velmora::WritePng(frames + name, Sunrise(i))) return 1;
    }
    // A rising chime, two seconds.
    velmora::tools::PcmSound s;
    s.rate = 22050;
    for (int i = 0; i < 2 * 22050; ++i) {
        const double t = i / 22050.0;
        const double v = std::sin(2 * M_PI * (440 + 220 * t) * t) * std::exp(-1.2 * t) +
                         0.5 * std::sin(2 * M_PI * 660 * t) * std::exp(-2.0 * t);
        s.samples.push_back(static_cast<int16_t>(9000 * v));
    }
    if (!velmora::WriteFileAtomic(frames + "/sound.wav", velmora::tools::WriteWav(s))) return 1;
    return velmora::WritePng(pictures + "/OBJ_STAR.png", Star()) ? 0 : 1;
}
