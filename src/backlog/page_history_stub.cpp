// Stand-in for the page history until it is built: it counts the pages and
// hands over the page's voices, as the history will.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "backlog/backlog.h"

namespace velmora {

void RecordPage(TForm1& f) {
    Trace("page %d recorded (voices: %s)", f.backlog.pageHistoryCount, TraceText(f.stepper.MessageVoices).c_str());
    f.stepper.MessageVoices[0] = '\0';
    ++f.backlog.pageHistoryCount;
}

void ExportPageHistory(const TForm1&, PageHistoryBlocks& out) { std::memset(&out, 0, sizeof out); }

void ImportPageHistory(TForm1&, const PageHistoryBlocks&) { Trace("page history: not built yet, nothing restored"); }

}  // namespace velmora
