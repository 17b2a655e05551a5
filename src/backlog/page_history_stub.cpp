// Stand-in for the page history until it is built: it counts the pages and
// hands over the page's voices, as the history will.
#include "app/engine.h"
#include "app/trace.h"
#include "backlog/backlog.h"

namespace velmora {

void RecordPage(TForm1& f) {
    Trace("page %d recorded (voices: %s)", f.backlog.pageHistoryCount, TraceText(f.stepper.MessageVoices).c_str());
    f.stepper.MessageVoices[0] = '\0';
    ++f.backlog.pageHistoryCount;
}

}  // namespace velmora
