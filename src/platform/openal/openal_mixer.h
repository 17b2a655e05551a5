#pragma once
// The mixer of the real platform on OpenAL Soft: one source per slot; a
// static buffer is one OpenAL buffer, the music stream's four quarters are
// four buffers queued in turn and requeued as the engine rewrites them.
// Mono is sent as identical left and right channels, so it plays at full
// level on both sides instead of OpenAL's panned level.
#include <cstdint>
#include <vector>

#include "audio/mixer.h"


namespace velmora::platform {

class OpenAlMixer : public Mixer {
public:
    OpenAlMixer() = default;
    ~OpenAlMixer() override;
    OpenAlMixer(const OpenAlMixer&) = delete;
    OpenAlMixer& operator=(const OpenAlMixer&) = delete;

    bool Open(bool globalFocus) override;
    void Close() override;
    int32_t PrimaryVolume() override { return primary_; }
    void SetPrimaryVolume(int32_t volume) override;
    bool CreateBuffer(int slot, const PcmFormat& format, uint32_t bytes, bool stream) override;
    bool WriteBuffer(int slot, uint32_t offset, const void* data, uint32_t bytes) override;
    void SetPosition(int slot, uint32_t position) override;
    void Play(int slot, bool looping) override;
    void Stop(int slot) override;
    void Release(int slot) override;
    bool HasBuffer(int slot) override;
    bool IsPlaying(int slot) override;
    uint32_t PlayPosition(int slot) override;
    void SetVolume(int slot, int32_t volume) override;

private:
    struct Slot {
        bool exists = false;
        bool stream = false;
        bool wantPlaying = false;
        bool looping = false;
        bool dirty = false;  // static: data changed since the last upload
        PcmFormat format;
        std::vector<uint8_t> data;
        uint32_t startFrame = 0;
        unsigned buffer = 0;        // static buffer
        unsigned quarters[4] = {};  // stream buffers, one per quarter
        bool fresh[4] = {};         // quarter written since it was last queued
        int head = 0;               // quarter of the oldest queued buffer
        int queued = 0;
        std::vector<unsigned> idle;  // stream buffers not queued
    };
    static bool Valid(int slot) { return slot >= 0 && slot < kMixerSlots; }
    void Upload(unsigned buffer, const Slot& s, uint32_t offset, uint32_t bytes);
    void Unqueue(int slot);
    void QueueFresh(int slot);
    void RestIfSilent();
    void Wake();

    void* device_ = nullptr;   // ALCdevice
    void* context_ = nullptr;  // ALCcontext
    unsigned sources_[kMixerSlots] = {};
    Slot slots_[kMixerSlots];
    int32_t primary_ = 0;
    void* pauseDevice_ = nullptr;   // alcDevicePauseSOFT, when the device has it
    void* resumeDevice_ = nullptr;  // alcDeviceResumeSOFT
    bool resting_ = false;          // paused because nothing plays
    std::vector<int16_t> stereo_;  // conversion space for mono
};

}  // namespace velmora::platform
