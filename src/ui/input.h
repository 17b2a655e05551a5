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
};

// Enabled state of the tool bar and menus from S000 and S028.
void UpdateMenuStates(TForm1& f);
void EnterFullScreen(TForm1& f);
void LeaveFullScreen(TForm1& f);
// System pictures of the choice lists and the quick buttons, and the cursors.
void LoadChoicePictures(TForm1& f);
void LoadQuickButtons(TForm1& f);
void LoadCursors(TForm1& f);

}  // namespace velmora
