#include "extras/extras_common.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "text/text_out.h"

namespace velmora {

void TakeScriptPoint(const TForm1& f, ScriptPoint& p) {
    p.taken = true;
    std::memcpy(p.name, f.loader.currentScript, sizeof p.name);
    p.readPos = f.stepper.readPos;
    p.callDepth = f.loader.callDepth;
    // The return positions too: a call made inside the replay overwrites them.
    for (int i = 0; i < kCallDepthMax; ++i) p.stack[i] = f.loader.CallStack[i];
}

bool RestoreScriptPoint(TForm1& f, const ScriptPoint& p) {
    if (!p.taken) {
        Trace("replay: no script to return to");
        return false;
    }
    if (!LoadScript(f, p.name, 1)) {
        Trace("replay: the script %s to return to is gone", TraceText(p.name).c_str());
        return false;
    }
    std::memcpy(f.loader.currentScript, p.name, sizeof p.name);
    StepperState& st = f.stepper;
    st.readPos = p.readPos < 0 ? 0 : (p.readPos > st.scriptLength ? st.scriptLength : p.readPos);
    st.needLine = true;
    f.loader.callDepth = p.callDepth;
    for (int i = 0; i < kCallDepthMax; ++i) f.loader.CallStack[i] = p.stack[i];
    return true;
}

bool LoadTableLines(TForm1& f, const char* name, std::vector<std::string>& lines, bool optional) {
    lines.clear();
    if (optional && !ScriptExists(f, name)) return false;
    if (!LoadScript(f, name, 2)) return false;
    const LoaderState& L = f.loader;
    for (int32_t pos = 0; pos < L.tableLength;) {
        std::string line = ReadTableLine(L.table, L.tableLength, pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return true;
}

bool ParseTableInt(const std::string& text, int& out) {
    const char* s = text.c_str();
    while (*s == ' ' || *s == '\t') ++s;
    if (*s == '\0') return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s, &end, 10);
    if (end == s || errno == ERANGE || v < -2147483647L || v > 2147483647L) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return false;
    out = static_cast<int>(v);
    return true;
}

void CreditsNewPage(TForm1& f) {
    if (platform::TextOutlets* out = f.plat.textOutlets()) out->NewPage();
}

namespace {

// The line without the blanks (one-byte and full-width) that place it.
std::string CreditText(const std::string& cp932) {
    size_t from = std::string::npos, to = 0;
    for (size_t i = 0; i < cp932.size();) {
        const bool lead = IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size();
        const size_t w = lead ? 2 : 1;
        const bool blank = lead ? cp932[i] == '\x81' && cp932[i + 1] == '\x40' : cp932[i] == ' ' || cp932[i] == '\t';
        if (!blank) {
            if (from == std::string::npos) from = i;
            to = i + w;
        }
        i += w;
    }
    return from == std::string::npos ? std::string() : cp932.substr(from, to - from);
}

}  // namespace

void CreditsLine(TForm1& f, const std::string& cp932) {
    ShowText(f.plat, platform::TextKind::Narration, CreditText(cp932));
}

void CreditTeller::Line(TForm1& f, const std::string& cp932) {
    std::string text = CreditText(cp932);
    if (text.empty()) return Flush(f);
    held.push_back(std::move(text));
    if (held.size() == kGroupMax) Flush(f);
}

void CreditTeller::TellUpTo(TForm1& f, const std::vector<std::string>& lines, int upTo) {
    for (; told < upTo; ++told) Line(f, lines[static_cast<size_t>(told)]);
    if (told == static_cast<int>(lines.size())) Flush(f);
}

void CreditTeller::Flush(TForm1& f) {
    if (held.empty()) return;
    CreditsNewPage(f);
    for (const std::string& line : held) ShowText(f.plat, platform::TextKind::Narration, line);
    held.clear();
}

}  // namespace velmora
