// The packed sound format: header, run-coded blocks and whole entries, and
// the byte coding.
#include <vector>

#include "audio/wady.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WadyHeader h;
    if (ParseWadyHeader(data, size, h)) {
        // A capacity the input can justify, as the sound player bounds it.
        const size_t capacity = std::min<size_t>(h.decodedSize, size * 512) & ~size_t{1};
        std::vector<int16_t> pcm(capacity / 2);
        DecodeRunCoded(data, size, h, pcm.data(), capacity);
    }
    if (size > 8) {
        // Every step-th sample: capacity counts the samples written.
        const int step = 1 + (data[0] & 1);
        std::vector<int16_t> out(2048);
        DecodeRunBlock(data + 1, size - 1, out.data(), out.size() / step, step);
        const int channels = 1 + (data[0] >> 7);
        const size_t frames = (size - 1) / channels;
        std::vector<int16_t> pcm(frames * channels);
        int16_t predictor[2] = {0, 0};
        DecodeByteCoded(data + 1, frames, channels, data[0] & 31, predictor, pcm.data());
    }
    return 0;
}
