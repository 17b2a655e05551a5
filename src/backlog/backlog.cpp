#include "backlog/backlog.h"

#include <cstring>

#include "app/engine.h"

namespace velmora {

void ClearBacklog(TForm1& f) {
    BacklogState& b = f.backlog;
    b.open = false;
    b.pageHistoryCount = 0;
    std::memset(&b.history, 0, sizeof b.history);
    std::memset(b.BacklogLines, 0, sizeof b.BacklogLines);
    std::memset(b.speakerLine, 0, sizeof b.speakerLine);
    b.count = 0;
    b.writeOffset = 0;
}

}  // namespace velmora
