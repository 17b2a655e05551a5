// Windows bitmap files (the panic picture).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/image_files.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        char pattern[] = "/tmp/velmora-fuzz-bmp-XXXXXX";
        int fd = ::mkstemp(pattern);
        if (fd < 0) std::abort();
        ::close(fd);
        return std::string(pattern);
    }();
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) std::abort();
    if (size > 0) std::fwrite(data, 1, size, fp);
    std::fclose(fp);
    Picture p;
    ReadBmpFile(path, p);
    return 0;
}
