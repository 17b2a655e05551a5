#pragma once
// Save data that travels between machines: one ZIP of the slot files
// ("save/save01.dat" ...), "save0.dat", "kaiso.dat" and the game's settings
// ("settings.ini", the headless store's INI text). Importing takes such a
// ZIP or the files of a game's folder; it checks everything before it
// writes anything, replaces slot files whole and merges the global data as
// the engine merges it at start-up.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class TForm1;

// The largest ZIP the importer reads: all 99 slots with room to spare.
constexpr size_t kTransferZipLimit = 32u << 20;
// The settings file inside the ZIP.
constexpr const char kTransferSettingsName[] = "settings.ini";

// Stores the global data (so the files hold this run's bits), then builds
// the ZIP. message: what to tell the player (UTF-8).
bool ExportSaves(TForm1& f, std::vector<uint8_t>& zip, std::string& message);
// The same, written to path (crash-safe).
bool ExportSavesToFile(TForm1& f, const std::string& path, std::string& message);
// Imports a ZIP file, or a folder holding "save0.dat", "kaiso.dat",
// "settings.ini" and "save/saveNN.dat" (any of them; slot files directly
// in the folder count too). False, with nothing changed, when anything is
// damaged, foreign or too large; message says why (UTF-8).
bool ImportSaves(TForm1& f, const std::string& path, std::string& message);
bool ImportSaveZip(TForm1& f, const uint8_t* bytes, size_t n, std::string& message);

// The two menu actions: ask the platform's file dialog for a place, run,
// and report in a message box.
void ExportSavesAction(TForm1& f);
void ImportSavesAction(TForm1& f);

}  // namespace velmora
