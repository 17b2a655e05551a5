#pragma once
// The backlog ring, its viewer, the page history and scene rewind.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/picture.h"
#include "text/glyph_outline.h"

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

constexpr int kBacklogRows = 29;
constexpr int kViewerGlyphs = 1024;
constexpr int kViewerGlyphBox = 32;

// One character of the viewer's text as the text output draws it: its ink
// (coverage 0 ... 255) relative to the pen and the row's top, and how far
// it moves the pen.
struct ViewerGlyph {
    int16_t left = 0, top = 0, width = 0, height = 0;
    int16_t advance = 0;
    bool direct = false;  // ink too large for the box: drawn by the text output itself
    uint8_t ink[kViewerGlyphBox * kViewerGlyphBox] = {};
};

// The characters drawn so far, so that a scroll does not rasterise the
// same glyphs again; valid for one face and size.
struct ViewerGlyphCache {
    int16_t slotOf[65536];  // glyph code -> entry, -1 none
    ViewerGlyph glyphs[kViewerGlyphs];
    int32_t count = 0;
    std::string family;
    Picture scratch;
};

// The viewer while it is open: what it shows and what the pointer holds.
struct BacklogViewer {
    int32_t scroll = 0;  // lines from the newest; 0 shows the newest lines
    char rowVoice[kBacklogRows][kBacklogLineSize] = {};  // empty for text rows
    int32_t hoveredRow = -1;
    int32_t hoveredPart = 0;  // scroll-bar part under the pointer, 0 none
    int32_t drag = 0;         // 0 none, 1 or 2 a button is held, 3 dragging the thumb
    // The line the Up and Down keys put the reader on (counted as the text
    // outlets get the lines); -1 until they do, and again after a scroll.
    int32_t caret = -1;
    // The screen as the story left it, and the darkened scene with the bar.
    Picture kept, background;
    // "sys_bl_bar", "sys_bl_cur", "sys_blVR", "sys_blVR2".
    Picture bar, thumb, mark, markHover;
    OutlineFont font;   // the glyph font's face, 18 pixels high
    OutlineFont latin;  // FONT_LATIN's face, for one-byte characters, when the game names one
    std::unique_ptr<ViewerGlyphCache> glyphs;
};

// The scene rewind while it runs, and what it returns to.
struct RewindState {
    int32_t pagesBack = 0;  // 2 ... 20
    int32_t returnMode = 0;  // S150 before the rewind
    Picture background;      // the background picture before the rewind
    std::string spriteNames[5];
    int32_t spriteCount = 0;
};

struct BacklogState {
    bool open = false;
    BacklogViewer viewer;
    RewindState rewind;
    // Pages recorded since the game started or was loaded, not wrapped;
    // entry (count mod 20) is written next.
    int32_t pageHistoryCount = 0;
    PageHistoryBlocks history = {};
    // Lines 0 ... count - 1 are committed; line `count` is being written.
    char BacklogLines[kBacklogLines + 1][kBacklogLineSize] = {};
    // Which lines are speaker names, for the text feed; not saved (a loaded
    // backlog's lines all count as text).
    bool speakerLine[kBacklogLines + 1] = {};
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
// Takes the character back when the open line ends with it; false if not.
bool UnappendBacklogChar(TForm1& f, const char* bytes, int n);

// Stores the current page in the page history and empties MessageVoices.
void RecordPage(TForm1& f);

// The viewer and the scene rewind, as input reaches them.
void OpenBacklog(TForm1& f);
void CloseBacklog(TForm1& f);
void BacklogMouseMove(TForm1& f, int x, int y);
void BacklogMouseDown(TForm1& f, int button, int x, int y);
void BacklogMouseUp(TForm1& f, int button, int x, int y);
void BacklogWheel(TForm1& f, int delta);
void StartRewind(TForm1& f);
void RewindStep(TForm1& f, bool back);
void EndRewind(TForm1& f);
// Up and Down while the viewer is open: the reader goes one line older or
// newer, and the rows scroll when it leaves them.
void BacklogKey(TForm1& f, bool up);
// The lines as the viewer sends them to the text outlets (a speaker name
// goes with the line after it, voice marks and empty lines not at all):
// their texts (CP932) when asked for, and for each committed line the one
// it is part of (-1 none). Returns how many there are.
int BacklogFeedLines(const BacklogState& b, int32_t feedOf[kBacklogLines + 1], std::vector<std::string>* texts);
// The line the reader is on, counted as above: where the keys put it, else
// the first one at or below the top row; -1 when there is none.
int BacklogReadingLine(const BacklogState& b);
// Draws the viewer's rows, voice marks and thumb at the current scroll.
void DrawBacklog(TForm1& f);
// One row of the viewer's text, white, top-left at (x, y): the same pixels
// as the font's text output, from the viewer's glyph cache.
void DrawViewerText(TForm1& f, Picture& picture, int x, int y, const std::string& cp932);
// Empties the glyph cache (a new viewer, or another face).
void ResetViewerGlyphs(BacklogViewer& v);

// For saving and loading.
void ExportPageHistory(const TForm1& f, PageHistoryBlocks& out);
void ImportPageHistory(TForm1& f, const PageHistoryBlocks& in);

}  // namespace velmora
