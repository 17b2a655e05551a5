// Archive indexes of both layouts from a file (held in memory), and their
// entries read back.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/trace.h"
#include "data/archive.h"
#include "fuzz/memory_file.h"

using namespace velmora;

namespace {

// Every record is checked by the index readers; the entry reads are the
// same code for each entry, so the first few and the last are read back.
// Reading all of them (one open per read, and a name search each) made an
// index of thousands of tiny records cost tens of milliseconds an input.
constexpr int kEntriesRead = 8;

void ReadEntryBack(const ArchiveIndex& index, int i) {
    std::vector<uint8_t> bytes;
    uint8_t small[64];
    ReadEntry(index, i, bytes);
    ReadEntry(index, i, small, sizeof small);
    FindEntry(index, index.names[i]);
}

void ReadAll(const ArchiveIndex& index) {
    for (int i = 0; i < index.count && i < kEntriesRead; ++i) ReadEntryBack(index, i);
    if (index.count > kEntriesRead) ReadEntryBack(index, index.count - 1);
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
