// The yes/no prompt drawn over a darkened band of the screen: the
// confirmation of the quick load and of the return to the title.
#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/composition.h"
#include "save/slots.h"
#include "text/glyphs.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kBandTop = 150, kBandHeight = 88;
constexpr int kAnswerY = 44, kAnswerHeight = 40;
constexpr int kYesX = 300, kNoX = 390;
constexpr uint32_t kGrey = 0x808080, kYellow = 0x00FFFF, kWhite = 0xFFFFFF;

OutlineFont& PromptFont(TForm1& f) { return RegularGlyphFace(f, f.ui.promptFont, 0, 24); }

const std::string& YesText() {
    static const std::string s = ToCp932("はい");
    return s;
}
const std::string& NoText() {
    static const std::string s = ToCp932("いいえ");
    return s;
}

// The band as shown: the question over the darkened rows and both answers,
// the highlighted one in yellow.
void ComposeBand(TForm1& f) {
    PromptState& p = f.ui.prompt;
    p.band = p.dark;
    PromptFont(f).DrawText(p.band, kYesX, kAnswerY, YesText(), p.yes ? kYellow : kGrey);
    PromptFont(f).DrawText(p.band, kNoX, kAnswerY, NoText(), p.yes ? kGrey : kYellow);
}

}  // namespace

void ShowPrompt(TForm1& f, const std::string& cp932, int kind) {
    UiState& ui = f.ui;
    PromptState& p = ui.prompt;
    p.clean.Resize(kScreenWidth, kBandHeight);
    CopyRect(p.clean, 0, 0, f.gfx.screen, 0, kBandTop, kScreenWidth, kBandHeight);
    p.dark = p.clean;
    ui.OverlayActive = true;
    UpdateMenuStates(f);
    // The edges fade into the darkness over 16 rows.
    for (int i = 0; i < 16; ++i) {
        DarkenRows(p.dark, i, 1, 255 - 12 * i);
        DarkenRows(p.dark, kBandHeight - 1 - i, 1, 255 - 12 * i);
    }
    DarkenRows(p.dark, 16, kBandHeight - 32, 63);
    OutlineFont& font = PromptFont(f);
    Picture scratch;
    const int width = font.DrawText(scratch, 0, 0, cp932, kWhite);
    font.DrawText(p.dark, (kScreenWidth - width) / 2, 12, cp932, kWhite);
    p.yes = false;
    ui.promptKind = kind;
    ComposeBand(f);
    f.plat.surface().BlitWhole(p.band, 0, kBandTop);
    CopyPicture(f.gfx.screen, p.band, 0, kBandTop);
    f.plat.surface().Update();
    Trace("prompt %d: %s", kind, TraceText(cp932).c_str());
    ShowText(f.plat, platform::TextKind::Menu, cp932);
}

int PromptHit(int x, int y) {
    if (y <= 193 || y >= 224) return 0;
    if (x >= kYesX && x < 370) return 1;
    if (x >= kNoX && x < kNoX + 70) return 2;
    return 0;
}

void PromptHover(TForm1& f, int x, int y) {
    PromptState& p = f.ui.prompt;
    const bool yes = PromptHit(x, y) == 1;
    if (yes == p.yes || p.dark.Empty()) return;
    p.yes = yes;
    ComposeBand(f);
    f.plat.surface().Blit(p.band, 0, kAnswerY, kScreenWidth, kAnswerHeight, 0, kBandTop + kAnswerY);
}

bool PromptAnswerCentre(int answer, int& x, int& y) {
    if (answer != 1 && answer != 2) return false;
    x = answer == 1 ? (kYesX + 370) / 2 : kNoX + 35;
    y = (193 + 224) / 2;
    return true;
}

void PromptKey(TForm1& f, uint16_t key) {
    // The arrows put the pointer on an answer, as they do over choices;
    // Enter and Space then press where it is.
    int answer = 0;
    if (key == platform::VK_LEFT || key == platform::VK_UP) answer = 1;
    else if (key == platform::VK_RIGHT || key == platform::VK_DOWN) answer = 2;
    else if (key == platform::VK_TAB) answer = f.ui.prompt.yes ? 2 : 1;
    int x = 0, y = 0;
    if (!PromptAnswerCentre(answer, x, y)) return;
    f.plat.SetCursorPos(f.ui.PaintBoxOriginX + x, f.ui.PaintBoxOriginY + y);
}

void PromptClick(TForm1& f, platform::MouseButton button, bool silent) {
    UiState& ui = f.ui;
    PromptState& p = ui.prompt;
    if (!silent && !p.clean.Empty()) {
        CopyPicture(f.gfx.screen, p.clean, 0, kBandTop);
        f.plat.surface().BlitWhole(p.clean, 0, kBandTop);
    }
    p.band = Picture();
    p.dark = Picture();
    p.clean = Picture();
    ui.OverlayActive = false;
    UpdateMenuStates(f);
    DrawQuickBar(f, 1);
    const int kind = ui.promptKind;
    Trace("prompt %d answered %s", kind, button != platform::mbRight && p.yes ? "yes" : "no");
    if (button != platform::mbRight && p.yes) {
        if (kind == kPromptQuickLoad) {
            ui.promptKind = kPromptNone;
            LoadGame(f, 99, false);
        } else if (kind == kPromptTitle) {
            ReturnToTitle(f);
        }
    }
    ui.promptKind = kPromptNone;
}

}  // namespace velmora
