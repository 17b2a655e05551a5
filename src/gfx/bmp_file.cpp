// Windows bitmap files (the panic picture). Every field is checked before
// it is used.
#include <cstdint>
#include <cstring>
#include <vector>

#include "data/file_io.h"
#include "gfx/image_files.h"

namespace velmora {

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool ReadBmpFile(const std::string& path, Picture& picture) {
    std::vector<uint8_t> file;
    // Far above any picture the engine shows; a larger file is not a picture of ours.
    constexpr size_t kBmpFileLimit = 64u << 20;
    return ReadWholeFile(path, file, kBmpFileLimit) && file.size() <= kBmpFileLimit &&
           DecodeBmp(file.data(), file.size(), picture);
}

bool DecodeBmp(const uint8_t* data, size_t size, Picture& picture) {
    struct Bytes {
        const uint8_t* p;
        size_t n;
        size_t size() const { return n; }
        const uint8_t* data() const { return p; }
        uint8_t operator[](size_t i) const { return p[i]; }
    } file{data, size};
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return false;
    const uint8_t* h = file.data() + 14;
    const uint32_t headerSize = U32(h);
    if (headerSize < 40 || 14 + static_cast<size_t>(headerSize) > file.size()) return false;
    const int32_t width = static_cast<int32_t>(U32(h + 4));
    const int32_t rawHeight = static_cast<int32_t>(U32(h + 8));
    const int bits = U16(h + 14);
    const uint32_t compression = U32(h + 16);
    if (width <= 0 || width > kMaxPictureSide || rawHeight == 0 || rawHeight < -kMaxPictureSide ||
        rawHeight > kMaxPictureSide || compression != 0)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    const bool topDown = rawHeight < 0;
    const int height = topDown ? -rawHeight : rawHeight;
    if (!PictureSizeAllowed(static_cast<unsigned>(width), static_cast<unsigned>(height))) return false;
    const size_t paletteAt = 14 + headerSize;
    uint32_t colours = bits <= 8 ? U32(h + 32) : 0;
    if (bits <= 8 && (colours == 0 || colours > (1u << bits))) colours = 1u << bits;
    if (paletteAt + static_cast<size_t>(colours) * 4 > file.size()) return false;
    const size_t offset = U32(file.data() + 10);
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    if (offset > file.size() || stride * height > file.size() - offset) return false;
    Picture out;
    out.Resize(width, height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = file.data() + offset + stride * (topDown ? y : height - 1 - y);
        uint8_t* d = out.Row(y);
        for (int x = 0; x < width; ++x, d += 3) {
            if (bits >= 24) {
                std::memcpy(d, row + x * (bits / 8), 3);
                continue;
            }
            uint32_t index = bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15
                                                            : (row[x / 8] >> (7 - x % 8)) & 1;
            if (index >= colours) index = 0;
            std::memcpy(d, file.data() + paletteAt + index * 4, 3);
        }
    }
    picture = std::move(out);
    return true;
}

}  // namespace velmora
