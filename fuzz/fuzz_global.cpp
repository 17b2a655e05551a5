// The global data files "save0.dat" and "kaiso.dat" through the store that
// merges them at every start, load and save.
#include "fuzz/fuzz_engine.h"
#include "save/slots.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEngine& e = fuzz::Engine();
    const size_t half = size > 0 ? data[0] * size / 256 : 0;
    fuzz::WriteGameFile("save0.dat", data, size);
    fuzz::WriteGameFile("kaiso.dat", data + half, size - half);
    StoreGlobalData(*e.f);
    StoreGlobalData(*e.f, true);
    return 0;
}
