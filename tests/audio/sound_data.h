#pragma once
// Sound entries for tests, built by hand so the decoders are checked
// against codes we know.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/sound.h"
#include "audio/wady.h"
#include "support/test_game.h"

namespace velmora::test {

// A pseudo-random byte-coded stream: mostly small deltas, now and then an
// absolute code, so wrong predictors or offsets show at once.
inline std::vector<uint8_t> CodedNoise(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        uint8_t c = static_cast<uint8_t>(seed >> 24);
        v[i] = (c & 0xF0) == 0xF0 ? static_cast<uint8_t>(0x80 | (c & 0x3F)) : static_cast<uint8_t>(c & 0x7F);
    }
    return v;
}

// A byte-coded music entry.
inline std::vector<uint8_t> MusicEntry(const std::vector<uint8_t>& coded, int channels, uint32_t framesPerQuarter,
                                       uint32_t loopStart, int16_t loopLeft, int16_t loopRight, int scale = 2,
                                       uint32_t rate = 22050) {
    WadyHeader h;
    h.scale = static_cast<uint8_t>(scale);
    h.channelsField = static_cast<uint16_t>(channels);
    h.framesPerQuarter = framesPerQuarter;
    h.codedLength = static_cast<uint32_t>(coded.size());
    h.frames = static_cast<uint32_t>(coded.size() / channels);
    h.decodedSize = h.frames * channels * 2;
    h.loopStart = loopStart;
    h.loopPredictor[0] = loopLeft;
    h.loopPredictor[1] = loopRight;
    h.format.channels = static_cast<uint16_t>(channels);
    h.format.samplesPerSec = rate;
    h.format.blockAlign = static_cast<uint16_t>(channels * 2);
    h.format.avgBytesPerSec = rate * channels * 2;
    std::vector<uint8_t> e(48);
    WriteWadyHeader(h, e.data());
    e.insert(e.end(), coded.begin(), coded.end());
    return e;
}

// A run-coded mono sound effect: the first sample and one-byte codes.
inline std::vector<uint8_t> EffectEntry(const std::vector<uint8_t>& codes, int16_t first = 0,
                                        uint32_t rate = 22050) {
    std::vector<uint8_t> e(48 + 10);
    WadyHeader h;
    h.decodedSize = static_cast<uint32_t>((codes.size() + 1) * 2);
    h.format.channels = 1;
    h.format.samplesPerSec = rate;
    h.format.blockAlign = 2;
    h.format.avgBytesPerSec = rate * 2;
    WriteWadyHeader(h, e.data());
    const uint32_t n = static_cast<uint32_t>(codes.size());
    for (int i = 0; i < 4; ++i) e[52 + i] = static_cast<uint8_t>(n >> (8 * i));
    e[56] = static_cast<uint8_t>(first);
    e[57] = static_cast<uint8_t>(static_cast<uint16_t>(first) >> 8);
    e.insert(e.end(), codes.begin(), codes.end());
    return e;
}

inline TestGame& BasicGame(TestGame& g) {
    g.Script("_config",
             "TITLE:t\nMAKER_REG:Software\\VelmoraTest\nGAME_ID:sound\nDEFAULT_NAME:a\nDEFAULT_NAME2:b\n"
             "VOLUME1:-100\nVOLUME2:-200\nVOLUME3:-300\nVOLUME4:-400\nEND\n")
        .Script("main", "x\n");
    return g;
}

// A game built and started headless, with sound open.
struct SoundRig {
    explicit SoundRig(TestGame& g, bool failOpen = false) {
        g.Build();
        engine = std::make_unique<HeadlessEngine>(g.path());
        mixer().failOpen = failOpen;
        InitSound(f());
    }
    TForm1& f() { return *engine->f; }
    platform::HeadlessPlatform& plat() { return engine->plat; }
    platform::HeadlessMixer& mixer() { return engine->plat.headlessMixer; }
    // One timer tick's worth of virtual time, then the sound upkeep.
    void Tick() {
        plat().Sleep(55);
        UpdateMusic(f());
    }
    std::unique_ptr<HeadlessEngine> engine;
};

}  // namespace velmora::test
