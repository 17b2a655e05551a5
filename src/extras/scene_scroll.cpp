// The scene scroll (command sroll): the lines of the table "sroll", up to a
// line "}", scroll upward on a black screen, one pixel per 30 ms frame, in
// a 420 x 560 area. With F999 set a click ends it early; a close request
// always does.
#include <string>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "extras/extras.h"
#include "extras/extras_common.h"
#include "extras/rolls.h"
#include "gfx/composition.h"
#include "script/loader.h"
#include "script/variables.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kAreaX = 270, kAreaY = 20, kAreaWidth = 420, kAreaHeight = 560;
constexpr int kScrollPitch = 24;
constexpr int kLastLineBottom = 240;  // where the last line ends when the scroll stops

OutlineFont& ScrollFont(TForm1& f) {
    OutlineFont& font = f.extras.scrollFont;
    if (!font.IsOpen()) {
        FontRequest r;
        r.family = "ＭＳ ゴシック";
        r.cellHeight = 20;
        r.bold = true;
        font.Open(r);
    }
    return font;
}

// The text picture's rows from y (negative: above its top) in the area,
// black where the picture has no rows.
void ShowScrollArea(TForm1& f, const Picture& text, Picture& area, int y) {
    FillPicture(area, 0);
    CopyRect(area, 0, 0, text, 0, y, kAreaWidth, kAreaHeight);
    f.plat.surface().BlitWhole(area, kAreaX, kAreaY);
    f.plat.surface().Update();
}

}  // namespace

void ReadSceneScrollLines(const char* table, int32_t length, std::vector<std::string>& lines) {
    lines.clear();
    bool closed = false;
    for (int32_t pos = 0; pos < length;) {
        std::string line = ReadTableLine(table, length, pos);
        if (line == "}") {
            closed = true;
            break;
        }
        if (static_cast<int>(lines.size()) == kScrollLinesMax) {
            Trace("sroll: more than %d lines; the rest are left out", kScrollLinesMax);
            break;
        }
        lines.push_back(std::move(line));
    }
    if (!closed) Trace("sroll: no \"}\" line; every line of the table scrolls");
}

void SceneScrollCommand(TForm1& f) {
    if (!LoadScript(f, "sroll", 2)) {
        Trace("sroll: no table \"sroll\"; nothing scrolls");
        return;
    }
    std::vector<std::string> lines;
    ReadSceneScrollLines(f.loader.table, f.loader.tableLength, lines);
    f.ui.OverlayActive = true;
    UpdateMenuStates(f);
    f.extras.sceneScrollStop = false;
    f.app.playMode = 5;
    const int count = static_cast<int>(lines.size());
    Picture text;
    text.Resize(kAreaWidth, kScrollPitch * count);
    OutlineFont& font = ScrollFont(f);
    for (int i = 0; i < count; ++i) font.DrawText(text, 0, kScrollPitch * i, lines[static_cast<size_t>(i)], 0xFFFFFF);
    FillPicture(f.gfx.screen, 0);
    f.plat.surface().BlitWhole(f.gfx.screen);
    Picture area;
    area.Resize(kAreaWidth, kAreaHeight);
    const int end = kScrollPitch * count - kLastLineBottom;
    Trace("sroll: %d lines", count);
    StartFrameClock(f);
    CreditTeller teller;
    const auto tell = [&](int y) { teller.TellUpTo(f, lines, CreditLinesAbove(y + kAreaHeight, 0, kScrollPitch, count)); };
    CreditsNewPage(f);
    for (int y = 0; y < end;) {
        ShowScrollArea(f, text, area, y);
        tell(y);
        f.plat.ProcessMessages();
        if (f.extras.sceneScrollStop) break;
        y += WaitFrame(f, 30);
    }
    ShowScrollArea(f, text, area, end);
    if (!f.extras.sceneScrollStop) tell(end);
    teller.Flush(f);
    CreditsNewPage(f);
    Trace("sroll: %s", f.extras.sceneScrollStop ? "ended by a click or a close" : "ended");
    SetMusic(f, 0);
    f.app.playMode = 0;
    f.ui.OverlayActive = false;
    UpdateMenuStates(f);
}

void SceneScrollClick(TForm1& f, bool forced) {
    if (forced || TestBit(f.vars.F, kFBits, 999)) f.extras.sceneScrollStop = true;
}

void EndSceneScroll(TForm1& f) { SceneScrollClick(f, true); }

}  // namespace velmora
