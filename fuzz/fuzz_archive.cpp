// Archive indexes of both layouts from a file, and every entry read back.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/trace.h"
#include "data/archive.h"

using namespace velmora;

namespace {

const std::string& ScratchFile() {
    static const std::string path = [] {
        char pattern[] = "/tmp/velmora-fuzz-archive-XXXXXX";
        int fd = ::mkstemp(pattern);
        if (fd < 0) std::abort();
        ::close(fd);
        return std::string(pattern);
    }();
    return path;
}

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
    const std::string& path = ScratchFile();
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) std::abort();
    if (size > 0) std::fwrite(data, 1, size, fp);
    std::fclose(fp);
    ArchiveIndex scripts, volume;
    scripts.path = volume.path = path;
    ReadScriptIndex(path, scripts);
    ReadAll(scripts);
    ReadVolumeIndex(path, volume);
    ReadAll(volume);
    FindEntry(volume, "MAIN");
    return 0;
}
