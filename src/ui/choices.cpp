// Choice lists (the command select) in the normal and the full-screen
// window style, the pick with its blink, and the record of picks that
// replays a run of choices.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "extras/extras.h"
#include "gfx/composition.h"
#include "script/variables.h"
#include "text/glyphs.h"
#include "text/message_window.h"
#include "ui/choice_block.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kRowHeight = 50;
constexpr int kListCentre = 234;

bool NovelStyle(const TForm1& f) { return f.vars.S[150] != 0; }

// Length of a CP932 label cut at a character boundary to at most max bytes.
size_t CutLabel(const char* text, size_t n, size_t max) {
    if (n <= max) return n;
    size_t i = 0;
    while (i < max) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        size_t step = (b < 0x20 || b >= 0x7F) ? 2 : 1;
        if (i + step > max) break;
        i += step;
    }
    return i;
}

void SetLabel(ChoiceOption& o, const char* text, size_t n) {
    n = CutLabel(text, n, kChoiceLabelMax);
    std::memcpy(o.label, text, n);
    o.label[n] = '\0';
}

// Reads the options of a choice list; false options take no number.
void ReadListOptions(TForm1& f) {
    ChoiceDisplay& c = f.ui.choice;
    const char* script = reinterpret_cast<const char*>(f.stepper.script);
    const bool novel = NovelStyle(f);
    const int bw = f.ui.sysSwM1.width, bh = f.ui.sysSwM1.height / 2;
    int row = f.text.line;
    OptionBlockReader reader{f.stepper.readPos};
    int32_t lineStart = 0;
    c.count = 0;
    while (NextOptionLine(f, reader, lineStart)) {
        if (c.count == kChoiceMax) continue;  // further options are not read
        OptionLine line = ParseOptionLine(f, lineStart);
        if (!line.condition) continue;
        ChoiceOption o;
        const char* rest = script + line.rest;
        if (rest[0] == '$') {
            const int d = rest[1] >= '0' && rest[1] <= '9' ? rest[1] - '0' : 0;
            const char* s = f.vars.str[d];
            SetLabel(o, s, strnlen(s, kChoiceLabelMax));
            // The script goes on right after the digit.
            o.resume = rest[1] != '\0' ? line.rest + 2 : NextLineAfter(f, lineStart);
        } else {
            const size_t n = std::strlen(rest);
            if (n >= kChoiceLabelMax + 1) {
                Trace("select: an option label of %zu bytes is dropped", n);
                continue;
            }
            SetLabel(o, rest, n);
            o.resume = NextLineAfter(f, lineStart);
        }
        if (novel) {
            o.x1 = 15;
            o.x2 = 15 + bw;
            o.y1 = row * f.config.TX2_PITCH_Y + f.config.TX2_OFS_Y;
            o.y2 = o.y1 + bh;
            ++row;
        }
        c.options[++c.count] = o;
    }
    c.blockEnd = reader.blockEnd;
}

void DrawNormalList(TForm1& f) {
    UiState& ui = f.ui;
    ChoiceDisplay& c = ui.choice;
    GfxState& g = f.gfx;
    c.listTop = kListCentre - 25 * c.count;
    c.buttonWidth = ui.sysSw.width;
    c.buttonLeft = (kScreenWidth - c.buttonWidth) / 2;
    CopyPicture(g.previous, g.screen);
    CopyPicture(g.choiceSave, g.screen);
    const int fs = f.settings.FONTSIZE;
    const int dy = fs >= 22 ? 4 : fs == 21 ? 1 : 2;
    for (int i = 0; i < c.count; ++i) {
        const int y = c.listTop + kRowHeight * i;
        BlitStacked(g.screen, c.buttonLeft, y, ui.sysSw);
        BlitStacked(g.choiceSave, c.buttonLeft, y, ui.sysSw2);
        const char* label = c.options[i + 1].label;
        const int len = static_cast<int>(std::strlen(label));
        // Labels are set on a 12-pixel pitch, centred on the button.
        const Pen pen = TextPen(f, 12);
        const int x0 = (c.buttonWidth - pen.Width(label, static_cast<size_t>(len))) / 2 - 14;
        int x = c.buttonLeft + x0 + 12;
        uint16_t prev = 0;
        for (int m = 1; m <= len;) {
            const unsigned char b = static_cast<unsigned char>(label[m - 1]);
            const int step = (b < 0x20 || b >= 0x7F) && m < len ? 2 : 1;
            const uint16_t code = step == 2 ? static_cast<uint16_t>(b << 8 | static_cast<unsigned char>(label[m])) : b;
            x += pen.Kern(prev, code);
            PrepareGlyph(f, label + m - 1);
            SetGlyphColour(f, 0);
            BlendGlyph(f, g.screen, x, y + dy);
            SetGlyphColour(f, 2);
            BlendGlyph(f, g.choiceSave, x, y + dy);
            x += pen.Advance(code, step);
            prev = code;
            m += step;
        }
    }
    SetGlyphColour(f, 0);
    f.plat.surface().BlitWhole(g.screen);
}

void DrawNovelList(TForm1& f) {
    UiState& ui = f.ui;
    ChoiceDisplay& c = ui.choice;
    GfxState& g = f.gfx;
    CopyPicture(g.choiceSave, g.screen);
    for (int k = 1; k <= c.count; ++k) {
        const ChoiceOption& o = c.options[k];
        BlitStacked(g.screen, o.x1, o.y1, ui.sysSwM1);
        DrawString(f, o.label, o.x1, g.screen, 7, o.y1 + 3);
        BlitStacked(g.choiceSave, o.x1, o.y1, ui.sysSwM1om);
        DrawString(f, o.label, o.x1, g.choiceSave, 4, o.y1 + 3);
    }
    SetGlyphColour(f, 0);
}

// The replay of a recorded pick; true when it picked.
bool ReplayPick(TForm1& f) {
    int32_t* S = f.vars.S;
    ChoiceDisplay& c = f.ui.choice;
    if (S[151] != 2) return false;
    if (S[153] < 0 || S[153] >= kChoiceRecordSize) {
        Trace("select: replay position %d outside the record", S[153]);
        S[151] = 1;
        return false;
    }
    const int k = f.ui.ChoiceRecord[S[153]];
    ++S[153];
    if (S[153] >= S[152]) {
        S[151] = 1;
        S[152] = S[153];
    }
    // A record that does not fit this list leaves the pick to the player.
    if (k < 1 || k > c.count) {
        Trace("select: recorded pick %d does not fit %d options", k, c.count);
        return false;
    }
    c.hovered = k;
    PickChoice(f, platform::mbLeft);
    return true;
}

void BlinkRow(TForm1& f) {
    ChoiceDisplay& c = f.ui.choice;
    const int y = c.listTop + kRowHeight * (c.hovered - 1);
    const int phases = f.vars.S[151] == 2 ? 14 : 4;
    f.flags.busy = true;
    StartFrameClock(f);
    for (int p = 0; p < phases; ++p) {
        const Picture& src = p % 2 == 0 ? f.gfx.screen : f.gfx.choiceSave;
        f.plat.surface().Blit(src, 195, y, 410, kRowHeight, 195, y);
        f.plat.surface().Update();
        WaitFrame(f, 100);
    }
    f.flags.busy = false;
}

}  // namespace

void LoadChoicePictures(TForm1& f) {
    UiState& ui = f.ui;
    const char* names[4] = {"sys_sw", "sys_sw2", "sys_sw_m1", "sys_sw_m1om"};
    Picture* pictures[4] = {&ui.sysSw, &ui.sysSw2, &ui.sysSwM1, &ui.sysSwM1om};
    for (int i = 0; i < 4; ++i)
        if (!LoadPicture(f, names[i], *pictures[i])) ContentError("picture", "choice picture %s missing", names[i]);
}

void StartChoiceList(TForm1& f) {
    UiState& ui = f.ui;
    ChoiceDisplay& c = ui.choice;
    c = ChoiceDisplay();
    ReadListOptions(f);
    if (c.count == 0) {
        // Nothing could be picked: go on after the block rather than wait.
        Trace("select: no options; the script goes on after the block");
        f.stepper.readPos = c.blockEnd;
        f.stepper.needLine = true;
        return;
    }
    PlaySoundByName(f, "SSE02");
    f.flags.busy = true;
    ui.choiceKind = NovelStyle(f) ? kChoiceListNovel : kChoiceList;
    Trace("select: %d options", c.count);
    for (int k = 1; k <= c.count; ++k) ShowText(f.plat, platform::TextKind::Choice, c.options[k].label);
    CopyPicture(f.gfx.previous, f.gfx.screen);
    if (ui.choiceKind == kChoiceList) {
        DrawNormalList(f);
        if (ReplayPick(f)) {
            f.flags.busy = false;
            return;
        }
    } else {
        DrawNovelList(f);
    }
    c.hovered = -1;
    ChoiceListHover(f, ui.LastMouseX, ui.LastMouseY);
    f.flags.busy = false;
}

int ChoiceListHit(const TForm1& f, int x, int y) {
    const ChoiceDisplay& c = f.ui.choice;
    if (f.ui.choiceKind == kChoiceList) {
        if (x > 195 && x < 604 && y > c.listTop && y < c.listTop + kRowHeight * c.count)
            return (y - c.listTop) / kRowHeight + 1;
    } else if (f.ui.choiceKind == kChoiceListNovel) {
        for (int k = 1; k <= c.count; ++k) {
            const ChoiceOption& o = c.options[k];
            if (x > o.x1 && x < o.x2 && y > o.y1 && y < o.y2) return k;
        }
    }
    return 0;
}

bool ChoiceOptionBox(const TForm1& f, int k, int& x1, int& y1, int& x2, int& y2) {
    const ChoiceDisplay& c = f.ui.choice;
    if (k < 1 || k > c.count) return false;
    if (f.ui.choiceKind == kChoiceList) {
        x1 = 196, x2 = 603;
        y1 = c.listTop + kRowHeight * (k - 1) + 1;
        y2 = y1 + kRowHeight - 2;
        return true;
    }
    if (f.ui.choiceKind != kChoiceListNovel && f.ui.choiceKind != kChoiceMap) return false;
    const ChoiceOption& o = c.options[k];
    // An area of a colour is wherever the colour is: it has no box.
    if (o.form == AreaForm::Colour) return false;
    x1 = o.x1 + 1, y1 = o.y1 + 1, x2 = o.x2 - 1, y2 = o.y2 - 1;
    return x2 > x1 && y2 > y1;
}

void ChoiceListHover(TForm1& f, int x, int y) {
    UiState& ui = f.ui;
    ChoiceDisplay& c = ui.choice;
    if (ui.choiceKind != kChoiceList && ui.choiceKind != kChoiceListNovel) return;
    const int hit = ChoiceListHit(f, x, y);
    if (hit == c.hovered) return;
    if (hit > 0) ShowText(f.plat, platform::TextKind::Menu, c.options[hit].label);
    platform::Surface& pb = f.plat.surface();
    for (int k = 1; k <= c.count; ++k) {
        const Picture& src = k == hit ? f.gfx.choiceSave : f.gfx.screen;
        if (ui.choiceKind == kChoiceList) {
            const int top = c.listTop + kRowHeight * (k - 1);
            pb.Blit(src, 180, top, 440, kRowHeight, 180, top);
        } else {
            const ChoiceOption& o = c.options[k];
            pb.Blit(src, o.x1, o.y1, o.x2 - o.x1, o.y2 - o.y1, o.x1, o.y1);
        }
    }
    c.hovered = hit;
}

void MoveToChoice(TForm1& f, bool down) {
    UiState& ui = f.ui;
    ChoiceDisplay& c = ui.choice;
    if (ui.choiceKind != kChoiceList || c.count == 0) return;
    const int h = c.hovered > 0 ? c.hovered : 0;
    int target;
    if (down) target = h == 0 || h >= c.count ? c.count : h + 1;
    else target = h <= 1 ? 1 : h - 1;
    f.plat.SetCursorPos(ui.PaintBoxOriginX + c.buttonLeft + c.buttonWidth - 7,
                        ui.PaintBoxOriginY + c.listTop + 31 + kRowHeight * (target - 1));
}

void PickChoice(TForm1& f, platform::MouseButton button) {
    UiState& ui = f.ui;
    ChoiceDisplay& c = ui.choice;
    int32_t* S = f.vars.S;
    if (ui.choiceKind == kChoiceTree) {
        ChoiceTreePick(f, button);
        return;
    }
    if (c.hovered < 1 || c.hovered > c.count) return;
    PlaySoundByName(f, f.vars.str[7][0] != '\0' ? f.vars.str[8] : "SSE01");
    if (S[151] == 1) {
        if (S[152] >= 0 && S[152] < kChoiceRecordSize) {
            ui.ChoiceRecord[S[152]] = static_cast<uint8_t>(c.hovered);
            ++S[152];
        } else {
            Trace("choice record full: pick %d not recorded", c.hovered);
        }
    }
    c.timeoutCountdown = 0;
    c.timeoutOption = 0;
    Trace("choice %d picked", c.hovered);
    switch (ui.choiceKind) {
        case kChoiceList:
            BlinkRow(f);
            S[15] = 0;
            ui.choiceKind = kChoiceNone;
            CopyPicture(f.gfx.screen, f.gfx.previous);
            f.plat.surface().BlitWhole(f.gfx.screen);
            if (f.text.windowOpen) NewPage(f);
            break;
        case kChoiceListNovel:
            S[15] = 0;
            NewPage(f);
            break;
        case kChoiceMap: {
            const ChoiceOption& o = c.options[c.hovered];
            if (S[15] == 1) {
                f.plat.surface().Blit(f.gfx.work, o.x1, o.y1, o.x2 - o.x1, o.y2 - o.y1, o.x1, o.y1);
                CopyRect(f.gfx.screen, o.x1, o.y1, f.gfx.work, o.x1, o.y1, o.x2 - o.x1, o.y2 - o.y1);
            } else {
                EndChoiceDisplay(f);
            }
            S[15] = 0;
            // The map's cursor ends with the map.
            if (c.cursorInUse != 0) {
                f.plat.SetCursorShape(0);
                c.cursorInUse = 0;
            }
            break;
        }
        default: break;
    }
    ContinueAtOption(f, c.hovered);
}

void EndChoiceDisplay(TForm1& f) {
    if (NovelStyle(f)) return;
    ShowScene(f);
    f.plat.surface().BlitWhole(f.gfx.screen);
}

void ChoiceTick(TForm1& f) {
    ChoiceDisplay& c = f.ui.choice;
    if (c.timeoutCountdown <= 0 || c.timeoutOption == 0) return;
    if (--c.timeoutCountdown != 0) return;
    c.hovered = c.timeoutOption;
    f.vars.S[15] = 0;
    Trace("choice %d picked by the timeout", c.hovered);
    ContinueAtOption(f, c.hovered);
}

// ---- the option block ----

int32_t NextLineAfter(const TForm1& f, int32_t pos) {
    const StepperState& st = f.stepper;
    while (pos < st.scriptLength && st.script[pos] != 0) ++pos;
    return pos < st.scriptLength ? pos + 1 : st.scriptLength;
}

bool NextOptionLine(TForm1& f, OptionBlockReader& reader, int32_t& lineStart) {
    if (reader.blockEnd >= 0) return false;
    const int32_t open = SkipToLineStartingWith(f, reader.pos, '{');
    const int32_t close = SkipToLineStartingWith(f, reader.pos, '}');
    if (open >= close) {
        reader.blockEnd = close;
        return false;
    }
    lineStart = open;
    reader.pos = NextLineAfter(f, open);
    return true;
}

int32_t FindBlockEnd(TForm1& f, int32_t pos) {
    OptionBlockReader reader{pos};
    int32_t line = 0;
    while (NextOptionLine(f, reader, line)) {
    }
    return reader.blockEnd;
}

OptionLine ParseOptionLine(TForm1& f, int32_t lineStart) {
    OptionLine out;
    const char* script = reinterpret_cast<const char*>(f.stepper.script);
    int32_t p = lineStart + 1;
    if (script[p] == '(') {
        out.condition = EvalCondition(f, script + p);
        while (script[p] != '\0' && script[p] != ')') ++p;
        if (script[p] == ')') ++p;
    }
    out.rest = p;
    return out;
}

void ContinueAtOption(TForm1& f, int k) {
    ChoiceDisplay& c = f.ui.choice;
    if (k >= 1 && k <= kChoiceMax) f.stepper.readPos = c.options[k].resume;
    f.vars.S[10] = 0;
    f.stepper.needLine = true;
    f.ui.choiceKind = kChoiceNone;
}

}  // namespace velmora
