#pragma once
// The script stepper: runs the loaded script line by line, one pass at a
// time, and holds the waits that stop it.
#include <cstdint>
#include <string>

#include "script/loader.h"

namespace velmora {

class TForm1;

constexpr int kLineBufferSize = 2048;
constexpr int kInsertedTextSize = 64;
constexpr int kMessageVoicesSize = 256;  // at most 255 bytes of names
constexpr int kLastVoiceSize = 36;       // at most 35 bytes

struct StepperState {
    uint8_t script[kScriptBufferSize + 1] = {};  // decoded script, NUL after its end
    int32_t scriptLength = 0;
    int32_t readPos = 0;
    int32_t lineStart = 0;
    char line[kLineBufferSize] = {};  // the current line with its NUL
    int32_t linePos = 0;
    bool needLine = false;
    bool ScriptRunning = false;
    char inserted[kInsertedTextSize] = {};  // text of [?...], [$n] and "＄n"
    int32_t insertedPos = 0;
    int32_t PendingWait = 0;       // 0 none, 1 page, 2 line, 3 choice end, 4 page (voice on), 5 page (no icon)
    int32_t TypingCountdown = 0;   // timer ticks
    int32_t SleepCountdown = 0;    // idle passes; -1 until a click
    int32_t CharDelay = 1;
    bool FinishMessage = false;
    bool PrintingNameLine = false;
    bool voiceEndWait = false;
    char MessageVoices[kMessageVoicesSize] = {};
    char LastVoice[kLastVoiceSize] = {};
    // The gra/grb selector that the picture command reads: set by grb,
    // cleared by gra (the inline tag [gra] leaves it alone).
    bool grbSelected = false;
    // Set when a number in the line failed to convert: the rest of the line
    // is dropped.
    bool lineAborted = false;
    bool endReported = false;  // the end of the script went to the trace once
    bool longPassReported = false;  // a pass cut short went to the trace once
};

// The inline tags in the order they are tried; a tag matches when the text
// after "[" begins with it (ASCII case ignored). "voice " takes the rest of
// the line as its name.
constexpr int kInlineTagCount = 10;
extern const char* const InlineTagTable[kInlineTagCount];
enum InlineTagIndex {
    kTagGra = 0,
    kTag1,
    kTag2,
    kTagCol,
    kTagWait,
    kTagVoice,
    kTagClrb,
    kTagDelay,
    kTagExpr,
    kTagString
};
// The first tag that the text after "[" begins with, or -1.
int FindInlineTag(const char* tag);

// One pass of the stepper.
void StepScript(TForm1& f);
void ClearInsertedText(TForm1& f);

// Sets AutoCountdown for the page just finished.
void StartAutoWait(TForm1& f);
// Enters pending wait `kind`: the backlog line is closed, the auto countdown
// started and the rest of the line dropped.
void EnterWait(TForm1& f, int kind);

// Appends a voice name and one space to MessageVoices (cut to its size).
// Where the stepper is, for the trace: "main:12" (the loaded script and the
// number of the line it runs, counting from 1), or empty before any script.
std::string ScriptLocation(const TForm1& f);

void AddMessageVoice(TForm1& f, const char* name);
void SetLastVoice(TForm1& f, const char* name);

}  // namespace velmora
