#pragma once
// File helpers: whole-file reads and crash-safe writes.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// Reads size bytes at offset; false unless all of them could be read.
bool ReadFilePart(const std::string& path, uint64_t offset, size_t size, std::vector<uint8_t>& bytes);
// The size of a regular file, or -1.
int64_t FileSize(const std::string& path);
// Writes to a temporary file beside the target, flushes it to disk and
// renames it into place, so a crash never leaves a half-written file.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size);
inline bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes) {
    return WriteFileAtomic(path, bytes.data(), bytes.size());
}
// Removes what crash-safe writes of a run that died left in folder: files
// named "<name>.dat.tmp.<pid>" whose process is gone. Returns how many.
int RemoveStaleTemporaries(const std::string& folder);
bool MakeDirectories(const std::string& path);
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
// An absolute form of path, taken against the current directory.
std::string AbsolutePath(const std::string& path);

}  // namespace velmora
