// The scene rewind: the pages of the history shown again one by one with
// their own background, characters, window style, text (in yellow) and
// first voice; stepping forward past the newest returns to the story as it
// was.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "backlog/backlog.h"
#include "gfx/composition.h"
#include "gfx/effects.h"
#include "text/glyphs.h"
#include "text/message_window.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kRewindColour = 4;  // yellow
constexpr int kFirstPagesBack = 2;

static_assert(sizeof RewindState{}.spriteNames / sizeof(std::string) == kSpritePositions);

int EntryOf(int32_t counter, int32_t back) { return ((counter - back) % kHistoryPageCount + kHistoryPageCount) % kHistoryPageCount; }

// A history page's text as the window redraw draws a page, in one colour.
void DrawHistoryText(TForm1& f, const char (&text)[2000]) {
    static_assert(sizeof text == kPageLines * kPageColumns);
    DrawPageGrid(f, reinterpret_cast<const uint8_t(*)[kPageColumns]>(text), kRewindColour);
}

// The background of a history page: an "S" colour or a picture by name; a
// page that named none keeps what is there.
void HistoryBackground(TForm1& f, const std::string& name) {
    Picture& bg = f.gfx.background;
    if (name.empty()) return;
    if (name[0] == 'S' || name[0] == 's') {
        if (bg.Empty()) bg.Resize(kScreenWidth, kScreenHeight);
        FillPicture(bg, ColourFromName(name.c_str()));
    } else if (!LoadPicture(f, name, bg)) {
        Trace("rewind: background %s not found", TraceText(name).c_str());
    }
}

void ShowHistoryEntry(TForm1& f, int e) {
    GfxState& g = f.gfx;
    const PageHistoryBlocks& h = f.backlog.history;
    const std::string pictures(h.pictures[e], strnlen(h.pictures[e], sizeof h.pictures[e]));
    const size_t comma = pictures.find(',');
    HistoryBackground(f, pictures.substr(0, comma));
    // The page's own list: a "-" in it must not keep a character of the
    // page shown before.
    for (std::string& s : g.spriteNames) s.clear();
    SetSprites(f, comma == std::string::npos ? std::string() : pictures.substr(comma + 1));
    ComposeScene(f);

    f.text.windowValid = false;
    f.vars.S[150] = h.mode[e];
    if (h.mode[e] != 0) {
        BuildWindowBackground(f);
        CopyPicture(g.screen, g.novel);
    } else {
        CopyPicture(g.screen, g.scene);
        BuildWindowBackground(f);
        CopyPicture(g.screen, g.messageWindow, f.config.TXW_OFS_X, f.config.TXW_OFS_Y);
    }
    DrawHistoryText(f, h.text[e]);

    const char* voices = h.voices[e];
    const size_t n = strcspn(voices, " ");
    if (n > 0) PlaySoundByName(f, std::string(voices, n));
    f.plat.surface().BlitWhole(g.screen);
    Trace("rewind: page %d of %d (entry %d)", f.backlog.pageHistoryCount - f.backlog.rewind.pagesBack + 1,
          f.backlog.pageHistoryCount, e);
}

}  // namespace

void StartRewind(TForm1& f) {
    BacklogState& b = f.backlog;
    RewindState& r = b.rewind;
    if (f.vars.S[28] == 0) {
        Trace("rewind: scene rewind refused, S028 is 0");
        return;
    }
    // Nothing before the page that waits now: nothing to show.
    if (b.pageHistoryCount < kFirstPagesBack) {
        Trace("rewind: scene rewind has no earlier page");
        return;
    }
    if (f.app.playMode != 9) {
        // What the story goes back to; a second start while rewinding
        // keeps it.
        r.returnMode = f.vars.S[150];
        r.background = f.gfx.background;
        for (int k = 0; k < kSpritePositions; ++k) r.spriteNames[k] = f.gfx.spriteNames[k];
        r.spriteCount = f.gfx.spriteCount;
    }
    f.ui.OverlayActive = true;
    UpdateMenuStates(f);
    r.pagesBack = kFirstPagesBack;
    ShowHistoryEntry(f, EntryOf(b.pageHistoryCount, r.pagesBack));
    f.app.playMode = 9;
}

void RewindStep(TForm1& f, bool back) {
    BacklogState& b = f.backlog;
    RewindState& r = b.rewind;
    if (f.app.playMode != 9) return;
    if (back) {
        if (r.pagesBack < kHistoryPageCount && b.pageHistoryCount - r.pagesBack > 0) {
            ++r.pagesBack;
            ShowHistoryEntry(f, EntryOf(b.pageHistoryCount, r.pagesBack));
        }
        return;
    }
    if (r.pagesBack-- <= kFirstPagesBack) {
        EndRewind(f);
        return;
    }
    ShowHistoryEntry(f, EntryOf(b.pageHistoryCount, r.pagesBack));
}

void EndRewind(TForm1& f) {
    if (f.app.playMode != 9) return;
    RewindState& r = f.backlog.rewind;
    GfxState& g = f.gfx;
    int32_t* S = f.vars.S;
    S[37] = 0xFFFFFF;
    SetGlyphColour(f, 0);
    S[60] = 0;
    S[150] = r.returnMode;
    f.app.playMode = 0;
    f.ui.OverlayActive = false;
    // The scene as it was: the background picture itself (its name alone
    // may name nothing), the characters by the names they had.
    g.background = std::move(r.background);
    r.background = Picture();
    for (int k = 0; k < kSpritePositions; ++k) g.spriteNames[k] = r.spriteNames[k];
    SetSprites(f, "-,-,-,-,-");
    g.spriteCount = r.spriteCount;
    f.text.windowValid = false;
    Redraw(f, 0);
    Trace("rewind ended");
    UpdateMenuStates(f);
}

}  // namespace velmora
