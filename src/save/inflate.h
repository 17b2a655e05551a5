#pragma once
// Raw deflate streams (no zlib or gzip wrapper), as ZIP entries hold them.
// One backend per build: zlib on the desktop, stb_image's decoder in the browser.
#include <cstddef>
#include <cstdint>

namespace velmora {

// Inflates in into exactly outSize bytes. False when the stream is damaged,
// ends early or holds more than outSize bytes.
bool InflateRaw(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

}  // namespace velmora
