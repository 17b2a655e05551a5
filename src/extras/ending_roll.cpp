// The ending roll (special 5): the credit lines of the table "endroll"
// scroll upward in a 256-pixel column at the right edge while the left part
// shows the background. The table:
//
//     30            the step time in ms (each step scrolls 2 pixels)
//     ed01,0        picture lines "name,line": the line number of the
//     ed02,12       second one is where the background is shown again
//     *
//     ＳＴＡＦＦ       credit lines, 32 pixels apart (empty lines allowed)
//     *
//
// The column shows pixels 64 ... 319 of each credit line, so lines start
// with some indentation.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "extras/extras.h"
#include "extras/extras_common.h"
#include "extras/rolls.h"
#include "gfx/composition.h"
#include "script/commands.h"
#include "script/loader.h"

namespace velmora {

namespace {

constexpr int kFadeRows = 128;
constexpr int kScrollStep = 2;

OutlineFont& CreditFont(TForm1& f) {
    OutlineFont& font = f.extras.creditFont;
    if (!font.IsOpen()) {
        FontRequest r;
        r.family = "ＭＳ 明朝";
        r.cellHeight = 30;
        r.antialias = false;  // one bit: the edge fades key on lit pixels
        font.Open(r);
    }
    return font;
}

}  // namespace

bool ReadEndRollTable(const char* table, int32_t length, EndRollTable& out) {
    int32_t pos = 0;
    if (length <= 0) return false;
    out.step = ReadInt(ReadTableLine(table, length, pos).c_str());
    int pictures = 0;
    bool star = false;
    while (pos < length) {
        const std::string line = ReadTableLine(table, length, pos);
        if (!line.empty() && line[0] == '*') {
            star = true;
            break;
        }
        const size_t comma = line.find(',');
        if (comma == std::string::npos) Trace("endroll: picture line \"%s\" has no \",n\"", TraceText(line).c_str());
        if (++pictures == 2 && comma != std::string::npos) out.phaseMark = ReadInt(line.c_str() + comma + 1);
    }
    if (!star) {
        Trace("endroll: no \"*\" line before the credits");
        return false;
    }
    bool ended = false;
    while (pos < length) {
        std::string line = ReadTableLine(table, length, pos);
        if (!line.empty() && line[0] == '*') {
            ended = true;
            break;
        }
        if (static_cast<int>(out.credits.size()) == kCreditLinesMax) {
            Trace("endroll: more than %d credit lines; the rest are left out", kCreditLinesMax);
            break;
        }
        if (line.size() > static_cast<size_t>(kCreditLineMax)) {
            Trace("endroll: credit line %d is cut to %d bytes", static_cast<int>(out.credits.size()), kCreditLineMax);
            line.resize(kCreditLineMax);
        }
        out.credits.push_back(std::move(line));
    }
    if (!ended) Trace("endroll: no \"*\" line after the credits; they run to the end of the table");
    if (pictures < 2) Trace("endroll: fewer than two picture lines; the background is shown at the start only");
    return true;
}

uint32_t NextRollDeadline(uint32_t previous, uint32_t now, uint32_t step) {
    const uint32_t next = previous + step;
    const int32_t behind = static_cast<int32_t>(now - next);
    return behind > static_cast<int32_t>(kRollStallSteps * step) ? now + step : next;
}

void EndingRollFrame(const Picture& credits, int y, Picture& column) {
    const size_t bytes = static_cast<size_t>(kEndingColumnWidth) * 3;
    const int from = credits.width - kEndingColumnWidth;  // the credits picture holds the shown columns
    for (int r = 0; r < kScreenHeight; ++r) {
        const int src = y + r;
        if (src >= 0 && src < credits.height) std::memcpy(column.Row(r), credits.Pixel(from, src), bytes);
        else std::memset(column.Row(r), 0, bytes);
    }
    // Lit pixels near the top and bottom edges dim toward black.
    for (int r = 0; r < kFadeRows; ++r) {
        const uint8_t v = static_cast<uint8_t>(2 * r);
        for (uint8_t* row : {column.Row(r), column.Row(kScreenHeight - 1 - r)}) {
            for (int x = 0; x < kEndingColumnWidth; ++x) {
                uint8_t* p = row + 3 * x;
                if (p[0] != 0) p[0] = p[1] = p[2] = v;
            }
        }
    }
}

void EndingStaffRoll(TForm1& f) {
    if (!LoadScript(f, "endroll", 2)) {
        Trace("special 5: no table \"endroll\"; no ending roll");
        return;
    }
    EndRollTable t;
    if (!ReadEndRollTable(f.loader.table, f.loader.tableLength, t)) return;
    if (t.step < 1) {
        Trace("endroll: step time %d ms; 1 ms used", t.step);
        t.step = 1;
    }
    const int count = static_cast<int>(t.credits.size());
    // Only the shown columns are kept; the picture is tall enough for the
    // whole of the last line.
    Picture credits;
    credits.Resize(kEndingColumnWidth, kCreditFirstRow + kCreditPitch * count);
    OutlineFont& font = CreditFont(f);
    for (int i = 0; i < count; ++i)
        font.DrawText(credits, -kCreditColumnFrom, kCreditFirstRow + kCreditPitch * i, t.credits[static_cast<size_t>(i)],
                      0xFFFFFF);
    Picture column;
    column.Resize(kEndingColumnWidth, kScreenHeight);
    Trace("special 5: ending roll of %d lines, %d ms a step", count, t.step);
    platform::Surface& pb = f.plat.surface();
    platform::Clock& clock = f.plat.clock();
    f.extras.staffRollStop = false;
    const uint32_t step = static_cast<uint32_t>(t.step);
    int phase = 1, level = 0;
    uint32_t deadline = clock.Now();
    const int end = kCreditFirstRow + kCreditPitch * count;
    // A line is told once it has risen clear of the bottom edge's fade.
    CreditTeller teller;
    CreditsNewPage(f);
    for (int y = 0; y < end; y += kScrollStep) {
        teller.TellUpTo(f, t.credits,
                        CreditLinesAbove(y + kScreenHeight - kFadeRows, kCreditFirstRow, kCreditPitch, count));
        deadline = NextRollDeadline(deadline, clock.Now(), step);
        if (phase == 1 && ++level > 64) phase = 0;
        if (phase == 2 && --level < 0) phase = 1, level = 0;
        if (phase == 1 || phase == 2) pb.Blit(f.gfx.background, 0, 0, kEndingColumnX, kScreenHeight, 0, 0);
        if (y == kCreditPitch * t.phaseMark) phase = 2, level = 64;
        EndingRollFrame(credits, y, column);
        pb.BlitWhole(column, kEndingColumnX, 0);
        pb.Update();
        WaitUntil(f, deadline);
        if (f.flags.quitRequest || f.app.destroyed || f.extras.staffRollStop) break;
    }
    teller.Flush(f);
    CreditsNewPage(f);
    Trace("special 5: ending roll done");
}

}  // namespace velmora
