// Stand-in for the row darkening the prompt band needs, until the pixel
// operations offer it.
#include <algorithm>

#include "gfx/pixel_ops.h"

namespace velmora {

void DarkenRows(Picture& picture, int y, int rows, int v) {
    const int first = std::max(y, 0), last = std::min(y + rows, picture.height);
    const unsigned uv = static_cast<unsigned>(std::clamp(v, 0, 256));
    for (int r = first; r < last; ++r) {
        uint8_t* d = picture.Row(r);
        for (int i = 0; i < picture.Stride(); ++i) d[i] = static_cast<uint8_t>((d[i] * uv) >> 8);
    }
}

}  // namespace velmora
