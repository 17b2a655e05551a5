// Sound effects and voices: lookup by name, decoding and the mixer slots.
#include "audio/sound.h"

#include <cstring>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/ogg_voice.h"

namespace velmora {

namespace {

// Largest decoded sound effect we accept (about six minutes of stereo).
constexpr uint32_t kMaxDecodedSize = 64u * 1024 * 1024;

platform::Mixer* ActiveMixer(TForm1& f) { return f.audio.available ? f.plat.mixer() : nullptr; }

bool StartBuffer(TForm1& f, int slot, const platform::PcmFormat& format, const void* pcm, uint32_t bytes,
                 int32_t volume, bool looping, const std::string& name) {
    platform::Mixer* m = ActiveMixer(f);
    if (!m) return false;
    if (!m->CreateBuffer(slot, format, bytes, false)) {
        Trace("sound %s: no buffer for %u bytes (%u Hz, %u channels, %u bits)", name.c_str(), bytes,
              format.samplesPerSec, format.channels, format.bitsPerSample);
        return false;
    }
    if (!m->WriteBuffer(slot, 0, pcm, bytes)) {
        Trace("sound %s: buffer cannot be written", name.c_str());
        m->Release(slot);
        return false;
    }
    m->SetPosition(slot, 0);
    m->SetVolume(slot, volume);
    m->Play(slot, looping);
    return true;
}

void PlayVoiceEntry(TForm1& f, const std::string& name, const std::vector<uint8_t>& bytes) {
    DecodedVoice v;
    if (!DecodeOggVoice(bytes.data(), bytes.size(), v)) {
        Trace("voice %s: not played", name.c_str());
        return;
    }
    platform::PcmFormat fmt;
    fmt.formatTag = 1;
    fmt.channels = static_cast<uint16_t>(v.channels);
    fmt.samplesPerSec = static_cast<uint32_t>(v.rate);
    fmt.bitsPerSample = 16;
    fmt.blockAlign = static_cast<uint16_t>(v.channels * 2);
    fmt.avgBytesPerSec = static_cast<uint32_t>(v.channels * v.rate * 2);
    if (v.length == 0) {
        ContentError("damaged", "voice %s: no samples", name.c_str());
        return;
    }
    StartBuffer(f, kSlotVoice, fmt, v.pcm.data(), static_cast<uint32_t>(v.length), f.settings.Vol[0], false, name);
}

void PlayEffectEntry(TForm1& f, const std::string& name, const std::vector<uint8_t>& bytes, int slot) {
    WadyHeader h;
    if (!ParseWadyHeader(bytes.data(), bytes.size(), h)) {
        ContentError("damaged", "sound %s: not a WADY entry", name.c_str());
        return;
    }
    const uint32_t size = h.decodedSize & ~1u;
    if (size == 0 || size > kMaxDecodedSize) {
        Trace("sound %s: decoded size %u is not usable", name.c_str(), h.decodedSize);
        return;
    }
    if (!platform::PlayableFormat(h.format)) {
        Trace("sound %s: format %u, %u channels, %u bits, block %u cannot be played", name.c_str(),
              h.format.formatTag, h.format.channels, h.format.bitsPerSample, h.format.blockAlign);
        return;
    }
    std::vector<int16_t> pcm(size / 2);
    if (!DecodeRunCoded(bytes.data(), bytes.size(), h, pcm.data(), size)) {
        ContentError("damaged", "sound %s: damaged codes (entry of %zu bytes, %u decoded bytes)", name.c_str(),
                     bytes.size(), size);
        return;
    }
    StartBuffer(f, slot, h.format, pcm.data(), size, f.settings.Vol[1], slot == kSlotLoop, name);
}

}  // namespace

bool SoundWindowActive(TForm1& f) {
    SoundDialog d = f.audio.activeDialog;
    return f.plat.window().Active() && (d == SoundDialog::None || d == SoundDialog::SaveLoadList);
}

bool MusicWindowActive(TForm1& f) {
    SoundDialog d = f.audio.activeDialog;
    return f.plat.window().Active() && d != SoundDialog::Other;
}

void InitSound(TForm1& f) {
    AudioState& a = f.audio;
    if (a.outputOpen) return;
    a.outputOpen = true;
    platform::Mixer* m = f.plat.mixer();
    if (!m) {
        Trace("sound: no mixer on this platform; playing without sound");
        return;
    }
    if (!m->Open(f.settings.DirectSoundGlobal != 0)) {
        Trace("sound: the output device cannot be opened; playing without sound");
        return;
    }
    a.masterVolume = m->PrimaryVolume();
    a.codedWork.reset(new uint8_t[kMusicCodedBufferSize]);
    a.pcmWork.reset(new int16_t[kMusicPcmBufferSize / 2]);
    a.available = true;
    Trace("sound: output open, master volume %d", a.masterVolume);
}

void OpenSoundOutput(TForm1& f) { InitSound(f); }

void ShutdownSound(TForm1& f) {
    if (!f.audio.available) return;
    StopMusic(f);
    StopAnimationStream(f);
    platform::Mixer* m = f.plat.mixer();
    for (int i = 0; i < platform::kMixerSlots; ++i) m->Release(i);
    m->Close();
    f.audio.available = false;
}

int PlaySound(TForm1& f, const std::string& name) {
    if (!f.audio.available) return 0;
    const std::string up = UpperName(name);
    if (up != "SAMPLECV" && !SoundWindowActive(f)) return 0;
    DataState& d = f.data;
    std::vector<uint8_t> bytes;
    if (f.settings.CV1) {
        for (int i = 2; i >= 0; --i) {
            int pos = FindEntry(d.ogg[i], up);
            if (pos < 0) continue;
            if (ReadEntry(d.ogg[i], pos, bytes) < 0) return 1;
            PlayVoiceEntry(f, up, bytes);
            return 0;
        }
    }
    if (f.settings.SE_ENA) {
        for (int i = 0; i < 3; ++i) {
            int pos = FindEntry(d.se[i], up);
            if (pos < 0) continue;
            const int slot = i == 2 ? kSlotLoop : kSlotEffect;
            if (slot == kSlotLoop) f.audio.loopSoundName = up;
            // A volume that fails to read plays nothing; the lookup still counts as found.
            if (ReadEntry(d.se[i], pos, bytes) >= 0) PlayEffectEntry(f, up, bytes, slot);
            return 0;
        }
    }
    ContentError("sound", "sound %s: not found", up.c_str());
    return 1;
}

void PlaySoundByName(TForm1& f, const std::string& name) {
    if (f.ui.SkipActive) return;
    PlaySound(f, name);
}

bool SoundExists(TForm1& f, const std::string& name) {
    const std::string up = UpperName(name);
    const DataState& d = f.data;
    for (const ArchiveIndex& i : d.ogg)
        if (FindEntry(i, up) >= 0) return true;
    for (const ArchiveIndex& i : d.wav)
        if (FindEntry(i, up) >= 0) return true;
    for (const ArchiveIndex& i : d.se)
        if (FindEntry(i, up) >= 0) return true;
    return false;
}

void StopVoice(TForm1& f) {
    if (platform::Mixer* m = ActiveMixer(f)) m->Release(kSlotVoice);
}

void StopLoopSound(TForm1& f) {
    f.audio.loopSoundName.clear();
    if (platform::Mixer* m = ActiveMixer(f)) m->Release(kSlotLoop);
}

void StopAllSounds(TForm1& f) {
    if (platform::Mixer* m = ActiveMixer(f))
        for (int i = 0; i < platform::kMixerSlots; ++i) m->Release(i);
}

bool IsVoiceOrEffectPlaying(TForm1& f) {
    platform::Mixer* m = ActiveMixer(f);
    return m && (m->IsPlaying(kSlotVoice) || m->IsPlaying(kSlotEffect));
}

void ApplyVolumes(TForm1& f) {
    platform::Mixer* m = ActiveMixer(f);
    if (!m) return;
    const int32_t* vol = f.settings.Vol;
    m->SetPrimaryVolume(f.audio.muted ? platform::kSilentVolume : f.audio.masterVolume);
    // Slot 5 keeps the volume it started with.
    static const int kVolumeOf[platform::kMixerSlots] = {0, 1, 1, 2, 2, -1, 3, 3};
    for (int i = 0; i < platform::kMixerSlots; ++i)
        if (kVolumeOf[i] >= 0 && m->HasBuffer(i)) m->SetVolume(i, vol[kVolumeOf[i]]);
}

void SetMasterVolume(TForm1& f, int32_t volume) {
    f.audio.masterVolume = volume;
    ApplyVolumes(f);
}

void Mute(TForm1& f) {
    f.audio.muted = true;
    ApplyVolumes(f);
}

void Unmute(TForm1& f) {
    f.audio.muted = false;
    ApplyVolumes(f);
}

void PlayAnimationSound(TForm1& f, std::FILE* file, int32_t size) {
    if (!f.audio.available || !file) return;
    if (size < kWadyHeaderSize || size > kMaxEntrySize) {
        Trace("animation sound: entry of %d bytes refused", size);
        return;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        Trace("animation sound: entry of %d bytes cannot be read", size);
        return;
    }
    WadyHeader h;
    if (!ParseWadyHeader(bytes.data(), bytes.size(), h)) {
        Trace("animation sound: not a WADY entry");
        return;
    }
    const int ch = h.ByteChannels();
    const uint64_t samples = static_cast<uint64_t>(h.frames) * ch;
    const uint32_t size2 = h.decodedSize & ~1u;
    if (h.frames == 0 || samples > bytes.size() - kWadyHeaderSize || samples * 2 > size2 || size2 > kMaxDecodedSize ||
        !platform::PlayableFormat(h.format)) {
        Trace("animation sound: %u frames, %u decoded bytes do not fit the entry of %d bytes", h.frames,
              h.decodedSize, size);
        return;
    }
    std::vector<int16_t> pcm(size2 / 2, 0);
    int16_t pred[2] = {0, 0};
    DecodeByteCoded(bytes.data() + kWadyHeaderSize, h.frames, ch, h.scale, pred, pcm.data());
    StartBuffer(f, kSlotAnimation, h.format, pcm.data(), size2, f.settings.Vol[1], false, "animation sound");
}

void StopAnimationSound(TForm1& f) {
    if (platform::Mixer* m = ActiveMixer(f)) m->Release(kSlotAnimation);
}

void SoundTimerTick(TForm1& f) { UpdateMusic(f); }

}  // namespace velmora
