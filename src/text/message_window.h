#pragma once
// The message window and the glyphs drawn into it.
#include <cstdint>

namespace velmora {

class TForm1;

struct TextState {
    bool windowOpen = false;
    int32_t column = 0;
    int32_t line = 0;
};

// Loads the system pictures of the window, the name plate and the gaiji,
// builds the window parts and the glyph machinery.
void BuildMessageWindow(TForm1& f);
void InitGlyphs(TForm1& f);
void LoadClickWaitIcon(TForm1& f);
void NewPage(TForm1& f);

}  // namespace velmora
