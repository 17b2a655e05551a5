#pragma once
// The sound mixer as the engine uses it: eight slots, each empty or holding
// one secondary buffer of 16-bit PCM, played once or looping, with a play
// position the engine reads and, for the music stream, quarters it
// rewrites while the buffer plays. Volumes are attenuations in hundredths
// of a decibel: 0 full, -9999 silent.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velmora::platform {

constexpr int kMixerSlots = 8;
constexpr int32_t kSilentVolume = -9999;

// The PCM format record of a buffer, as the sound files carry it.
struct PcmFormat {
    uint16_t formatTag = 1;  // 1 = PCM
    uint16_t channels = 1;
    uint32_t samplesPerSec = 22050;
    uint32_t avgBytesPerSec = 44100;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
};

// Whether a mixer can play the format: 16-bit PCM, one or two channels, a
// block of channels x 2 bytes and a usable rate.
inline bool PlayableFormat(const PcmFormat& f) {
    return f.formatTag == 1 && f.bitsPerSample == 16 && (f.channels == 1 || f.channels == 2) &&
           f.blockAlign == f.channels * 2 && f.samplesPerSec >= 100 && f.samplesPerSec <= 200000;
}

// Whether a buffer of `bytes` can be made in a playable format: whole
// blocks, and for a stream four equal quarters of whole blocks. Every mixer
// refuses the same requests.
inline bool BufferSizeFits(const PcmFormat& f, uint32_t bytes, bool stream) {
    if (!PlayableFormat(f) || bytes == 0 || bytes % f.blockAlign != 0) return false;
    return !stream || bytes % (4u * f.blockAlign) == 0;
}

// Copies bytes into a buffer's memory at offset; false, copying nothing,
// when they do not fit.
inline bool WriteBufferBytes(std::vector<uint8_t>& buffer, uint32_t offset, const void* data, uint32_t bytes) {
    if (offset > buffer.size() || bytes > buffer.size() - offset) return false;
    if (bytes > 0) std::memcpy(buffer.data() + offset, data, bytes);
    return true;
}

// Linear gain of an attenuation: 10^(v / 2000); -9999 and below are silence.
inline float GainFromVolume(int32_t volume) {
    if (volume <= kSilentVolume) return 0.0f;
    if (volume >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, volume / 2000.0));
}

class Mixer {
public:
    virtual ~Mixer() = default;
    // Opens the output device and the primary buffer. False: no sound for
    // this run (the reason is traced).
    virtual bool Open(bool globalFocus) = 0;
    virtual void Close() = 0;
    // The primary buffer's volume: the master volume of everything.
    virtual int32_t PrimaryVolume() = 0;
    virtual void SetPrimaryVolume(int32_t volume) = 0;

    // Creates a silent buffer of `bytes` on the slot, releasing what it
    // held. A stream buffer is rewritten in place while it plays. False
    // when the format is not playable or the buffer cannot be made.
    virtual bool CreateBuffer(int slot, const PcmFormat& format, uint32_t bytes, bool stream) = 0;
    // Copies PCM into the slot's buffer at a byte offset (lock, copy,
    // unlock). False when the slot is empty or the range is outside it.
    virtual bool WriteBuffer(int slot, uint32_t offset, const void* data, uint32_t bytes) = 0;
    virtual void SetPosition(int slot, uint32_t position) = 0;
    virtual void Play(int slot, bool looping) = 0;
    virtual void Stop(int slot) = 0;
    // Stops and frees the slot's buffer; the slot is empty afterwards.
    virtual void Release(int slot) = 0;
    virtual bool HasBuffer(int slot) = 0;
    virtual bool IsPlaying(int slot) = 0;
    // The play position in bytes from the start of the buffer.
    virtual uint32_t PlayPosition(int slot) = 0;
    virtual void SetVolume(int slot, int32_t volume) = 0;
};

}  // namespace velmora::platform
