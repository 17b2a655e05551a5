#include "audio/wady.h"

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
    // A one-byte run code v (0 ... 127) as "next = (p & keep) + add": keep
    // is all ones for a delta and 0 for an absolute value, so the decoder
    // does not branch on the kind of code.
    uint32_t runKeep[128], runAdd[128];
    Tables() {
        for (int i = 0; i < 32; ++i) {
            s[i] = kD[i];
            s[32 + i] = static_cast<int16_t>(-kD[i]);
        }
        for (int i = 0; i < 64; ++i) b[i] = kE[i];
        b[64] = 0;
        for (int i = 1; i < 64; ++i) b[64 + i] = static_cast<int16_t>(-kE[i]);
        for (int v = 0; v < 128; ++v) {
            if (v & 0x40) {
                int s6 = v & 0x3F;
                if (s6 & 0x20) s6 -= 64;
                runKeep[v] = 0;
                runAdd[v] = static_cast<uint32_t>(s6 * 1024);
            } else {
                runKeep[v] = ~0u;
                runAdd[v] = static_cast<uint32_t>(s[v]);
            }
        }
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
    uint32_t p = Le16(block + 8);
    const uint8_t* code = block + 10;
    const uint8_t* end = block + size;
    if (capacity == 0) return -1;
    const size_t stride = static_cast<size_t>(step);
    size_t at = 0;               // where the next sample goes
    size_t room = capacity - 1;  // samples that may still be written
    out[at] = static_cast<int16_t>(p);
    at += stride;
    // The last 300 codes start again from silence.
    const uint32_t restart = n >= 300 ? n - 300 : n;
    const uint32_t* keep = kTables.runKeep;
    const uint32_t* add = kTables.runAdd;
    // p is wrapped to 16 bits only where its value matters, at a ramp;
    // one-byte codes only need its low 16 bits. The codes run in two
    // stretches so that the reset is not tested on every code.
    uint32_t i = 0;
    for (int stretch = 0; stretch < 2; ++stretch) {
        const uint32_t stop = stretch == 0 ? restart : n;
        if (stretch == 1 && restart < n) p = 0;
        for (; i < stop; ++i) {
            if (code >= end) return -1;
            const uint8_t b0 = code[0];
            if (b0 & 1) {
                if (room == 0) return -1;
                const int v = b0 >> 1;
                p = (p & keep[v]) + add[v];
                out[at] = static_cast<int16_t>(p);
                at += stride;
                --room;
                code += 1;
                continue;
            }
            if (end - code < 2) return -1;
            const uint8_t b1 = code[1];
            const int run = kRunLengths[(b0 >> 1) & 7];
            const int32_t from = Wrap16(static_cast<int32_t>(p));
            const int32_t target = static_cast<int16_t>(static_cast<uint16_t>((b1 * 256 + b0) & 0xFFF0));
            // What does not fit is cut, and the block reported damaged.
            const int fits = room < static_cast<size_t>(run) ? static_cast<int>(room) : run;
            // The ramp is computed in single precision, as recorded. x stays
            // between two 16-bit values (give or take rounding), so the
            // conversion truncates exactly as trunc would.
            const float stepSize = static_cast<float>(target - from) / static_cast<float>(run);
            float x = static_cast<float>(from);
            for (int k = 0; k < fits; ++k) {
                x = x + stepSize;
                int32_t t = static_cast<int32_t>(x);
                t = t > 32767 ? 32767 : t;
                t = t < -32768 ? -32768 : t;
                out[at] = static_cast<int16_t>(t);
                at += stride;
            }
            if (fits < run) return -1;
            room -= static_cast<size_t>(run);
            p = static_cast<uint32_t>(target);
            code += 2;
        }
    }
    return static_cast<long>(capacity - room);
}

bool DecodeRunCoded(const uint8_t* entry, size_t size, const WadyHeader& h, int16_t* pcm, size_t capacity) {
    const size_t samples = capacity / 2;
    // A sound of no samples has no buffer to clear (and may have none at all).
    if (samples == 0) return false;
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
    // Every code as "next = (p & keep) + add": deltas (scale times the
    // table) keep p, absolute codes clear it. The low 16 bits of the result
    // depend only on the low 16 bits of p, and only those are stored, so p
    // is wrapped only when stored: two operations per sample on the chain.
    uint32_t keep[256], add[256];
    const int16_t* B = kTables.b;
    for (int v = 0; v < 128; ++v) {
        keep[v] = ~0u;
        add[v] = static_cast<uint32_t>(scale * B[v]);
        int s7 = v & 0x7F;
        if (s7 & 0x40) s7 -= 128;
        keep[128 + v] = 0;
        add[128 + v] = static_cast<uint32_t>(s7 * 512);
    }
    auto next = [&](uint32_t p, uint8_t v) { return (p & keep[v]) + add[v]; };
    if (channels == 2) {
        // The predictors live in registers, not behind the output pointer.
        uint32_t l = static_cast<uint16_t>(predictor[0]), r = static_cast<uint16_t>(predictor[1]);
        for (size_t i = 0; i < frames; ++i) {
            l = next(l, coded[2 * i]);
            r = next(r, coded[2 * i + 1]);
            out[2 * i] = static_cast<int16_t>(l);
            out[2 * i + 1] = static_cast<int16_t>(r);
        }
        predictor[0] = static_cast<int16_t>(l);
        predictor[1] = static_cast<int16_t>(r);
        return;
    }
    if (channels == 1) {
        uint32_t m = static_cast<uint16_t>(predictor[0]);
        for (size_t i = 0; i < frames; ++i) out[i] = static_cast<int16_t>(m = next(m, coded[i]));
        predictor[0] = static_cast<int16_t>(m);
    }
}

}  // namespace velmora
