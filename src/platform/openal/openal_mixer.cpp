#include "platform/openal/openal_mixer.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <cstring>

#include "app/trace.h"

namespace velmora::platform {

OpenAlMixer::~OpenAlMixer() { Close(); }

namespace {
ALCdevice* Dev(void* p) { return static_cast<ALCdevice*>(p); }
ALCcontext* Ctx(void* p) { return static_cast<ALCcontext*>(p); }
// alcDevicePauseSOFT and alcDeviceResumeSOFT, looked up by name: OpenAL
// builds without the extension (the browser's) have no header for them.
using DeviceCall = void (*)(ALCdevice*);
}  // namespace

bool OpenAlMixer::Open(bool) {
    if (device_) return true;
    device_ = alcOpenDevice(nullptr);
    if (!device_) {
        Trace("openal: no output device can be opened");
        return false;
    }
    context_ = alcCreateContext(Dev(device_), nullptr);
    if (!context_ || !alcMakeContextCurrent(Ctx(context_))) {
        Trace("openal: no context on \"%s\"", alcGetString(Dev(device_), ALC_DEVICE_SPECIFIER));
        Close();
        return false;
    }
    alGetError();
    alGenSources(kMixerSlots, sources_);
    if (alGetError() != AL_NO_ERROR) {
        Trace("openal: cannot create %d sources", kMixerSlots);
        std::memset(sources_, 0, sizeof sources_);
        Close();
        return false;
    }
    for (unsigned src : sources_) {
        // Every slot sits on the listener: no panning, no distance.
        alSourcei(src, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(src, AL_POSITION, 0.0f, 0.0f, 0.0f);
        alSourcef(src, AL_ROLLOFF_FACTOR, 0.0f);
    }
    primary_ = 0;
    alListenerf(AL_GAIN, 1.0f);
    // The wave writer rewinds its file at every pause and would write the
    // sound over its own header; it writes what the game plays, silence and all.
    const char* name = alcGetString(Dev(device_), ALC_ALL_DEVICES_SPECIFIER);
    const bool waveWriter = name && std::strcmp(name, "Wave File Writer") == 0;
    if (!waveWriter && alcIsExtensionPresent(Dev(device_), "ALC_SOFT_pause_device")) {
        pauseDevice_ = alcGetProcAddress(Dev(device_), "alcDevicePauseSOFT");
        resumeDevice_ = alcGetProcAddress(Dev(device_), "alcDeviceResumeSOFT");
    }
    Trace("openal: output on \"%s\"", alcGetString(Dev(device_), ALC_DEVICE_SPECIFIER));
    RestIfSilent();
    return true;
}

void OpenAlMixer::Close() {
    if (!device_) return;
    if (context_) {
        for (int i = 0; i < kMixerSlots; ++i) Release(i);
        if (sources_[0]) alDeleteSources(kMixerSlots, sources_);
        std::memset(sources_, 0, sizeof sources_);
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(Ctx(context_));
        context_ = nullptr;
    }
    alcCloseDevice(Dev(device_));
    device_ = nullptr;
    pauseDevice_ = resumeDevice_ = nullptr;
    resting_ = false;
}

// A device with nothing to play still mixes silence in its own thread; a
// game waiting at a page without music would spend most of its idle time
// there. It rests until something plays.
void OpenAlMixer::RestIfSilent() {
    if (resting_ || !pauseDevice_ || !resumeDevice_) return;
    for (const Slot& s : slots_)
        if (s.exists && s.wantPlaying) return;
    reinterpret_cast<DeviceCall>(pauseDevice_)(Dev(device_));
    resting_ = true;
}

void OpenAlMixer::Wake() {
    if (!resting_) return;
    reinterpret_cast<DeviceCall>(resumeDevice_)(Dev(device_));
    resting_ = false;
}

void OpenAlMixer::SetPrimaryVolume(int32_t volume) {
    if (!context_) return;
    primary_ = volume;
    alListenerf(AL_GAIN, GainFromVolume(volume));
}

bool OpenAlMixer::HasBuffer(int slot) { return Valid(slot) && slots_[slot].exists; }

bool OpenAlMixer::CreateBuffer(int slot, const PcmFormat& format, uint32_t bytes, bool stream) {
    if (!context_ || !Valid(slot)) return false;
    Release(slot);
    if (!BufferSizeFits(format, bytes, stream)) return false;
    Slot& s = slots_[slot];
    alGetError();
    if (stream) {
        alGenBuffers(4, s.quarters);
        s.idle.assign(s.quarters, s.quarters + 4);
    } else {
        alGenBuffers(1, &s.buffer);
    }
    if (alGetError() != AL_NO_ERROR) {
        Trace("openal: cannot create buffers for slot %d", slot);
        s = Slot{};
        return false;
    }
    s.exists = true;
    s.stream = stream;
    s.format = format;
    s.data.assign(bytes, 0);
    s.dirty = true;
    return true;
}

void OpenAlMixer::Upload(unsigned buffer, const Slot& s, uint32_t offset, uint32_t bytes) {
    const uint8_t* src = s.data.data() + offset;
    if (s.format.channels == 2) {
        alBufferData(buffer, AL_FORMAT_STEREO16, src, static_cast<ALsizei>(bytes),
                     static_cast<ALsizei>(s.format.samplesPerSec));
        return;
    }
    const size_t n = bytes / 2;
    stereo_.resize(n * 2);
    for (size_t i = 0; i < n; ++i) {
        int16_t v;
        std::memcpy(&v, src + 2 * i, 2);
        stereo_[2 * i] = v;
        stereo_[2 * i + 1] = v;
    }
    alBufferData(buffer, AL_FORMAT_STEREO16, stereo_.data(), static_cast<ALsizei>(n * 4),
                 static_cast<ALsizei>(s.format.samplesPerSec));
}

// Takes the buffers OpenAL has finished playing off the queue.
void OpenAlMixer::Unqueue(int slot) {
    Slot& s = slots_[slot];
    ALint processed = 0;
    alGetSourcei(sources_[slot], AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0 && s.queued > 0) {
        ALuint b = 0;
        alSourceUnqueueBuffers(sources_[slot], 1, &b);
        s.idle.push_back(b);
        s.head = (s.head + 1) & 3;
        --s.queued;
    }
}

// Queues, in ring order, every quarter rewritten since it last played.
void OpenAlMixer::QueueFresh(int slot) {
    Slot& s = slots_[slot];
    const uint32_t quarter = static_cast<uint32_t>(s.data.size() / 4);
    while (!s.idle.empty() && s.queued < 4) {
        const int q = (s.head + s.queued) & 3;
        if (!s.fresh[q]) break;
        const ALuint b = s.idle.back();
        s.idle.pop_back();
        Upload(b, s, static_cast<uint32_t>(q) * quarter, quarter);
        alSourceQueueBuffers(sources_[slot], 1, &b);
        s.fresh[q] = false;
        ++s.queued;
    }
    if (s.wantPlaying && s.queued > 0) {
        ALint state = 0;
        alGetSourcei(sources_[slot], AL_SOURCE_STATE, &state);
        // A starved stream starts again as soon as it has data.
        if (state != AL_PLAYING) alSourcePlay(sources_[slot]);
    }
}

bool OpenAlMixer::WriteBuffer(int slot, uint32_t offset, const void* data, uint32_t bytes) {
    if (!HasBuffer(slot)) return false;
    Slot& s = slots_[slot];
    if (!WriteBufferBytes(s.data, offset, data, bytes)) return false;
    if (!s.stream) {
        s.dirty = true;
        return true;
    }
    const uint32_t quarter = static_cast<uint32_t>(s.data.size() / 4);
    if (bytes > 0)
        for (uint32_t q = offset / quarter; q <= (offset + bytes - 1) / quarter && q < 4; ++q) s.fresh[q] = true;
    Unqueue(slot);
    QueueFresh(slot);
    return true;
}

void OpenAlMixer::SetPosition(int slot, uint32_t position) {
    if (!HasBuffer(slot)) return;
    Slot& s = slots_[slot];
    s.startFrame = position / s.format.blockAlign;
    if (!s.stream && !s.dirty) alSourcei(sources_[slot], AL_SAMPLE_OFFSET, static_cast<ALint>(s.startFrame));
}

void OpenAlMixer::Play(int slot, bool looping) {
    if (!HasBuffer(slot)) return;
    Slot& s = slots_[slot];
    const ALuint src = sources_[slot];
    s.looping = looping;
    s.wantPlaying = true;
    Wake();
    if (s.stream) {
        alSourcei(src, AL_LOOPING, AL_FALSE);
        QueueFresh(slot);
        return;
    }
    if (s.dirty) {
        alSourceStop(src);
        alSourcei(src, AL_BUFFER, 0);
        Upload(s.buffer, s, 0, static_cast<uint32_t>(s.data.size()));
        alSourcei(src, AL_BUFFER, static_cast<ALint>(s.buffer));
        s.dirty = false;
    }
    alSourcei(src, AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
    alSourcePlay(src);
    if (s.startFrame) alSourcei(src, AL_SAMPLE_OFFSET, static_cast<ALint>(s.startFrame));
}

void OpenAlMixer::Stop(int slot) {
    if (!HasBuffer(slot)) return;
    slots_[slot].wantPlaying = false;
    alSourcePause(sources_[slot]);
    RestIfSilent();
}

void OpenAlMixer::Release(int slot) {
    if (!HasBuffer(slot)) return;
    Slot& s = slots_[slot];
    const ALuint src = sources_[slot];
    alSourceStop(src);
    alSourcei(src, AL_BUFFER, 0);  // also empties the queue
    if (s.stream) alDeleteBuffers(4, s.quarters);
    else alDeleteBuffers(1, &s.buffer);
    s = Slot{};
    RestIfSilent();
}

bool OpenAlMixer::IsPlaying(int slot) {
    if (!HasBuffer(slot)) return false;
    Slot& s = slots_[slot];
    if (s.stream) return s.wantPlaying;
    ALint state = 0;
    alGetSourcei(sources_[slot], AL_SOURCE_STATE, &state);
    if (state == AL_STOPPED && s.wantPlaying) {
        s.wantPlaying = false;
        RestIfSilent();
    }
    return state == AL_PLAYING;
}

uint32_t OpenAlMixer::PlayPosition(int slot) {
    if (!HasBuffer(slot)) return 0;
    Slot& s = slots_[slot];
    const ALuint src = sources_[slot];
    ALint frame = 0;
    if (!s.stream) {
        ALint state = 0;
        alGetSourcei(src, AL_SOURCE_STATE, &state);
        if (state == AL_STOPPED || state == AL_INITIAL) return 0;
        alGetSourcei(src, AL_SAMPLE_OFFSET, &frame);
        return static_cast<uint32_t>(frame) * s.format.blockAlign;
    }
    Unqueue(slot);
    const uint32_t quarter = static_cast<uint32_t>(s.data.size() / 4);
    if (s.queued == 0) {
        // Starved: report the quarter before the one due, so the engine
        // refills the other three at once.
        return static_cast<uint32_t>((s.head + 3) & 3) * quarter;
    }
    alGetSourcei(src, AL_SAMPLE_OFFSET, &frame);
    const uint32_t within = std::min<uint32_t>(static_cast<uint32_t>(frame) * s.format.blockAlign, quarter - 1);
    return static_cast<uint32_t>(s.head) * quarter + within;
}

void OpenAlMixer::SetVolume(int slot, int32_t volume) {
    if (!HasBuffer(slot)) return;
    alSourcef(sources_[slot], AL_GAIN, GainFromVolume(volume));
}

}  // namespace velmora::platform
