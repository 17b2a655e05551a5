// The viewer's text. Every scroll redraws 29 rows of up to 34 characters;
// rasterising them all again each time costs several milliseconds, so each
// character is rasterised once per viewer, by the font's own text output,
// and its ink is kept. Blending the kept ink gives the same pixels the text
// output would.
#include <algorithm>
#include <cstring>

#include "app/engine.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "text/glyphs.h"

namespace velmora {

namespace {

constexpr int kMargin = 16;
constexpr int kScratch = kViewerGlyphBox + 2 * kMargin;
constexpr uint32_t kWhite = 0xFFFFFF;

// Rasterises one character into an entry: its ink box within the scratch
// picture, and the pen's advance.
void Rasterise(OutlineFont& font, ViewerGlyphCache& c, const std::string& ch, ViewerGlyph& g) {
    Picture& s = c.scratch;
    if (s.width != kScratch) s.Resize(kScratch, kScratch);
    std::memset(s.bytes.data(), 0, s.bytes.size());
    // White on black: each byte is the coverage the text output blends by.
    g.advance = static_cast<int16_t>(font.DrawText(s, kMargin, kMargin, ch, kWhite) - kMargin);
    int x0 = kScratch, y0 = kScratch, x1 = -1, y1 = -1;
    for (int y = 0; y < kScratch; ++y)
        for (int x = 0; x < kScratch; ++x)
            if (s.Pixel(x, y)[0] != 0) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    g.direct = false;
    g.width = g.height = 0;
    if (x1 < 0) return;  // no ink: a space, or a character the face lacks
    if (x0 == 0 || y0 == 0 || x1 == kScratch - 1 || y1 == kScratch - 1 || x1 - x0 >= kViewerGlyphBox ||
        y1 - y0 >= kViewerGlyphBox) {
        g.direct = true;
        return;
    }
    g.left = static_cast<int16_t>(x0 - kMargin);
    g.top = static_cast<int16_t>(y0 - kMargin);
    g.width = static_cast<int16_t>(x1 - x0 + 1);
    g.height = static_cast<int16_t>(y1 - y0 + 1);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) g.ink[y * kViewerGlyphBox + x] = s.Pixel(x0 + x, y0 + y)[0];
}

// The text output's blend of white by coverage, clipped to the picture.
void BlendInk(Picture& p, const ViewerGlyph& g, int penX, int y) {
    for (int r = 0; r < g.height; ++r) {
        const int py = y + g.top + r;
        if (py < 0 || py >= p.height) continue;
        const uint8_t* ink = g.ink + r * kViewerGlyphBox;
        for (int c = 0; c < g.width; ++c) {
            const int a = ink[c];
            const int px = penX + g.left + c;
            if (a == 0 || px < 0 || px >= p.width) continue;
            uint8_t* d = p.Pixel(px, py);
            for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>((d[k] * (255 - a) + 255 * a + 127) / 255);
        }
    }
}

}  // namespace

void ResetViewerGlyphs(BacklogViewer& v) {
    if (!v.glyphs) v.glyphs = std::make_unique<ViewerGlyphCache>();
    ViewerGlyphCache& c = *v.glyphs;
    std::fill(std::begin(c.slotOf), std::end(c.slotOf), static_cast<int16_t>(-1));
    c.count = 0;
    c.family = v.font.request().family;
}

void DrawViewerText(TForm1& f, Picture& picture, int x, int y, const std::string& cp932) {
    BacklogViewer& v = f.backlog.viewer;
    OutlineFont& font = v.font;
    if (!font.IsOpen()) return;
    if (!v.glyphs || v.glyphs->family != font.request().family) ResetViewerGlyphs(v);
    ViewerGlyphCache& c = *v.glyphs;
    // One-byte text in the game's Latin face, on the same baseline.
    const std::string latinFamily = ToUtf8(f.config.FONT_LATIN);
    const int height = font.request().cellHeight;
    if (!latinFamily.empty() && (v.latin.request().family != latinFamily || v.latin.request().cellHeight != height)) {
        FontRequest r;
        r.family = latinFamily;
        r.cellHeight = height;
        r.latinOnly = true;
        v.latin.Open(r);
    }
    const bool latin = !latinFamily.empty() && v.latin.IsOpen();
    int pen = x;
    const size_t n = cp932.size();
    for (size_t i = 0; i < n;) {
        // Characters split as the text output splits them.
        const uint8_t b = static_cast<uint8_t>(cp932[i]);
        const size_t len = IsLeadByte(b) && i + 1 < n ? 2 : 1;
        const uint16_t code = len == 2 ? static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(cp932[i + 1])) : b;
        const std::string ch = cp932.substr(i, len);
        i += len;
        const bool oneByte = latin && len == 1;
        OutlineFont& face = oneByte ? v.latin : font;
        const int top = oneByte ? y + font.Ascent() - v.latin.Ascent() : y;
        int slot = c.slotOf[code];
        if (slot < 0 && c.count < kViewerGlyphs) {
            slot = c.count++;
            Rasterise(face, c, ch, c.glyphs[slot]);
            c.slotOf[code] = static_cast<int16_t>(slot);
        }
        if (slot < 0 || c.glyphs[slot].direct) {
            pen = face.DrawText(picture, pen, top, ch, kWhite);
            continue;
        }
        BlendInk(picture, c.glyphs[slot], pen, top);
        pen += c.glyphs[slot].advance;
    }
}

}  // namespace velmora
