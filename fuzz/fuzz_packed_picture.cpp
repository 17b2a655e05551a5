// Packed pictures: the whole entry, and each stage alone. The first byte
// picks what is fed; the stages get a target from the next two bytes.
#include <vector>

#include "gfx/image_files.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t mode = data[0] & 3;
    const size_t target = static_cast<size_t>(data[1]) << 8 | data[2];
    const uint8_t* in = data + 3;
    const size_t n = size - 3;
    // Exactly the target, no spare bytes: AddressSanitizer sees every overrun.
    std::vector<uint8_t> out(target);
    switch (mode) {
        case 0: {
            Picture p;
            DecodePackedPicture(data + 1, size - 1, p);
            break;
        }
        case 1:
            DictionaryDecode(in, n, out.data(), target);
            break;
        case 2:
            RunDecode(in, n, out.data(), target);
            break;
        default: {
            std::vector<uint8_t> bytes(in, in + n);
            DeltaDecode(bytes.data(), bytes.size());
            break;
        }
    }
    return 0;
}
