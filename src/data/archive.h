#pragma once
// Archive files: the index of every archive read once at start-up, lookups
// by name, and entry reads straight from the file.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class TForm1;

// Largest entry a reader accepts; anything bigger is treated as damage.
constexpr int32_t kMaxEntrySize = 256 * 1024 * 1024;

struct ArchiveIndex {
    std::string path;                // what reads open; empty when found nowhere
    std::vector<std::string> names;  // upper-cased, file order
    std::vector<int32_t> offsets;
    std::vector<int32_t> sizes;
    int32_t width = 0;  // name field width (volumes)
    int32_t count = 0;
    // Why the file was refused or entries were left out; empty when sound.
    std::string damage;

    void Clear() {
        names.clear();
        offsets.clear();
        sizes.clear();
        width = 0;
        count = 0;
        damage.clear();
    }
};

// Every archive of a game, one index per slot.
struct DataState {
    ArchiveIndex scripts[2];  // "vk_data.vrk", "vk_data2.vrk"
    ArchiveIndex gra[3];      // "vk_gra.vrk", "vk_gra2.vrk", "vk_gra3.vrk"
    ArchiveIndex gjp;         // "vk_gjp.vrk"
    ArchiveIndex wav[5];      // "vk_wav1.vrk" ... "vk_wav5.vrk"
    ArchiveIndex se[3];       // "vk_se0.vrk" ... "vk_se2.vrk"
    ArchiveIndex ogg[3];      // "vk_ogg1.vrk" ... "vk_ogg3.vrk"
    ArchiveIndex bgm;         // "vk_bgm.vrk"
    ArchiveIndex anim[2];     // "vk_anim.vrk", "vk_anim2.vrk"
    std::string cdDir = "NULL";  // disc directory, joined by plain concatenation
};

// The upper-casing used for stored and looked-up names (ASCII letters only).
std::string UpperName(const std::string& name);

// Reads a script-archive index (24-byte records). A missing, empty or
// damaged file gives an empty index; damage is traced.
void ReadScriptIndex(const std::string& path, ArchiveIndex& index);
// Reads a volume index (count, name width, record block).
void ReadVolumeIndex(const std::string& path, ArchiveIndex& index);

int FindEntry(const ArchiveIndex& index, const std::string& name);
// Reads the entry's bytes into buffer (resized to fit). Returns the number of
// bytes read, or -1 when the entry cannot be read in full.
int32_t ReadEntry(const ArchiveIndex& index, int position, std::vector<uint8_t>& buffer);
// The same into a caller's fixed buffer; an entry larger than capacity is
// refused with -1.
int32_t ReadEntry(const ArchiveIndex& index, int position, uint8_t* buffer, int32_t capacity);

// Reads up to `length` bytes from the entry's start into buffer (resized to
// what was read), past the entry's size in the index when asked, up to the
// end of the file. Returns the number of bytes read, or -1 when the file
// cannot be read there.
int32_t ReadEntryPrefix(const ArchiveIndex& index, int position, size_t length, std::vector<uint8_t>& buffer);

// Script entries are stored with every byte negated.
void NegateBytes(uint8_t* bytes, size_t count);

void LoadDataIndexes(TForm1& f);
void OpenArchiveVolumes(TForm1& f);

}  // namespace velmora
