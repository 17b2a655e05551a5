// Animated cursor files and plain .cur/.ico files.
#include "ui/cursor_file.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CursorImage image;
    ParseCursorFile(data, size, image);
    return 0;
}
