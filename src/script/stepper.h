#pragma once
// The script stepper: runs the loaded script line by line, one pass at a
// time, and holds the waits that stop it.
#include <cstdint>
#include <string>

#include "script/loader.h"

namespace velmora {

class TForm1;

struct StepperState {
    uint8_t script[kScriptBufferSize + 1] = {};  // decoded script, NUL after its end
    int32_t scriptLength = 0;
    int32_t readPos = 0;
    int32_t lineStart = 0;
    bool needLine = false;
    bool ScriptRunning = false;
    int32_t PendingWait = 0;       // 0 none, 1 ... 5
    int32_t TypingCountdown = 0;   // timer ticks
    int32_t SleepCountdown = 0;    // idle passes; -1 until a click
    int32_t CharDelay = 1;
    bool FinishMessage = false;
    bool voiceEndWait = false;
    std::string insertedText;
};

// One pass of the stepper.
void StepScript(TForm1& f);
void ClearInsertedText(TForm1& f);

}  // namespace velmora
