// The message window: placing characters on the page, the window pictures,
// the click-wait icon, opening, new pages and the closing fade.
#include "text/message_window.h"

#include <algorithm>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "backlog/backlog.h"
#include "gfx/effects.h"
#include "gfx/transitions.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr uint16_t kOpeningBracket = 0x8175;  // 「
constexpr uint16_t kOpeningParen = 0x8169;    // （

bool NovelMode(const TForm1& f) { return f.vars.S[150] != 0; }

// A line of the page; an empty one past the page's end.
const uint8_t* LineOfPage(const TextState& t, int line) {
    static const uint8_t kEmpty[kPageColumns] = {};
    return line >= 0 && line < kPageLines ? t.PageText[line] : kEmpty;
}

// Rows [0, rows) of `colour` over `dst` through `mask`, from the given pixel
// columns, each row limited to what all three pictures hold.
void MaskBlock(Picture& out, int ox, int oy, const Picture& dst, int dx, int dy, const Picture& colour, int cx,
               int cy, const Picture& mask, int mx, int my, int width, int rows) {
    const int groups = width * 3 / 8;
    for (int r = 0; r < rows; ++r) {
        if (oy + r >= out.height || dy + r >= dst.height || cy + r >= colour.height || my + r >= mask.height)
            break;
        if (oy + r < 0 || dy + r < 0 || cy + r < 0 || my + r < 0) continue;
        if (ox < 0 || dx < 0 || cx < 0 || mx < 0 || ox + width > out.width || dx + width > dst.width ||
            cx + width > colour.width || mx + width > mask.width)
            return;
        MaskRows(dst.Pixel(dx, dy + r), colour.Pixel(cx, cy + r), mask.Pixel(mx, my + r), groups,
                 out.Pixel(ox, oy + r));
        // Bytes past the last whole group show what lies under the window.
        for (int b = groups * 8; b < width * 3; ++b) out.Pixel(ox, oy + r)[b] = dst.Pixel(dx, dy + r)[b];
    }
}

// The game runs on without a system picture, but its author wants to know.
void LoadSystemPicture(TForm1& f, const char* name, Picture& picture) {
    if (!LoadPicture(f, name, picture)) ContentError("picture", "system picture %s missing", name);
}

void CopyToWindow(TForm1& f, const Picture& pic, int x, int y, int w, int h) {
    f.plat.surface().Blit(pic, x, y, w, h, x, y);
}

void EnsureWindowPicture(TForm1& f) {
    const ConfigValues& c = f.config;
    Picture& mw = f.gfx.messageWindow;
    if (mw.width != c.TXW_SIZE_X || mw.height != c.TXW_SIZE_Y) mw.Resize(c.TXW_SIZE_X, c.TXW_SIZE_Y);
    if (!f.text.windowValid && !NovelMode(f)) BuildWindowBackground(f);
}

void DrawPageCell(TForm1& f, const char* ch, int x, int y) {
    PrepareGlyph(f, ch);
    PutGlyph(f, x, y);
}

// The message window blended over each frame of an animated background,
// as it is over the scene.
void BuildFrameWindowPieces(TForm1& f) {
    const ConfigValues& c = f.config;
    BgAnimState& a = f.gfx.bgAnim;
    for (int i = 0; i < a.frameCount; ++i) {
        BgAnimFrame& frame = a.frames[i];
        Picture& piece = frame.windowPiece;
        piece.Resize(c.TXW_SIZE_X, c.TXW_SIZE_Y);
        CopyRect(piece, 0, 0, frame.cleanPiece, 0, 0, piece.width, piece.height);
        MaskBlock(piece, 0, 0, frame.cleanPiece, 0, 0, f.text.tw, 0, 0, f.text.tw, 0, c.TXW_SIZE_Y, c.TXW_SIZE_X,
                  c.TXW_SIZE_Y);
    }
}

}  // namespace

bool IsLineStartForbidden(uint16_t code) {
    static const uint16_t kCodes[] = {0x8140, 0x8141, 0x8142, 0x8148, 0x8149, 0x815B, 0x8160, 0x816A, 0x8176,
                                      0x8178, 0x8193, 0x81F4, 0x829F, 0x82A1, 0x82A3, 0x82A5, 0x82A7, 0x82C1,
                                      0x82E1, 0x82E3, 0x82E5, 0x82EC, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
                                      0x8362, 0x8383, 0x8385, 0x8387, 0x838E, 0x8396};
    return std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes);
}

Pen PagePen(TForm1& f) {
    return TextPen(f, NovelMode(f) ? f.config.TX2_PITCH_X : f.config.TX_PITCH_X);
}

void PagePosition(TForm1& f, const uint8_t* pageLine, int column, int line, int& x, int& y) {
    const ConfigValues& c = f.config;
    uint16_t prev;
    const int pen = PagePen(f).LinePen(pageLine, kPageColumns, column, prev);
    if (NovelMode(f)) {
        x = pen + c.TX2_OFS_X;
        y = line * c.TX2_PITCH_Y + c.TX2_OFS_Y;
    } else {
        x = pen + c.TXW_OFS_X + c.TX_OFS_X;
        y = line * c.TX_PITCH_Y + c.TXW_OFS_Y + c.TX_OFS_Y;
    }
}

void PagePosition(TForm1& f, int column, int line, int& x, int& y) {
    PagePosition(f, LineOfPage(f.text, line), column, line, x, y);
}

void BuildMessageWindow(TForm1& f) {
    TextState& t = f.text;
    const ConfigValues& c = f.config;
    LoadSystemPicture(f, "sys_np", t.glyphs.defaultPlate);
    LoadSystemPicture(f, "sys_tw", t.twLoaded);
    LoadSystemPicture(f, "sys_tw1", t.tw1);
    LoadSystemPicture(f, "sys_twz", t.twzLoaded);
    LoadSystemPicture(f, "sys_twz1", t.twz1);
    f.gfx.messageWindow.Resize(c.TXW_SIZE_X, c.TXW_SIZE_Y);
    t.windowSaved.Resize(c.TXW_SIZE_X, c.TXW_SIZE_Y);
    t.quickBand.Resize(kQuickBandWidth, kQuickBandHeight);
    t.windowValid = false;
    BuildWindowPictures(f);
}

void LoadClickWaitIcon(TForm1& f) {
    TextState& t = f.text;
    LoadSystemPicture(f, "sys_clickw", t.clickSheet);
    t.clickIcon.Resize(std::max(f.config.CLICK_WAIT_SIZE_X, 0), std::max(f.config.CLICK_WAIT_SIZE_Y, 0));
    t.clickTicks = 0;
    t.clickShown = false;
}

void BuildWindowPictures(TForm1& f) {
    TextState& t = f.text;
    const Settings& s = f.settings;
    // Tint fresh copies each time, so a second change of settings does not
    // tint over the first.
    t.tw = t.twLoaded;
    t.twz = t.twzLoaded;
    auto tint = [](Picture& pic, int firstRow, const Picture& mask, const uint8_t bgr[3]) {
        const int width = std::min(pic.width, mask.width);
        if (width <= 0) return;
        std::vector<uint8_t> colour(static_cast<size_t>(width) * 3 + 8);
        for (int i = 0; i < width; ++i) std::memcpy(&colour[static_cast<size_t>(i) * 3], bgr, 3);
        for (int r = 0; r < mask.height && firstRow + r < pic.height; ++r) {
            uint8_t* row = pic.Row(firstRow + r);
            MaskRows(row, colour.data(), mask.Row(r), width * 3 / 8, row);
        }
    };
    auto clamp = [](int32_t v) { return static_cast<uint8_t>(std::clamp<int32_t>(v, 0, 255)); };
    const uint8_t tintColour[3] = {clamp(s.TXBG_B), clamp(s.TXBG_G), clamp(s.TXBG_R)};
    const uint8_t alpha[3] = {clamp(s.TXBG_A), clamp(s.TXBG_A), clamp(s.TXBG_A)};
    const uint8_t alpha2[3] = {clamp(s.TXBG_A2), clamp(s.TXBG_A2), clamp(s.TXBG_A2)};
    tint(t.tw, 0, t.tw1, tintColour);
    tint(t.tw, t.tw.height / 2, t.tw1, alpha);
    tint(t.twz, t.twz.height / 2, t.twz1, alpha2);
    t.windowValid = false;
}

void BuildWindowBackground(TForm1& f) {
    TextState& t = f.text;
    const ConfigValues& c = f.config;
    GfxState& g = f.gfx;
    Picture& mw = g.messageWindow;
    if (mw.width != c.TXW_SIZE_X || mw.height != c.TXW_SIZE_Y) {
        mw.Resize(c.TXW_SIZE_X, c.TXW_SIZE_Y);
        t.windowValid = false;
    }
    if (!NovelMode(f) && t.windowValid && !BackgroundAnimationRunning(f) && t.windowSaved.width == mw.width &&
        t.windowSaved.height == mw.height) {
        mw.bytes = t.windowSaved.bytes;
        return;
    }
    if (t.quickBand.width != kQuickBandWidth) t.quickBand.Resize(kQuickBandWidth, kQuickBandHeight);
    if (NovelMode(f)) {
        CopyPicture(g.novel, g.scene);
        if (!t.twz.Empty()) BlitStacked(g.novel, 0, 0, t.twz);
        CopyRect(t.quickBand, 0, 0, g.novel, c.TXW_OFS_X, c.TXW_OFS_Y + kQuickBandRow, kQuickBandWidth,
                 kQuickBandHeight);
        return;
    }
    // Where "sys_tw" is missing or too small the scene shows through.
    CopyRect(mw, 0, 0, g.scene, c.TXW_OFS_X, c.TXW_OFS_Y, mw.width, mw.height);
    MaskBlock(mw, 0, 0, g.scene, c.TXW_OFS_X, c.TXW_OFS_Y, t.tw, 0, 0, t.tw, 0, c.TXW_SIZE_Y, c.TXW_SIZE_X,
              c.TXW_SIZE_Y);
    CopyRect(t.quickBand, 0, 0, mw, 0, kQuickBandRow, kQuickBandWidth, kQuickBandHeight);
    DrawQuickBar(f, 2);
    t.windowSaved = mw;
    t.windowValid = true;
    if (BackgroundAnimationRunning(f)) BuildFrameWindowPieces(f);
}

void DrawWindow(TForm1& f) {
    TextState& t = f.text;
    if (!t.windowOpen) return;
    const ConfigValues& c = f.config;
    EnsureWindowPicture(f);
    if (NovelMode(f))
        CopyPicture(f.gfx.screen, f.gfx.novel);
    else
        CopyPicture(f.gfx.screen, f.gfx.messageWindow, c.TXW_OFS_X, c.TXW_OFS_Y);
    if (!NovelMode(f) && BackgroundAnimationRunning(f)) CopyWindowPieceToFrames(f);
    DrawQuickBar(f, 0);
    RedrawText(f);
}

void RedrawText(TForm1& f) {
    if (f.text.pageEmpty) return;
    DrawPageGrid(f, f.text.PageText, 0);
}

void DrawPageGrid(TForm1& f, const uint8_t (*page)[kPageColumns], int32_t colour) {
    const ConfigValues& c = f.config;
    int firstLine, lines, columns;
    if (NovelMode(f)) {
        firstLine = 0;
        lines = c.MOJI_MAX2_Y;
        columns = c.MOJI_MAX2_X + 2;
    } else {
        firstLine = 1;
        lines = c.MOJI_MAX_Y;
        columns = c.MOJI_MAX_X + 2;
        // A narration page has no speaker and so no plate.
        std::string name(reinterpret_cast<const char*>(page[0]),
                         strnlen(reinterpret_cast<const char*>(page[0]), kPageColumns));
        if (!name.empty()) ShowNamePlate(f, name, colour);
    }
    // The plate may have set the speaker's colour; a page in one colour keeps it.
    if (colour != 0) SetGlyphColour(f, colour);
    lines = std::clamp(lines, 0, kPageLines);
    columns = std::clamp(columns, 0, kPageColumns);
    const Pen pen = PagePen(f);
    // A proportional line may hold more bytes than the grid's columns.
    if (pen.metrics) columns = kPageColumns;
    int ox, oy;
    PagePosition(f, page[0], 0, 0, ox, oy);
    for (int line = firstLine; line < lines; ++line) {
        int x = ox;
        uint16_t prev = 0;
        for (int col = 0; col < columns;) {
            const uint8_t b = page[line][col];
            char ch[3] = {static_cast<char>(b), 0, 0};
            int step = 1;
            if ((b & 0x80) && col + 1 < kPageColumns) {
                ch[1] = static_cast<char>(page[line][col + 1]);
                step = 2;
            }
            int width;
            const uint16_t code = LineCode(page[line], kPageColumns, col, width);
            if (pen.metrics) step = width;
            x += pen.Kern(prev, code);
            if (b != 0) DrawPageCell(f, ch, x, oy + line * (NovelMode(f) ? c.TX2_PITCH_Y : c.TX_PITCH_Y));
            x += pen.metrics ? pen.Advance(code, width) : step * pen.pitch;
            prev = code;
            col += step;
        }
    }
    if (colour != 0) SetGlyphColour(f, 0);
}

void ClearPage(TForm1& f) {
    TextState& t = f.text;
    std::memset(t.PageText, 0, sizeof t.PageText);
    std::memset(t.PageAttributes, 0, sizeof t.PageAttributes);
    t.column = 0;
    t.line = 0;
    t.wideSpacing = false;
    t.colourValue = 0;
    t.charCount = 0;
    t.pageEmpty = true;
}

void NewPage(TForm1& f) {
    TextState& t = f.text;
    const ConfigValues& c = f.config;
    TextOutNewPage(f);
    ClearPage(f);
    f.vars.S[37] = 0xFFFFFF;
    SetGlyphColour(f, 0);
    if (NovelMode(f)) {
        if (t.windowOpen) {
            DrawQuickBar(f, 0);
            DrawWindow(f);
        } else {
            CopyPicture(f.gfx.previous, f.gfx.screen);
            CopyPicture(f.gfx.screen, f.gfx.novel);
            DrawQuickBar(f, 0);
            if (!f.ui.SkipActive) TimedCrossfade(f, 2);
            t.windowOpen = true;
        }
        f.plat.surface().BlitWhole(f.gfx.screen);
    } else {
        if (t.windowOpen) {
            EnsureWindowPicture(f);
            CopyPicture(f.gfx.screen, f.gfx.messageWindow, c.TXW_OFS_X, c.TXW_OFS_Y);
            // The old text goes from every frame of an animated background too.
            if (BackgroundAnimationRunning(f)) CopyWindowPieceToFrames(f);
            CopyToWindow(f, ShownPicture(f), c.TXW_OFS_X, c.TXW_OFS_Y, c.TXW_SIZE_X, c.TXW_SIZE_Y);
        } else {
            t.windowOpen = true;
            DrawWindow(f);
            f.plat.surface().BlitWhole(f.gfx.screen);
        }
        t.speakerName.clear();
    }
}

namespace {

bool LineHasText(const uint8_t* line, int column) {
    for (int c = 0; c < column && c < kPageColumns; ++c)
        if (line[c] != 0) return true;
    return false;
}

// The proportional wrap: the line breaks before the character when it (or
// the word it starts) does not fit, at the byte limit of a backlog line, and
// a space that would start a line is dropped. False when the character is
// dropped.
bool PlaceProportional(TForm1& f, const Pen& pen, uint16_t code, int width, int maxX, const char* following) {
    TextState& t = f.text;
    const bool novel = NovelMode(f);
    const int indentColumns = novel ? 0 : 2;
    auto onLine = [&] { return t.line >= 0 && t.line < kPageLines; };
    const uint8_t* line = onLine() ? t.PageText[t.line] : nullptr;
    const bool hasText = line && LineHasText(line, t.column);
    if (code == ' ' && !hasText) {
        UnappendBacklogChar(f, " ", 1);
        return false;
    }
    WrapQuery q;
    q.code = code;
    q.width = width;
    q.lineHasText = hasText;
    q.following = following;
    q.limit = maxX * pen.pitch;
    q.indent = indentColumns * pen.pitch;
    // Normal lines start at the indentation unless they open with a bracket.
    int column = t.column;
    if (!novel && column == 0 && code != kOpeningBracket && code != kOpeningParen) column = indentColumns;
    q.penX = line ? pen.LinePen(line, kPageColumns, column, q.prev) : 0;
    const bool bytesFull = column + width > kBacklogLineSize - 1;
    if (!(BreaksBefore(pen, q) || (hasText && bytesFull))) return true;
    t.column = 0;
    ++t.line;
    // The character opens the new backlog line, not the end of the old one.
    const char bytes[2] = {static_cast<char>(width == 2 ? code >> 8 : code), static_cast<char>(code & 0xFF)};
    const char* mine = width == 2 ? bytes : bytes + 1;
    const bool moved = UnappendBacklogChar(f, mine, width);
    CommitBacklogLine(f);
    // A space that would open the new line is left out there too.
    if (code == ' ') return false;
    if (moved) AppendBacklog(f, mine, width);
    return true;
}

}  // namespace

void PutChar(TForm1& f, const char* bytes, int width, const char* following) {
    TextState& t = f.text;
    const ConfigValues& c = f.config;
    width = width == 2 ? 2 : 1;
    const uint16_t code = width == 2 ? static_cast<uint16_t>(static_cast<uint8_t>(bytes[0]) << 8 |
                                                             static_cast<uint8_t>(bytes[1]))
                                     : static_cast<uint8_t>(bytes[0]);
    const bool novel = NovelMode(f);
    if (!t.windowOpen) NewPage(f);
    int maxX = novel ? c.MOJI_MAX2_X : c.MOJI_MAX_X;
    if (maxX <= 0) maxX = kPageColumns - 2;  // no wrap column configured: the page's width
    if (!novel && t.column == 0 && t.line == 0) t.line = 1;
    const Pen pen = PagePen(f);
    if (pen.metrics) {
        if (!PlaceProportional(f, pen, code, width, maxX, following)) return;
    } else if (t.column >= maxX && !(IsLineStartForbidden(code) && t.column < maxX + 2)) {
        t.column = 0;
        ++t.line;
        CommitBacklogLine(f);
    }
    if (!novel && code != kOpeningBracket && code != kOpeningParen && t.column == 0 && t.line != 0) t.column = 2;

    // Text past the page is dropped; it still counts and advances.
    if (TraceOn()) Trace("char %d,%d %s", t.line, t.column, TraceText(std::string(bytes, width)).c_str());
    const bool onPage = t.line >= 0 && t.line < kPageLines && t.column >= 0 && t.column + width <= kPageColumns;
    if (onPage) {
        t.PageText[t.line][t.column] = static_cast<uint8_t>(bytes[0]);
        if (t.column + 1 < kPageColumns)
            t.PageText[t.line][t.column + 1] = width == 2 ? static_cast<uint8_t>(bytes[1]) : 0;
        int x, y;
        PagePosition(f, t.PageText[t.line], t.column, t.line, x, y);
        uint16_t prev;
        pen.LinePen(t.PageText[t.line], kPageColumns, t.column, prev);
        x += pen.Kern(prev, code);
        char ch[3] = {bytes[0], width == 2 ? bytes[1] : '\0', 0};
        PrepareGlyph(f, ch);
        t.pageEmpty = false;
        PutGlyph(f, x, y);
    }
    ++t.charCount;
    t.column += (t.wideSpacing && !novel) ? 3 : width;
}

void DrawRuby(TForm1& f, const std::string& ruby) {
    TextState& t = f.text;
    const ConfigValues& c = f.config;
    if (TraceOn()) Trace("ruby %s", TraceText(ruby).c_str());
    int column = t.column, line = t.line, x, y;
    uint16_t prev;
    if (NovelMode(f)) {
        if (column == c.MOJI_MAX2_X) {
            column = 2;
            ++line;
        }
        x = PagePen(f).LinePen(LineOfPage(t, line), kPageColumns, column, prev) + c.TX2_OFS_X + 3;
        y = line * c.TX2_PITCH_Y + c.TX2_OFS_Y - 7;
    } else {
        if (t.column == 0 && t.line == 0) line = t.line = 1;
        if (column == 0) column = 2;
        if (column == c.MOJI_MAX_X) {
            column = 2;
            ++line;
        }
        x = PagePen(f).LinePen(LineOfPage(t, line), kPageColumns, column, prev) + c.TX_OFS_X + c.TXW_OFS_X + 3;
        y = line * c.TX_PITCH_Y + c.TX_OFS_Y + c.TXW_OFS_Y - 7;
    }
    int end = RegularGlyphFace(f, t.rubyFont, kRubyHeight, 0).DrawText(f.gfx.screen, x, y, ruby, 0xFFFFFF);
    CopyToWindow(f, f.gfx.screen, x, y, end - x + 2, kRubyHeight + 2);
}

void OpenWindow(TForm1& f) {
    if (f.text.windowOpen) return;
    f.text.windowOpen = true;
    DrawWindow(f);
    // The window appears now, not at the next repaint.
    const ConfigValues& c = f.config;
    if (NovelMode(f))
        f.plat.surface().BlitWhole(f.gfx.screen);
    else
        CopyToWindow(f, f.gfx.screen, c.TXW_OFS_X, c.TXW_OFS_Y, c.TXW_SIZE_X, c.TXW_SIZE_Y);
}

void CloseWindow(TForm1& f) {
    TextState& t = f.text;
    if (NovelMode(f)) return;
    t.column = 0;
    t.line = 0;
    t.wideSpacing = false;
    t.colourValue = 0;
    if (!t.windowOpen) return;
    GfxState& g = f.gfx;
    if (!f.ui.SkipActive) {
        f.flags.busy = true;
        f.flags.interruptibleEffect = true;
        f.flags.interruptRequest = 0;
        CrossfadeFrames(f, g.scene, g.screen, 0, 8, 10, 256, true);
        f.flags.interruptibleEffect = false;
        f.flags.busy = false;
    }
    f.plat.surface().BlitWhole(g.scene);
    CopyPicture(g.screen, g.scene);
    f.plat.surface().Update();
    t.windowOpen = false;
    f.flags.busy = false;
    t.pageEmpty = true;
    t.clickShown = false;
}

void TwSetCommand(TForm1& f, int n) {
    ClearPage(f);
    f.text.windowOpen = n != 0;
}

void ModeCommand(TForm1& f, int n) {
    const int want = n != 0 ? 1 : 0;
    if (want == (NovelMode(f) ? 1 : 0)) return;
    ClearPage(f);
    f.vars.S[150] = want;
    f.vars.S[37] = 0xFFFFFF;
    SetGlyphColour(f, 0);
    f.text.windowValid = false;
    if (want) {
        f.text.windowOpen = true;
        BuildWindowBackground(f);
        DrawWindow(f);
    } else {
        DrawQuickBar(f, 0);
    }
    Redraw(f, 6);
}

void SetPageName(TForm1& f, const char* name) {
    uint8_t* line0 = f.text.PageText[0];
    std::memset(line0, 0, kPageColumns);
    size_t n = strnlen(name, kPageColumns - 1);
    std::memcpy(line0, name, n);
    f.text.speakerName.assign(name, n);
}

void SetWideSpacing(TForm1& f, bool wide) { f.text.wideSpacing = wide; }

void SetPageColour(TForm1& f, int32_t value) { f.text.colourValue = value; }

void DrawWindowText(TForm1& f, const char* text, int right, int top, int height, uint32_t colour) {
    TextState& t = f.text;
    OutlineFont& font = RegularGlyphFace(f, t.windowTextFont, height, 0);
    // Measure on a scratch picture, then draw right-aligned.
    Picture scratch;
    int width = font.DrawText(scratch, 0, 0, text, colour);
    int x = right - width;
    font.DrawText(f.gfx.screen, x, top, text, colour);
    CopyToWindow(f, f.gfx.screen, x, top, width + 2, height + 2);
}

void EraseClickWait(TForm1& f) {
    TextState& t = f.text;
    if (!t.clickShown) return;
    // The icon's own size, so a larger icon leaves nothing behind.
    int w = std::max(f.config.CLICK_WAIT_SIZE_X, 24), h = std::max(f.config.CLICK_WAIT_SIZE_Y, 24);
    CopyToWindow(f, f.gfx.screen, t.clickX, t.clickY, w, h);
    t.clickShown = false;
}

void AnimateClickWait(TForm1& f) {
    TextState& t = f.text;
    const ConfigValues& c = f.config;
    if (f.ui.SkipActive || BackgroundAnimationRunning(f)) return;
    EraseClickWait(f);
    ++t.clickTicks;
    const int frames = c.CLICK_WAIT_PAT > 0 ? c.CLICK_WAIT_PAT : 1;
    const int shift = std::clamp(c.CLICK_WAIT_TIMING, 0, 30);
    const int frame = static_cast<int>((static_cast<uint32_t>(t.clickTicks) >> shift) % frames);
    int x, y;
    if (NovelMode(f)) {
        // Beside the last character, wherever the layout put it.
        uint16_t prev;
        x = PagePen(f).LinePen(LineOfPage(t, t.line), kPageColumns, t.column, prev) + c.TX2_OFS_X;
        y = t.line * c.TX2_PITCH_Y + c.TX2_OFS_Y;
    } else {
        x = c.CLICK_WAIT_OFS_X;
        y = c.CLICK_WAIT_OFS_Y;
    }
    t.clickX = x;
    t.clickY = y;
    const int w = c.CLICK_WAIT_SIZE_X, h = c.CLICK_WAIT_SIZE_Y;
    if (w <= 0 || h <= 0) return;
    if (t.clickIcon.width != w || t.clickIcon.height != h) t.clickIcon.Resize(w, h);
    // The icon under the screen edge or past its sheet is not drawn.
    if (x < 0 || y < 0 || x + w > f.gfx.screen.width || y + h > f.gfx.screen.height ||
        (frame + 1) * w > t.clickSheet.width || 2 * h > t.clickSheet.height)
        return;
    MaskBlock(t.clickIcon, 0, 0, f.gfx.screen, x, y, t.clickSheet, frame * w, 0, t.clickSheet, frame * w, h, w, h);
    f.plat.surface().Blit(t.clickIcon, 0, 0, w, h, x, y);
    t.clickShown = true;
}

}  // namespace velmora
