#pragma once
// The picture viewer: gallery pages of the "view" table (pictures, scenes,
// music), the list of gallery pictures and which of them have been seen.
#include <cstdint>
#include <string>
#include <vector>

#include "extras/extras_common.h"
#include "gfx/picture.h"
#include "text/glyph_outline.h"

namespace velmora {

class TForm1;

constexpr int kViewerSlots = 50;
constexpr int kViewerVariantsMax = 50;
constexpr int kViewerSetsMax = 100;  // the set buttons count sets 0 ... 99
constexpr int kViewerSetLinesMax = 51;
constexpr int kViewerSetButtons = 18;
constexpr int kViewerPageButtons = 10;
// Hovered elements besides the slots 1 ... 50.
constexpr int kViewerNext = 51, kViewerPrev = 52, kViewerExit = 53;
constexpr int kViewerSetButtonBase = 60, kViewerPageButtonBase = 80;
constexpr int kViewerElements = kViewerPageButtonBase + kViewerPageButtons;
// Pictures shorter than this open still; taller ones scroll.
constexpr int kViewerScrollHeight = 580;

struct ViewerRect {
    int x1 = -1, y1 = -1, x2 = -1, y2 = -1;
    bool Holds(int x, int y) const { return x1 <= x && x < x2 && y1 <= y && y < y2; }
};

struct ViewerButton {
    ViewerRect rect;
    int first = 0, last = 99, target = 0;
    bool ActiveIn(int set) const { return first <= set && set <= last; }
};

struct ViewerSlot {
    std::string value;    // variant list (picture page), script (scene page), text (music page)
    std::string caption;  // scene page
    int state = 0;        // 0 empty, 1 locked, 2 part seen / playable, 3 all seen
    int variants = 0, seen = 0;
};

struct ViewerSet {
    std::string normal, highlight;
    ViewerSlot cells[kViewerSlots + 1];  // 1 ... 50
};

// One page of the "view" table as read.
struct ViewerPage {
    std::string name;  // upper-cased
    int type = 0;
    int setCount = 0;
    int thumbW = 0, thumbH = 0;
    std::string plate, plate2;  // picture names
    ViewerRect next, prev, exit;
    ViewerButton setButtons[kViewerSetButtons];
    ViewerButton pageButtons[kViewerPageButtons];
    int slotX[kViewerSlots + 1] = {}, slotY[kViewerSlots + 1] = {};
    std::vector<ViewerSet> sets;
    int totalVariants = 0, totalSeen = 0;
    // The variant lists of a picture page as the table gives them, set by
    // set and line by line, repeated slots included: the order of the
    // running numbers.
    std::vector<std::string> variantLines;
};

struct GalleryState {
    // Gallery pictures, upper-cased; entry k owns picture-seen bit k.
    std::vector<std::string> GalleryList;
    int firstPageEntries = 0;  // what "VIEW_1" gave the list; "2_VIEW_1" numbers on from there
    bool open = false;
    ViewerPage view;
    int currentSet = 0;
    int hovered = 0;
    bool fullView = false;
    int variantIndex = 0;
    int scrollState = 0;
    int currentTrack = 0, lastTrack = 0;
    int glow[kViewerElements] = {};
    int passCounter = 0;
    bool busy = false;
    Picture plate, plate2, digits;
    OutlineFont captionFont;  // scene captions, in the message font's face
    // The game's pictures while the viewer borrows them.
    Picture keptBackground, keptScene, keptScreen;
    // Where the script was when a scene thumbnail started its replay.
    ScriptPoint replayFrom;
};

// The page's texts read into a model, for the viewer and for tests: the
// table is read by line, and every fault is traced with its line number.
// False when the table, its ":VIEW_0" section or the page's section is missing.
bool ReadViewerPage(TForm1& f, const std::string& page, ViewerPage& out);
// The completion digits a picture page shows: "100" or one or two digits.
std::string CompletionDigits(int seen, int total);
bool PictureSeenBit(const TForm1& f, int k);
// The viewer hit test at (x, y): 0, a slot, NEXT, PREV, EXIT, 60 + nn or 80 + d.
int ViewerHitTest(const ViewerPage& v, int set, int x, int y);
void StartViewer(TForm1& f, const std::string& page);
void LeaveViewer(TForm1& f, bool fromMusicRoom);
void DrawViewerPage(TForm1& f);
void ShowFullPicture(TForm1& f);
void EndReplay(TForm1& f);

}  // namespace velmora
