#pragma once
// A file held in memory for the readers that open files by path: the input
// goes into an anonymous memory file and the reader opens it through
// /proc/self/fd, so no input touches the disk. Each slot is one such file,
// rewritten for every input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace velmora::fuzz {

inline std::string MemoryFile(int slot, const uint8_t* data, size_t size) {
    static int fds[4] = {-1, -1, -1, -1};
    if (slot < 0 || slot >= 4) std::abort();
    int& fd = fds[slot];
    if (fd < 0) fd = ::memfd_create("velmora-fuzz", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) std::abort();
        done += static_cast<size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace velmora::fuzz
