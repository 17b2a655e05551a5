// Stand-in for the gallery's picture-seen bits until the gallery is built:
// its list of pictures is empty, so no name is marked.
#include "app/engine.h"
#include "app/trace.h"
#include "extras/extras.h"

namespace velmora {

void MarkPictureSeen(TForm1&, const std::string& name) {
    Trace("picture %s: seen (the gallery list is empty)", TraceText(name).c_str());
}

}  // namespace velmora
