#pragma once
// velmora-pack new, build and extract: an author's game folder (the layout
// of game_layout.h) to the archives the engine reads, and back.
#include <cstdio>
#include <string>
#include <vector>

namespace velmora::tools {

struct BuildSummary {
    int archives = 0;    // written or already up to date
    int entries = 0;
    int coded = 0;       // source files coded in this run
    int unchanged = 0;   // archives whose sources had not changed
    int removed = 0;     // archives made before whose sources are all gone
    size_t bytes = 0;    // of all archives
    double seconds = 0;
};

// Builds the archives of the game folder dir into out (default dir/dist).
// Only what changed since the last build is coded again (the coded entries
// are kept in cache, default out/.cache, so a build system can keep out
// holding the archives alone); an archive none of whose sources changed is
// not touched, and one made before whose sources are all gone is removed.
// progress (may be null) gets a progress line while many files are coded.
bool BuildGame(const std::string& dir, const std::string& out, std::FILE* progress, BuildSummary& summary,
               std::string& error, const std::string& cache = "");

// Writes entries of an archive back out into the game folder layout under
// outDir: scripts as UTF-8 text (the configuration block as config.txt),
// pictures as PNG (a masked picture with its mask as alpha), sounds and
// music as WAV, voices as Ogg, animations as their entries. names (entry
// names, any case) limits it to those entries; each file written is named
// on log.
bool ExtractArchive(const std::string& archive, const std::vector<std::string>& names, const std::string& outDir,
                    std::FILE* log, std::string& error);

// What a played game leaves in the folder it was played from (the slots,
// the global data), as names relative to out: "save/", "save0.dat",
// "kaiso.dat". None of it belongs in a game that is given away.
std::vector<std::string> PlayDataIn(const std::string& out);

// The folder `velmora-pack run` plays from: run holds a link to every file
// of out (the archives), made anew each time, and the saves of the author's
// play; out stays as it is to be shipped.
bool PrepareRunFolder(const std::string& out, const std::string& run, std::string& error);

// Writes a starter game into dir (which must not exist or be empty).
bool NewGame(const std::string& dir, std::string& error);

}  // namespace velmora::tools
