// Shift-JIS (CP932) to UTF-8 and back, and the lead-byte walk.
#include <string>

#include "data/encoding.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    std::string utf8, back;
    if (Cp932ToUtf8(in, utf8)) Utf8ToCp932(utf8, back);
    Utf8ToCp932(in, back);
    ToUtf8(in);
    ToCp932(in);
    size_t chars = 0;
    for (size_t i = 0; i < size; ++i, ++chars)
        if (IsLeadByte(data[i]) && i + 1 < size) ++i;
    return chars > size ? 1 : 0;
}
