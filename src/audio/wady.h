#pragma once
// The packed sound format "WADY": a 48-byte header and either run-coded
// channel blocks (sound effects) or byte-coded samples (music and
// animation sounds). Pure functions, no engine.
#include <cstddef>
#include <cstdint>

#include "audio/mixer.h"

namespace velmora {

constexpr int kWadyHeaderSize = 48;

struct WadyHeader {
    uint8_t scale = 0;          // byte coding: delta table factor
    uint16_t channelsField = 0;  // byte coding: 1 mono, anything else two
    uint32_t framesPerQuarter = 0;
    uint32_t codedLength = 0;
    uint32_t frames = 0;       // byte-coded whole sounds
    uint32_t decodedSize = 0;  // whole sounds: PCM bytes
    uint32_t loopStart = 0;    // streams: byte offset into the coded data
    int16_t loopPredictor[2] = {0, 0};
    platform::PcmFormat format;
    // The byte coding's channel count.
    int ByteChannels() const { return channelsField == 1 ? 1 : 2; }
};

// False when the bytes are too short or do not begin with "WADY".
bool ParseWadyHeader(const uint8_t* bytes, size_t size, WadyHeader& header);
void WriteWadyHeader(const WadyHeader& header, uint8_t* out);

// The tables of the two codings.
const int16_t* RunDeltaTable();   // S, 64 entries
const int16_t* RunLengthTable();  // 8 entries
const int16_t* ByteDeltaTable();  // B, 128 entries

// Decodes one run-coded channel block (the block starts with its four
// unread bytes) into every `step`-th sample of out, starting at out[0].
// Returns the number of samples written, or -1 when the block or its codes
// run past `size` or would write past `capacity` samples of out.
long DecodeRunBlock(const uint8_t* block, size_t size, int16_t* out, size_t capacity, int step);

// Decodes a whole run-coded entry into pcm (capacity in bytes; what the
// codes do not reach stays silent). False for a damaged entry.
bool DecodeRunCoded(const uint8_t* entry, size_t size, const WadyHeader& header, int16_t* pcm, size_t capacity);

// Byte coding: `frames` frames of `channels` (1 or 2; any other count
// decodes nothing) interleaved samples from frames x channels coded bytes,
// each channel with its own predictor.
void DecodeByteCoded(const uint8_t* coded, size_t frames, int channels, int scale, int16_t predictor[2],
                     int16_t* out);

}  // namespace velmora
