// Stand-ins for the message window until it is built: every character and
// every page event goes to the trace, so scripts can be followed and tested.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "text/message_window.h"

namespace velmora {

void PutChar(TForm1& f, const char* bytes, int width) {
    if (!f.text.windowOpen) {
        NewPage(f);
        f.text.windowOpen = true;
    }
    if (f.text.column == 0 && f.text.line == 0 && f.vars.S[150] == 0) f.text.line = 1;
    Trace("char %d,%d %s", f.text.line, f.text.column, TraceText(std::string(bytes, width)).c_str());
    f.text.column += width;
    ++f.text.charCount;
}

void DrawRuby(TForm1&, const char* text) { Trace("ruby %s", TraceText(text).c_str()); }

void ClearPage(TForm1& f) {
    f.text.column = 0;
    f.text.line = 0;
    f.text.charCount = 0;
}

void ShowNamePlate(TForm1&, const char* name, int colour) {
    Trace("name plate %s (colour %d)", TraceText(name).c_str(), colour);
}
void SetPageName(TForm1&, const char*) {}
void SetWideSpacing(TForm1&, bool wide) { Trace("spacing %s", wide ? "wide" : "normal"); }
void SetPageColour(TForm1&, int32_t value) { Trace("page colour %d", value); }
void OpenWindow(TForm1& f) {
    f.text.windowOpen = true;
    Trace("window open");
}
void CloseWindow(TForm1& f) {
    f.text.windowOpen = false;
    Trace("window closed");
}
void TwSetCommand(TForm1& f, int n) {
    ClearPage(f);
    f.text.windowOpen = n != 0;
}
void ModeCommand(TForm1& f, int n) { Trace("mode %d: window styles are not built yet", n); }
void EraseClickWait(TForm1&) {}
void AnimateClickWait(TForm1&) {}
void DrawWindowText(TForm1&, const char* text, int right, int top, int height, uint32_t) {
    Trace("window text %s at right %d, top %d, %d px", TraceText(text).c_str(), right, top, height);
}

}  // namespace velmora
