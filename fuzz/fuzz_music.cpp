// Music entries: the input is entry "M01" of the music volume, started and
// streamed through the engine's music player for a few timer ticks.
#include <cstring>
#include <vector>

#include "audio/sound.h"
#include "data/archive.h"
#include "fuzz/fuzz_engine.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEngine& e = fuzz::Engine();
    TForm1& f = *e.f;
    StopMusic(f);
    // A volume of one entry, name width 16.
    std::vector<uint8_t> v(8 + 24, 0);
    v[0] = 1;
    v[4] = 16;
    std::memcpy(v.data() + 8, "M01", 3);
    const uint32_t offset = static_cast<uint32_t>(v.size()), length = static_cast<uint32_t>(size);
    for (int k = 0; k < 4; ++k) {
        v[8 + 16 + k] = static_cast<uint8_t>(offset >> (8 * k));
        v[8 + 20 + k] = static_cast<uint8_t>(length >> (8 * k));
    }
    v.insert(v.end(), data, data + size);
    fuzz::WriteGameFile("vk_bgm.vrk", v.data(), v.size());
    f.data.bgm.path = "vk_bgm.vrk";
    ReadVolumeIndex(f.data.bgm.path, f.data.bgm);
    PlayTrack(f, 1);
    for (int i = 0; i < 24; ++i) UpdateMusic(f);
    StopMusic(f);
    return 0;
}
