// Raw deflate through zlib.
#include "save/inflate.h"

#include <zlib.h>

#include <climits>

namespace velmora {

bool InflateRaw(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    if (inSize > UINT_MAX || outSize > UINT_MAX) return false;
    z_stream z = {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(inSize);
    z.next_out = out;
    z.avail_out = static_cast<uInt>(outSize);
    int r = inflate(&z, Z_FINISH);
    // A stream that ends exactly at outSize; one that wants more room is longer than it claimed.
    const bool ok = r == Z_STREAM_END && z.total_out == outSize;
    inflateEnd(&z);
    return ok;
}

}  // namespace velmora
