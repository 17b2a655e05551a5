// Windows bitmap files (the panic picture), from the bytes the file reader
// hands the decoder.
#include "gfx/image_files.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Picture p;
    DecodeBmp(data, size, p);
    return 0;
}
