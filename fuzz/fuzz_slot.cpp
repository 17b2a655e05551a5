// Slot files through the load the save dialog runs, and the slot decoder.
#include <vector>

#include "data/file_io.h"
#include "fuzz/fuzz_engine.h"
#include "save/slot_file.h"
#include "save/slots.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEngine& e = fuzz::Engine();
    static std::unique_ptr<SlotImage> image = std::make_unique<SlotImage>();
    DecodeSlot(data, size, *image);
    MakeDirectories(e.dir + "/save");
    fuzz::WriteGameFile("save/save01.dat", data, size);
    LoadGame(*e.f, 1, true);
    fuzz::Passes(2);
    return 0;
}
