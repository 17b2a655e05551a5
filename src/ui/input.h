#pragma once
// Input routing, play modes, choices, prompts, menus and dialogs.
#include <cstdint>

namespace velmora {

class TForm1;

struct UiState {
    int32_t choiceKind = 0;  // 0 none
    int32_t promptKind = 0;  // 0 none
    bool SkipActive = false;
    int32_t ClickDebounce = 0;
    int32_t AutoCountdown = 0;  // timer ticks before the auto mode releases the wait
    bool TextRead = false;      // the current text was read before (command mark)
    uint8_t ReadMarks[10240] = {};  // bits 0 ... 80,000, one per mark number
    int32_t statusShown = 0;    // the state the title's status indicator shows
};

constexpr int kReadMarkMax = 80000;

// Enabled state of the tool bar and menus from S000 and S028.
void UpdateMenuStates(TForm1& f);
void EnterFullScreen(TForm1& f);
void LeaveFullScreen(TForm1& f);
// System pictures of the choice lists and the quick buttons, and the cursors.
void LoadChoicePictures(TForm1& f);
void LoadQuickButtons(TForm1& f);
void LoadCursors(TForm1& f);
// The quick-button bar: target 0 screen picture only, 1 screen picture,
// window and window pictures, 2 window pictures only.
void DrawQuickBar(TForm1& f, int target);
// The status meter (target 0: screen picture, 1: also the window).
void DrawStatusMeter(TForm1& f, int target);

// Read marks: the command mark n.
void MarkRead(TForm1& f, int32_t n);

// Input and choice operations the script commands call (stand-ins in
// input_standin.cpp and choices_stub.cpp until input is built).
void InputTimerTick(TForm1& f);
void StandInLeftClick(TForm1& f);  // what a left press in normal play does
void BreakSkipAndAuto(TForm1& f, bool forced);
void StopSkip(TForm1& f);
void StartChoiceList(TForm1& f);
void ClickMapCommand(TForm1& f, const char* args);
void EndChoiceDisplay(TForm1& f);
void ChoiceTick(TForm1& f);  // the choice display on every timer tick
// The name entry dialog, shown modally.
void ShowNameEntry(TForm1& f);
// Draws the title's status indicator in state 0 ... 10.
void DrawStatusIndicator(TForm1& f, int32_t state);

}  // namespace velmora
