#include "script/loader.h"

#include <cstring>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "data/archive.h"
#include "data/encoding.h"

namespace velmora {

bool ScriptExists(const TForm1& f, const std::string& name) {
    const std::string up = UpperName(name);
    return FindEntry(f.data.scripts[0], up) >= 0 || FindEntry(f.data.scripts[1], up) >= 0;
}

bool LoadScript(TForm1& f, const std::string& name, int mode) {
    std::string up = UpperName(name);
    const ArchiveIndex* index = nullptr;
    int pos = -1;
    for (int a : {1, 0}) {
        pos = FindEntry(f.data.scripts[a], up);
        if (pos >= 0) {
            index = &f.data.scripts[a];
            break;
        }
    }
    if (!index) {
        ContentError("script", "script %s: not in vk_data2.vrk or vk_data.vrk", TraceText(name).c_str());
        return false;
    }
    // Read aside first: a damaged entry must leave the loaded script intact.
    std::vector<uint8_t> bytes;
    int32_t got = index->sizes[pos] <= kScriptBufferSize ? ReadEntry(*index, pos, bytes) : -1;
    if (got < 0) {
        ContentError("script", "script %s: entry of %d bytes cannot be read into the %d-byte buffer",
                     TraceText(name).c_str(), index->sizes[pos], kScriptBufferSize);
        return false;
    }
    NegateBytes(bytes.data(), bytes.size());
    uint8_t* target = mode == 1 ? f.stepper.script : reinterpret_cast<uint8_t*>(f.loader.table);
    // An empty entry is an empty script (and hands memcpy no buffer at all).
    if (got > 0) std::memcpy(target, bytes.data(), bytes.size());
    // A NUL after the data keeps line scans inside the buffer.
    if (got < kScriptBufferSize) target[got] = 0;
    ClearInsertedText(f);
    RecollectionScriptLoaded(f, up);
    if (mode == 1) {
        f.loader.loadedScript = name;
        f.stepper.scriptLength = got;
        f.stepper.readPos = 0;
        f.stepper.needLine = true;
        f.stepper.ScriptRunning = true;
        f.vars.S[10] = 0;
        Trace("script %s: loaded, %d bytes", TraceText(name).c_str(), got);
    } else {
        f.loader.tableLength = got;
        f.loader.tableReadPos = 0;
        Trace("table %s: loaded, %d bytes", TraceText(name).c_str(), got);
    }
    return true;
}

std::string ReadTableLine(const char* table, int32_t length, int32_t& pos) {
    if (pos < 0 || pos >= length) {
        pos = length;
        return std::string();
    }
    const char* start = table + pos;
    const void* nul = std::memchr(start, 0, static_cast<size_t>(length - pos));
    int32_t n = nul ? static_cast<int32_t>(static_cast<const char*>(nul) - start) : length - pos;
    pos += n + 1;
    return std::string(start, static_cast<size_t>(n));
}

std::string TableField(const std::string& text, int n) {
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) return std::string();
        start = comma + 1;
    }
    size_t end = text.find(',', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int SplitTableFields(const std::string& text, std::string* out, int max) {
    int n = 0;
    size_t start = 0;
    while (n < max) {
        size_t comma = text.find(',', start);
        out[n++] = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return n;
}

}  // namespace velmora

namespace velmora {

namespace {

bool SameText(const uint8_t* a, const char* b, size_t n) { return SameNoCase(reinterpret_cast<const char*>(a), b, n); }

int32_t NextLineStart(const TForm1& f, int32_t p) {
    const StepperState& st = f.stepper;
    while (p < st.scriptLength && st.script[p] != 0) ++p;
    return p < st.scriptLength ? p + 1 : st.scriptLength;
}

void CopyName(char* dst, const char* src, size_t len) {
    if (len > static_cast<size_t>(kScriptNameMax)) len = kScriptNameMax;
    std::memcpy(dst, src, len);
    dst[len] = '\0';
}

// Splits "name" or "name:label": the name runs to ":", a space or the end.
void SplitTarget(const char* args, std::string& name, std::string& label, bool& hasLabel) {
    size_t n = 0;
    while (args[n] && args[n] != ':' && args[n] != ' ') ++n;
    name.assign(args, n);
    hasLabel = args[n] == ':';
    label = hasLabel ? std::string(args + n + 1) : std::string();
}

}  // namespace

void GotoLabel(TForm1& f, const char* name) {
    StepperState& st = f.stepper;
    size_t len = std::strlen(name);
    for (int32_t i = 0; i < st.scriptLength; ++i) {
        if (st.script[i] != ':') continue;
        if (i + 1 + static_cast<int32_t>(len) > st.scriptLength) break;
        if (st.script[i + 1 + len] != 0 || !SameText(st.script + i + 1, name, len)) continue;
        st.readPos = i + 1 + static_cast<int32_t>(len) + 1;
        if (st.readPos > st.scriptLength) st.readPos = st.scriptLength;
        st.needLine = true;
        Trace("label %s: found", TraceText(name).c_str());
        return;
    }
    ContentError("label", "label %s: not in script %s", TraceText(name).c_str(),
                 TraceText(f.loader.loadedScript).c_str());
}

int32_t SkipToLineStartingWith(const TForm1& f, int32_t pos, char byte) {
    const StepperState& st = f.stepper;
    if (pos < 0) pos = 0;
    for (int32_t p = pos; p < st.scriptLength; ++p)
        if ((p == 0 || st.script[p - 1] == 0) && st.script[p] == static_cast<uint8_t>(byte)) return p;
    return st.scriptLength;
}

int32_t SkipToNamedBlockEnd(const TForm1& f, int32_t pos, const char* text) {
    const StepperState& st = f.stepper;
    size_t len = 0;
    while (text[len] && text[len] != '(') ++len;
    if (pos < 0) pos = 0;
    for (int32_t p = pos; p + 2 + static_cast<int32_t>(len) <= st.scriptLength; ++p) {
        if (st.script[p] != '}' || st.script[p + 1] != ':') continue;
        if (st.script[p + 2 + len] == 0 && SameText(st.script + p + 2, text, len)) return p;
    }
    return st.scriptLength;
}

void LeaveReplay(TForm1& f) {
    if (f.app.replayContext == 1) ReturnToGallery(f);
    else if (f.app.replayContext == 2) NextReplayScene(f);
}

int ChainCommand(TForm1& f, const char* args) {
    std::string name, label;
    bool hasLabel = false;
    SplitTarget(args, name, label, hasLabel);
    f.loader.callDepth = 0;
    CopyName(f.loader.currentScript, name.data(), name.size());
    ResetWaits(f);
    bool ok = LoadScript(f, name, 1);
    Trace("chain %s: %s", TraceText(name).c_str(), ok ? "loaded, call stack discarded" : "not found");
    if (hasLabel) GotoLabel(f, label.c_str());
    return 1;
}

int CallCommand(TForm1& f, const char* args) {
    LoaderState& L = f.loader;
    std::string name, label;
    bool hasLabel = false;
    SplitTarget(args, name, label, hasLabel);
    if (L.callDepth >= kCallDepthMax) {
        Trace("call %s: refused, %d calls are already nested", TraceText(name).c_str(), L.callDepth);
        return 1;
    }
    CallStackEntry& e = L.CallStack[L.callDepth];
    std::memcpy(e.name, L.currentScript, sizeof e.name);
    e.returnPosition = f.stepper.readPos;
    bool ok;
    if (!name.empty() && name[0] == '$') {
        int d = name.size() > 1 && name[1] >= '0' && name[1] <= '9' ? name[1] - '0' : 0;
        const char* target = f.vars.str[d];
        CopyName(L.currentScript, target, std::strlen(target));
        ok = LoadScript(f, L.currentScript, 1);
        name = L.currentScript;
    } else {
        ok = LoadScript(f, name, 1);
        if (ok) CopyName(L.currentScript, name.data(), name.size());
    }
    if (ok) {
        ResetWaits(f);
        ++L.callDepth;
    }
    Trace("call %s: %s, depth %d", TraceText(name).c_str(), ok ? "loaded" : "not found", L.callDepth);
    if (hasLabel) GotoLabel(f, label.c_str());
    return 1;
}

bool ReturnFromCall(TForm1& f) {
    LoaderState& L = f.loader;
    if (L.callDepth <= 0) return false;
    --L.callDepth;
    CallStackEntry& e = L.CallStack[L.callDepth];
    char name[kScriptNameMax + 1];
    std::memcpy(name, e.name, sizeof name);
    name[kScriptNameMax] = '\0';
    if (LoadScript(f, name, 1)) {
        std::memcpy(L.currentScript, name, sizeof name);
        f.stepper.readPos = e.returnPosition < f.stepper.scriptLength ? e.returnPosition : f.stepper.scriptLength;
        f.stepper.needLine = true;
        Trace("return to %s at %d, depth %d", TraceText(name).c_str(), f.stepper.readPos, L.callDepth);
    } else {
        Trace("return to %s: the script is gone, depth %d", TraceText(name).c_str(), L.callDepth);
    }
    return true;
}

int EndCommand(TForm1& f) {
    if (!ReturnFromCall(f)) LeaveReplay(f);
    return 1;
}

int SwitchCommand(TForm1& f, const char* args) {
    StepperState& st = f.stepper;
    int32_t from = st.readPos;
    int32_t chosen = -1;
    int32_t end;
    if (args[0] == '\0') {
        end = SkipToLineStartingWith(f, from, '}');
        for (int32_t p = from; p < end && chosen < 0; p = NextLineStart(f, p)) {
            if (st.script[p] != '{') continue;
            if (st.script[p + 1] == '(') {
                bool yes = EvalCondition(f, reinterpret_cast<const char*>(st.script + p + 1));
                if (st.lineAborted) return 1;
                if (yes) chosen = NextLineStart(f, p);
            } else if (st.script[p + 1] == 0) {
                chosen = NextLineStart(f, p);
            }
        }
    } else {
        end = SkipToNamedBlockEnd(f, from, args);
        size_t len = std::strlen(args);
        for (int32_t p = from; p + 2 + static_cast<int32_t>(len) <= end && chosen < 0; ++p) {
            if (st.script[p] != '{' || st.script[p + 1] != ':' || !SameText(st.script + p + 2, args, len)) continue;
            uint8_t next = st.script[p + 2 + len];
            if (next == '(') {
                bool yes = EvalCondition(f, reinterpret_cast<const char*>(st.script + p + 2 + len));
                if (st.lineAborted) return 1;
                if (yes) chosen = NextLineStart(f, p);
            } else if (next == 0) {
                chosen = NextLineStart(f, p);
            }
        }
    }
    st.readPos = chosen >= 0 ? chosen : end;
    st.needLine = true;
    Trace("switch %s: %s", TraceText(args).c_str(), chosen >= 0 ? "case chosen" : "no case, after the block");
    return 1;
}

int CjmpCommand(TForm1& f, const char* args) {
    StepperState& st = f.stepper;
    int32_t n = args[0] ? EvalExpression(f, args) : f.vars.S[6];
    if (st.lineAborted) return 0;
    int32_t end = SkipToLineStartingWith(f, st.readPos, '}') + 2;
    if (end > st.scriptLength) end = st.scriptLength;
    if (n >= 0) {
        int32_t target = end;
        int32_t k = 0;
        for (int32_t p = st.readPos; p < st.scriptLength; p = NextLineStart(f, p)) {
            if (st.script[p] != '{') continue;
            int32_t body = p + 2;
            if (body > end) break;
            if (k == n) {
                target = body;
                break;
            }
            ++k;
        }
        st.readPos = target;
    }
    st.needLine = true;
    Trace("cjmp %d: continue at %d", n, st.readPos);
    return 0;
}

}  // namespace velmora
