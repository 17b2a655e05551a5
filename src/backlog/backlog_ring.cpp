// The backlog ring: the stepper's record of every shown line.
#include <cstring>

#include "app/engine.h"
#include "backlog/backlog.h"

namespace velmora {

void AppendBacklog(TForm1& f, const char* bytes, int n) {
    BacklogState& b = f.backlog;
    char* line = b.BacklogLines[b.count];
    int used = b.writeOffset - b.count * kBacklogLineSize;
    // A long speaker name or an unwrapped line is cut, never carried into
    // the next line.
    if (used < 0 || used + n > kBacklogLineSize - 1) return;
    std::memcpy(line + used, bytes, static_cast<size_t>(n));
    b.writeOffset += n;
}

void UnappendBacklog(TForm1& f, int n) {
    BacklogState& b = f.backlog;
    int used = b.writeOffset - b.count * kBacklogLineSize;
    if (n > used) n = used;
    b.writeOffset -= n;
    std::memset(b.BacklogLines[b.count] + used - n, 0, static_cast<size_t>(n));
}

bool UnappendBacklogChar(TForm1& f, const char* bytes, int n) {
    BacklogState& b = f.backlog;
    int used = b.writeOffset - b.count * kBacklogLineSize;
    if (n <= 0 || used < n || std::memcmp(b.BacklogLines[b.count] + used - n, bytes, static_cast<size_t>(n)) != 0)
        return false;
    UnappendBacklog(f, n);
    return true;
}

void CommitBacklogLine(TForm1& f) {
    BacklogState& b = f.backlog;
    int used = b.writeOffset - b.count * kBacklogLineSize;
    if (used < 0) used = 0;
    b.BacklogLines[b.count][used] = '\0';
    if (b.count == kBacklogLines) {
        std::memmove(b.BacklogLines[0], b.BacklogLines[1], sizeof b.BacklogLines[0] * kBacklogLines);
        std::memmove(b.speakerLine, b.speakerLine + 1, sizeof b.speakerLine[0] * kBacklogLines);
    } else {
        ++b.count;
    }
    b.writeOffset = b.count * kBacklogLineSize;
    std::memset(b.BacklogLines[b.count], 0, kBacklogLineSize);
    b.speakerLine[b.count] = false;
}

}  // namespace velmora
