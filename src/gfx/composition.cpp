#include "gfx/composition.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "app/engine.h"
#include "app/trace.h"
#include "data/archive.h"
#include "gfx/image_files.h"
#include "script/loader.h"

namespace velmora {

namespace {

// Sprite centre x and top y variables per layout (count 1 to 4), and the
// drawing order of each layout with S024 clear and set.
constexpr int kLayoutFirstVar[5] = {0, 80, 81, 83, 86};
constexpr int kDrawOrder[5][2][4] = {
    {{0}, {0}},
    {{0}, {0}},
    {{0, 1}, {1, 0}},
    {{0, 2, 1}, {0, 2, 1}},
    {{0, 1, 3, 2}, {3, 2, 0, 1}},
};

bool StartsWithDigit(const std::string& s) { return !s.empty() && s[0] >= '0' && s[0] <= '9'; }

// Loads a sprite into the next cache slot, split into colour and mask.
void FillSpriteSlot(TForm1& f, const std::string& name) {
    GfxState& g = f.gfx;
    // A missing sprite gets what the load picture last received. Its storage
    // goes once a sprite is cut, so that picture is loaded again by name.
    if (LoadPicture(f, name, g.spriteLoad)) {
        g.spriteLoadName = name;
    } else {
        ContentError("picture", "sprite %s: no such picture", TraceText(name).c_str());
        if (!g.spriteLoadName.empty()) LoadPicture(f, g.spriteLoadName, g.spriteLoad);
    }
    SpriteSlot& slot = g.spriteCache[g.nextSpriteSlot];
    const int half = g.spriteLoad.width / 2;
    const int h = g.spriteLoad.height;
    const size_t bytes = static_cast<size_t>(half) * static_cast<size_t>(h) * 3;
    // The halves are pictures like any other: past the cap the slot stays
    // empty (the sprite is not drawn) rather than the memory overshooting.
    if (PictureMemoryAllows(f, {{&slot.colour, bytes}, {&slot.mask, bytes}}, name, static_cast<unsigned>(half),
                            static_cast<unsigned>(h))) {
        if (slot.colour.width != half || slot.colour.height != h) slot.colour.Resize(half, h);
        if (slot.mask.width != half || slot.mask.height != h) slot.mask.Resize(half, h);
        CopyRect(slot.colour, 0, 0, g.spriteLoad, 0, 0, half, h);
        CopyRect(slot.mask, 0, 0, g.spriteLoad, half, 0, half, h);
        slot.spans = MeasureMask(slot.mask);
    } else {
        slot.colour = Picture();
        slot.mask = Picture();
        slot.spans = MaskSpans();
    }
    slot.name = name;
    g.spriteLoad = Picture();
    g.nextSpriteSlot = (g.nextSpriteSlot + 1) % kSpriteSlots;
}

void DrawOverlay(TForm1& f) {
    GfxState& g = f.gfx;
    const int32_t* S = f.vars.S;
    const int x = S[21], y = S[22], w = S[23];
    if (w == 0) {
        BlitSideBySide(g.scene, x, y, g.overlay);
        return;
    }
    // Each overlay row blends its whole 8-byte groups. Clipped to the scene:
    // of those bytes, the ones that land inside it.
    const long long drawn = 3LL * g.overlay.width / 8 * 8;
    const long long skip = x < 0 ? -3LL * x : 0;
    const long long end = std::min(drawn, 3LL * (static_cast<long long>(g.scene.width) - x));
    if (end <= skip) return;
    const size_t bytes = static_cast<size_t>(end - skip);
    for (int r = 0; r < g.overlay.height; ++r) {
        const long long sy = static_cast<long long>(y) + r;
        if (sy < 0) continue;
        if (sy >= g.scene.height) break;
        uint8_t* out = g.scene.Pixel(std::max(x, 0), static_cast<int>(sy));
        BlendBytes(g.overlay.Row(r) + skip, out, w, out, bytes);
    }
}

void CopyScreenPicture(Picture& dst, const Picture& src) {
    if (dst.width != src.width || dst.height != src.height) dst.Resize(src.width, src.height);
    std::memcpy(dst.bytes.data(), src.bytes.data(), src.bytes.size());
}

bool NovelMode(const TForm1& f) { return f.vars.S[150] != 0; }

}  // namespace

void CreateCompositionPictures(TForm1& f) {
    GfxState& g = f.gfx;
    for (Picture* p : {&g.scene, &g.screen, &g.previous, &g.work, &g.novel, &g.choiceSave, &g.mask})
        p->Resize(kScreenWidth, kScreenHeight);
    // The window can be no larger than the screen it is drawn on.
    g.messageWindow.Resize(std::clamp(f.config.TXW_SIZE_X, 0, kScreenWidth),
                           std::clamp(f.config.TXW_SIZE_Y, 0, kScreenHeight));
    for (Picture* p : {&g.background, &g.overlay, &g.spriteLoad, &g.parts}) p->Resize(0, 0);
    g.spriteLoadName.clear();
    for (SpriteSlot& slot : g.spriteCache) {
        slot.colour.Resize(0, 0);
        slot.mask.Resize(0, 0);
        slot.spans = MaskSpans();
        slot.name.clear();
    }
    for (int k = 0; k < kSpritePositions; ++k) {
        g.spriteNames[k].clear();
        g.spriteSlotOf[k] = 0;
    }
    g.spriteCount = 0;
    g.nextSpriteSlot = 0;
}

void ForgetSceneNames(TForm1& f) {
    f.gfx.backgroundName.clear();
    f.gfx.spriteList.clear();
}

int SetSprites(TForm1& f, const std::string& list) {
    GfxState& g = f.gfx;
    const std::string up = UpperName(list);
    for (int k = 0; k < kSpritePositions; ++k) {
        std::string field = TableField(up, k);
        if (field != "-") g.spriteNames[k] = field;
    }
    int top = -1;
    for (int k = kSpritePositions - 1; k >= 0 && top < 0; --k)
        if (!g.spriteNames[k].empty()) top = k;
    if (top < 0) {
        g.spriteCount = 0;
        return 0;
    }
    int transition = 1;
    if (StartsWithDigit(g.spriteNames[top])) {
        g.spriteCount = top;
        transition = std::atoi(g.spriteNames[top].c_str());
    } else {
        g.spriteCount = top + 1;
    }
    // A trailing comma opens one more (empty) position; five is the most
    // there are.
    if (!up.empty() && up.back() == ',') g.spriteCount = std::min(g.spriteCount + 1, kSpritePositions);

    // Fill the cache. A newly loaded sprite may have replaced the slot of an
    // earlier position, so every load rescans from position 0.
    int loads = 0;
    for (int p = 0; p < g.spriteCount; ++p) {
        const std::string& name = g.spriteNames[p];
        if (name.empty()) continue;
        int found = -1;
        for (int s = 0; s < kSpriteSlots && found < 0; ++s)
            if (g.spriteCache[s].name == name) found = s;
        if (found >= 0) {
            g.spriteSlotOf[p] = found;
            continue;
        }
        if (++loads > 4 * kSpriteSlots) break;
        FillSpriteSlot(f, name);
        p = -1;
    }
    if (!f.ui.SkipActive && f.vars.S[26] != 1) ++g.spriteChangeCounter;
    return transition;
}

void DropHiddenSprites(TForm1& f) {
    GfxState& g = f.gfx;
    bool shown[kSpriteSlots] = {};
    for (int p = 0; p < g.spriteCount && p < kSpritePositions; ++p) {
        const int s = g.spriteSlotOf[p];
        if (!g.spriteNames[p].empty() && s >= 0 && s < kSpriteSlots && g.spriteCache[s].name == g.spriteNames[p])
            shown[s] = true;
    }
    for (int s = 0; s < kSpriteSlots; ++s) {
        if (shown[s]) continue;
        SpriteSlot& slot = g.spriteCache[s];
        slot.colour = Picture();
        slot.mask = Picture();
        slot.spans = MaskSpans();
        slot.name.clear();
    }
}

void ComposeScene(TForm1& f) {
    GfxState& g = f.gfx;
    const int32_t* S = f.vars.S;
    CopyPicture(g.scene, g.background);
    if (S[35] != 0 && S[20] == 0) DrawOverlay(f);
    const int count = g.spriteCount;
    if (count >= 1 && count <= 4) {
        const int* order = kDrawOrder[count][S[24] != 0 ? 1 : 0];
        for (int i = 0; i < count; ++i) {
            const int p = order[i];
            if (g.spriteNames[p].empty()) continue;
            const SpriteSlot& slot = g.spriteCache[g.spriteSlotOf[p]];
            const int cx = S[kLayoutFirstVar[count] + p];
            const int top = S[kLayoutFirstVar[count] + p + 10];
            BlitMasked(g.scene, slot.colour, slot.mask, slot.spans, cx - slot.colour.width / 2, top);
        }
    }
    if (S[35] != 0 && S[20] == 1) DrawOverlay(f);
}

void ApplySceneFilter(TForm1& f) {
    Picture& p = f.gfx.scene;
    const int32_t filter = f.vars.S[11];
    uint8_t* b = p.bytes.data();
    const size_t n = p.bytes.size();
    switch (filter) {
    case 1: {
        const int64_t factor = f.vars.S[13];
        for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((b[i] * factor) >> 4);
        break;
    }
    case 2:
    case 3:
        for (size_t i = 0; i + 3 <= n; i += 3) {
            const unsigned grey = (b[i] + b[i + 1] + b[i + 2]) / 3;
            if (filter == 2) {
                b[i] = static_cast<uint8_t>(grey >> 2);
                b[i + 1] = static_cast<uint8_t>((3 * grey) >> 2);
            } else {
                b[i] = b[i + 1] = static_cast<uint8_t>(grey);
            }
            b[i + 2] = static_cast<uint8_t>(grey);
        }
        break;
    case 4:
        // Turned upside down: every pixel of the upper half changes place
        // with its mirror through the centre.
        for (int y = 0; y < p.height / 2; ++y) {
            for (int x = 0; x < p.width; ++x) {
                uint8_t* a = p.Pixel(x, y);
                uint8_t* z = p.Pixel(p.width - 1 - x, p.height - 1 - y);
                for (int k = 0; k < 3; ++k) std::swap(a[k], z[k]);
            }
        }
        break;
    default:
        break;
    }
}

void ShowScene(TForm1& f) {
    GfxState& g = f.gfx;
    if (g.symbol.active) {
        f.plat.surface().BlitWhole(g.symbol.savedBackground, f.vars.S[32], f.vars.S[33]);
        g.symbol.active = false;
    }
    if (NovelMode(f)) {
        f.text.windowValid = false;
        BuildWindowBackground(f);
    } else {
        if (!BackgroundAnimationRunning(f)) CopyScreenPicture(g.screen, g.scene);
        else RestoreFrameCleanPieces(f);
        BuildWindowBackground(f);
    }
    DrawWindowLayers(f);
}

void DrawWindowLayers(TForm1& f) {
    GfxState& g = f.gfx;
    const bool novel = NovelMode(f);
    if (f.text.windowOpen) {
        if (novel) {
            CopyPicture(g.screen, g.novel);
        } else {
            CopyPicture(g.screen, g.messageWindow, f.config.TXW_OFS_X, f.config.TXW_OFS_Y);
            if (BackgroundAnimationRunning(f)) CopyWindowPieceToFrames(f);
        }
        DrawQuickBar(f, 0);
        RedrawText(f);
    }
    if (f.app.playMode == 0 && f.vars.S[4] != 0 && !novel) DrawStatusMeter(f, 0);
}

void Redraw(TForm1& f, int transition) {
    GfxState& g = f.gfx;
    int32_t* S = f.vars.S;
    f.flags.busy = true;
    // Outside novel mode and background animations ShowScene rebuilds the
    // screen whole from the scene before anything reads it, so its picture
    // moves to `previous` rather than being copied there.
    if (!NovelMode(f) && !BackgroundAnimationRunning(f)) std::swap(g.previous, g.screen);
    else CopyScreenPicture(g.previous, g.screen);
    ComposeScene(f);
    ApplySceneFilter(f);
    if (NovelMode(f) && (S[9] == 2 || (S[9] == 1 && g.backgroundChanged))) {
        // The new scene first, then the page over it.
        CopyScreenPicture(g.screen, g.scene);
        RunTransition(f, transition);
        CopyScreenPicture(g.previous, g.screen);
        if (S[9] == 1) g.backgroundChanged = false;
        transition = 6;
    }
    g.composing = true;
    ShowScene(f);
    g.composing = false;
    RunTransition(f, transition);
}

void TForm1::PBPaint() {
    plat.surface().BlitWhole(app.playMode == 1 ? gfx.scene : gfx.screen);
    ApplyVolumes(*this);
}

void CrossfadeTile(TForm1& f, int x, int y, int w) {
    CrossfadeTile(f.gfx.previous, f.gfx.screen, f.gfx.work, x, y, w);
}

void MaskScreen(TForm1& f) {
    MaskScreen(f.gfx.previous, f.gfx.screen, f.gfx.mask, f.gfx.work);
    f.plat.surface().BlitWhole(f.gfx.work);
    f.plat.surface().Update();
}

void DarkenScreen(TForm1& f, const Picture& src, Picture& dst, int v) {
    StartFrameClock(f);
    DarkenScreen(src, dst, v);
}

}  // namespace velmora
