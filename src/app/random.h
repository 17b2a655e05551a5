#pragma once
// The engine's random generator: a 32-bit linear congruential generator, so
// a run with a given seed repeats exactly on every platform.
#include <cstdint>

namespace velmora {

struct EngineRandom {
    uint32_t seed = 1;
    // A number in 0 ... range - 1 (0 when range <= 0).
    int32_t Next(int32_t range) {
        seed = seed * 134775813u + 1u;
        if (range <= 0) return 0;
        return static_cast<int32_t>((static_cast<uint64_t>(seed) * static_cast<uint32_t>(range)) >> 32);
    }
};

}  // namespace velmora
