#include "text/gfx_interim.h"

#include <algorithm>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"

namespace velmora::interim {

void MaskRows(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, int n, uint8_t* out) {
    for (int g = 0; g < n; ++g, dst += 8, src += 8, mask += 8, out += 8) {
        uint64_t m;
        std::memcpy(&m, mask, 8);
        if (m == 0) {
            if (out != dst) std::memcpy(out, dst, 8);
            continue;
        }
        for (int k = 0; k < 8; ++k) {
            int v = ((dst[k] * (255 - mask[k])) >> 8) + ((src[k] * mask[k]) >> 8);
            out[k] = static_cast<uint8_t>(std::min(v, 255));
        }
    }
}

bool BlitStacked(Picture& dst, int x, int y, const Picture& src) {
    int half = src.height / 2;
    if (x < 0 || y < 0 || x + src.width > dst.width || y + half > dst.height) {
        Trace("ILLEGAL BMP");
        return false;
    }
    int groups = 3 * src.width / 8;
    for (int i = 0; i < half; ++i)
        MaskRows(dst.Pixel(x, y + i), src.Row(i), src.Row(half + i), groups, dst.Pixel(x, y + i));
    return true;
}

void CopyRect(Picture& dst, int dx, int dy, const Picture& src, int sx, int sy, int w, int h) {
    if (sx < 0) { w += sx; dx -= sx; sx = 0; }
    if (sy < 0) { h += sy; dy -= sy; sy = 0; }
    if (dx < 0) { w += dx; sx -= dx; dx = 0; }
    if (dy < 0) { h += dy; sy -= dy; dy = 0; }
    w = std::min({w, src.width - sx, dst.width - dx});
    h = std::min({h, src.height - sy, dst.height - dy});
    if (w <= 0 || h <= 0) return;
    for (int r = 0; r < h; ++r) std::memcpy(dst.Pixel(dx, dy + r), src.Pixel(sx, sy + r), static_cast<size_t>(w) * 3);
}

void FillPicture(Picture& dst, uint32_t colour) {
    for (size_t i = 0; i + 2 < dst.bytes.size(); i += 3) {
        dst.bytes[i] = static_cast<uint8_t>(colour >> 16);
        dst.bytes[i + 1] = static_cast<uint8_t>(colour >> 8);
        dst.bytes[i + 2] = static_cast<uint8_t>(colour);
    }
}

bool LoadPicture(TForm1& f, const std::string& name, Picture& picture) {
    (void)f;
    (void)picture;
    Trace("picture \"%s\": pictures cannot be loaded yet", name.c_str());
    return false;
}

void CrossfadeScreen(const Picture& first, const Picture& second, int w, Picture& out) {
    size_t n = std::min({first.bytes.size(), second.bytes.size(), out.bytes.size()});
    for (size_t i = 0; i < n; ++i)
        out.bytes[i] = static_cast<uint8_t>((first.bytes[i] * w + second.bytes[i] * (256 - w)) >> 8);
}

namespace {
uint32_t frameStamp = 0;
}

void StartFrameClock(TForm1& f) { frameStamp = f.plat.clock().Now(); }

int WaitFrame(TForm1& f, uint32_t ms) {
    f.plat.ProcessMessages();
    uint32_t elapsed = f.plat.clock().Now() - frameStamp;
    if (elapsed < ms) {
        f.plat.clock().Sleep(ms - elapsed);
        frameStamp += ms;
        return 1;
    }
    uint32_t frames = elapsed / ms + 1;
    f.plat.clock().Sleep(frames * ms - elapsed);
    frameStamp += frames * ms;
    return static_cast<int>(frames);
}

void Redraw(TForm1& f, int transition) {
    (void)transition;
    f.plat.surface().BlitWhole(f.gfx.screen);
}

void RevealScreen(TForm1& f) { f.plat.surface().BlitWhole(f.gfx.screen); }

bool AnimatedBackgroundRunning(TForm1& f) {
    (void)f;
    return false;
}

}  // namespace velmora::interim
