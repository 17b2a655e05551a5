#include "backlog/backlog.h"

#include "app/engine.h"

namespace velmora {

void ClearBacklog(TForm1& f) {
    f.backlog.open = false;
    f.backlog.pageHistoryCount = 0;
}

}  // namespace velmora
