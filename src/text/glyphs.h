#pragma once
// Glyph rendering: the glyph font, the glyph cache, the colour of the text,
// the gaiji and the speaker name plate.
#include <cstdint>
#include <memory>
#include <string>

#include "gfx/picture.h"
#include "text/glyph_cell.h"
#include "text/glyph_outline.h"
#include "text/text_layout.h"

namespace velmora {

class TForm1;

constexpr int kGlyphCacheSize = 1000;
constexpr int kGaijiCount = 4;
constexpr int kGaijiTile = 24;
constexpr int kPlateX = 57, kPlateY = 344, kPlateWidth = 224, kPlateHeight = 44;

// The characters that come from "sys_gaiji", tile by tile.
constexpr uint16_t kGaijiCodes[kGaijiCount] = {0x819F, 0x8198, 0x81E3, 0x81E4};

struct GlyphCacheEntry {
    uint16_t code = 0;
    GlyphCell cell;
};

// The eight colours of the colour numbers (red in the low byte).
extern const uint32_t TextColourTable[8];

// Advances and kerning of one-byte characters in the message font's size,
// from the face that draws them.
class GlyphAdvances final : public PenMetrics {
public:
    TForm1* form = nullptr;
    int Advance(uint8_t code) override;
    int Kerning(uint8_t left, uint8_t right) override;
};

struct GlyphState {
    OutlineFont font;
    bool fontTried = false;  // a failure is traced once, not per glyph
    // FONT_LATIN: the face of one-byte characters, when the game names one.
    OutlineFont latin;
    std::string latinTried;
    GlyphAdvances advances;
    int16_t advanceCache[256] = {};  // 0 not yet measured, else advance + 1
    int advanceSize = 0;             // the point size the cache was measured at
    // Work pictures, 32 x 35.
    Picture glyphAlpha, shadowAlpha, shadowColour, textColour;
    uint32_t currentColour = 0;
    bool colourValid = false;
    // Insertion order, searched from the first entry; never evicted.
    std::unique_ptr<GlyphCacheEntry[]> cache;
    int cacheCount = 0;
    GlyphCell scratch;  // a glyph rendered but not stored
    // "sys_gaiji", "sys_np", the plate work picture and the speaker's plate.
    Picture gaiji, defaultPlate, plate, speakerPlate;
};

// The font request the settings ask for: FontName, FONTSIZE, FONTBold, FONTAA.
FontRequest GlyphFontRequest(const TForm1& f);
// `font` in the glyph font's face at regular weight, `cellHeight` pixels
// high, or `pointSize` points when cellHeight is 0. Opened on first use and
// again when the settings name another face or the size changes.
OutlineFont& RegularGlyphFace(TForm1& f, OutlineFont& font, int cellHeight, int pointSize);

// The measures of the proportional pen.
PenMetrics& GlyphPenMetrics(TForm1& f);

void InitGlyphs(TForm1& f);
void RebuildGlyphCache(TForm1& f);
// The glyph code of the character at text: two bytes when the first is a
// lead byte (the second is then read; a NUL ends a truncated character).
uint16_t GlyphCode(const char* text);
void PrepareGlyph(TForm1& f, const char* text);
void BlendGlyph(TForm1& f, Picture& picture, int x, int y);
void PutGlyph(TForm1& f, int x, int y);
// What the window shows: the screen picture, or while an animated background
// runs in the normal play mode, its current frame.
const Picture& ShownPicture(const TForm1& f);
void SetGlyphColour(TForm1& f, int n);
void DrawString(TForm1& f, const std::string& text, int x0, Picture& picture, int colour, int y);
void DrawStringCentred(TForm1& f, const std::string& text, int x0, Picture& picture, int colour, int y);
void ShowNamePlate(TForm1& f, const std::string& name, int colour);

}  // namespace velmora
