#pragma once
// The pixel operations: the only code that touches picture bytes directly.
// Pure functions over pictures and byte rows; weights are per byte and a
// "group" is 8 consecutive bytes of a row.
#include <cstdint>
#include <vector>

#include "gfx/picture.h"

namespace velmora {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
constexpr int kScreenGroups = kScreenWidth * 3 / 8;  // 300 groups per screen row

// n groups: out = (first * w + second * (256 - w)) >> 8, w from 0 to 256.
// out may be first or second.
void BlendRows(const uint8_t* first, const uint8_t* second, int w, uint8_t* out, int n);
// The same arithmetic over any number of bytes.
void BlendBytes(const uint8_t* first, const uint8_t* second, int w, uint8_t* out, size_t bytes);
// The same with the weight set by SetBlendWeight.
void SetBlendWeight(int w);
void BlendRows(const uint8_t* first, const uint8_t* second, uint8_t* out, int n);

// n groups: a group whose 8 mask bytes are all 0 keeps dst; otherwise every
// byte becomes min(255, ((dst * (255 - m)) >> 8) + ((src * m) >> 8)).
// out may be dst.
void MaskRows(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, int n, uint8_t* out);

// Whole screen-sized pictures (600 rows of 300 groups; smaller pictures are
// covered as far as all of them reach).
// out = first at weight w blended with second at 256 - w.
void CrossfadeScreen(const Picture& first, const Picture& second, int w, Picture& out);
// The 80 x 60 tile at (x, y): out = previous at weight w with screen at 256 - w.
void CrossfadeTile(const Picture& previous, const Picture& screen, Picture& out, int x, int y, int w);
// out = MaskRows(dst, src, mask) over the screen.
void MaskScreen(const Picture& dst, const Picture& src, const Picture& mask, Picture& out);
// dst = (src * v) >> 8 over the screen, v from 0 to 256 (low 16 bits of the
// product).
void DarkenScreen(const Picture& src, Picture& dst, int v);

// Rows y ... y + rows - 1 of the picture: every byte b becomes (b * v) >> 8,
// v from 0 to 256 (clipped to the picture).
void DarkenRows(Picture& picture, int y, int rows, int v);

// Draws colour through mask (separate pictures of equal size) with its
// top-left at (x, y), clipped at every edge of dst.
void BlitMasked(Picture& dst, const Picture& src, const Picture& mask, int x, int y);
// Where a mask's 8-byte groups are transparent (all 0), opaque (all 255) or
// blended, row by row. Measured once when a masked picture is loaded, so
// drawing skips transparent runs and writes opaque ones from the colour
// alone, without reading the mask.
struct MaskSpans {
    enum class Kind : uint8_t { Transparent, Opaque, Blended };
    struct Run {
        uint32_t begin, end;  // groups of the row
        Kind kind;
    };
    int width = 0, height = 0;  // of the mask measured
    std::vector<Run> runs;      // every row's runs, row after row
    std::vector<uint32_t> rowStart;  // height + 1 indices into runs
};
MaskSpans MeasureMask(const Picture& mask);
// BlitMasked with the spans of mask (measured again whenever the mask
// changes): the same pixels. Spans of a mask of another size are ignored.
void BlitMasked(Picture& dst, const Picture& src, const Picture& mask, const MaskSpans& spans, int x, int y);
// The same with colour in the left half of src and mask in the right half.
void BlitSideBySide(Picture& dst, int x, int y, const Picture& src);
// Colour in the upper half of src, mask in the lower half. Not clipped: a
// picture that does not fit is refused ("ILLEGAL BMP" in the trace) and
// false returned.
bool BlitStacked(Picture& dst, int x, int y, const Picture& src);

// Block copy of the w x h rectangle at (sx, sy) of src to (dx, dy) of dst,
// clipped to both pictures. src and dst must not be the same picture.
void CopyRect(Picture& dst, int dx, int dy, const Picture& src, int sx, int sy, int w, int h);
// Copies all of src to (dx, dy) of dst, clipped.
inline void CopyPicture(Picture& dst, const Picture& src, int dx = 0, int dy = 0) {
    CopyRect(dst, dx, dy, src, 0, 0, src.width, src.height);
}
// Fills the whole picture with one colour (red in the low byte).
void FillPicture(Picture& dst, uint32_t colour);

// The instruction set behind the operations above, chosen once from the
// processor. Every path gives the same bytes; tests and benchmarks force a
// lower one to compare them. UsePixelPath refuses (false) a path this
// processor or build cannot run.
enum class PixelPath { Plain, Sse2, Avx2 };
PixelPath BestPixelPath();
PixelPath CurrentPixelPath();
bool UsePixelPath(PixelPath path);

}  // namespace velmora
