#pragma once
// The message window and the glyphs drawn into it.
#include <cstdint>

namespace velmora {

class TForm1;

struct TextState {
    bool windowOpen = false;
    int32_t column = 0;
    int32_t line = 0;
    int32_t charCount = 0;  // characters on the page (the auto mode sizes its pause by it)
};

// Loads the system pictures of the window, the name plate and the gaiji,
// builds the window parts and the glyph machinery.
void BuildMessageWindow(TForm1& f);
void InitGlyphs(TForm1& f);
void LoadClickWaitIcon(TForm1& f);
void NewPage(TForm1& f);

// What the script stepper and commands hand the window (stand-ins in
// message_window_standin.cpp until the window is built). Texts are CP932.
void PutChar(TForm1& f, const char* bytes, int width);
void DrawRuby(TForm1& f, const char* text);
void ClearPage(TForm1& f);
// The speaker's name plate (normal style) and line 0 of the page text.
void ShowNamePlate(TForm1& f, const char* name, int colour);
void SetPageName(TForm1& f, const char* name);
void SetWideSpacing(TForm1& f, bool wide);  // [2] and [1]
void SetPageColour(TForm1& f, int32_t value);  // [col n]
void OpenWindow(TForm1& f);
void CloseWindow(TForm1& f);
void TwSetCommand(TForm1& f, int n);
void ModeCommand(TForm1& f, int n);
void EraseClickWait(TForm1& f);
void AnimateClickWait(TForm1& f);
// Plain text on the window: right edge at `right`, top at `top`, `height`
// pixels high, colour with red in the low byte.
void DrawWindowText(TForm1& f, const char* text, int right, int top, int height, uint32_t colour);

}  // namespace velmora
