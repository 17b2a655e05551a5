// The backlog viewer: the last lines of the story over the darkened scene,
// a scroll bar, and the voice of a line played again when its mark is
// clicked. While it is open the story stands still; closing it puts back
// the screen exactly as it was.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "gfx/composition.h"
#include "text/glyphs.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kBarX = 680, kBarY = 10, kBarWidth = 24;
constexpr int kRowX = 80, kRowTop = 10, kRowPitch = 19, kMarkTop = 6;
constexpr int kThumbX = 684, kThumbBottom = 508, kTrack = 460;
constexpr int kTextHeight = 18;
constexpr int kMarkWidth = 256, kMarkHeight = 23;
constexpr int kRowsBottom = 560;
constexpr int kWheelLines = 4;

// Scroll-bar parts by window row: the oldest end, up, the track, down, the
// newest end.
enum BarPart { kNoPart = 0, kTopEnd, kUp, kTrackPart, kDown, kBottomEnd };
constexpr int kPartTop[6] = {0, 10, 33, 49, 540, 555};
constexpr int kPartBottom[6] = {0, 32, 48, 539, 554, 570};

int PartAt(int x, int y) {
    if (x < kBarX || x >= kBarX + kBarWidth) return kNoPart;
    for (int p = kTopEnd; p <= kBottomEnd; ++p)
        if (y >= kPartTop[p] && y <= kPartBottom[p]) return p;
    return kNoPart;
}

// How far back the viewer can go: 0 while everything fits in the rows.
int MaxScroll(const BacklogState& b) { return std::max(b.count - kBacklogRows, 0); }

int DragScroll(const BacklogState& b, int p) {
    p = std::clamp(p, 0, kTrack);
    return MaxScroll(b) * (kTrack - p) / kTrack;
}

void LoadViewerPicture(TForm1& f, const char* name, Picture& picture) {
    picture.Resize(0, 0);
    if (!LoadPicture(f, name, picture)) ContentError("picture", "backlog: system picture %s missing", name);
}

// A committed line as the viewer draws it: up to its NUL, at most 69 bytes,
// and never the first byte of a character whose second byte was cut off.
std::string RowText(const char* line) {
    size_t n = strnlen(line, kBacklogLineSize - 1);
    size_t i = 0;
    while (i < n) {
        if (IsLeadByte(static_cast<uint8_t>(line[i]))) {
            if (i + 1 >= n) break;
            i += 2;
        } else {
            ++i;
        }
    }
    return std::string(line, i);
}

// The bar rows of a part over the viewer background, through the bar's
// alpha, from colour column `column` (0 normal, 24 highlighted), straight
// to the window.
void ShowBarPart(TForm1& f, int part, int column) {
    BacklogViewer& v = f.backlog.viewer;
    const Picture& bar = v.bar;
    if (part == kNoPart || bar.width < 3 * kBarWidth) return;
    const int top = kPartTop[part], rows = kPartBottom[part] - top + 1;
    Picture piece;
    piece.Resize(kBarWidth, rows);
    for (int r = 0; r < rows; ++r) {
        const int y = top + r, by = y - kBarY;
        if (y >= v.background.height) break;
        uint8_t* out = piece.Row(r);
        std::memcpy(out, v.background.Pixel(kBarX, y), kBarWidth * 3);
        if (by < 0 || by >= bar.height) continue;
        MaskRows(out, bar.Pixel(column, by), bar.Pixel(2 * kBarWidth, by), kBarWidth * 3 / 8, out);
    }
    f.plat.surface().Blit(piece, 0, 0, kBarWidth, rows, kBarX, top);
}

// The part's neighbour among the two buttons at each end; the track has none.
int Neighbour(int part) {
    switch (part) {
        case kTopEnd: return kUp;
        case kUp: return kTopEnd;
        case kDown: return kBottomEnd;
        case kBottomEnd: return kDown;
        default: return kNoPart;
    }
}

void ScrollTo(TForm1& f, int scroll) {
    BacklogState& b = f.backlog;
    b.viewer.caret = -1;  // the reader follows the top row again
    scroll = std::clamp(scroll, 0, MaxScroll(b));
    if (scroll == b.viewer.scroll) return;
    b.viewer.scroll = scroll;
    DrawBacklog(f);
}

// The row under the pointer, or -1 outside the rows.
int RowAt(const BacklogViewer& v, int x, int y) {
    if (x < kRowX || x > kRowX + v.mark.width / 2 - 1 || y < kRowTop || y > kRowsBottom) return -1;
    return std::min((y - kRowTop) / kRowPitch, kBacklogRows - 1);
}

}  // namespace

void OpenBacklog(TForm1& f) {
    if (f.backlog.open) return;
    if (f.vars.S[28] == 0) {
        Trace("backlog: the viewer stays closed, S028 is 0");
        return;
    }
    BacklogState& b = f.backlog;
    BacklogViewer& v = b.viewer;
    GfxState& g = f.gfx;
    PlaySoundByName(f, "SSE09");
    // A copy of our own: the work picture may hold a click map's highlight.
    v.kept = g.screen;
    v.background.Resize(kScreenWidth, kScreenHeight);
    DarkenScreen(f, g.scene, v.background, 40);
    LoadViewerPicture(f, "sys_bl_bar", v.bar);
    LoadViewerPicture(f, "sys_bl_cur", v.thumb);
    LoadViewerPicture(f, "sys_blVR", v.mark);
    LoadViewerPicture(f, "sys_blVR2", v.markHover);
    if (v.bar.width >= 3 * kBarWidth) {
        for (int r = 0; r < v.bar.height && kBarY + r < v.background.height; ++r) {
            uint8_t* row = v.background.Pixel(kBarX, kBarY + r);
            MaskRows(row, v.bar.Row(r), v.bar.Pixel(2 * kBarWidth, r), kBarWidth * 3 / 8, row);
        }
    } else if (!v.bar.Empty()) {
        Trace("backlog: sys_bl_bar is %d pixels wide, not 72; no scroll bar", v.bar.width);
    }
    RegularGlyphFace(f, v.font, kTextHeight, 0);
    ResetViewerGlyphs(v);
    v.scroll = 0;
    v.drag = 0;
    b.open = true;
    Trace("backlog opened (%d lines)", b.count);
    v.caret = -1;
    // The feed gets the lines as it got them live: the speaker as a 「name」
    // prefix of the line after it, voice markers left out.
    static int32_t feedOf[kBacklogLines + 1];
    std::vector<std::string> texts;
    BacklogFeedLines(b, feedOf, &texts);
    for (const std::string& text : texts) ShowText(f.plat, platform::TextKind::Backlog, text, false);
    UpdateMenuStates(f);
    DrawBacklog(f);
}

void DrawBacklog(TForm1& f) {
    BacklogState& b = f.backlog;
    BacklogViewer& v = b.viewer;
    Picture& screen = f.gfx.screen;
    CopyPicture(screen, v.background);
    RegularGlyphFace(f, v.font, kTextHeight, 0);
    const int first = std::max(b.count - v.scroll - kBacklogRows, 0);
    for (int i = 0; i < kBacklogRows; ++i) {
        v.rowVoice[i][0] = '\0';
        if (first + i >= b.count) continue;
        const char* line = b.BacklogLines[first + i];
        if (line[0] != '@') {
            DrawViewerText(f, screen, kRowX, kRowTop + kRowPitch * i, RowText(line));
        } else if (i > 0) {
            // A mark in the top row would stand for a voice whose line is
            // scrolled away; it shows nothing there.
            std::snprintf(v.rowVoice[i], sizeof v.rowVoice[i], "%s", RowText(line + 1).c_str());
            BlitSideBySide(screen, kRowX, kMarkTop + kRowPitch * i, v.mark);
        }
    }
    if (b.count > kBacklogRows)
        BlitSideBySide(screen, kThumbX, kThumbBottom - v.scroll * kTrack / (b.count - kBacklogRows), v.thumb);
    f.plat.surface().BlitWhole(screen);
    // Nothing is highlighted any more.
    v.hoveredRow = -1;
    v.hoveredPart = kNoPart;
}

void CloseBacklog(TForm1& f) {
    BacklogState& b = f.backlog;
    if (!b.open) return;
    BacklogViewer& v = b.viewer;
    GfxState& g = f.gfx;
    if (v.kept.width == g.screen.width && v.kept.height == g.screen.height) g.screen.bytes = v.kept.bytes;
    f.plat.surface().BlitWhole(g.screen);
    for (Picture* p : {&v.kept, &v.background, &v.bar, &v.thumb, &v.mark, &v.markHover}) {
        p->bytes = {};
        p->Resize(0, 0);
    }
    v.glyphs.reset();
    b.open = false;
    v.drag = 0;
    Trace("backlog closed");
    UpdateMenuStates(f);
    f.vars.S[65] = 0;
    DrawQuickBar(f, 1);
}

void BacklogMouseMove(TForm1& f, int x, int y) {
    BacklogState& b = f.backlog;
    BacklogViewer& v = b.viewer;
    if (!b.open) return;
    if (v.drag == 3) {
        ScrollTo(f, DragScroll(b, y - 50));
        return;
    }
    const int row = RowAt(v, x, y);
    if (row != v.hoveredRow) {
        DrawBacklog(f);
        v.hoveredRow = row;
        if (row >= 0 && v.rowVoice[row][0] != '\0') {
            const int top = kMarkTop + kRowPitch * row;
            BlitSideBySide(f.gfx.screen, kRowX, top, v.markHover);
            f.plat.surface().Blit(f.gfx.screen, kRowX, top, kMarkWidth, kMarkHeight, kRowX, top);
        }
    }
    if (v.drag != 0) return;
    int part = PartAt(x, y);
    if (part == kTrackPart) part = kNoPart;  // the track has no highlight
    if (part == v.hoveredPart) return;
    if (part == kNoPart) {
        DrawBacklog(f);  // off the bar, and so off the rows too
        return;
    }
    ShowBarPart(f, part, kBarWidth);
    if (const int n = Neighbour(part); n != kNoPart)
        f.plat.surface().Blit(f.gfx.screen, kBarX, kPartTop[n], kBarWidth, kPartBottom[n] - kPartTop[n] + 1, kBarX,
                              kPartTop[n]);
    v.hoveredPart = part;
}

void BacklogMouseDown(TForm1& f, int button, int x, int y) {
    BacklogState& b = f.backlog;
    BacklogViewer& v = b.viewer;
    if (!b.open) return;
    if (button != platform::mbLeft) {
        CloseBacklog(f);
        return;
    }
    switch (PartAt(x, y)) {
        case kTopEnd:
            v.drag = 1;
            ScrollTo(f, MaxScroll(b));
            return;
        case kUp:
            v.drag = 1;
            ScrollTo(f, v.scroll + 2);
            return;
        case kTrackPart:
            v.drag = 3;
            ScrollTo(f, DragScroll(b, y - 40));
            return;
        case kDown:
            v.drag = 2;
            ScrollTo(f, v.scroll - 2);
            return;
        case kBottomEnd:
            v.drag = 2;
            ScrollTo(f, 0);
            return;
        default: break;
    }
    const int row = RowAt(v, x, y);
    if (row >= 0 && v.rowVoice[row][0] != '\0') {
        Trace("backlog: voice %s again", TraceText(v.rowVoice[row]).c_str());
        PlaySoundByName(f, v.rowVoice[row]);
    }
}

void BacklogMouseUp(TForm1& f, int button, int x, int y) {
    (void)button, (void)x, (void)y;
    f.backlog.viewer.drag = 0;
}

void BacklogWheel(TForm1& f, int delta) {
    BacklogState& b = f.backlog;
    if (!b.open) return;
    BacklogViewer& v = b.viewer;
    v.caret = -1;
    v.scroll = std::clamp(delta > 0 ? v.scroll + kWheelLines : v.scroll - kWheelLines, 0, MaxScroll(b));
    DrawBacklog(f);
}

int BacklogFeedLines(const BacklogState& b, int32_t feedOf[kBacklogLines + 1], std::vector<std::string>* texts) {
    int n = 0;
    int speakerAt = -1;  // the speaker line waiting for its line
    std::string speaker;
    const auto emit = [&](const std::string& text, int from, int to) {
        if (text.empty()) return;  // the outlets send nothing for it
        if (from >= 0) feedOf[from] = n;
        feedOf[to] = n;
        if (texts) texts->push_back(text);
        ++n;
    };
    for (int32_t i = 0; i < b.count; ++i) {
        feedOf[i] = -1;
        const std::string line(b.BacklogLines[i], strnlen(b.BacklogLines[i], kBacklogLineSize));
        if (b.speakerLine[i]) {
            if (speakerAt >= 0) emit(speaker, speakerAt, speakerAt);
            speakerAt = i;
            speaker = "\x81\x75" + line + "\x81\x76";  // 「 」
            continue;
        }
        if (!line.empty() && line[0] == '@') continue;
        emit(speaker + line, speakerAt, i);
        speakerAt = -1;
        speaker.clear();
    }
    if (speakerAt >= 0) emit(speaker, speakerAt, speakerAt);
    return n;
}

namespace {

// The reading line from the feed's lines already counted.
int ReadingLine(const BacklogState& b, const int32_t feedOf[], int n) {
    if (n == 0) return -1;
    if (b.viewer.caret >= 0) return std::min(b.viewer.caret, n - 1);
    for (int i = std::max(b.count - b.viewer.scroll - kBacklogRows, 0); i < b.count; ++i)
        if (feedOf[i] >= 0) return feedOf[i];
    return n - 1;
}

}  // namespace

int BacklogReadingLine(const BacklogState& b) {
    static int32_t feedOf[kBacklogLines + 1];
    return ReadingLine(b, feedOf, BacklogFeedLines(b, feedOf, nullptr));
}

void BacklogKey(TForm1& f, bool up) {
    BacklogState& b = f.backlog;
    if (!b.open) return;
    BacklogViewer& v = b.viewer;
    static int32_t feedOf[kBacklogLines + 1];
    const int n = BacklogFeedLines(b, feedOf, nullptr);
    const int at = ReadingLine(b, feedOf, n);
    if (at < 0) return;
    const int to = std::clamp(up ? at - 1 : at + 1, 0, n - 1);
    if (to == at && v.caret >= 0) return;
    v.caret = to;
    // The rows scroll as little as keeps the whole line (its name too) in sight.
    int lo = -1, hi = -1;
    for (int i = 0; i < b.count; ++i)
        if (feedOf[i] == to) {
            if (lo < 0) lo = i;
            hi = i;
        }
    int first = std::max(b.count - v.scroll - kBacklogRows, 0);
    if (lo < first) first = lo;
    else if (hi >= first + kBacklogRows) first = hi - kBacklogRows + 1;
    const int scroll = std::clamp(b.count - kBacklogRows - first, 0, MaxScroll(b));
    Trace("backlog: reading line %d", to);
    if (scroll == v.scroll) return;
    v.scroll = scroll;
    DrawBacklog(f);
}

}  // namespace velmora
