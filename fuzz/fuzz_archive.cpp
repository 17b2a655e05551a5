// Archive indexes of both layouts from a file (held in memory), and every
// entry read back.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/trace.h"
#include "data/archive.h"
#include "fuzz/memory_file.h"

using namespace velmora;

namespace {

void ReadAll(const ArchiveIndex& index) {
    std::vector<uint8_t> bytes;
    uint8_t small[64];
    for (int i = 0; i < index.count; ++i) {
        ReadEntry(index, i, bytes);
        ReadEntry(index, i, small, sizeof small);
        FindEntry(index, index.names[i]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetTraceSink(nullptr);
    const std::string path = fuzz::MemoryFile(0, data, size);
    ArchiveIndex scripts, volume;
    scripts.path = volume.path = path;
    ReadScriptIndex(path, scripts);
    ReadAll(scripts);
    ReadVolumeIndex(path, volume);
    ReadAll(volume);
    FindEntry(volume, "MAIN");
    return 0;
}
