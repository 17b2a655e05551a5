// Stand-in for the notice band until the system menu is built.
#include "app/engine.h"
#include "app/trace.h"
#include "ui/notice.h"

namespace velmora {

void ShowNotice(TForm1&, const std::string& text, int ms) {
    Trace("notice \"%s\" for %d ms", TraceText(text).c_str(), ms);
}

}  // namespace velmora
