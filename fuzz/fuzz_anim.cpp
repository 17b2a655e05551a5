// Animation entries: the header, the frame tables and every frame the
// tables point at, decoded as the player would.
#include <string>

#include "gfx/anim.h"
#include "gfx/image_files.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AnimEntry e;
    if (!ParseAnimHeader(data, size, e)) return 0;
    std::string why;
    if (!ParseAnimArrays(data + kAnimHeaderSize, size - kAnimHeaderSize, static_cast<uint32_t>(size), e, why))
        return 0;
    static JpegDecoder decoder;
    Picture frame;
    for (size_t i = 0; i < e.kind.size() && i < 8; ++i) {
        if (e.kind[i] != kAnimKey && e.kind[i] != kAnimPatch) continue;
        decoder.Decode(data + e.offset[i], e.size[i], frame, "fuzz");
    }
    return 0;
}
