#pragma once
// ZIP files of a few small entries: written "stored" with their CRC-32,
// read stored or deflated. The reader trusts nothing: every offset and size
// is checked against the file and against what the caller allows, and
// every entry against its CRC-32.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct ZipEntry {
    std::string name;           // "folder/" for a folder
    std::vector<uint8_t> data;  // empty for a folder
};

// The standard CRC-32 of ZIP and PNG.
uint32_t ZipCrc32(const uint8_t* bytes, size_t n);

// The whole ZIP file. dosTime and dosDate stamp every entry (MS-DOS format).
std::vector<uint8_t> WriteZip(const std::vector<ZipEntry>& entries, uint16_t dosTime, uint16_t dosDate);
// MS-DOS time and date of a local time.
void DosTimeOf(int year, int month, int day, int hour, int minute, int second, uint16_t& dosTime, uint16_t& dosDate);

// What the caller accepts: the largest size of an entry of this name, or
// a negative number when the name is not one it takes.
using ZipNameLimit = long long (*)(const std::string& name);

// Reads every entry of a ZIP file into entries. False, with why (UTF-8, the
// words the player is shown), when the file is not a ZIP, is
// damaged or truncated, is encrypted or of a kind this reader does not
// take (ZIP64, several disks, another method), holds more than maxEntries
// entries, an entry name that is not a plain relative name inside the
// archive (absolute, "..", backslashes) or that limit refuses, an entry
// larger than limit allows, the same name twice, or a CRC-32 that does not match.
bool ReadZip(const uint8_t* bytes, size_t n, ZipNameLimit limit, size_t maxEntries, std::vector<ZipEntry>& entries,
             std::string& why);

}  // namespace velmora
