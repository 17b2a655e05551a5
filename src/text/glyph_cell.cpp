#include "text/glyph_cell.h"

#include <cstring>

namespace velmora {

void BuildGlyphCell(const GlyphBitmap& bitmap, int ascent, GlyphCell& cell) {
    std::memset(cell.a, 0, sizeof cell.a);
    if (bitmap.levels.size() < bitmap.Size()) return;
    const int top = ascent - bitmap.originY + kCellTopMargin;
    for (int r = 0; r < bitmap.blackBoxY; ++r) {
        int row = r + top;
        if (row < 0 || row >= kCellHeight) continue;
        const uint8_t* src = bitmap.levels.data() + static_cast<size_t>(r) * bitmap.pitch;
        for (int c = 0; c < bitmap.blackBoxX; ++c) {
            int col = bitmap.originX + c;
            if (col < 0 || col >= kCellWidth) continue;
            cell.a[row][col] = LevelAlpha(src[c]);
        }
    }
}

void CellToPicture(const GlyphCell& cell, Picture& alpha) {
    if (alpha.width != kCellWidth || alpha.height != kCellHeight) alpha.Resize(kCellWidth, kCellHeight);
    for (int r = 0; r < kCellHeight; ++r) {
        uint8_t* d = alpha.Row(r);
        for (int c = 0; c < kCellWidth; ++c, d += 3) d[0] = d[1] = d[2] = cell.a[r][c];
    }
}

void BuildShadowPicture(const GlyphCell& cell, Picture& shadow) {
    if (shadow.width != kCellWidth || shadow.height != kCellHeight) shadow.Resize(kCellWidth, kCellHeight);
    std::fill(shadow.bytes.begin(), shadow.bytes.end(), 0);
    for (int i = 1; i <= kCellHeight - 2; ++i) {
        uint8_t* d = shadow.Row(i + 1);
        for (int j = 1; j <= kCellWidth - 2; ++j) {
            int v = (cell.a[i - 1][j] + cell.a[i][j - 1] + cell.a[i][j + 1] + cell.a[i + 1][j]) >> 2;
            d[j * 3] = d[j * 3 + 1] = d[j * 3 + 2] = static_cast<uint8_t>(v);
        }
    }
}

void BlendCellPass(Picture& target, int x, int y, const Picture& colour, const Picture& alpha) {
    constexpr int kRowBytes = kCellWidth * 3;
    if (colour.width < kCellWidth || colour.height < kCellHeight || alpha.width < kCellWidth ||
        alpha.height < kCellHeight)
        return;
    const int stride = target.Stride();
    const int startByte = x * 3;
    for (int row = 0; row < kCellHeight; ++row) {
        const int ty = y + row;
        if (ty >= target.height) break;
        if (ty < 0) continue;
        uint8_t* dst = target.Row(ty);
        const uint8_t* c = colour.Row(row);
        const uint8_t* a = alpha.Row(row);
        for (int g = 0; g < kRowBytes; g += 8) {
            uint64_t group;
            std::memcpy(&group, a + g, 8);
            if (group == 0) continue;
            const int first = startByte + g;
            if (first >= stride) break;
            if (first >= 0 && first + 8 <= stride) {
                uint8_t* d = dst + first;
                for (int k = 0; k < 8; ++k) d[k] = MaskByte(d[k], c[g + k], a[g + k]);
            } else {
                // A group across the left or right edge: only its bytes inside.
                for (int k = 0; k < 8; ++k) {
                    int t = first + k;
                    if (t >= 0 && t < stride) dst[t] = MaskByte(dst[t], c[g + k], a[g + k]);
                }
            }
        }
    }
}

}  // namespace velmora
