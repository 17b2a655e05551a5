#pragma once
// The data that outlives single saves: "save0.dat" (global flags, picture-
// seen, recollection and read-mark bits under a check value), the values
// GV00 ... GV09 of the settings store and "kaiso.dat" (the record lists).
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

class TForm1;

constexpr int kGlobalEOffset = 0;
constexpr int kGlobalEBytes = 128;
constexpr int kGlobalPictureSeenOffset = 128;
constexpr int kGlobalPictureSeenBytes = 256;
constexpr int kGlobalCounterOffset = 380;  // the last four bytes of the picture-seen block
constexpr int kGlobalRecollectionOffset = 384;
constexpr int kGlobalRecollectionBytes = 256;
constexpr int kGlobalReadMarksOffset = 640;
constexpr int kGlobalReadMarksBytes = 10240;
constexpr int kGlobalCheckOffset = 10880;
constexpr int kGlobalFileSize = 10884;
constexpr int kKaisoFileSize = 2640;

constexpr uint32_t kGlobalCheckStart = 1234;

// Reflected CRC-32 (polynomial 0xEDB88320) from the register value `start`,
// without the final inversion.
uint32_t GlobalCheckValue(const uint8_t* bytes, size_t n, uint32_t start = kGlobalCheckStart);

// Whether bytes are a whole "save0.dat" under a matching check value.
bool GlobalFileSound(const uint8_t* bytes, size_t n);
// Merges the blocks of a "save0.dat" (kGlobalFileSize bytes) into memory:
// every bit set in either stays set; atStart, the sprite-change counter
// takes the file's bits too. Writes nothing.
void MergeGlobalFile(TForm1& f, const uint8_t* file, bool atStart);
// The record lists and their names from the bytes of a "kaiso.dat"; false,
// changing nothing, unless n is kKaisoFileSize.
bool TakeRecordLists(TForm1& f, const uint8_t* bytes, size_t n);

// Where the files go: the game directory when it is writable, else the
// per-user data folder. Chosen once, by the store at start.
void ChooseSaveFolder(TForm1& f);
// A file name of the save folder.
std::string SavePath(const TForm1& f, const char* name);

}  // namespace velmora
