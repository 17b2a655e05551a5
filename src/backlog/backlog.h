#pragma once
// The backlog ring, its viewer, the page history and scene rewind.
#include <cstdint>

namespace velmora {

class TForm1;

struct BacklogState {
    bool open = false;
    int32_t pageHistoryCount = 0;
};

void ClearBacklog(TForm1& f);

}  // namespace velmora
