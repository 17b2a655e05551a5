// Streamed music: a four-quarter looping buffer on slot 3, refilled from
// the timer with byte-coded data read ahead from the volume file.
#include <cstring>

#include "app/engine.h"
#include "data/file_io.h"
#include "app/trace.h"
#include "audio/sound.h"

namespace velmora {

namespace {

void CloseMusicFile(MusicStream& s) {
    if (s.file) std::fclose(s.file);
    s.file = nullptr;
    s.filePos = -1;
}

// Reads coded bytes at an absolute file position; what the file does not
// hold reads as silence-preserving zero deltas.
void ReadCoded(MusicStream& s, int64_t pos, uint8_t* out, size_t n) {
    std::FILE* fp = s.source == MusicSource::MusicFile ? s.file : s.animFile;
    size_t got = 0;
    if (fp) {
        // The music file is read sequentially; the animation file is shared
        // with the animation player and is sought every time.
        if (s.source != MusicSource::MusicFile || s.filePos != pos) {
            if (std::fseek(fp, static_cast<long>(pos), SEEK_SET) != 0) s.filePos = -1;
            else s.filePos = pos;
        }
        if (s.filePos == pos) got = std::fread(out, 1, n, fp);
        s.filePos = got == n ? pos + static_cast<int64_t>(n) : -1;
    }
    if (got < n) {
        Trace("music: %zu coded bytes at %lld cannot be read", n - got, static_cast<long long>(pos));
        std::memset(out + got, 0x40, n - got);  // 0x40: a delta of zero
    }
}

// Decodes `frames` frames from the read position on.
void DecodeFrames(MusicStream& s, uint8_t* coded, int16_t* out, size_t frames) {
    const size_t n = frames * static_cast<size_t>(s.channels);
    if (n == 0) return;
    ReadCoded(s, s.readPos, coded, n);
    DecodeByteCoded(coded, frames, s.channels, s.header.scale, s.predictor, out);
    s.readPos += static_cast<int64_t>(n);
}

// Decodes the next quarter into out (F frames), wrapping to the loop point
// with the loop predictors when the track ends inside it.
void FillQuarter(MusicStream& s, uint8_t* coded, int16_t* out) {
    const size_t F = s.header.framesPerQuarter;
    const int ch = s.channels;
    size_t done = 0;
    while (done < F) {
        const int64_t remaining = s.endPos - s.readPos;
        const size_t need = (F - done) * static_cast<size_t>(ch);
        if (remaining >= static_cast<int64_t>(need)) {
            DecodeFrames(s, coded, out + done * ch, F - done);
            return;
        }
        const size_t frames = remaining > 0 ? static_cast<size_t>(remaining) / ch : 0;
        DecodeFrames(s, coded, out + done * ch, frames);
        done += frames;
        s.predictor[0] = s.header.loopPredictor[0];
        s.predictor[1] = s.header.loopPredictor[1];
        s.readPos = s.loopPos;
    }
}

// Starts the stream whose entry begins at `offset` of the source's file.
int StartStream(TForm1& f, int64_t offset, int64_t entrySize) {
    AudioState& a = f.audio;
    MusicStream& s = a.music;
    if (!a.available) return 0;
    platform::Mixer* m = f.plat.mixer();
    s.volume = f.settings.Vol[2];
    s.fadeLevel = 0;
    m->Release(kSlotMusic);
    std::FILE* fp;
    if (s.source == MusicSource::AnimationFile) {
        fp = s.animFile;
    } else {
        CloseMusicFile(s);
        s.file = OpenRegularStream(f.data.bgm.path);
        if (!s.file) {
            Trace("music: cannot open \"%s\"", f.data.bgm.path.c_str());
            return 1;
        }
        fp = s.file;
    }
    uint8_t head[kWadyHeaderSize];
    WadyHeader& h = s.header;
    bool ok = fp && std::fseek(fp, static_cast<long>(offset), SEEK_SET) == 0 &&
              std::fread(head, 1, sizeof head, fp) == sizeof head && ParseWadyHeader(head, sizeof head, h);
    if (!ok) {
        ContentError("damaged", "music: the entry at %lld is not WADY", static_cast<long long>(offset));
        if (s.source != MusicSource::AnimationFile) CloseMusicFile(s);
        return 1;
    }
    if (s.source != MusicSource::AnimationFile) s.source = MusicSource::MusicFile;
    s.channels = h.ByteChannels();
    const uint64_t quarterSamples = static_cast<uint64_t>(h.framesPerQuarter) * s.channels;
    const char* refused = nullptr;
    if (h.framesPerQuarter == 0 || quarterSamples > kMaxQuarterSamples) refused = "its quarter exceeds the work buffers";
    else if (!platform::PlayableFormat(h.format) || h.format.channels != s.channels)
        refused = "its PCM format cannot be played";
    else if (entrySize >= 0 && h.codedLength > entrySize - kWadyHeaderSize) refused = "its coded length exceeds the entry";
    else if (h.codedLength < static_cast<uint32_t>(s.channels) ||
             h.loopStart > h.codedLength - static_cast<uint32_t>(s.channels))
        refused = "its loop start lies outside the coded data";
    if (refused) {
        Trace("music: track refused: %s (%u frames per quarter, %d channels, %u coded bytes, loop at %u)", refused,
              h.framesPerQuarter, s.channels, h.codedLength, h.loopStart);
        if (s.source == MusicSource::MusicFile) {
            CloseMusicFile(s);
            s.source = MusicSource::None;
        }
        return 1;
    }
    s.quarterBytes = h.framesPerQuarter * 2 * s.channels;
    s.endPos = offset + kWadyHeaderSize + h.codedLength;
    s.loopPos = offset + kWadyHeaderSize + h.loopStart;
    s.readPos = offset + kWadyHeaderSize;
    s.filePos = offset + kWadyHeaderSize;
    s.predictor[0] = s.predictor[1] = 0;
    // The first four quarters; a track shorter than that wraps already.
    const size_t quarterSamplesN = static_cast<size_t>(quarterSamples);
    for (int q = 0; q < 4; ++q) FillQuarter(s, a.codedWork.get(), a.pcmWork.get() + q * quarterSamplesN);
    const uint32_t bytes = 4 * s.quarterBytes;
    if (!m->CreateBuffer(kSlotMusic, h.format, bytes, true) ||
        !m->WriteBuffer(kSlotMusic, 0, a.pcmWork.get(), bytes)) {
        Trace("music: no stream buffer of %u bytes", bytes);
        m->Release(kSlotMusic);
        return 0;
    }
    m->SetPosition(kSlotMusic, 0);
    m->SetVolume(kSlotMusic, s.volume);
    m->Play(kSlotMusic, true);
    s.next = 0;
    return 0;
}

}  // namespace

void SetMusic(TForm1& f, int32_t n) {
    AudioState& a = f.audio;
    const int32_t requested = n > 0 ? n : 0;
    if (n < 0) a.music.fadeStep = -n;
    a.requestedTrack = requested;
    if (requested == a.playingTrack) return;
    if (f.settings.BGM_ENA) {
        if (n > 0) PlayTrack(f, n);
        else if (n < 0) FadeMusic(f, -n);
        else StopMusic(f);
        a.playingTrack = requested;
    } else {
        StopMusic(f);
        a.playingTrack = 0;
    }
}

void ReapplyMusic(TForm1& f) {
    const int32_t track = f.audio.requestedTrack;
    SetMusic(f, 0);
    SetMusic(f, track);
    f.audio.requestedTrack = track;
}

int PlayTrack(TForm1& f, int32_t n) {
    AudioState& a = f.audio;
    if (!MusicWindowActive(f)) {
        a.pendingTrack = n;
        a.pendingCounter = 3;
        return 1;
    }
    a.pendingCounter = 0;
    char name[16];
    std::snprintf(name, sizeof name, "M%02d", n);
    const int pos = FindEntry(f.data.bgm, name);
    if (pos < 0) {
        ContentError("music", "music %s: not found", name);
        return 1;
    }
    if (a.music.source == MusicSource::AnimationFile) {
        // A new track takes the stream back from the animation.
        a.music.source = MusicSource::None;
        a.music.animFile = nullptr;
    }
    Trace("music %s: start", name);
    return StartStream(f, f.data.bgm.offsets[pos], f.data.bgm.sizes[pos]);
}

void StopMusic(TForm1& f) {
    MusicStream& s = f.audio.music;
    if (s.source == MusicSource::None) return;
    s.source = MusicSource::None;
    if (f.audio.available) f.plat.mixer()->Release(kSlotMusic);
    CloseMusicFile(s);
}

void FadeMusic(TForm1& f, int32_t step) {
    MusicStream& s = f.audio.music;
    s.fadeLevel = s.volume - 1;
    s.fadeStep = step;
}

void UpdateMusic(TForm1& f) {
    AudioState& a = f.audio;
    if (!a.available) return;
    platform::Mixer* m = f.plat.mixer();
    if (!a.muted) m->SetPrimaryVolume(a.masterVolume);
    if (!m->HasBuffer(kSlotMusic)) return;
    MusicStream& s = a.music;
    if (s.fadeLevel != 0) {
        s.fadeLevel -= s.fadeStep;
        if (s.fadeLevel < -3000) {
            StopMusic(f);
            s.fadeLevel = 0;
            return;
        }
        s.volume = s.fadeLevel;
    } else {
        s.volume = f.settings.Vol[2];
    }
    if (s.quarterBytes == 0) return;
    const uint32_t position = m->PlayPosition(kSlotMusic);
    const int playing = static_cast<int>((position / s.quarterBytes) & 3);
    const size_t quarterSamples = s.quarterBytes / 2;
    while (playing != s.next) {
        FillQuarter(s, a.codedWork.get(), a.pcmWork.get());
        if (!m->WriteBuffer(kSlotMusic, static_cast<uint32_t>(s.next) * s.quarterBytes, a.pcmWork.get(),
                            static_cast<uint32_t>(quarterSamples * 2)))
            Trace("music: quarter %d cannot be written", s.next);
        s.next = (s.next + 1) & 3;
    }
    m->SetVolume(kSlotMusic, s.volume);
}

int PlayAnimationStream(TForm1& f, std::FILE* file, long position) {
    AudioState& a = f.audio;
    MusicStream& s = a.music;
    if (s.source == MusicSource::MusicFile) StopMusic(f);
    if (a.available) f.plat.mixer()->Release(kSlotMusic);
    CloseMusicFile(s);
    s.source = MusicSource::AnimationFile;
    s.animFile = file;
    // The track is gone from the slot: asking for it again must start it.
    a.playingTrack = 0;
    return StartStream(f, position, -1);
}

void StopAnimationStream(TForm1& f) {
    MusicStream& s = f.audio.music;
    if (s.source != MusicSource::AnimationFile) return;
    s.source = MusicSource::None;
    s.animFile = nullptr;
    if (f.audio.available) f.plat.mixer()->Release(kSlotMusic);
}

void MusicDelayTick(TForm1& f) {
    AudioState& a = f.audio;
    if (a.pendingCounter <= 0) return;
    if (a.pendingCounter > 1) {
        --a.pendingCounter;
        return;
    }
    a.pendingCounter = 0;
    PlayTrack(f, a.pendingTrack);
}

}  // namespace velmora
