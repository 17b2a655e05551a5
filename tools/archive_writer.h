#pragma once
// Writing archives: the script archive (24-byte records, negated bytes) and
// volumes of any name width. Used by velmora-pack and by the tests.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::tools {

struct PackEntry {
    std::string name;           // as stored (ASCII)
    std::vector<uint8_t> data;  // as stored
};

// Builds a script archive file image. Every byte of data is negated here.
// Fails (with error) for a name longer than 15 bytes.
bool BuildScriptArchive(const std::vector<PackEntry>& entries, std::vector<uint8_t>& out, std::string& error);
// Builds a volume file image with name field width `width`.
bool BuildVolume(const std::vector<PackEntry>& entries, int width, std::vector<uint8_t>& out, std::string& error);

// Turns UTF-8 script text into decoded script bytes: each line converted to
// CP932 and ended by one NUL. `where` names the file in errors ("file:line: ...").
bool ScriptTextToCp932(const std::string& utf8, const std::string& where, std::vector<uint8_t>& out,
                       std::string& error);

// Reads every regular file of a folder (sorted by name). The entry name is
// the file name, without its extension unless keepExtension.
bool ReadFolder(const std::string& dir, bool keepExtension, std::vector<std::string>& names,
                std::vector<std::string>& paths, std::string& error);

// Builds a script archive from a folder of UTF-8 text files.
bool PackScriptFolder(const std::string& dir, const std::string& outPath, std::string& error, int* count = nullptr);
// Builds a volume from a folder of files, stored as they are.
bool PackVolumeFolder(const std::string& dir, int width, bool keepExtension, const std::string& outPath,
                      std::string& error, int* count = nullptr);

}  // namespace velmora::tools
