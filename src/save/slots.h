#pragma once
// Slot saves, quick save and the global data.
#include <cstdint>
#include <string>

namespace velmora {

class TForm1;

struct SaveState {
    uint8_t slotExtra[1024] = {};  // the block a slot save carries beside the variables
    std::string folder;            // where slot and global files go; empty: the game directory
};

// Writes or reads slot 1 ... 99; quiet: no sound and no notice.
bool SaveGame(TForm1& f, int slot, bool quiet);
bool LoadGame(TForm1& f, int slot, bool quiet);

// Merges the global data with "save0.dat" and writes it back, with the
// values GV00 ... GV09 and "kaiso.dat". At start the save folder is chosen
// and the sprite-change counter is taken from the file.
void StoreGlobalData(TForm1& f, bool atStart = false);

// Quick save into slot 99 (stand-in in quick_save_stub.cpp).
void QuickSave(TForm1& f);

// The save (1) or load (0) dialog (stand-in in save_dialog_stub.cpp).
void OpenSaveLoadDialog(TForm1& f, int mode);

}  // namespace velmora
