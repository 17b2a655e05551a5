#pragma once
// File helpers: bounded reads of regular files and crash-safe writes.
//
// A game folder comes from anywhere, so nothing here follows a planted link
// into a write, blocks on a FIFO or a device, or reads more than its caller
// can use.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace velmora {

// The most any reader takes in: archive entries are counted in 32 bits.
constexpr size_t kLargestFile = 0x7FFFFFFF;

// Opens path for reading when it is a regular file: a FIFO, a device or a
// folder is refused without blocking, and with noFollow a symbolic link too.
// Returns the descriptor, or -1.
int OpenRegularFile(const std::string& path, bool noFollow = false);
// The same as a stdio stream ("rb"), or null.
std::FILE* OpenRegularStream(const std::string& path);
// Reads a regular file, at most limit + 1 bytes: a caller that finds more
// than limit bytes knows the file is larger than anything it reads.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, size_t limit = kLargestFile,
                   bool noFollow = false);
// Reads size bytes at offset of a regular file; false unless all of them could be read.
bool ReadFilePart(const std::string& path, uint64_t offset, size_t size, std::vector<uint8_t>& bytes);
// The size of a regular file, or -1.
int64_t FileSize(const std::string& path);
// Writes to a new temporary file beside the target (a unique name, created
// exclusively, never through a link), flushes it to disk and renames it into
// place, so a crash never leaves a half-written file. A target that is a
// link or not a regular file is refused. ownFolder: the folder the file goes
// into must not be a link either (the engine's save folders).
bool WriteFileAtomic(const std::string& path, const void* data, size_t size, bool ownFolder = false);
inline bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes, bool ownFolder = false) {
    return WriteFileAtomic(path, bytes.data(), bytes.size(), ownFolder);
}
// Removes what crash-safe writes of a run that died left in folder: regular
// files named "<name>.dat.tmp.<pid>..." or "<name>.ini.tmp.<pid>..." whose
// process is gone; with only, just the temporaries of that file name.
// Returns how many.
int RemoveStaleTemporaries(const std::string& folder, const std::string& only = std::string());
bool MakeDirectories(const std::string& path);
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
// Whether path itself is a symbolic link.
bool IsLink(const std::string& path);
// An absolute form of path, taken against the current directory.
std::string AbsolutePath(const std::string& path);

}  // namespace velmora
