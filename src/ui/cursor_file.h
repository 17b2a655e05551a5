#pragma once
// Animated cursor files (RIFF "ACON"): the first frame as a picture with its
// alpha and hot spot.
#include <cstddef>
#include <cstdint>

#include "gfx/picture.h"

namespace velmora {

struct CursorImage {
    Picture colour;
    Picture alpha;  // grey: 0 transparent, 255 opaque
    int hotX = 0, hotY = 0;
};

// Reads the first frame of an animated cursor, or a plain .cur/.ico file.
// False for anything it cannot read completely (PNG frames included).
bool ParseCursorFile(const uint8_t* data, size_t size, CursorImage& out);

}  // namespace velmora
