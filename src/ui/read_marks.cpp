// Read marks: one bit per mark number, so skipping can stop at unread text.
#include "app/engine.h"
#include "app/trace.h"
#include "script/variables.h"
#include "ui/input.h"

namespace velmora {

void MarkRead(TForm1& f, int32_t n) {
    if (n < 0 || n > kReadMarkMax) {
        ContentError("command", "mark %d: outside 0 ... %d, ignored", n, kReadMarkMax);
        return;
    }
    UiState& ui = f.ui;
    if (TestBit(ui.ReadMarks, (kReadMarkMax / 8 + 1) * 8, n)) {
        ui.TextRead = true;
        Trace("mark %d: read before", n);
        return;
    }
    SetBit(ui.ReadMarks, (kReadMarkMax / 8 + 1) * 8, n, true);
    if (f.settings.Seen) {
        ui.TextRead = false;
        ui.SkipActive = false;
        f.vars.S[60] = 0;
        DrawQuickBar(f, 1);
    }
    Trace("mark %d: new text", n);
}

}  // namespace velmora
