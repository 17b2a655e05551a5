// Animated cursor files: the RIFF container, its first "icon" frame and the
// device-independent bitmap inside it. Every offset is checked.
#include "ui/cursor_file.h"

#include <cstring>

namespace velmora {

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr int kMaxCursorSide = 256;

// One icon or cursor file (ICONDIR, first entry, bitmap with AND mask).
bool ParseIconFile(const uint8_t* d, size_t n, CursorImage& out) {
    if (n < 6 + 16 || U16(d) != 0 || (U16(d + 2) != 1 && U16(d + 2) != 2) || U16(d + 4) == 0) return false;
    const bool isCursor = U16(d + 2) == 2;
    const uint8_t* e = d + 6;
    const uint32_t bytes = U32(e + 8), offset = U32(e + 12);
    if (offset > n || bytes > n - offset || bytes < 40) return false;
    const uint8_t* b = d + offset;
    if (std::memcmp(b, "\x89PNG", 4) == 0) return false;
    const uint32_t header = U32(b);
    if (header < 40 || header > bytes) return false;
    const int32_t w = static_cast<int32_t>(U32(b + 4));
    const int32_t h2 = static_cast<int32_t>(U32(b + 8));
    const int bits = U16(b + 14);
    if (w <= 0 || w > kMaxCursorSide || h2 <= 0 || h2 > 2 * kMaxCursorSide || h2 % 2 || U32(b + 16) != 0) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    const int h = h2 / 2;
    uint32_t colours = bits <= 8 ? U32(b + 32) : 0;
    if (bits <= 8 && (colours == 0 || colours > (1u << bits))) colours = 1u << bits;
    const size_t palette = header;
    const size_t xorAt = palette + static_cast<size_t>(colours) * 4;
    const size_t xorStride = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
    const size_t andStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
    const size_t andAt = xorAt + xorStride * h;
    if (andAt + andStride * h > bytes) return false;
    out.colour.Resize(w, h);
    out.alpha.Resize(w, h);
    bool anyAlpha = false;
    if (bits == 32)
        for (int y = 0; y < h && !anyAlpha; ++y)
            for (int x = 0; x < w && !anyAlpha; ++x) anyAlpha = b[xorAt + xorStride * y + 4 * x + 3] != 0;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = b + xorAt + xorStride * (h - 1 - y);
        const uint8_t* mask = b + andAt + andStride * (h - 1 - y);
        for (int x = 0; x < w; ++x) {
            uint8_t* c = out.colour.Pixel(x, y);
            uint8_t a = (mask[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
            if (bits >= 24) {
                std::memcpy(c, row + x * (bits / 8), 3);
                if (anyAlpha) a = row[4 * x + 3];
            } else {
                uint32_t i = bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15
                                                            : (row[x / 8] >> (7 - x % 8)) & 1;
                if (i >= colours) i = 0;
                std::memcpy(c, b + palette + i * 4, 3);
            }
            uint8_t* ap = out.alpha.Pixel(x, y);
            ap[0] = ap[1] = ap[2] = a;
        }
    }
    out.hotX = isCursor ? std::min<int>(U16(e + 4), w - 1) : 0;
    out.hotY = isCursor ? std::min<int>(U16(e + 6), h - 1) : 0;
    return true;
}

// The first "icon" chunk in the chunks of [p, end).
const uint8_t* FindIcon(const uint8_t* p, const uint8_t* end, uint32_t& size, int depth) {
    while (end - p >= 8) {
        const uint32_t n = U32(p + 4);
        if (n > static_cast<size_t>(end - p - 8)) return nullptr;
        if (std::memcmp(p, "icon", 4) == 0) {
            size = n;
            return p + 8;
        }
        if (std::memcmp(p, "LIST", 4) == 0 && n >= 4 && depth < 4) {
            if (const uint8_t* icon = FindIcon(p + 12, p + 8 + n, size, depth + 1)) return icon;
        }
        p += 8 + n + (n & 1);
    }
    return nullptr;
}

}  // namespace

bool ParseCursorFile(const uint8_t* data, size_t size, CursorImage& out) {
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "ACON", 4) == 0) {
        const size_t riff = std::min<size_t>(U32(data + 4), size - 8);
        uint32_t n = 0;
        const uint8_t* icon = FindIcon(data + 12, data + 8 + riff, n, 0);
        return icon && ParseIconFile(icon, n, out);
    }
    return ParseIconFile(data, size, out);
}

}  // namespace velmora
