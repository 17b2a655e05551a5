#pragma once
// Slot saves, quick save and the global data.
#include <cstdint>
#include <string>

namespace velmora {

class TForm1;

constexpr int kFirstSlot = 1;
constexpr int kLastSlot = 99;
constexpr int kQuickSaveSlot = 99;

struct SaveState {
    uint8_t slotExtra[1024] = {};  // the block a slot save carries beside the variables
    // Two names a slot carries unchanged from the game it was loaded from.
    char carriedNames[2][30] = {};
    std::string folder;            // where slot and global files go; empty: the game directory
    // The save and load dialog, kept from start-up to exit.
    int32_t dialogRow = 0;         // the row selected last
    int32_t sortColumn = 0;        // 0 slot, 1 date, 2 details, 3 comment
    int32_t lastSortedColumn = -1; // -1: none yet, or the last click sorted descending
};

// Writes slot 1 ... 99: false when the slot number is refused or the file
// could not be written (the old file is then left as it was). Quiet: no
// notice, no save sound and the auto mode left alone.
bool SaveGame(TForm1& f, int slot, bool quiet);
// Reads slot 1 ... 99 back and resumes play. A file that is missing does
// nothing; one that is not a whole slot file is refused with a message box
// before anything changes. Quiet: no notice.
bool LoadGame(TForm1& f, int slot, bool quiet);
// SaveGame (99) with its notice, and the comment "Quick Save".
void QuickSave(TForm1& f);
// Writes text as the slot's comment, cut to 30 bytes without splitting a
// character; nothing when the file is not a slot file.
bool SetSlotComment(TForm1& f, int slot, const std::string& text);
// A slot comment as it is stored: at most 30 bytes, never ending inside a
// two-byte character.
std::string CutSlotComment(const std::string& cp932);
// Whether a decoded slot's stepper record and names are what a save
// writes; a file of random bytes is not. why names the first field that is not.
struct SlotImage;
bool SlotRecordSound(const SlotImage& im, std::string* why = nullptr);

// "save/save%02d.dat" in the save folder.
std::string SlotPath(const TForm1& f, int slot);

// Merges the global data with "save0.dat" and writes it back, with the
// values GV00 ... GV09 and "kaiso.dat". At start the save folder is chosen
// and the sprite-change counter is taken from the file.
void StoreGlobalData(TForm1& f, bool atStart = false);

// The save (1) or load (0) dialog; returns when it has closed.
void OpenSaveLoadDialog(TForm1& f, int mode);

}  // namespace velmora
