// Click maps (the command clickmap): areas of the scene from the text table
// "map" are the options; an "@n" option picks itself after n x 20 ticks.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "data/encoding.h"
#include "gfx/composition.h"
#include "script/commands.h"
#include "script/loader.h"
#include "text/glyphs.h"
#include "ui/choice_block.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kLabelBoxHeight = 24;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

int Field(const std::string& line, int n) { return ReadInt(TableField(line, n).c_str()); }

OutlineFont& LabelFont(TForm1& f) { return RegularGlyphFace(f, f.ui.labelFont, 16, 0); }

void PlaceLabelBox(TForm1& f, ChoiceOption& o) {
    Picture scratch;  // measuring only: nothing is drawn on an empty picture
    const int w = (o.label[0] ? LabelFont(f).DrawText(scratch, 0, 0, o.label, 0) : 0) + 32;
    o.boxLeft = o.x1 + (o.x2 - o.x1 - w) / 2;
    o.boxRight = o.boxLeft + w;
    o.boxTop = o.y1 + (o.y2 - o.y1 - kLabelBoxHeight) / 2;
}

// One area line of the map table.
ChoiceOption ReadArea(TForm1& f, const std::string& line) {
    ChoiceOption o;
    std::string label = TableField(line, 0);
    if (!line.empty() && line[0] == '$') {
        o.form = AreaForm::Colour;
        o.r = static_cast<uint8_t>(line.size() > 1 ? HexDigit(line[1]) : 0);
        o.g = static_cast<uint8_t>(line.size() > 2 ? HexDigit(line[2]) : 0);
        o.b = static_cast<uint8_t>(line.size() > 3 ? HexDigit(line[3]) : 0);
        o.cursor = Field(line, 1);
        return o;
    }
    if (!line.empty() && (line[0] == '*' || line[0] == '#')) {
        o.form = line[0] == '*' ? AreaForm::Picture : AreaForm::PictureExtra;
        label.erase(0, 1);
    }
    size_t n = std::min(label.size(), static_cast<size_t>(kChoiceLabelMax));
    std::memcpy(o.label, label.data(), n);
    o.label[n] = '\0';
    o.x1 = Field(line, 1), o.y1 = Field(line, 2), o.x2 = Field(line, 3), o.y2 = Field(line, 4);
    if (o.x1 > o.x2) std::swap(o.x1, o.x2);
    if (o.y1 > o.y2) std::swap(o.y1, o.y2);
    if (o.form == AreaForm::PictureExtra) {
        o.sx1 = Field(line, 5), o.sy1 = Field(line, 6), o.sx2 = Field(line, 7), o.sy2 = Field(line, 8);
        if (o.sx1 > o.sx2) std::swap(o.sx1, o.sx2);
        if (o.sy1 > o.sy2) std::swap(o.sy1, o.sy2);
        const bool hasDest = !TableField(line, 9).empty();
        o.dx = hasDest ? Field(line, 9) : o.sx1;
        o.dy = hasDest ? Field(line, 10) : o.sy1;
    }
    PlaceLabelBox(f, o);
    return o;
}

// The map's section of the table "map"; false (traced) when it cannot be used.
bool ReadMap(TForm1& f, const std::string& name) {
    ChoiceDisplay& c = f.ui.choice;
    if (!LoadScript(f, "map", 2)) {
        ContentError("table", "clickmap %s: no table \"map\"", TraceText(name).c_str());
        return false;
    }
    const char* table = f.loader.table;
    const int32_t length = f.loader.tableLength;
    int32_t at = -1;
    for (int32_t p = 0; p < length && at < 0; ++p) {
        if (table[p] != ':' || p + 1 + static_cast<int32_t>(name.size()) > length) continue;
        if (SameNoCase(table + p + 1, name.c_str(), name.size())) at = p;
    }
    if (name.empty() || at < 0) {
        ContentError("table", "clickmap %s: no such map in \"map\"", TraceText(name).c_str());
        return false;
    }
    int32_t pos = at;
    ReadTableLine(table, length, pos);  // the ":name" line
    const std::string countLine = ReadTableLine(table, length, pos);
    const int32_t n = ReadInt(countLine.c_str());
    if (n < 1 || n > kChoiceMax) {
        ContentError("table", "clickmap %s: %d areas (1 ... %d allowed)", TraceText(name).c_str(), n, kChoiceMax);
        return false;
    }
    for (int k = 1; k <= n; ++k) {
        if (pos >= length) {
            ContentError("table", "clickmap %s: the table ends after %d of %d areas", TraceText(name).c_str(), k - 1,
                         n);
            return false;
        }
        c.options[k] = ReadArea(f, ReadTableLine(table, length, pos));
    }
    c.count = n;
    return true;
}

bool AreaHit(const TForm1& f, const ChoiceOption& o, int x, int y) {
    if (o.form == AreaForm::Colour) {
        const Picture& parts = f.gfx.parts;
        if (x < 0 || y < 0 || x >= parts.width || y >= parts.height) return false;
        const uint8_t* p = parts.Pixel(x, y);
        return (p[2] >> 4) == o.r && (p[1] >> 4) == o.g && (p[0] >> 4) == o.b;
    }
    return o.enabled && x > o.x1 && x < o.x2 && y > o.y1 && y < o.y2;
}

// Only when the game asks for captions: an area's highlight is its picture
// or nothing.
void DrawLabelBox(TForm1& f, const ChoiceOption& o) {
    if (o.label[0] == '\0' || f.config.MAP_CAPTION == 0) return;
    const int w = o.boxRight - o.boxLeft;
    Picture box;
    box.Resize(w, kLabelBoxHeight);
    CopyRect(box, 0, 0, f.gfx.screen, o.boxLeft, o.boxTop, w, kLabelBoxHeight);
    DarkenRows(box, 0, kLabelBoxHeight, 96);
    LabelFont(f).DrawText(box, 17, 5, o.label, 0x000000);
    LabelFont(f).DrawText(box, 16, 4, o.label, 0xFFFFFF);
    f.plat.surface().Blit(box, 0, 0, w, kLabelBoxHeight, o.boxLeft, o.boxTop);
}

void Highlight(TForm1& f, const ChoiceOption& o) {
    platform::Surface& pb = f.plat.surface();
    const Picture& parts = f.gfx.parts;
    if (o.form == AreaForm::Picture || o.form == AreaForm::PictureExtra)
        pb.Blit(parts, o.x1, o.y1, o.x2 - o.x1, o.y2 - o.y1, o.x1, o.y1);
    if (o.form == AreaForm::PictureExtra) pb.Blit(parts, o.sx1, o.sy1, o.sx2 - o.sx1, o.sy2 - o.sy1, o.dx, o.dy);
    DrawLabelBox(f, o);
}

// Everything a highlight drew comes back from the screen picture, the
// extra picture of a "#" area included.
void RemoveHighlight(TForm1& f, const ChoiceOption& o) {
    platform::Surface& pb = f.plat.surface();
    const Picture& screen = f.gfx.screen;
    if (o.form == AreaForm::Picture || o.form == AreaForm::PictureExtra)
        pb.Blit(screen, o.x1, o.y1, o.x2 - o.x1, o.y2 - o.y1, o.x1, o.y1);
    if (o.form == AreaForm::PictureExtra)
        pb.Blit(screen, o.dx, o.dy, o.sx2 - o.sx1, o.sy2 - o.sy1, o.dx, o.dy);
    pb.Blit(screen, o.boxLeft, o.boxTop, o.boxRight - o.boxLeft, kLabelBoxHeight, o.boxLeft, o.boxTop);
}

}  // namespace

void ClickMapCommand(TForm1& f, const char* args) {
    std::string name(args);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\r')) name.pop_back();
    StartClickMap(f, name);
}

void StartClickMap(TForm1& f, const std::string& name) {
    UiState& ui = f.ui;
    ChoiceDisplay& c = ui.choice;
    c = ChoiceDisplay();
    const int32_t blockStart = f.stepper.readPos;
    if (!ReadMap(f, name)) {
        // No map to pick from: the script goes on after the block.
        c = ChoiceDisplay();
        f.stepper.readPos = FindBlockEnd(f, blockStart);
        f.stepper.needLine = true;
        return;
    }
    c.hovered = 0;
    ui.choiceKind = kChoiceMap;
    c.cursorInUse = 0;
    f.plat.SetCursorShape(0);

    const char* script = reinterpret_cast<const char*>(f.stepper.script);
    OptionBlockReader reader{blockStart};
    int32_t lineStart = 0;
    int k = 0;
    while (NextOptionLine(f, reader, lineStart)) {
        if (k == kChoiceMax) continue;
        ChoiceOption& o = c.options[++k];
        OptionLine line = ParseOptionLine(f, lineStart);
        o.resume = NextLineAfter(f, lineStart);
        if (!line.condition) o.enabled = false;
        const char* rest = script + line.rest;
        if (rest[0] == '@') {
            // n <= 0 never times out; a huge n is held to about 15 hours.
            const int32_t n = std::clamp(ReadInt(rest + 1), 0, 50000);
            c.timeoutCountdown = n * 20;
            c.timeoutOption = n > 0 ? k : 0;
            o.enabled = false;
        } else if (rest[0] != '\0' && o.form != AreaForm::Colour) {
            const size_t n = std::min(std::strlen(rest), static_cast<size_t>(kChoiceLabelMax));
            std::memcpy(o.label, rest, n);
            o.label[n] = '\0';
            PlaceLabelBox(f, o);
        }
    }
    c.blockEnd = reader.blockEnd;
    // Areas without an option line go on after the block.
    for (int a = k + 1; a <= kChoiceMax; ++a) c.options[a].resume = c.blockEnd;
    if (k == 0) {
        Trace("clickmap %s: no options; the script goes on after the block", TraceText(name).c_str());
        ui.choiceKind = kChoiceNone;
        f.stepper.readPos = c.blockEnd;
        f.stepper.needLine = true;
        return;
    }
    Trace("clickmap %s: %d areas", TraceText(name).c_str(), c.count);
    ClickMapHover(f, ui.LastMouseX, ui.LastMouseY);
}

int ClickMapHit(const TForm1& f, int x, int y) {
    const ChoiceDisplay& c = f.ui.choice;
    if (f.ui.choiceKind != kChoiceMap) return 0;
    for (int k = 1; k <= c.count; ++k)
        if (AreaHit(f, c.options[k], x, y)) return k;
    return 0;
}

void ClickMapHover(TForm1& f, int x, int y) {
    UiState& ui = f.ui;
    ChoiceDisplay& c = ui.choice;
    if (ui.choiceKind != kChoiceMap) return;
    const int hit = ClickMapHit(f, x, y);
    if (hit != 0 && c.options[hit].form == AreaForm::Colour && c.options[hit].cursor != c.cursorInUse) {
        c.cursorInUse = c.options[hit].cursor;
        f.plat.SetCursorShape(kCursorShapeBase + c.cursorInUse);
    }
    if (hit == 0 && c.cursorInUse != 0) {
        f.plat.SetCursorShape(0);
        c.cursorInUse = 0;
    }
    if (hit == c.hovered) return;
    if (c.hovered > 0 && c.hovered <= c.count) RemoveHighlight(f, c.options[c.hovered]);
    if (hit != 0) {
        if (f.vars.str[6][0] != '\0') PlaySoundByName(f, f.vars.str[7]);
        Highlight(f, c.options[hit]);
    } else {
        f.plat.surface().BlitWhole(f.gfx.screen);
    }
    c.hovered = hit;
}

}  // namespace velmora
