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
// Writes the first 30 bytes of text as the slot's comment; nothing when the
// file is not a slot file.
bool SetSlotComment(TForm1& f, int slot, const std::string& text);
// "save/save%02d.dat" in the save folder.
std::string SlotPath(const TForm1& f, int slot);

// Merges the global data with "save0.dat" and writes it back, with the
// values GV00 ... GV09 and "kaiso.dat". At start the save folder is chosen
// and the sprite-change counter is taken from the file.
void StoreGlobalData(TForm1& f, bool atStart = false);

// The save (1) or load (0) dialog (stand-in in save_dialog_stub.cpp).
void OpenSaveLoadDialog(TForm1& f, int mode);

}  // namespace velmora
