// JPEG pictures through stb_image, for builds without libjpeg-turbo (the
// browser). A refused stream leaves the caller's picture untouched.
#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb/stb_image.h>

#include "app/trace.h"
#include "gfx/image_files.h"

namespace velmora {

namespace {

bool DecodeStb(const uint8_t* data, size_t size, Picture& picture, const char* what) {
    if (size == 0 || size > 0x7FFFFFFF) {
        Trace("picture %s: JPEG refused: %s", what, size == 0 ? "no data" : "too large");
        return false;
    }
    int w = 0, h = 0, comp = 0;
    // The size is checked before any pixel is decoded.
    if (!stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &comp) || w <= 0 || h <= 0 ||
        !PictureSizeAllowed(static_cast<unsigned>(w), static_cast<unsigned>(h))) {
        Trace("picture %s: JPEG refused: %s", what, w > 0 && h > 0 ? "size out of range" : stbi_failure_reason());
        return false;
    }
    if (comp != 3) {
        Trace("picture %s: JPEG refused: %d colour components", what, comp);
        return false;
    }
    unsigned char* rgb = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &comp, 3);
    if (!rgb) {
        Trace("picture %s: JPEG refused: %s", what, stbi_failure_reason());
        return false;
    }
    if (picture.width != w || picture.height != h) picture.Resize(w, h);
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
    uint8_t* d = picture.bytes.data();
    for (size_t i = 0; i < n; ++i) {
        d[i * 3] = rgb[i * 3 + 2];
        d[i * 3 + 1] = rgb[i * 3 + 1];
        d[i * 3 + 2] = rgb[i * 3];
    }
    stbi_image_free(rgb);
    return true;
}

}  // namespace

bool DecodeJpegPicture(const uint8_t* data, size_t size, Picture& picture, const char* what) {
    return DecodeStb(data, size, picture, what);
}

struct JpegDecoder::State {};

JpegDecoder::JpegDecoder() : s_(std::make_unique<State>()) {}
JpegDecoder::~JpegDecoder() = default;

bool JpegDecoder::Decode(const uint8_t* data, size_t size, Picture& picture, const char* what) {
    return DecodeStb(data, size, picture, what);
}

}  // namespace velmora
