#pragma once
// The glyph cell: a 32 x 35 alpha block built from a 65-level bitmap, its
// soft shadow, and the two-pass blend onto a picture. No engine here.
#include <cstddef>
#include <cstdint>

#include "gfx/picture.h"
#include "text/glyph_outline.h"

namespace velmora {

constexpr int kCellWidth = 32;
constexpr int kCellHeight = 35;
constexpr int kCellBytes = kCellWidth * kCellHeight;  // also the largest bitmap that is refused
constexpr int kCellTopMargin = 2;

struct GlyphCell {
    uint8_t a[kCellHeight][kCellWidth] = {};
};

// The alpha of a grey level: 0 stays 0, the rest 3 g + 90, saturated.
inline uint8_t LevelAlpha(int g) { return g <= 0 ? 0 : static_cast<uint8_t>(g >= 55 ? 255 : 3 * g + 90); }

// Places the bitmap in the cell, its baseline at row 2 + ascent. Pixels that
// fall outside the cell are dropped.
void BuildGlyphCell(const GlyphBitmap& bitmap, int ascent, GlyphCell& cell);

// The cell as a picture (blue = green = red = alpha).
void CellToPicture(const GlyphCell& cell, Picture& alpha);
// The shadow: each pixel the truncated mean of its four edge neighbours, one
// row lower; the border stays clear.
void BuildShadowPicture(const GlyphCell& cell, Picture& shadow);

// One blend pass: 32 pixels x 35 rows of colour weighted by alpha onto the
// target with its top-left at (x, y), in groups of 8 bytes that are skipped
// when their alpha is all zero. Rows and bytes beyond the target are left out.
void BlendCellPass(Picture& target, int x, int y, const Picture& colour, const Picture& alpha);

// The blend of one byte: background b, colour c, alpha a.
inline uint8_t MaskByte(int b, int c, int a) {
    int v = ((b * (255 - a)) >> 8) + ((c * a) >> 8);
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

}  // namespace velmora
