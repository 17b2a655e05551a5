#pragma once
// Voices: Ogg Vorbis streams decoded completely into 16-bit PCM.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

struct DecodedVoice {
    int channels = 0;
    int rate = 0;
    std::vector<uint8_t> pcm;  // 16-bit little-endian, interleaved
    size_t length = 0;         // bytes to play, after the trailing-silence trim
};

// Decodes an Ogg Vorbis stream held in memory. False (traced) when the
// stream does not open or is not usable.
bool DecodeOggVoice(const uint8_t* data, size_t size, DecodedVoice& voice);

// The playing length of `decoded` bytes of PCM: trailing silence is cut,
// four bytes at a time, down to half the length; short voices stay whole.
size_t TrimmedVoiceLength(const uint8_t* pcm, size_t decoded);

}  // namespace velmora
