#pragma once
// Script loading: scripts and text tables by name from the script archives,
// table lines and fields, and the state of calls and chains.
#include <cstdint>
#include <string>

namespace velmora {

class TForm1;

constexpr int32_t kScriptBufferSize = 262144;
constexpr int kCallDepthMax = 9;
constexpr int kScriptNameMax = 29;

struct CallStackEntry {
    char name[kScriptNameMax + 1] = {};
    int32_t returnPosition = 0;
};

struct LoaderState {
    char table[kScriptBufferSize] = {};  // the current text table, decoded
    int32_t tableLength = 0;
    int32_t tableReadPos = 0;
    char currentScript[kScriptNameMax + 1] = {};  // what `call` pushes and saves store
    std::string loadedScript;                     // the last script-mode load, as the caller wrote it
    CallStackEntry CallStack[kCallDepthMax];
    int callDepth = 0;
};

// Mode 1: a script into the script buffer; mode 2: a text table into the
// table buffer. False, changing nothing, when neither archive has the name.
bool LoadScript(TForm1& f, const std::string& name, int mode);
// Whether either script archive holds the script or table `name`.
bool ScriptExists(const TForm1& f, const std::string& name);

// The table line starting at pos (without its NUL); pos moves past the NUL.
std::string ReadTableLine(const char* table, int32_t length, int32_t& pos);
// Field n (from 0) of a comma-separated text, blanks kept; empty when missing.
std::string TableField(const std::string& text, int n);
// The fields of a comma-separated text into out, at most max of them (the
// rest is dropped); returns how many. Fields keep their blanks.
int SplitTableFields(const std::string& text, std::string* out, int max);

// Continues after the line that holds ":name" (case-insensitive; the ":"
// need not start a line). A missing label changes nothing.
void GotoLabel(TForm1& f, const char* name);
// The start of the first script line at or after pos that begins with `byte`;
// past the end of the script when there is none.
int32_t SkipToLineStartingWith(const TForm1& f, int32_t pos, char byte);
// The position of the first "}:NAME" line at or after pos, NAME being text
// up to its first "("; past the end of the script when there is none.
int32_t SkipToNamedBlockEnd(const TForm1& f, int32_t pos, const char* text);

// The control-flow commands; each returns the dispatcher's result.
int ChainCommand(TForm1& f, const char* args);
int CallCommand(TForm1& f, const char* args);
int EndCommand(TForm1& f);
int SwitchCommand(TForm1& f, const char* args);
int CjmpCommand(TForm1& f, const char* args);
// Returns from a call as `end` does; false at depth 0.
bool ReturnFromCall(TForm1& f);
// Leaves a replay (gallery or recollection) as `exit` does.
void LeaveReplay(TForm1& f);

}  // namespace velmora
