// The picture viewer (play mode 6): gallery pages of thumbnails, the full
// view of a seen picture, scene replays and the music rooms.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "data/archive.h"
#include "extras/gallery.h"
#include "gfx/composition.h"
#include "gfx/graphics_commands.h"
#include "script/variables.h"
#include "text/glyphs.h"
#include "text/message_window.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kDigitSize = 32;
constexpr int kDigitGroups = kDigitSize * 3 / 8;
constexpr int kDigitY = 73;
constexpr int kScrollStep = 20;  // rows per frame
constexpr uint32_t kScrollFrameMs = 30;
constexpr int kGlowHover = 16;

bool IsSlot(int h) { return h >= 1 && h <= kViewerSlots; }

ViewerSlot* CurrentSlot(GalleryState& g, int n) {
    if (!IsSlot(n) || g.currentSet < 0 || g.currentSet >= static_cast<int>(g.view.sets.size())) return nullptr;
    return &g.view.sets[static_cast<size_t>(g.currentSet)].cells[n];
}

// The rectangle of a hoverable element (x, y, w, h); false for none.
bool ElementRect(const GalleryState& g, int e, int& x, int& y, int& w, int& h) {
    const ViewerPage& v = g.view;
    const ViewerRect* r = nullptr;
    if (IsSlot(e)) {
        x = v.slotX[e], y = v.slotY[e], w = v.thumbW, h = v.thumbH;
        return true;
    }
    if (e == kViewerNext) r = &v.next;
    else if (e == kViewerPrev) r = &v.prev;
    else if (e == kViewerExit) r = &v.exit;
    else if (e >= kViewerSetButtonBase && e < kViewerSetButtonBase + kViewerSetButtons)
        r = &v.setButtons[e - kViewerSetButtonBase].rect;
    if (!r || r->x1 < 0) return false;
    x = r->x1, y = r->y1, w = r->x2 - r->x1, h = r->y2 - r->y1;
    return w > 0 && h > 0;
}

void ShowRect(TForm1& f, int x, int y, int w, int h) { f.plat.surface().Blit(f.gfx.screen, x, y, w, h, x, y); }

// The element in its highlighted look, on the window and in the screen picture.
void HighlightElement(TForm1& f, int e) {
    int x, y, w, h;
    if (!ElementRect(f.extras.gallery, e, x, y, w, h)) return;
    CopyRect(f.gfx.screen, x, y, f.gfx.background, x, y, w, h);
    ShowRect(f, x, y, w, h);
}

// Rows of the element in the screen picture: highlight at weight 8c over
// the normal page, whole 8-pixel groups, clipped to all three pictures.
void GlowElement(TForm1& f, int e, int c) {
    int x, y, w, h;
    if (!ElementRect(f.extras.gallery, e, x, y, w, h)) return;
    const Picture& hi = f.gfx.background;
    const Picture& lo = f.gfx.scene;
    Picture& out = f.gfx.screen;
    w = (w + 7) / 8 * 8;
    int right = x + w, bottom = y + h;
    for (const Picture* p : {&hi, &lo, static_cast<const Picture*>(&out)}) {
        if (right > p->width) right = p->width;
        if (bottom > p->height) bottom = p->height;
    }
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (right <= x) return;
    for (int row = y; row < bottom; ++row)
        BlendBytes(hi.Pixel(x, row), lo.Pixel(x, row), 8 * c, out.Pixel(x, row), static_cast<size_t>(right - x) * 3);
}

void FillRect(Picture& p, int x1, int y1, int x2, int y2, uint32_t colour) {
    const uint8_t r = colour & 0xFF, gr = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    if (x1 < 0) x1 = 0;
    if (y1 < 0) y1 = 0;
    if (x2 > p.width) x2 = p.width;
    if (y2 > p.height) y2 = p.height;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) {
            uint8_t* d = p.Pixel(x, y);
            d[0] = b, d[1] = gr, d[2] = r;
        }
}

void DrawCaption(TForm1& f, const std::string& caption) {
    GalleryState& g = f.extras.gallery;
    Picture& screen = f.gfx.screen;
    if (f.vars.S[50] != 0) {
        CopyRect(screen, 220, 67, f.gfx.scene, 220, 67, 380, 22);
        RegularGlyphFace(f, g.captionFont, 0, 17).DrawText(screen, 220, 67, caption, 0x000000);
        ShowRect(f, 220, 67, 380, 22);
    } else {
        FillRect(screen, 308, 83, 596, 108, 0x000000);
        RegularGlyphFace(f, g.captionFont, 0, 19).DrawText(screen, 308, 83, caption, 0xFFFFFF);
        ShowRect(f, 308, 83, 288, 25);
    }
}

void DrawDigit(TForm1& f, int digit, int x) {
    const Picture& d = f.extras.gallery.digits;
    Picture& scene = f.gfx.scene;
    if (d.width < 2 * kDigitSize || d.height < (digit + 1) * kDigitSize) return;
    if (x < 0 || x + kDigitSize > scene.width || kDigitY + kDigitSize > scene.height) return;
    for (int r = 0; r < kDigitSize; ++r) {
        const int sy = digit * kDigitSize + r;
        uint8_t* out = scene.Pixel(x, kDigitY + r);
        MaskRows(out, d.Pixel(0, sy), d.Pixel(kDigitSize, sy), kDigitGroups, out);
    }
}

void ReleasePagePictures(GalleryState& g) {
    g.plate = Picture();
    g.plate2 = Picture();
    g.digits = Picture();
}

void ScreenBackTo600(TForm1& f) {
    Picture& s = f.gfx.screen;
    if (s.width == kScreenWidth && s.height == kScreenHeight) return;
    Picture kept = s;
    s.Resize(kScreenWidth, kScreenHeight);
    CopyPicture(s, kept);
}

// The current script's place is kept when the page cannot be opened.
bool OpenPage(TForm1& f, const std::string& page) {
    GalleryState& g = f.extras.gallery;
    ViewerPage v;
    if (!ReadViewerPage(f, page, v)) return false;
    g.view = std::move(v);
    if (!g.view.plate.empty() && !LoadPicture(f, g.view.plate, g.plate))
        Trace("view %s: plate %s missing", g.view.name.c_str(), TraceText(g.view.plate).c_str());
    if (!g.view.plate2.empty() && !LoadPicture(f, g.view.plate2, g.plate2))
        Trace("view %s: plate %s missing", g.view.name.c_str(), TraceText(g.view.plate2).c_str());
    return true;
}

void StartSceneReplay(TForm1& f, int n) {
    GalleryState& g = f.extras.gallery;
    ViewerSlot* slot = CurrentSlot(g, n);
    if (!slot) return;
    const size_t colon = slot->value.find(':');
    const std::string name = slot->value.substr(0, colon);
    const std::string label = colon == std::string::npos ? std::string() : slot->value.substr(colon + 1);
    ScriptPoint from;
    TakeScriptPoint(f, from);
    if (name.empty() || !LoadScript(f, name, 1)) {
        Trace("view %s: the scene script \"%s\" of slot %d is missing", g.view.name.c_str(),
              TraceText(name).c_str(), n);
        return;
    }
    g.replayFrom = from;
    Trace("view %s: replaying %s from slot %d", g.view.name.c_str(), TraceText(slot->value).c_str(), n);
    f.app.playMode = 0;
    f.app.replayContext = 1;
    f.loader.callDepth = 0;
    if (std::strchr("kKvVfF", name[0])) BuildWindowPictures(f);
    ResetWaits(f);
    f.text.windowOpen = false;
    f.vars.S[60] = 0;
    std::snprintf(f.loader.currentScript, sizeof f.loader.currentScript, "%s", name.c_str());
    f.vars.S[28] = 1;
    ShowReplayMenuItems(f, false, true);
    EnableLoadSaveItems(f, false);
    if (!label.empty()) GotoLabel(f, label.c_str());
    g.hovered = 0;
}

}  // namespace

int ViewerHitTest(const ViewerPage& v, int set, int x, int y) {
    for (int n = 1; n < kViewerSlots; ++n) {
        if (set < 0 || set >= static_cast<int>(v.sets.size())) break;
        const int state = v.sets[static_cast<size_t>(set)].cells[n].state;
        if (state != 2 && state != 3) continue;
        if (v.slotX[n] <= x && x < v.slotX[n] + v.thumbW && v.slotY[n] <= y && y < v.slotY[n] + v.thumbH) return n;
    }
    int result = 0;
    if (v.next.Holds(x, y)) result = kViewerNext;
    if (v.prev.Holds(x, y)) result = kViewerPrev;
    if (v.exit.Holds(x, y)) result = kViewerExit;
    for (int nn = 0; nn < kViewerSetButtons; ++nn) {
        const ViewerButton& b = v.setButtons[nn];
        if (b.rect.Holds(x, y) && b.ActiveIn(set)) return kViewerSetButtonBase + nn;
    }
    const char shown = v.name.size() > 5 ? v.name[5] : '\0';
    for (int d = 0; d < kViewerPageButtons; ++d) {
        const ViewerButton& b = v.pageButtons[d];
        if (b.rect.Holds(x, y) && b.ActiveIn(set) && shown != '0' + d) return kViewerPageButtonBase + d;
    }
    return result;
}

void StartViewer(TForm1& f, const std::string& page) {
    GalleryState& g = f.extras.gallery;
    const bool wasOpen = g.open;
    EnableLoadSaveItems(f, false);
    ReleasePagePictures(g);
    if (!LoadPicture(f, "sys_vwnum", g.digits)) Trace("view: the digit picture sys_vwnum is missing");
    if (!OpenPage(f, page)) {
        if (wasOpen) {
            // A page button to a page that is not there: the page shown stays.
            Trace("view: staying on %s", g.view.name.c_str());
            OpenPage(f, g.view.name);
            DrawViewerPage(f);
            return;
        }
        // The script goes on after viewer with its menus as they were.
        EnableLoadSaveItems(f, true);
        UpdateMenuStates(f);
        return;
    }
    if (!wasOpen) {
        g.keptBackground = f.gfx.background;
        g.keptScene = f.gfx.scene;
        g.keptScreen = f.gfx.screen;
    }
    g.open = true;
    g.currentTrack = g.lastTrack = 0;
    f.vars.S[0] = 2;
    UpdateMenuStates(f);
    if (g.view.type != 3) SetMusic(f, 2);
    g.currentSet = 0;
    g.fullView = false;
    g.hovered = 0;
    f.app.playMode = 6;
    Trace("view %s: open, type %d, %d sets, %d of %d pictures seen", g.view.name.c_str(), g.view.type,
          g.view.setCount, g.view.totalSeen, g.view.totalVariants);
    DrawViewerPage(f);
    g.busy = false;
}

void DrawViewerPage(TForm1& f) {
    GalleryState& g = f.extras.gallery;
    ViewerPage& v = g.view;
    for (int& c : g.glow) c = 0;
    ScreenBackTo600(f);
    if (g.currentSet < 0 || g.currentSet >= static_cast<int>(v.sets.size())) g.currentSet = 0;
    if (v.sets.empty()) v.sets.resize(1);
    ViewerSet& set = v.sets[static_cast<size_t>(g.currentSet)];
    Picture page;
    if (LoadPicture(f, set.normal, page)) CopyPicture(f.gfx.scene, page);
    else Trace("view %s: page picture %s missing", v.name.c_str(), TraceText(set.normal).c_str());
    if (!LoadPicture(f, set.highlight, f.gfx.background))
        Trace("view %s: highlight picture %s missing", v.name.c_str(), TraceText(set.highlight).c_str());
    CopyPicture(f.gfx.work, f.gfx.background);
    for (int n = 1; n <= kViewerSlots; ++n) {
        ViewerSlot& slot = set.cells[n];
        if (v.type == 3) {
            slot.state = 2;
            continue;
        }
        if (slot.state == 1 && !g.plate.Empty()) {
            BlitSideBySide(f.gfx.scene, v.slotX[n], v.slotY[n], g.plate);
        } else if (slot.state == 2 && !g.plate2.Empty()) {
            BlitSideBySide(f.gfx.scene, v.slotX[n], v.slotY[n], g.plate2);
            BlitSideBySide(f.gfx.background, v.slotX[n], v.slotY[n], g.plate2);
        }
    }
    if (v.type == 0) {
        const std::string digits = CompletionDigits(v.totalSeen, v.totalVariants);
        static const int kX[3] = {20, 54, 88};
        const int first = 3 - static_cast<int>(digits.size());
        for (size_t i = 0; i < digits.size(); ++i) DrawDigit(f, digits[i] - '0', kX[first + static_cast<int>(i)]);
    }
    CopyPicture(f.gfx.screen, f.gfx.scene);
    f.plat.surface().BlitWhole(f.gfx.screen);
}

void ViewerHover(TForm1& f, int x, int y) {
    GalleryState& g = f.extras.gallery;
    if (!g.open || g.fullView || g.busy) return;
    const ViewerPage& v = g.view;
    const int h = ViewerHitTest(v, g.currentSet, x, y);
    if (h != 0) {
        const bool oneSet = v.setCount == 1;
        if (IsSlot(h)) {
            HighlightElement(f, h);
            if (v.type == 1 && h != g.hovered) {
                const ViewerSlot* slot = CurrentSlot(g, h);
                if (slot) DrawCaption(f, slot->caption);
            }
        } else if (((h == kViewerNext || h == kViewerPrev) && !oneSet) || h == kViewerExit ||
                   (h >= kViewerSetButtonBase && h < kViewerSetButtonBase + kViewerSetButtons)) {
            HighlightElement(f, h);
        }
        const bool quiet = ((h == kViewerNext || h == kViewerPrev) && oneSet) || h >= kViewerPageButtonBase;
        if (!quiet) g.glow[h] = kGlowHover;
    }
    g.hovered = h;
}

void ViewerIdleStep(TForm1& f) {
    GalleryState& g = f.extras.gallery;
    if (!g.open || g.fullView || g.busy) return;
    ++g.passCounter;
    if (g.view.type == 3 && g.passCounter % 32 == 0 && IsSlot(g.currentTrack)) {
        g.glow[kViewerNext] = kGlowHover;
        g.glow[g.currentTrack] = 32;
    }
    bool changed = false;
    auto fade = [&](int e) {
        if (e == g.hovered || g.glow[e] <= 0) return;
        --g.glow[e];
        GlowElement(f, e, g.glow[e]);
        changed = true;
    };
    for (int n = 1; n < kViewerSlots; ++n) fade(n);
    for (int e : {kViewerNext, kViewerPrev, kViewerExit}) fade(e);
    for (int nn = 0; nn < kViewerSetButtons; ++nn) fade(kViewerSetButtonBase + nn);
    if (changed) f.plat.surface().BlitWhole(f.gfx.screen);
}

void ShowFullPicture(TForm1& f) {
    GalleryState& g = f.extras.gallery;
    const ViewerSlot* slot = CurrentSlot(g, g.hovered);
    if (!slot) return;
    std::string names[kViewerVariantsMax];
    const int count = SplitTableFields(slot->value, names, kViewerVariantsMax);
    const std::vector<std::string>& list = g.GalleryList;
    // Bounded: a slot whose seen count came from another numbering may hold
    // no picture the list knows as seen.
    int found = -1;
    int index = g.variantIndex;
    for (int tries = 0; tries <= count && found < 0; ++tries) {
        if (index >= count || names[index].empty()) index = 0;
        const std::string up = UpperName(names[index]);
        for (size_t k = 0; k < list.size() && k < static_cast<size_t>(kPictureSeenBits); ++k)
            if (list[k] == up) {
                if (PictureSeenBit(f, static_cast<int>(k))) found = index;
                break;
            }
        if (found < 0) ++index;
    }
    if (found < 0) {
        Trace("view %s: slot %d has no seen picture to show", g.view.name.c_str(), g.hovered);
        return;
    }
    g.variantIndex = found;
    g.busy = true;
    g.fullView = true;
    Picture& s = f.gfx.screen;
    const std::string name = UpperName(names[found]);
    if (!LoadPicture(f, name, s)) Trace("view: picture %s missing", TraceText(name).c_str());
    Trace("view %s: full view of %s, %d x %d", g.view.name.c_str(), TraceText(name).c_str(), s.width, s.height);
    platform::Surface& pb = f.plat.surface();
    if (s.height < kViewerScrollHeight) {
        pb.BlitWhole(s);
    } else {
        // Pictures of 580 to 599 rows have no room to scroll: they show from the top.
        const int bottom = s.height > kScreenHeight ? s.height - kScreenHeight : 0;
        StartFrameClock(f);
        int offset = 0;
        if (g.scrollState == 0) {
            offset = bottom;
            g.scrollState = 1;
        } else {
            const bool up = g.scrollState == 1;
            offset = up ? bottom : 0;
            const int goal = up ? 0 : bottom;
            while (offset != goal && !f.app.destroyed) {
                pb.Blit(s, 0, offset, kScreenWidth, kScreenHeight, 0, 0);
                const int step = kScrollStep * WaitFrame(f, kScrollFrameMs);
                offset = up ? (offset - step < 0 ? 0 : offset - step) : (offset + step > bottom ? bottom : offset + step);
            }
            g.scrollState = up ? 2 : 1;
        }
        pb.Blit(s, 0, offset, kScreenWidth, kScreenHeight, 0, 0);
    }
    ++g.variantIndex;
    g.busy = false;
}

void LeaveViewer(TForm1& f, bool fromMusicRoom) {
    GalleryState& g = f.extras.gallery;
    SetMusic(f, 0);
    EnableLoadSaveItems(f, true);
    ReleasePagePictures(g);
    ScreenBackTo600(f);
    g.open = false;
    g.fullView = false;
    f.app.playMode = 0;
    // The game's own pictures come back, so the window shows where the game was.
    if (!g.keptScreen.Empty()) {
        f.gfx.background = std::move(g.keptBackground);
        CopyPicture(f.gfx.scene, g.keptScene);
        CopyPicture(f.gfx.screen, g.keptScreen);
        f.plat.surface().BlitWhole(f.gfx.screen);
    }
    g.keptBackground = g.keptScene = g.keptScreen = Picture();
    if (!fromMusicRoom) {
        f.app.replayContext = 0;
        f.vars.S[0] = 1;
        UpdateMenuStates(f);
    }
    Trace("view %s: closed", g.view.name.c_str());
}

void ViewerClick(TForm1& f, int button, int x, int y) {
    GalleryState& g = f.extras.gallery;
    if (!g.open) return;
    if (g.busy) {
        Trace("view: press while the picture moves, ignored");
        return;
    }
    if (button == platform::mbRight) {
        if (g.fullView) {
            g.fullView = false;
            DrawViewerPage(f);
        }
        return;
    }
    if (!g.fullView && ViewerHitTest(g.view, g.currentSet, x, y) != g.hovered) ViewerHover(f, x, y);
    const int h = g.hovered;
    const ViewerPage& v = g.view;
    const int sets = static_cast<int>(v.sets.size());
    if (h >= kViewerPageButtonBase && h < kViewerPageButtonBase + kViewerPageButtons) {
        StartViewer(f, "VIEW_" + std::to_string(h - kViewerPageButtonBase));
        return;
    }
    if (h >= kViewerSetButtonBase && h < kViewerSetButtonBase + kViewerSetButtons) {
        const int target = v.setButtons[h - kViewerSetButtonBase].target;
        if (target < 0 || target >= sets) {
            Trace("view %s: set button %d shows set %d, which the page does not have", v.name.c_str(),
                  h - kViewerSetButtonBase, target);
            return;
        }
        g.currentSet = target;
        DrawViewerPage(f);
        return;
    }
    if (IsSlot(h) && v.type == 1) {
        StartSceneReplay(f, h);
        return;
    }
    if (IsSlot(h) && v.type == 2) {
        int sx, sy, sw, sh;
        CopyPicture(f.gfx.screen, f.gfx.scene);
        if (ElementRect(g, h, sx, sy, sw, sh)) CopyRect(f.gfx.screen, sx, sy, f.gfx.work, sx, sy, sw, sh);
        f.plat.surface().BlitWhole(f.gfx.screen);
        SetMusic(f, h);
        g.currentTrack = h;
        return;
    }
    if (v.type == 3) {
        if (IsSlot(h)) {
            g.currentTrack = g.lastTrack = h;
            SetMusic(f, h);
        } else if (h == kViewerNext) {
            if (g.currentTrack == 0) {
                g.currentTrack = g.lastTrack;
                SetMusic(f, g.lastTrack);
            }
        } else if (h == kViewerPrev) {
            g.currentTrack = 0;
            SetMusic(f, 0);
        } else if (h == kViewerExit) {
            LeaveViewer(f, true);
        }
        return;
    }
    if (g.fullView) {
        if (button == platform::mbLeft) {
            ShowFullPicture(f);
        } else {
            g.fullView = false;
            DrawViewerPage(f);
        }
        return;
    }
    if (IsSlot(h)) {
        g.variantIndex = 0;
        g.scrollState = 0;
        ShowFullPicture(f);
    } else if (h == kViewerNext) {
        g.currentSet = g.currentSet + 1 >= sets ? 0 : g.currentSet + 1;
        DrawViewerPage(f);
    } else if (h == kViewerPrev) {
        g.currentSet = g.currentSet <= 0 ? sets - 1 : g.currentSet - 1;
        DrawViewerPage(f);
    } else if (h == kViewerExit) {
        LeaveViewer(f, false);
    }
}

void EndReplay(TForm1& f) {
    GalleryState& g = f.extras.gallery;
    StopLoopSound(f);
    f.app.replayContext = 0;
    ResetWaits(f);
    RestoreScriptPoint(f, g.replayFrom);
    f.text.windowOpen = false;
    f.vars.S[150] = 0;
    f.vars.S[4] = 0;
    f.ui.SkipActive = false;
    SetMusic(f, 2);
    f.vars.S[28] = 0;
    f.app.playMode = 6;
    g.fullView = false;
    g.hovered = 0;
    DrawViewerPage(f);
    ShowReplayMenuItems(f, false, false);
    // Back on a gallery page, where nothing is saved or loaded.
    EnableLoadSaveItems(f, false);
    f.gfx.bgAnim.frameCount = 0;
    f.stepper.SleepCountdown = 0;
    Trace("replay: back to the gallery page %s", g.view.name.c_str());
}

void ViewerCommand(TForm1& f, const char* args) {
    std::string page = args;
    while (!page.empty() && (page.back() == ' ' || page.back() == '\t')) page.pop_back();
    size_t start = page.find_first_not_of(" \t");
    page = start == std::string::npos ? std::string() : page.substr(start);
    GalleryState& g = f.extras.gallery;
    if (g.open && f.app.playMode == 6) {
        Trace("viewer %s: the viewer is already open", TraceText(page).c_str());
        return;
    }
    if (g.open) {
        // A replay left for the title: that viewer is gone.
        g.open = false;
        g.keptBackground = g.keptScene = g.keptScreen = Picture();
    }
    StartViewer(f, page);
}

void ReturnToGallery(TForm1& f) {
    if (f.app.replayContext != 1 || !f.extras.gallery.open) {
        Trace("replay: no gallery replay to end");
        return;
    }
    EndReplay(f);
}

}  // namespace velmora
