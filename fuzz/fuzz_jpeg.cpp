// JPEG pictures, alone and through the decoder kept for animation frames.
#include "gfx/image_files.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Picture p;
    DecodeJpegPicture(data, size, p);
    static JpegDecoder decoder;
    Picture q;
    decoder.Decode(data, size, q, "fuzz");
    return 0;
}
