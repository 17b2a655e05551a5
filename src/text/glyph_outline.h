#pragma once
// The glyph outline service: FreeType outlines at 96 dpi, the face chosen by
// fontconfig. Hands out 65-level grey bitmaps (0 ... 64) shaped the way the
// glyph cell builder wants them: the black box, rows padded to 4 bytes, the
// origin of the box relative to the pen and the font's ascent.
//
// Games name Windows faces ("ＭＳ ゴシック"); those are mapped onto the
// installed Japanese faces, and a face that is missing, or has no Japanese
// glyphs, falls back to the best Japanese face fontconfig knows.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/picture.h"

namespace velmora {

struct FontRequest {
    std::string family;   // UTF-8
    int pointSize = 19;   // at 96 dpi: pointSize * 96 / 72 pixels per em
    int cellHeight = 0;   // when > 0: size the font so ascent + descent = this many pixels
    bool bold = false;
    bool antialias = true;  // false: monochrome rendering, levels 0 or 64
    bool latinOnly = false; // a face for one-byte text: Japanese glyphs not needed
};

// What fontconfig chose for a request.
struct ResolvedFace {
    std::string file;
    int index = 0;
    std::string family;     // the chosen face's family (UTF-8)
    bool embolden = false;  // bold asked for but the face has no bold: FreeType emboldens
    bool fallback = false;  // the requested family was not installed
};

// A glyph as the outline service returns it.
struct GlyphBitmap {
    int blackBoxX = 0;  // width of the inked box in pixels
    int blackBoxY = 0;  // height of the inked box
    int originX = 0;    // left edge of the box, right of the pen position
    int originY = 0;    // top edge of the box, above the baseline
    int pitch = 0;      // bytes per row: blackBoxX rounded up to a multiple of 4
    std::vector<uint8_t> levels;  // pitch * blackBoxY bytes, 0 ... 64
    uint32_t Size() const { return static_cast<uint32_t>(pitch) * static_cast<uint32_t>(blackBoxY); }
};

// The installed family for a Windows face name (the Japanese faces and the
// usual Latin ones), or nullptr when the name is not one of them. Several
// candidates, best first.
const std::vector<std::string>* WindowsFaceAlias(const std::string& utf8Family);

// Chooses the face for a family name (UTF-8). Returns false only when no
// face with Japanese glyphs is installed at all. With latinOnly the face
// need not hold Japanese glyphs (a face for one-byte text); false then when
// neither the family nor its alias is installed.
bool ResolveFace(const std::string& utf8Family, bool bold, ResolvedFace& out, bool latinOnly = false);

// The installed font families (UTF-8), sorted, each once, every name a
// face goes by (its localised names too); with japaneseOnly only faces that
// hold kana and kanji.
std::vector<std::string> InstalledFontFamilies(bool japaneseOnly = false);

// Every name (UTF-8) of the installed faces that go by this family name,
// e.g. "IPAGothic" and "IPAゴシック"; empty when none is installed.
std::vector<std::string> FamilyNames(const std::string& utf8Family);

// The Unicode code point of a CP932 glyph code (one byte below 0x100, else
// lead byte * 256 + trail byte); 0 when CP932 has no such character.
uint32_t Cp932CodeToUnicode(uint16_t code);

class OutlineFont {
public:
    OutlineFont();
    ~OutlineFont();
    OutlineFont(const OutlineFont&) = delete;
    OutlineFont& operator=(const OutlineFont&) = delete;

    // Opens the face for the request; false when no Japanese face exists.
    bool Open(const FontRequest& request);
    bool IsOpen() const;
    const FontRequest& request() const { return request_; }
    const ResolvedFace& face() const { return face_; }
    // Changes the point size of an open font.
    void SetPointSize(int pointSize);
    // Font ascent and descent in pixels.
    int Ascent() const;
    int Descent() const;

    // Renders one glyph code. Returns the bitmap's size in bytes (0 for a
    // glyph with no ink, such as a space) or -1 when the font cannot produce
    // the character.
    int64_t RenderGlyph(uint16_t code, GlyphBitmap& out);
    // How far the pen moves past a glyph code, in whole pixels; -1 when the
    // font has no such character.
    int Advance(uint16_t code);
    // The face's kerning between two glyph codes in whole pixels (0 when the
    // face has no kerning for the pair).
    int Kerning(uint16_t left, uint16_t right);

    // The plain text output: CP932 text with its top-left at (x, y), in the
    // colour (red in the low byte), blended by coverage onto the picture and
    // clipped to it. Returns the pen position after the text.
    int DrawText(Picture& picture, int x, int y, const std::string& cp932, uint32_t colour);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    FontRequest request_;
    ResolvedFace face_;
};

}  // namespace velmora
