// PNG files through stb_image_write and stb_image, for builds without libpng
// (the browser).
#include "gfx/png_file.h"

#include <cstring>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb/stb_image.h>

#include "data/file_io.h"

namespace velmora {

namespace {

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

}  // namespace

bool WritePng(const std::string& path, const Picture& picture) { return WritePngWithAlpha(path, picture, nullptr); }

bool WritePngWithAlpha(const std::string& path, const Picture& picture, const Picture* alpha) {
    if (alpha && (alpha->width != picture.width || alpha->height != picture.height)) return false;
    if (picture.width <= 0 || picture.height <= 0) return false;
    const int channels = alpha ? 4 : 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(picture.width) * picture.height * channels);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* s = picture.Pixel(x, y);
            uint8_t* d = &pixels[(static_cast<size_t>(y) * picture.width + x) * channels];
            d[0] = s[2], d[1] = s[1], d[2] = s[0];
            if (alpha) d[3] = alpha->Pixel(x, y)[0];
        }
    std::vector<uint8_t> out;
    if (!stbi_write_png_to_func(AppendBytes, &out, picture.width, picture.height, channels, pixels.data(),
                                picture.width * channels))
        return false;
    return WriteFileAtomic(path, out);
}

bool ReadPng(const std::string& path, Picture& picture, Picture* alpha, bool* hadAlpha) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes) || bytes.empty() || bytes.size() > 0x7FFFFFFF) return false;
    int w = 0, h = 0, comp = 0;
    const int size = static_cast<int>(bytes.size());
    if (!stbi_info_from_memory(bytes.data(), size, &w, &h, &comp) || w <= 0 || h <= 0 || w > 16384 || h > 16384)
        return false;
    unsigned char* rgba = stbi_load_from_memory(bytes.data(), size, &w, &h, &comp, 4);
    if (!rgba) return false;
    picture.Resize(w, h);
    if (alpha) alpha->Resize(w, h);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        const uint8_t* s = &rgba[i * 4];
        uint8_t* d = &picture.bytes[i * 3];
        d[0] = s[2], d[1] = s[1], d[2] = s[0];
        if (alpha) std::memset(&alpha->bytes[i * 3], s[3], 3);
    }
    stbi_image_free(rgba);
    if (hadAlpha) *hadAlpha = comp == 2 || comp == 4;
    return true;
}

}  // namespace velmora
