// Raw deflate through stb_image's zlib decoder, for builds without zlib
// (the browser).
#include "save/inflate.h"

#include <climits>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb/stb_image.h>

namespace velmora {

bool InflateRaw(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    if (inSize > INT_MAX || outSize >= INT_MAX) return false;
    // One byte of room more than claimed: a stream that fills it is longer than its entry says.
    std::vector<char> buffer(outSize + 1);
    const int n = stbi_zlib_decode_noheader_buffer(buffer.data(), static_cast<int>(buffer.size()),
                                                   reinterpret_cast<const char*>(in), static_cast<int>(inSize));
    if (n < 0 || static_cast<size_t>(n) != outSize) return false;
    for (size_t i = 0; i < outSize; ++i) out[i] = static_cast<uint8_t>(buffer[i]);
    return true;
}

}  // namespace velmora
