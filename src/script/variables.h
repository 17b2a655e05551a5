#pragma once
// The script variable banks.
#include <cstdint>

namespace velmora {

class TForm1;

constexpr int kStringVarSize = 64;

struct VarBanks {
    int32_t V[1000] = {};
    int32_t S[200] = {};
    int32_t G[10] = {};
    uint8_t F[1024 / 8] = {};
    uint8_t E[1024 / 8] = {};
    uint8_t T[10000 / 8] = {};
    char str[10][kStringVarSize] = {};
};

}  // namespace velmora
