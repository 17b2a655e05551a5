// Reading a staff roll script into steps: the command words, their numbers,
// picture names and rectangles, and which text lines start or overflow a
// block. Nothing here touches the engine, so hostile scripts are checked
// (and fuzzed) apart from the roll that plays them.
#include <string>
#include <vector>

#include "data/encoding.h"
#include "extras/rolls.h"
#include "gfx/pixel_ops.h"
#include "script/commands.h"
#include "script/loader.h"

namespace velmora {

namespace {

// GRA name[,mode]: the name ends at a blank, a carriage return, a comma or
// kRollNameMax bytes; the mode is 1 without a comma.
void ParsePicture(const std::string& args, RollStep& step) {
    size_t n = 0;
    while (n < args.size() && args[n] != '\t' && args[n] != ' ' && args[n] != '\r' && args[n] != ',' &&
           n < static_cast<size_t>(kRollNameMax))
        ++n;
    step.op = RollOp::kPicture;
    step.text = args.substr(0, n);
    const size_t comma = args.find(',', n);
    step.value = comma == std::string::npos ? 1 : ReadInt(args.c_str() + comma + 1);
}

// WIN left,top,right,bottom: kept inside the screen; fewer than four
// numbers or an empty rectangle leave the old one.
void ParseRectangle(const std::string& args, RollStep& step) {
    std::string fields[5];
    const int n = SplitTableFields(args, fields, 5);
    int v[4] = {};
    for (int i = 0; i < 4 && i < n; ++i) v[i] = ReadInt(fields[i].c_str());
    for (int i = 0; i < 4; ++i) {
        const int limit = i % 2 == 0 ? kScreenWidth : kScreenHeight;
        v[i] = v[i] < 0 ? 0 : v[i] > limit ? limit : v[i];
    }
    if (n < 4 || v[2] <= v[0] || v[3] <= v[1]) {
        step.op = RollOp::kBadRectangle;
        step.text = args;
        return;
    }
    step.op = RollOp::kRectangle;
    for (int i = 0; i < 4; ++i) step.rect[i] = v[i];
}

// One command line ("*" or "@", a word of at most kRollWordMax bytes, then
// its arguments after one blank or carriage return).
RollStep ParseCommand(const std::string& line) {
    RollStep step;
    size_t n = 1;
    char word[kRollWordMax + 1] = {};
    while (n < line.size() && line[n] != '\t' && line[n] != ' ' && line[n] != '\r') {
        if (n - 1 < static_cast<size_t>(kRollWordMax)) word[n - 1] = AsciiUpper(line[n]);
        ++n;
    }
    step.op = RollOp::kUnknown;
    if (n - 1 > static_cast<size_t>(kRollWordMax)) {
        step.text = line;
        return step;
    }
    const std::string args = n < line.size() ? line.substr(n + 1) : std::string();
    const int32_t value = ReadInt(args.c_str());
    const std::string w = word;
    if (w == "MUSIC") step.op = RollOp::kMusic, step.value = value;
    else if (w == "GRA") ParsePicture(args, step);
    else if (w == "WIN") ParseRectangle(args, step);
    else if (w == "PUT") step.op = RollOp::kPut, step.value = value;
    else if (w == "ERA") step.op = RollOp::kErase, step.value = value;
    else if (w == "RESET" || w == "HOOK") step.op = RollOp::kResetClock;
    else if (w == "WAIT") step.op = RollOp::kWait, step.value = value < 0 ? 0 : value > kRollWaitMax ? kRollWaitMax : value;
    else if (w == "CENTER") step.op = RollOp::kAlign, ParseRollAlignment(args.c_str(), step.alignment, step.centred);
    else step.text = line;
    return step;
}

}  // namespace

void ParseRollAlignment(const char* letters, int& horizontal, bool& vertical) {
    horizontal = 0;
    vertical = false;
    for (const char* p = letters; *p; ++p) {
        const char c = AsciiUpper(*p);
        if (c == 'X') horizontal = 1;
        else if (c == 'R') horizontal = 2;
        else if (c == 'Y') vertical = true;
    }
}

std::vector<RollStep> ParseRollScript(const char* script, int32_t length) {
    std::vector<RollStep> steps;
    if (script == nullptr || length <= 0) return steps;
    // No table the engine loads is longer; this keeps the steps of a hostile
    // input (one per line) bounded too.
    if (length > kScriptBufferSize) length = kScriptBufferSize;
    bool afterCommand = true;  // the first text line starts a block
    int blockLines = 0;
    for (int32_t pos = 0; pos < length;) {
        std::string line = ReadTableLine(script, length, pos);
        if (!line.empty() && (line[0] == '*' || line[0] == '@')) {
            afterCommand = true;
            steps.push_back(ParseCommand(line));
            continue;
        }
        RollStep step;
        if (afterCommand) {
            step.op = RollOp::kTextNewBlock;
            blockLines = 0;
        }
        afterCommand = false;
        if (blockLines < kRollBlockMax) {
            ++blockLines;
            step.text = std::move(line);
        } else {
            step.op = RollOp::kTextDropped;
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

}  // namespace velmora
