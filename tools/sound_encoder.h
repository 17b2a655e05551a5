#pragma once
// Authoring sounds: WAV files in, WADY sound effects (run coding), WADY
// music tracks (byte coding) and Ogg Vorbis voices out.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::tools {

struct PcmSound {
    int channels = 1;
    uint32_t rate = 22050;
    std::vector<int16_t> samples;  // interleaved
    size_t Frames() const { return channels ? samples.size() / channels : 0; }
};

// Reads a 16-bit PCM WAV file image (mono or stereo).
bool ReadWav(const std::vector<uint8_t>& bytes, PcmSound& sound, std::string& error);
std::vector<uint8_t> WriteWav(const PcmSound& sound);

// A run-coded sound effect. The last kSoundEffectTail codes of each channel
// are silence, since the player starts them from zero.
constexpr int kSoundEffectTail = 300;
std::vector<uint8_t> EncodeSoundEffect(const PcmSound& sound);

struct MusicOptions {
    uint32_t loopFrame = 0;         // where the track continues after its end
    uint32_t framesPerQuarter = 0;  // 0: a quarter of a second
    int scale = 0;                  // 0: the best of 1 ... 16 for this sound
};
// A byte-coded music track (also what animations carry as sound).
bool EncodeMusic(const PcmSound& sound, const MusicOptions& options, std::vector<uint8_t>& out,
                 std::string& error);

// An Ogg Vorbis voice at the given quality (-0.1 ... 1).
bool EncodeVoice(const PcmSound& sound, float quality, std::vector<uint8_t>& out, std::string& error);

// Decodes a WADY file image back to PCM (either coding), for checks.
bool DecodeWadyFile(const std::vector<uint8_t>& bytes, PcmSound& sound, std::string& error);
// A readable account of a WADY header.
std::string DescribeWady(const std::vector<uint8_t>& bytes);

// Signal-to-noise ratio of b against a in dB.
double SignalToNoise(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

}  // namespace velmora::tools
