// Sound decoding, each against a reference run in the same process: a
// 5-second 22 kHz stereo effect in the run coding and in the byte coding
// against memcpy of the decoded bytes, a 5-second Ogg voice against a plain
// ov_read loop over the same stream, and one music quarter refilled by the
// engine's stream against memcpy of the quarter. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/engine.h"
#include "audio/ogg_voice.h"
#include "audio/sound.h"
#include "audio/wady.h"
#include "data/file_io.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "tools/archive_writer.h"
#include "tools/sound_encoder.h"

using namespace velmora;
using bench::Memcpy;

namespace {

// Five seconds of something like a sound effect: two gliding tones under a
// decaying envelope, a noise burst, and a quiet stretch.
tools::PcmSound MakeSound(int channels, uint32_t rate) {
    tools::PcmSound s;
    s.channels = channels;
    s.rate = rate;
    const size_t frames = static_cast<size_t>(rate) * 5;
    s.samples.resize(frames * channels);
    uint32_t seed = 12345;
    for (size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        const double env = std::exp(-0.6 * std::fmod(t, 2.5)) * (t > 4.5 ? 0.05 : 1.0);
        seed = seed * 1664525u + 1013904223u;
        const double noise = (t > 1.0 && t < 1.4) ? (static_cast<int>(seed >> 16) - 32768) / 32768.0 : 0.0;
        for (int c = 0; c < channels; ++c) {
            const double tone = std::sin(2 * M_PI * (220 + 80 * t + 30 * c) * t) +
                                0.4 * std::sin(2 * M_PI * (660 - 40 * t) * t + c);
            s.samples[f * channels + c] = static_cast<int16_t>(std::lround(9000 * env * tone + 4000 * noise));
        }
    }
    return s;
}

struct Inputs {
    tools::PcmSound effect = MakeSound(2, 22050);
    tools::PcmSound voiceSound = MakeSound(1, 22050);
    std::vector<uint8_t> runCoded, byteCoded, voice;
    WadyHeader runHeader, byteHeader;
    Inputs() {
        std::string error;
        runCoded = tools::EncodeSoundEffect(effect);
        ParseWadyHeader(runCoded.data(), runCoded.size(), runHeader);
        if (!tools::EncodeMusic(effect, {}, byteCoded, error) ||
            !ParseWadyHeader(byteCoded.data(), byteCoded.size(), byteHeader))
            std::fprintf(stderr, "byte coding: %s\n", error.c_str());
        if (!tools::EncodeVoice(voiceSound, 0.4f, voice, error)) std::fprintf(stderr, "voice: %s\n", error.c_str());
    }
};

Inputs& In() {
    static Inputs i;
    return i;
}


// --- run coding (sound effects) ---
void BM_RunCoded(benchmark::State& st) {
    Inputs& in = In();
    const uint32_t size = in.runHeader.decodedSize & ~1u;
    std::vector<int16_t> pcm(size / 2);
    bool ok = true;
    for (auto _ : st) {
        ok &= DecodeRunCoded(in.runCoded.data(), in.runCoded.size(), in.runHeader, pcm.data(), size);
        benchmark::ClobberMemory();
    }
    if (!ok) st.SkipWithError("run-coded effect does not decode");
}
void BM_RunCoded_memcpy(benchmark::State& st) { Memcpy(st, In().runHeader.decodedSize & ~1u); }

// --- byte coding (music, animation sounds) ---
void BM_ByteCoded(benchmark::State& st) {
    Inputs& in = In();
    const WadyHeader& h = in.byteHeader;
    const int ch = h.ByteChannels();
    std::vector<int16_t> pcm(static_cast<size_t>(h.frames) * ch);
    for (auto _ : st) {
        int16_t pred[2] = {0, 0};
        DecodeByteCoded(in.byteCoded.data() + kWadyHeaderSize, h.frames, ch, h.scale, pred, pcm.data());
        benchmark::ClobberMemory();
    }
}
void BM_ByteCoded_memcpy(benchmark::State& st) {
    const WadyHeader& h = In().byteHeader;
    Memcpy(st, static_cast<size_t>(h.frames) * h.ByteChannels() * 2);
}

// --- Ogg voices ---
struct Stream {
    const uint8_t* data;
    size_t size, pos;
};
size_t Read(void* out, size_t size, size_t count, void* s) {
    Stream* m = static_cast<Stream*>(s);
    size_t n = std::min(size * count, m->size - m->pos);
    std::memcpy(out, m->data + m->pos, n);
    m->pos += n;
    return size ? n / size : 0;
}
int Seek(void* s, ogg_int64_t off, int whence) {
    Stream* m = static_cast<Stream*>(s);
    int64_t to = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(m->pos)
                                                               : static_cast<int64_t>(m->size)) + off;
    if (to < 0 || to > static_cast<int64_t>(m->size)) return -1;
    m->pos = static_cast<size_t>(to);
    return 0;
}
long Tell(void* s) { return static_cast<long>(static_cast<Stream*>(s)->pos); }

// Opens the stream and reads it to the end with ov_read: what any player
// of the format has to do.
size_t PlainOvRead(const std::vector<uint8_t>& ogg, std::vector<uint8_t>& out) {
    Stream m{ogg.data(), ogg.size(), 0};
    OggVorbis_File vf;
    ov_callbacks cb{Read, Seek, nullptr, Tell};
    if (ov_open_callbacks(&m, &vf, nullptr, 0, cb) != 0) return 0;
    size_t got = 0;
    int section = 0;
    while (got < out.size()) {
        long n = ov_read(&vf, reinterpret_cast<char*>(out.data() + got),
                         static_cast<int>(std::min<size_t>(out.size() - got, 1 << 20)), 0, 2, 1, &section);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ov_clear(&vf);
    return got;
}

void BM_OggVoice(benchmark::State& st) {
    Inputs& in = In();
    DecodedVoice v;
    for (auto _ : st) {
        DecodeOggVoice(in.voice.data(), in.voice.size(), v);
        benchmark::DoNotOptimize(v.pcm.data());
    }
    std::vector<uint8_t> want(in.voiceSound.samples.size() * 2 + 65536);
    want.resize(PlainOvRead(in.voice, want));
    if (v.pcm.size() < want.size() || std::memcmp(v.pcm.data(), want.data(), want.size()) != 0)
        st.SkipWithError("voice differs from ov_read's samples");
}
void BM_OggVoice_ovread(benchmark::State& st) {
    Inputs& in = In();
    std::vector<uint8_t> out(in.voiceSound.samples.size() * 2 + 65536);
    for (auto _ : st) {
        benchmark::DoNotOptimize(PlainOvRead(in.voice, out));
        benchmark::ClobberMemory();
    }
}

// --- music: one quarter refilled while the stream plays ---
// A game folder with one 5-second 44.1 kHz stereo track, started headless;
// a quarter is 250 ms, so each step of the virtual clock by 250 ms leaves
// exactly one quarter behind the play cursor.
struct MusicGame {
    bench::ScratchFolder scratch{"velmora-sound-bench"};
    const std::string dir = scratch.path;
    std::unique_ptr<platform::HeadlessPlatform> plat;
    std::unique_ptr<TForm1> f;
    uint32_t quarterBytes = 0;

    MusicGame() {
        std::string error;
        std::vector<tools::PackEntry> scripts(2);
        scripts[0].name = "_config";
        tools::ScriptTextToCp932("TITLE:bench\nMAKER_REG:Software\\Bench\nGAME_ID:soundbench\nEND\n", "_config",
                                 scripts[0].data, error);
        scripts[1].name = "main";
        tools::ScriptTextToCp932("x\n", "main", scripts[1].data, error);
        std::vector<uint8_t> archive, volume;
        tools::BuildScriptArchive(scripts, archive, error);
        WriteFileAtomic(dir + "/vk_data.vrk", archive);
        std::vector<tools::PackEntry> tracks(1);
        tracks[0].name = "M01";
        tools::EncodeMusic(MakeSound(2, 44100), {}, tracks[0].data, error);
        tools::BuildVolume(tracks, 16, volume, error);
        WriteFileAtomic(dir + "/vk_bgm.vrk", volume);
        bench::StartEngine(dir, plat, f);
        InitSound(*f);
        SetMusic(*f, 1);
        quarterBytes = f->audio.music.quarterBytes;
    }
};

MusicGame& Music() {
    static MusicGame g;
    return g;
}

void BM_MusicQuarter(benchmark::State& st) {
    MusicGame& g = Music();
    if (g.quarterBytes != 44100 || !g.plat->headlessMixer.HasBuffer(kSlotMusic)) {
        st.SkipWithError("the track does not stream");
        return;
    }
    auto& events = g.plat->headlessMixer.events;
    events.clear();
    size_t writes = 0;
    for (auto _ : st) {
        g.plat->Sleep(250);
        UpdateMusic(*g.f);
        for (const platform::MixerEvent& e : events) writes += e.kind == platform::MixerEvent::Write;
        events.clear();
    }
    if (writes != static_cast<size_t>(st.iterations())) st.SkipWithError("not one refill per quarter");
}
void BM_MusicQuarter_memcpy(benchmark::State& st) { Memcpy(st, 44100); }

BENCHMARK(BM_RunCoded);
BENCHMARK(BM_RunCoded_memcpy);
BENCHMARK(BM_ByteCoded);
BENCHMARK(BM_ByteCoded_memcpy);
BENCHMARK(BM_OggVoice);
BENCHMARK(BM_OggVoice_ovread);
BENCHMARK(BM_MusicQuarter);
BENCHMARK(BM_MusicQuarter_memcpy);


}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-16s %12s %12s  %s\n", "decoder", "/ reference", "cpu / ref", "reference");
    const char* rows[][2] = {{"RunCoded", "memcpy"}, {"ByteCoded", "memcpy"}, {"OggVoice", "ovread"},
                             {"MusicQuarter", "memcpy"}};
    for (auto& row : rows) {
        const std::string base = std::string("BM_") + row[0], ref = base + "_" + row[1];
        if (!reporter.times.count(base) || !reporter.times.count(ref)) continue;
        std::printf("%-16s %12.2f %12.2f  %s\n", row[0], reporter.times[base] / reporter.times[ref],
                    reporter.cpuTimes[base] / reporter.cpuTimes[ref], row[1]);
    }
    const Inputs& in = In();
    std::printf("\neffect: %zu frames; run coded %zu bytes, byte coded %zu bytes, voice %zu bytes\n",
                in.effect.Frames(), in.runCoded.size(), in.byteCoded.size(), in.voice.size());
    return 0;
}
