#include "platform/headless/headless_mixer.h"

#include <cstring>

#include "app/trace.h"

namespace velmora::platform {

void HeadlessMixer::Record(MixerEvent::Kind kind, int slot, int64_t value) {
    events.push_back(MixerEvent{clock_.Now(), kind, slot, value});
}

int HeadlessMixer::Count(MixerEvent::Kind kind, int slot) const {
    int n = 0;
    for (const MixerEvent& e : events)
        if (e.kind == kind && e.slot == slot) ++n;
    return n;
}

bool HeadlessMixer::Open(bool) {
    if (failOpen) {
        Trace("headless mixer: the device does not open (as asked)");
        return false;
    }
    open_ = true;
    primary_ = initialPrimaryVolume;
    return true;
}

void HeadlessMixer::Close() {
    for (int i = 0; i < kMixerSlots; ++i) Release(i);
    open_ = false;
}

void HeadlessMixer::SetPrimaryVolume(int32_t volume) {
    if (volume != primary_) Record(MixerEvent::Primary, -1, volume);
    primary_ = volume;
}

bool HeadlessMixer::CreateBuffer(int slot, const PcmFormat& format, uint32_t bytes, bool stream) {
    if (!open_ || !Valid(slot)) return false;
    Release(slot);
    if (!BufferSizeFits(format, bytes, stream)) return false;
    Slot& s = slots_[slot];
    s = Slot{};
    s.exists = true;
    s.stream = stream;
    s.format = format;
    s.data.assign(bytes, 0);
    Record(MixerEvent::Create, slot, bytes);
    return true;
}

bool HeadlessMixer::WriteBuffer(int slot, uint32_t offset, const void* data, uint32_t bytes) {
    if (!HasBuffer(slot)) return false;
    Slot& s = slots_[slot];
    if (!WriteBufferBytes(s.data, offset, data, bytes)) return false;
    Record(MixerEvent::Write, slot, offset);
    return true;
}

// Brings the cursor to the present: a one-shot buffer stops at its end, a
// looping one wraps. The cursor is computed from the start, never
// accumulated, so frequent queries do not drift.
void HeadlessMixer::Advance(Slot& s) {
    s.position = s.startPosition;
    if (!s.playing) return;
    const uint64_t rate = static_cast<uint64_t>(s.format.samplesPerSec) * s.format.blockAlign;
    const uint64_t played = static_cast<uint64_t>(clock_.Now() - s.startTime) * rate / 1000;
    uint64_t pos = s.startPosition + played;
    pos -= pos % s.format.blockAlign;
    const uint64_t size = s.data.size();
    if (pos >= size) {
        if (!s.looping) {
            s.playing = false;
            s.startPosition = 0;
            s.position = 0;
            return;
        }
        pos %= size;
    }
    s.position = static_cast<uint32_t>(pos);
}

void HeadlessMixer::SetPosition(int slot, uint32_t position) {
    if (!HasBuffer(slot)) return;
    Slot& s = slots_[slot];
    s.startPosition = position < s.data.size() ? position - position % s.format.blockAlign : 0;
    s.startTime = clock_.Now();
}

void HeadlessMixer::Play(int slot, bool looping) {
    if (!HasBuffer(slot)) return;
    Slot& s = slots_[slot];
    Advance(s);
    if (!s.playing) {
        s.startPosition = s.position;
        s.startTime = clock_.Now();
        s.playing = true;
    }
    s.looping = looping;
    Record(MixerEvent::Play, slot, looping ? 1 : 0);
}

void HeadlessMixer::Stop(int slot) {
    if (!HasBuffer(slot)) return;
    Slot& s = slots_[slot];
    Advance(s);
    s.startPosition = s.position;
    s.playing = false;
    Record(MixerEvent::Stop, slot, 0);
}

void HeadlessMixer::Release(int slot) {
    if (!HasBuffer(slot)) return;
    Slot& s = slots_[slot];
    s = Slot{};
    Record(MixerEvent::Release, slot, 0);
}

bool HeadlessMixer::IsPlaying(int slot) {
    if (!HasBuffer(slot)) return false;
    Advance(slots_[slot]);
    return slots_[slot].playing;
}

uint32_t HeadlessMixer::PlayPosition(int slot) {
    if (!HasBuffer(slot)) return 0;
    Advance(slots_[slot]);
    return slots_[slot].position;
}

void HeadlessMixer::SetVolume(int slot, int32_t volume) {
    if (!HasBuffer(slot)) return;
    Slot& s = slots_[slot];
    if (volume < kSilentVolume) volume = kSilentVolume;
    if (volume > 0) volume = 0;
    if (s.volume != volume) Record(MixerEvent::Volume, slot, volume);
    s.volume = volume;
}

}  // namespace velmora::platform
