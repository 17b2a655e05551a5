#pragma once
// The headless mixer: every buffer's play position advances with the
// virtual clock exactly as a sound card would play it, so refills, loops
// and fades run in tests as in play. It records what was started, stopped
// and at which volume.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "platform/platform.h"

namespace velmora::platform {

struct MixerEvent {
    enum Kind { Create, Play, Stop, Release, Volume, Primary, Write };
    uint32_t time = 0;
    Kind kind = Create;
    int slot = -1;
    int64_t value = 0;  // volume, bytes, offset or looping flag
};

class HeadlessMixer : public Mixer {
public:
    explicit HeadlessMixer(Clock& clock) : clock_(clock) {}

    bool failOpen = false;  // simulates a machine whose device does not open
    int32_t initialPrimaryVolume = 0;
    std::vector<MixerEvent> events;

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
    bool HasBuffer(int slot) override { return Valid(slot) && slots_[slot].exists; }
    bool IsPlaying(int slot) override;
    uint32_t PlayPosition(int slot) override;
    void SetVolume(int slot, int32_t volume) override;

    // For tests: what a slot holds.
    bool IsOpen() const { return open_; }
    int32_t Volume(int slot) const { return Valid(slot) ? slots_[slot].volume : 0; }
    bool Looping(int slot) const { return Valid(slot) && slots_[slot].looping; }
    const std::vector<uint8_t>& Data(int slot) const { return slots_[Valid(slot) ? slot : 0].data; }
    PcmFormat Format(int slot) const { return slots_[Valid(slot) ? slot : 0].format; }
    int Count(MixerEvent::Kind kind, int slot) const;

private:
    struct Slot {
        bool exists = false;
        bool stream = false;
        bool playing = false;
        bool looping = false;
        PcmFormat format;
        std::vector<uint8_t> data;
        uint32_t startPosition = 0;  // where the cursor stood at startTime
        uint32_t startTime = 0;
        uint32_t position = 0;       // the cursor as of the last Advance
        int32_t volume = 0;
    };
    static bool Valid(int slot) { return slot >= 0 && slot < kMixerSlots; }
    void Advance(Slot& s);
    void Record(MixerEvent::Kind kind, int slot, int64_t value);

    Clock& clock_;
    bool open_ = false;
    int32_t primary_ = 0;
    Slot slots_[kMixerSlots];
};

}  // namespace velmora::platform
