#include "gfx/png_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data/file_io.h"
#include "gfx/image_files.h"

namespace velmora {

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

}  // namespace

bool WritePng(const std::string& path, const Picture& picture) { return WritePngWithAlpha(path, picture, nullptr); }

bool WritePngWithAlpha(const std::string& path, const Picture& picture, const Picture* alpha) {
    if (alpha && (alpha->width != picture.width || alpha->height != picture.height)) return false;
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
                 alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 4);
    for (int y = 0; y < picture.height; ++y) {
        if (!alpha) {
            png_write_row(png, const_cast<png_bytep>(picture.Row(y)));
            continue;
        }
        // Blue, green, red and the alpha picture's first byte, per pixel.
        for (int x = 0; x < picture.width; ++x) {
            std::memcpy(&row[static_cast<size_t>(x) * 4], picture.Pixel(x, y), 3);
            row[static_cast<size_t>(x) * 4 + 3] = alpha->Pixel(x, y)[0];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return WriteFileAtomic(path, out);
}

bool ReadPng(const std::string& path, Picture& picture, Picture* alpha, bool* hadAlpha) {
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(fp);
        return false;
    }
    std::vector<uint8_t> rgba;
    png_uint_32 w = 0, h = 0;
    bool withAlpha = false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_read_info(png, info);
    w = png_get_image_width(png, info);
    h = png_get_image_height(png, info);
    int type = png_get_color_type(png, info);
    withAlpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);
    if (w == 0 || h == 0 || !PictureSizeAllowed(w, h)) png_error(png, "size out of range");
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    rgba.resize(static_cast<size_t>(w) * h * 4);
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = rgba.data() + static_cast<size_t>(y) * w * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(fp);

    picture.Resize(static_cast<int>(w), static_cast<int>(h));
    if (alpha) alpha->Resize(static_cast<int>(w), static_cast<int>(h));
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        const uint8_t* s = &rgba[i * 4];
        uint8_t* d = &picture.bytes[i * 3];
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        if (alpha) std::memset(&alpha->bytes[i * 3], s[3], 3);
    }
    if (hadAlpha) *hadAlpha = withAlpha;
    return true;
}

}  // namespace velmora
