#pragma once
// The script checker behind velmora-check and velmora --check: reads every
// script of a game (an author's folder of UTF-8 scripts, or a packed game)
// with the engine's own command table, tag table and archive readers, and
// reports what would go wrong when it is played.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace velmora::tools {

struct CheckFinding {
    std::string file;  // as the author knows it: "mygame/scripts/main.txt", or "MAIN" inside vk_data.vrk
    int line = 0;      // from 1; 0 for the whole file
    bool error = true;
    std::string text;  // UTF-8
};

// One script as the checker reads it: its lines in CP932, without their NULs.
struct CheckScript {
    std::string name;  // the entry name, upper-cased
    std::string file;
    std::vector<std::string> lines;
    size_t bytes = 0;  // as packed: every line and its NUL
};

// What a game holds besides its scripts, by upper-cased entry name.
struct GameContents {
    bool fromSources = false;  // an author's folder rather than archives
    std::vector<CheckScript> scripts;
    std::set<std::string> pictures, sounds, voices, music, anims;
    std::vector<CheckFinding> readFindings;  // texts that cannot be read or written in Shift-JIS
};

struct CheckReport {
    std::vector<CheckFinding> findings;
    int errors = 0;
    int warnings = 0;
    int scripts = 0;
    long lines = 0;
};

// Reads a game folder: one with a "scripts" folder is an author's folder
// (the layout velmora-pack build packs), any other is read from its archives.
// False with why when the folder holds no game at all.
bool ReadGameContents(const std::string& dir, GameContents& game, std::string& why);
// Checks what was read; the findings come in file and line order.
CheckReport CheckGame(const GameContents& game);
// "file:line: error: text".
std::string FormatFinding(const CheckFinding& f);
// The scripts that are tables read by commands, not run (upper-cased names).
std::set<std::string> TableScripts(const GameContents& game);
// Reads, checks and prints the findings and a summary line to out; with
// layout also the lines that will not fit in the proportional layout. The
// exit status: 0 clean or warnings only, 1 an error, 2 no game.
int RunCheck(const std::string& dir, std::FILE* out, std::FILE* err, bool layout = false);

}  // namespace velmora::tools
