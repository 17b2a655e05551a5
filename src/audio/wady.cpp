#include "audio/wady.h"

#include <cmath>
#include <cstring>

namespace velmora {

namespace {

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr int16_t kD[32] = {0,   4,   8,   12,  19,  24,  30,   38,   47,   59,   74,   92,   115,  144,  180,  225,
                            281, 352, 440, 550, 687, 859, 1073, 1342, 1678, 2097, 2621, 3277, 4096, 5120, 6400, 8000};
constexpr int16_t kE[64] = {0,   2,   4,   6,   8,   10,  12,  15,  18,  21,  24,  28,  32,  36,  40,  44,
                            49,  54,  59,  64,  70,  76,  82,  88,  95,  102, 109, 116, 124, 132, 140, 148,
                            160, 170, 180, 190, 200, 210, 220, 230, 240, 255, 270, 285, 300, 320, 340, 360,
                            380, 400, 425, 450, 475, 500, 525, 550, 580, 610, 650, 700, 750, 800, 900, 1000};

struct Tables {
    int16_t s[64];
    int16_t b[128];
    Tables() {
        for (int i = 0; i < 32; ++i) {
            s[i] = kD[i];
            s[32 + i] = static_cast<int16_t>(-kD[i]);
        }
        for (int i = 0; i < 64; ++i) b[i] = kE[i];
        b[64] = 0;
        for (int i = 1; i < 64; ++i) b[64 + i] = static_cast<int16_t>(-kE[i]);
    }
};
const Tables kTables;

int16_t Wrap16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

}  // namespace

constexpr int16_t kRunLengths[8] = {3, 4, 5, 6, 8, 16, 32, 256};

const int16_t* RunDeltaTable() { return kTables.s; }
const int16_t* RunLengthTable() { return kRunLengths; }
const int16_t* ByteDeltaTable() { return kTables.b; }

bool ParseWadyHeader(const uint8_t* b, size_t size, WadyHeader& h) {
    if (size < kWadyHeaderSize || std::memcmp(b, "WADY", 4) != 0) return false;
    h.scale = b[5];
    h.channelsField = Le16(b + 6);
    h.framesPerQuarter = Le32(b + 8);
    h.codedLength = Le32(b + 12);
    h.frames = Le32(b + 16);
    h.decodedSize = Le32(b + 20);
    h.loopStart = Le32(b + 24);
    h.loopPredictor[0] = static_cast<int16_t>(Le16(b + 28));
    h.loopPredictor[1] = static_cast<int16_t>(Le16(b + 30));
    h.format.formatTag = Le16(b + 32);
    h.format.channels = Le16(b + 34);
    h.format.samplesPerSec = Le32(b + 36);
    h.format.avgBytesPerSec = Le32(b + 40);
    h.format.blockAlign = Le16(b + 44);
    h.format.bitsPerSample = Le16(b + 46);
    return true;
}

void WriteWadyHeader(const WadyHeader& h, uint8_t* b) {
    std::memset(b, 0, kWadyHeaderSize);
    std::memcpy(b, "WADY", 4);
    b[5] = h.scale;
    Put16(b + 6, h.channelsField);
    Put32(b + 8, h.framesPerQuarter);
    Put32(b + 12, h.codedLength);
    Put32(b + 16, h.frames);
    Put32(b + 20, h.decodedSize);
    Put32(b + 24, h.loopStart);
    Put16(b + 28, static_cast<uint16_t>(h.loopPredictor[0]));
    Put16(b + 30, static_cast<uint16_t>(h.loopPredictor[1]));
    Put16(b + 32, h.format.formatTag);
    Put16(b + 34, h.format.channels);
    Put32(b + 36, h.format.samplesPerSec);
    Put32(b + 40, h.format.avgBytesPerSec);
    Put16(b + 44, h.format.blockAlign);
    Put16(b + 46, h.format.bitsPerSample);
}

long DecodeRunBlock(const uint8_t* block, size_t size, int16_t* out, size_t capacity, int step) {
    if (size < 10) return -1;
    const uint32_t n = Le32(block + 4);
    int32_t p = static_cast<int16_t>(Le16(block + 8));
    const uint8_t* code = block + 10;
    const uint8_t* end = block + size;
    size_t w = 0;  // samples written
    auto put = [&](int32_t v) {
        if (w >= capacity) return false;
        out[w * static_cast<size_t>(step)] = static_cast<int16_t>(v);
        ++w;
        return true;
    };
    if (!put(p)) return -1;
    const int16_t* S = kTables.s;
    for (uint32_t i = 0; i < n; ++i) {
        // The last 300 codes start again from silence.
        if (n >= 300 && i == n - 300) p = 0;
        if (code >= end) return -1;
        const uint8_t b0 = code[0];
        if (b0 & 1) {
            const int v = (b0 >> 1) & 0x7F;
            if (v & 0x40) {
                int s6 = v & 0x3F;
                if (s6 & 0x20) s6 -= 64;
                p = s6 * 1024;
            } else {
                p = Wrap16(p + S[v]);
            }
            if (!put(p)) return -1;
            code += 1;
        } else {
            if (code + 1 >= end) return -1;
            const uint8_t b1 = code[1];
            const int run = kRunLengths[(b0 >> 1) & 7];
            const int32_t target = static_cast<int16_t>(static_cast<uint16_t>((b1 * 256 + b0) & 0xFFF0));
            // The ramp is computed in single precision, as recorded.
            const float stepSize = static_cast<float>(target - p) / static_cast<float>(run);
            float x = static_cast<float>(p);
            for (int k = 0; k < run; ++k) {
                x = x + stepSize;
                float t = std::trunc(x);
                if (t > 32767.0f) t = 32767.0f;
                if (t < -32768.0f) t = -32768.0f;
                if (!put(static_cast<int32_t>(t))) return -1;
            }
            p = target;
            code += 2;
        }
    }
    return static_cast<long>(w);
}

bool DecodeRunCoded(const uint8_t* entry, size_t size, const WadyHeader& h, int16_t* pcm, size_t capacity) {
    const size_t samples = capacity / 2;
    std::memset(pcm, 0, samples * 2);
    if (h.format.channels == 1) {
        if (size < 48 + 10) return false;
        return DecodeRunBlock(entry + 48, size - 48, pcm, samples, 1) >= 0;
    }
    if (size < 52 + 10) return false;
    const uint64_t rightAt = 56ull + Le32(entry + 48);
    if (rightAt + 10 > size) return false;
    if (samples < 2) return false;
    if (DecodeRunBlock(entry + 52, static_cast<size_t>(rightAt) - 52, pcm, (samples + 1) / 2, 2) < 0) return false;
    return DecodeRunBlock(entry + rightAt, size - static_cast<size_t>(rightAt), pcm + 1, samples / 2, 2) >= 0;
}

void DecodeByteCoded(const uint8_t* coded, size_t frames, int channels, int scale, int16_t predictor[2],
                     int16_t* out) {
    const int16_t* B = kTables.b;
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const uint8_t v = *coded++;
            if (v & 0x80) {
                int s7 = v & 0x7F;
                if (s7 & 0x40) s7 -= 128;
                predictor[c] = static_cast<int16_t>(s7 * 512);
            } else {
                predictor[c] = Wrap16(predictor[c] + scale * B[v]);
            }
            *out++ = predictor[c];
        }
    }
}

}  // namespace velmora
