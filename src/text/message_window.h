#pragma once
// The message window: the page of text, where each character goes, the
// window pictures, the click-wait icon, opening and closing.
#include <cstdint>
#include <string>

#include "gfx/picture.h"
#include "text/glyph_outline.h"
#include "text/glyphs.h"

namespace velmora {

class TForm1;

constexpr int kPageLines = 20;
constexpr int kPageColumns = 100;
constexpr int kQuickBandWidth = 768, kQuickBandHeight = 32, kQuickBandRow = 224;
constexpr int kRubyHeight = 9;

struct TextState {
    bool windowOpen = false;  // the window is on the screen
    int32_t column = 0;
    int32_t line = 0;
    uint8_t PageText[kPageLines][kPageColumns] = {};
    uint8_t PageAttributes[kPageLines][kPageColumns] = {};
    bool wideSpacing = false;
    int32_t colourValue = 0;  // [col n]: saved, never drawn
    bool pageEmpty = true;
    int32_t charCount = 0;
    bool windowValid = false;  // the saved window picture matches the scene
    std::string speakerName;
    // Click-wait icon.
    int32_t clickTicks = 0;
    int32_t clickX = 0, clickY = 0;
    bool clickShown = false;
    // Window pictures as loaded, and tinted with the player's settings.
    Picture twLoaded, tw1, twzLoaded, twz1, tw, twz;
    Picture windowSaved;  // the message window picture without text
    Picture quickBand;    // the window band under the quick-button bar
    Picture clickSheet, clickIcon;
    OutlineFont rubyFont, windowTextFont;
    GlyphState glyphs;
};

// Start-up: the window, plate and icon pictures.
void BuildMessageWindow(TForm1& f);
void LoadClickWaitIcon(TForm1& f);

// True for the characters that may not start a line (they hang instead).
bool IsLineStartForbidden(uint16_t code);

// `following`: the text after the character when the caller knows it, so
// that a proportional line can break before a word that will not fit.
void PutChar(TForm1& f, const char* bytes, int width, const char* following = nullptr);
void NewPage(TForm1& f);
void ClearPage(TForm1& f);
void DrawRuby(TForm1& f, const std::string& ruby);
void OpenWindow(TForm1& f);   // win_open
void CloseWindow(TForm1& f);  // win_close
void TwSetCommand(TForm1& f, int n);  // tw_set n
void ModeCommand(TForm1& f, int n);   // mode n
void BuildWindowPictures(TForm1& f);
void BuildWindowBackground(TForm1& f);
void DrawWindow(TForm1& f);
void RedrawText(TForm1& f);
// A page grid drawn as the window draws its page: the speaker's plate and
// every character at its place; with a colour other than 0 the plate and
// the whole page take that colour.
void DrawPageGrid(TForm1& f, const uint8_t (*page)[kPageColumns], int32_t colour);
void AnimateClickWait(TForm1& f);
void EraseClickWait(TForm1& f);

// The pen of the page in the current mode and layout.
Pen PagePen(TForm1& f);
// Screen position of a page place in the current mode: the pen after the
// characters before `column` of the page line.
void PagePosition(TForm1& f, const uint8_t* pageLine, int column, int line, int& x, int& y);
// The same on the current page.
void PagePosition(TForm1& f, int column, int line, int& x, int& y);

// The stepper's hooks: line 0 of the page (the speaker), [1] and [2], [col n].
void SetPageName(TForm1& f, const char* name);
void SetWideSpacing(TForm1& f, bool wide);
void SetPageColour(TForm1& f, int32_t value);
// Plain text on the screen and the window: right edge at `right`, top at
// `top`, `height` pixels high, colour with red in the low byte.
void DrawWindowText(TForm1& f, const char* text, int right, int top, int height, uint32_t colour);

}  // namespace velmora
