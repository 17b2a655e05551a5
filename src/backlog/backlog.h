#pragma once
// The backlog ring, its viewer, the page history and scene rewind.
#include <cstdint>

namespace velmora {

class TForm1;

constexpr int kBacklogLines = 200;
constexpr int kBacklogLineSize = 70;

constexpr int kHistoryPageCount = 20;

// The page history as a slot file carries it: per page its text, S023,
// picture names (background, a comma, sprite list), voices and window mode.
struct PageHistoryBlocks {
    char text[kHistoryPageCount][2000];
    int32_t s023[kHistoryPageCount];
    char pictures[kHistoryPageCount][128];
    char voices[kHistoryPageCount][256];
    int32_t mode[kHistoryPageCount];
};

struct BacklogState {
    bool open = false;
    // Pages recorded since the game started or was loaded, not wrapped;
    // entry (count mod 20) is written next.
    int32_t pageHistoryCount = 0;
    PageHistoryBlocks history = {};
    // Lines 0 ... count - 1 are committed; line `count` is being written.
    char BacklogLines[kBacklogLines + 1][kBacklogLineSize] = {};
    int32_t count = 0;
    int32_t writeOffset = 0;  // count * 70 + bytes in the open line
};

void ClearBacklog(TForm1& f);

// Appends bytes to the open line; a line keeps at most 69 bytes.
void AppendBacklog(TForm1& f, const char* bytes, int n);
// Closes the open line; beyond 200 lines the oldest is dropped.
void CommitBacklogLine(TForm1& f);
// Drops the last byte(s) appended to the open line (marks drawn as
// pictures are not part of the record).
void UnappendBacklog(TForm1& f, int n);

// Stores the current page in the page history and empties MessageVoices.
void RecordPage(TForm1& f);

// The viewer and scene rewind as input reaches them (stand-ins in
// backlog_input_stub.cpp until they are built).
void OpenBacklog(TForm1& f);
void CloseBacklog(TForm1& f);
void BacklogMouseMove(TForm1& f, int x, int y);
void BacklogMouseDown(TForm1& f, int button, int x, int y);
void BacklogMouseUp(TForm1& f, int button, int x, int y);
void BacklogWheel(TForm1& f, int delta);
void StartRewind(TForm1& f);
void RewindStep(TForm1& f, bool back);
void EndRewind(TForm1& f);

// For saving and loading.
void ExportPageHistory(const TForm1& f, PageHistoryBlocks& out);
void ImportPageHistory(TForm1& f, const PageHistoryBlocks& in);

}  // namespace velmora
