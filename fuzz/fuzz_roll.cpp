// The staff roll's scripts ("roll NAME"): the input is a roll script's
// decoded bytes (CP932 lines, NUL-separated). Every step read from it must
// hold what the roll relies on; a short prefix of them is then played on
// the shared engine. To keep an input quick the waits are dropped and
// pictures and text shown at once: the fades blend whole pictures sized by
// the rectangle checked above, and the time they take would be most of a run.
#include <cstdint>
#include <cstring>
#include <vector>

#include "extras/rolls.h"
#include "fuzz/fuzz_engine.h"
#include "gfx/pixel_ops.h"
#include "script/loader.h"

using namespace velmora;

namespace {

constexpr size_t kPlayedSteps = 16;

// Traps (a finding) when a step breaks what the roll takes for granted.
void Check(const std::vector<RollStep>& steps, size_t size) {
    // One step a line, and no more lines than a table holds.
    if (steps.size() > static_cast<size_t>(kScriptBufferSize) || steps.size() > size) __builtin_trap();
    int blockLines = 0;
    for (const RollStep& s : steps) {
        if (std::memchr(s.text.data(), 0, s.text.size())) __builtin_trap();
        switch (s.op) {
            case RollOp::kTextNewBlock: blockLines = 0; [[fallthrough]];
            case RollOp::kText:
                if (++blockLines > kRollBlockMax) __builtin_trap();
                break;
            case RollOp::kPicture:
                if (s.text.size() > static_cast<size_t>(kRollNameMax) || s.text.find_first_of("\t\r ,") != std::string::npos)
                    __builtin_trap();
                break;
            case RollOp::kRectangle:
                if (s.rect[0] < 0 || s.rect[1] < 0 || s.rect[2] > kScreenWidth || s.rect[3] > kScreenHeight ||
                    s.rect[2] <= s.rect[0] || s.rect[3] <= s.rect[1])
                    __builtin_trap();
                break;
            case RollOp::kWait:
                if (s.value < 0 || s.value > kRollWaitMax) __builtin_trap();
                break;
            case RollOp::kAlign:
                if (s.alignment < 0 || s.alignment > 2) __builtin_trap();
                break;
            default: break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const int32_t length = size > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(size);
    std::vector<RollStep> steps = ParseRollScript(text, length);
    Check(steps, size);

    fuzz::FuzzEngine& e = fuzz::Engine();
    if (e.plat->Closed() || e.f->flags.quitRequest) fuzz::RestartEngine();
    if (steps.size() > kPlayedSteps) steps.resize(kPlayedSteps);
    for (RollStep& s : steps)
        if (s.op == RollOp::kWait || s.op == RollOp::kPicture) s.value = 0;
        else if ((s.op == RollOp::kPut || s.op == RollOp::kErase) && s.value == 1) s.value = 0;
    PlayStaffRoll(*e.f, steps);
    return 0;
}
