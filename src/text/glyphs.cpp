// Glyph rendering: one character at a time, from the glyph cache or the
// outline service, blended as a soft shadow and then the glyph itself.
#include "text/glyphs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"

namespace velmora {


const uint32_t TextColourTable[8] = {
    0xFFFFFF,  // white
    0x008000,  // green
    0x0000FF,  // red
    0x800080,  // purple
    0x00FFFF,  // yellow
    0xFF0000,  // blue
    0xFFFF00,  // cyan
    0xC0C0C0,  // light grey
};

namespace {

// The face that draws a code: one-byte characters from FONT_LATIN's face
// when the game names one that is installed.
OutlineFont& FaceFor(GlyphState& g, uint16_t code) {
    return code <= 0xFF && g.latin.IsOpen() ? g.latin : g.font;
}

bool RenderCell(TForm1& f, uint16_t code, GlyphCell& cell) {
    GlyphState& g = f.text.glyphs;
    if (!g.font.IsOpen()) return false;
    GlyphBitmap bitmap;
    // The baseline stays the message font's, whichever face draws.
    int64_t size = FaceFor(g, code).RenderGlyph(code, bitmap);
    // Blanks have no bitmap; a bitmap as large as the cell cannot be a glyph
    // of the sizes offered and is dropped rather than cut.
    if (size <= 0 || size >= kCellBytes) return false;
    BuildGlyphCell(bitmap, g.font.Ascent(), cell);
    return true;
}

void AddToCache(GlyphState& g, uint16_t code, const GlyphCell& cell) {
    if (!g.cache || g.cacheCount >= kGlyphCacheSize) return;
    g.cache[g.cacheCount].code = code;
    g.cache[g.cacheCount].cell = cell;
    ++g.cacheCount;
}

void AddGaiji(GlyphState& g) {
    for (int k = 0; k < kGaijiCount; ++k) {
        GlyphCell cell;
        for (int j = 0; j < kGaijiTile; ++j) {
            if (j >= g.gaiji.height) break;
            for (int i = 0; i < kGaijiTile; ++i) {
                int x = kGaijiTile * k + i;
                if (x >= g.gaiji.width) break;
                cell.a[j + kCellTopMargin][i + kCellTopMargin] = g.gaiji.Pixel(x, j)[0];
            }
        }
        AddToCache(g, kGaijiCodes[k], cell);
    }
}

// Kana, digits and the common punctuation are rendered before they are needed.
void PrerenderCodes(TForm1& f) {
    GlyphState& g = f.text.glyphs;
    auto one = [&](uint16_t code) {
        GlyphCell cell;
        if (RenderCell(f, code, cell)) AddToCache(g, code, cell);
    };
    for (uint16_t c = 0x829F; c <= 0x82F1; ++c) one(c);
    for (uint16_t c = 0x8340; c <= 0x8396; ++c) one(c);
    for (uint16_t c = 0x824F; c <= 0x8258; ++c) one(c);
    static const uint16_t kPunctuation[] = {0x8140, 0x8175, 0x8176, 0x8169, 0x816A, 0x8163, 0x8142,
                                            0x8141, 0x8145, 0x8149, 0x8148, 0x93FA, 0x8177, 0x8178};
    for (uint16_t c : kPunctuation) one(c);
}

// Opens the glyph font again when the settings ask for another one.
void EnsureGlyphFont(TForm1& f) {
    GlyphState& g = f.text.glyphs;
    FontRequest want = GlyphFontRequest(f);
    const FontRequest& have = g.font.request();
    bool same = g.fontTried && have.family == want.family && have.bold == want.bold &&
                have.antialias == want.antialias;
    if (!same) {
        g.fontTried = true;
        if (g.font.Open(want))
            Trace("font: glyph font \"%s\" %d pt%s%s from %s", want.family.c_str(), want.pointSize,
                  want.bold ? " bold" : "", want.antialias ? "" : " monochrome", g.font.face().file.c_str());
    } else if (have.pointSize != want.pointSize) {
        g.font.SetPointSize(want.pointSize);
    }
    const FontRequest& latinHave = g.latin.request();
    const std::string latinFamily = ToUtf8(f.config.FONT_LATIN);
    if (latinFamily.empty()) return;
    if (g.latinTried != latinFamily || latinHave.bold != want.bold || latinHave.antialias != want.antialias) {
        g.latinTried = latinFamily;
        FontRequest latin = want;
        latin.family = latinFamily;
        latin.latinOnly = true;
        if (g.latin.Open(latin))
            Trace("font: one-byte text in \"%s\" from %s", latinFamily.c_str(), g.latin.face().file.c_str());
    } else if (latinHave.pointSize != want.pointSize) {
        g.latin.SetPointSize(want.pointSize);
    }
}

void SyncPointSize(TForm1& f) {
    GlyphState& g = f.text.glyphs;
    const int size = f.settings.FONTSIZE;
    if (g.font.IsOpen() && g.font.request().pointSize != size) g.font.SetPointSize(size);
    if (g.latin.IsOpen() && g.latin.request().pointSize != size) g.latin.SetPointSize(size);
}

// The first character lands one pitch right of x0.
void DrawStringAt(TForm1& f, const std::string& text, int x0, Picture& picture, int colour, int y,
                  const Pen& pen) {
    SetGlyphColour(f, colour);
    const size_t n = text.size();
    int x = x0 + pen.pitch;
    uint16_t prev = 0;
    for (size_t k = 0; k < n; ++k) {
        char ch[3] = {text[k], 0, 0};
        if ((static_cast<unsigned char>(text[k]) & 0x80) && k + 1 < n) ch[1] = text[++k];
        const int width = ch[1] != 0 ? 2 : 1;
        const uint16_t code = width == 2 ? static_cast<uint16_t>(static_cast<uint8_t>(ch[0]) << 8 |
                                                                 static_cast<uint8_t>(ch[1]))
                                         : static_cast<uint8_t>(ch[0]);
        x += pen.Kern(prev, code);
        PrepareGlyph(f, ch);
        BlendGlyph(f, picture, x, y);
        x += pen.Advance(code, width);
        prev = code;
    }
}

}  // namespace

FontRequest GlyphFontRequest(const TForm1& f) {
    FontRequest r;
    r.family = ToUtf8(f.settings.FontName);
    r.pointSize = f.settings.FONTSIZE;
    r.bold = f.settings.FONTBold != 0;
    r.antialias = f.settings.FONTAA == 0;
    return r;
}

OutlineFont& RegularGlyphFace(TForm1& f, OutlineFont& font, int cellHeight, int pointSize) {
    FontRequest want = GlyphFontRequest(f);
    want.bold = false;
    want.cellHeight = cellHeight;
    if (cellHeight <= 0) want.pointSize = pointSize;
    const FontRequest& have = font.request();
    if (!font.IsOpen() || have.family != want.family || have.cellHeight != want.cellHeight ||
        (cellHeight <= 0 && have.pointSize != want.pointSize))
        font.Open(want);
    return font;
}

void InitGlyphs(TForm1& f) {
    GlyphState& g = f.text.glyphs;
    if (!LoadPicture(f, "sys_gaiji", g.gaiji)) ContentError("picture", "system picture sys_gaiji missing");
    for (Picture* p : {&g.glyphAlpha, &g.shadowAlpha, &g.shadowColour, &g.textColour})
        p->Resize(kCellWidth, kCellHeight);
    g.plate.Resize(kPlateWidth, kPlateHeight);
    FillPicture(g.shadowColour, 0);
    if (!g.cache) g.cache = std::make_unique<GlyphCacheEntry[]>(kGlyphCacheSize);
    RebuildGlyphCache(f);
    g.colourValid = false;
    // White from the first character: a game that opens in the novel mode
    // or with tw_set types before any new page sets the colour.
    f.vars.S[37] = 0xFFFFFF;
    SetGlyphColour(f, 1);
    SetGlyphColour(f, 0);
}

void RebuildGlyphCache(TForm1& f) {
    GlyphState& g = f.text.glyphs;
    if (!g.cache) g.cache = std::make_unique<GlyphCacheEntry[]>(kGlyphCacheSize);
    EnsureGlyphFont(f);
    g.cacheCount = 0;
    g.advanceSize = 0;  // the face may have changed: measure again
    AddGaiji(g);
    PrerenderCodes(f);
}

uint16_t GlyphCode(const char* text) {
    unsigned char b0 = static_cast<unsigned char>(text[0]);
    if (IsLeadByte(b0)) return static_cast<uint16_t>(b0 << 8 | static_cast<unsigned char>(text[1]));
    return b0;
}

void PrepareGlyph(TForm1& f, const char* text) {
    GlyphState& g = f.text.glyphs;
    const uint16_t code = GlyphCode(text);
    if (g.glyphAlpha.width != kCellWidth) g.glyphAlpha.Resize(kCellWidth, kCellHeight);
    if (g.shadowAlpha.width != kCellWidth) g.shadowAlpha.Resize(kCellWidth, kCellHeight);
    SyncPointSize(f);
    std::fill(g.glyphAlpha.bytes.begin(), g.glyphAlpha.bytes.end(), 0);
    std::fill(g.shadowAlpha.bytes.begin(), g.shadowAlpha.bytes.end(), 0);

    const GlyphCell* cell = nullptr;
    for (int i = 0; i < g.cacheCount; ++i)
        if (g.cache[i].code == code) {
            cell = &g.cache[i].cell;
            break;
        }
    if (!cell) {
        if (!RenderCell(f, code, g.scratch)) return;
        if (g.cacheCount < kGlyphCacheSize && g.cache) {
            AddToCache(g, code, g.scratch);
            cell = &g.cache[g.cacheCount - 1].cell;
        } else {
            cell = &g.scratch;
        }
    }
    CellToPicture(*cell, g.glyphAlpha);
    BuildShadowPicture(*cell, g.shadowAlpha);
}

void BlendGlyph(TForm1& f, Picture& picture, int x, int y) {
    GlyphState& g = f.text.glyphs;
    BlendCellPass(picture, x + 1, y, g.shadowColour, g.shadowAlpha);
    BlendCellPass(picture, x, y, g.textColour, g.glyphAlpha);
}

const Picture& ShownPicture(const TForm1& f) {
    const BgAnimState& a = f.gfx.bgAnim;
    if (a.frameCount != 0 && f.app.playMode == 0) return a.frames[a.currentFrame].picture;
    return f.gfx.screen;
}

void PutGlyph(TForm1& f, int x, int y) {
    BlendGlyph(f, f.gfx.screen, x, y);
    // Every frame of an animated background carries the page, or the text
    // would vanish at the next frame.
    BgAnimState& a = f.gfx.bgAnim;
    for (int i = 0; i < a.frameCount; ++i) BlendGlyph(f, a.frames[i].picture, x, y);
    if (!f.gfx.composing) f.plat.surface().Blit(ShownPicture(f), x, y, kCellWidth, kCellHeight, x, y);
}

void SetGlyphColour(TForm1& f, int n) {
    GlyphState& g = f.text.glyphs;
    uint32_t colour = n == 0 ? static_cast<uint32_t>(f.vars.S[37]) & 0xFFFFFF : TextColourTable[n & 7];
    if (g.colourValid && colour == g.currentColour) return;
    g.currentColour = colour;
    g.colourValid = true;
    if (g.textColour.width != kCellWidth) g.textColour.Resize(kCellWidth, kCellHeight);
    FillPicture(g.textColour, colour);
}

void DrawString(TForm1& f, const std::string& text, int x0, Picture& picture, int colour, int y) {
    DrawStringAt(f, text, x0, picture, colour, y, TextPen(f, f.config.TX_PITCH_X));
}

void DrawStringCentred(TForm1& f, const std::string& text, int x0, Picture& picture, int colour, int y) {
    const Pen pen = TextPen(f, f.config.TX_PITCH_X);
    DrawStringAt(f, text, x0 - pen.Width(text.data(), text.size()) / 2, picture, colour, y, pen);
}

PenMetrics& GlyphPenMetrics(TForm1& f) {
    f.text.glyphs.advances.form = &f;
    return f.text.glyphs.advances;
}

int GlyphAdvances::Advance(uint8_t code) {
    GlyphState& g = form->text.glyphs;
    SyncPointSize(*form);
    if (g.advanceSize != form->settings.FONTSIZE) {
        std::fill(std::begin(g.advanceCache), std::end(g.advanceCache), 0);
        g.advanceSize = form->settings.FONTSIZE;
    }
    if (g.advanceCache[code] == 0) g.advanceCache[code] = static_cast<int16_t>(FaceFor(g, code).Advance(code) + 1);
    return g.advanceCache[code] - 1;
}

int GlyphAdvances::Kerning(uint8_t left, uint8_t right) {
    GlyphState& g = form->text.glyphs;
    OutlineFont& face = FaceFor(g, left);
    // Kerning lives within one face.
    if (&face != &FaceFor(g, right)) return 0;
    SyncPointSize(*form);
    return face.Kerning(left, right);
}

void ShowNamePlate(TForm1& f, const std::string& name, int colour) {
    GlyphState& g = f.text.glyphs;
    if (TraceOn()) Trace("name plate %s (colour %d)", TraceText(name).c_str(), colour);
    if (g.plate.width != kPlateWidth || g.plate.height != kPlateHeight) g.plate.Resize(kPlateWidth, kPlateHeight);
    int found = 0;
    for (int n = 1; n < kSpeakerCount && !found; ++n)
        if (f.config.NAME[n].defined && f.config.NAME[n].name == name) found = n;

    bool ownPlate = false;
    if (found) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "np_%02d", found);
        // A speaker without a plate picture of their own gets the default plate
        // with the name written on it, never another speaker's plate.
        Picture loaded;
        if (LoadPicture(f, entry, loaded)) {
            g.speakerPlate = std::move(loaded);
            ownPlate = true;
        }
        f.vars.S[37] = static_cast<int32_t>(f.config.NAME[found].colour);
        // The speaker's lines are typed in the speaker's colour.
        SetGlyphColour(f, 0);
    }
    BgAnimState& a = f.gfx.bgAnim;
    if (!found && a.frameCount > 0) {
        // An unlisted speaker over an animated background: the name alone,
        // written on every frame where the plate would be.
        for (int i = 0; i < a.frameCount; ++i) DrawString(f, name, kPlateX, a.frames[i].picture, 0, kPlateY);
        if (!f.gfx.composing)
            f.plat.surface().Blit(ShownPicture(f), kPlateX, kPlateY, kPlateWidth, kPlateHeight, kPlateX, kPlateY);
        return;
    }
    // The plate over what lies under it, without the message window.
    auto drawPlate = [&](Picture& target) {
        if (ownPlate) {
            BlitStacked(g.plate, 0, 0, g.speakerPlate);
        } else {
            BlitStacked(g.plate, 0, 0, g.defaultPlate);
            DrawString(f, name, 4, g.plate, colour, 2);
        }
        CopyRect(target, kPlateX, kPlateY, g.plate, 0, 0, kPlateWidth, kPlateHeight);
    };
    CopyRect(g.plate, 0, 0, f.gfx.scene, kPlateX, kPlateY, kPlateWidth, kPlateHeight);
    drawPlate(f.gfx.screen);
    // On an animated background every frame shows the plate over its own
    // picture, so that it stays through the animation.
    const int ox = f.config.TXW_OFS_X, oy = f.config.TXW_OFS_Y;
    for (int i = 0; i < a.frameCount; ++i) {
        BgAnimFrame& frame = a.frames[i];
        CopyRect(g.plate, 0, 0, frame.picture, kPlateX, kPlateY, kPlateWidth, kPlateHeight);
        const int x0 = std::max(kPlateX, ox), y0 = std::max(kPlateY, oy);
        const int x1 = std::min(kPlateX + kPlateWidth, ox + frame.cleanPiece.width);
        const int y1 = std::min(kPlateY + kPlateHeight, oy + frame.cleanPiece.height);
        if (x1 > x0 && y1 > y0)
            CopyRect(g.plate, x0 - kPlateX, y0 - kPlateY, frame.cleanPiece, x0 - ox, y0 - oy, x1 - x0, y1 - y0);
        drawPlate(frame.picture);
    }
    if (!f.gfx.composing)
        f.plat.surface().Blit(ShownPicture(f), kPlateX, kPlateY, kPlateWidth, kPlateHeight, kPlateX, kPlateY);
}

}  // namespace velmora
