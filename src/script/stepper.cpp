// The script stepper: line kinds, message text, inline tags and waits.
#include "script/stepper.h"

#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/graphics_commands.h"
#include "script/commands.h"

namespace velmora {

namespace {

using u8 = unsigned char;

// Length of text cut to `max` bytes without splitting a two-byte character.
size_t CutLength(const char* text, size_t max) {
    size_t k = 0;
    while (text[k] && k < max) {
        size_t w = IsLeadByte(static_cast<u8>(text[k])) && text[k + 1] ? 2 : 1;
        if (k + w > max) break;
        k += w;
    }
    return k;
}

void SetInsertedText(TForm1& f, const char* text) {
    StepperState& st = f.stepper;
    size_t n = CutLength(text, kInsertedTextSize - 1);
    std::memcpy(st.inserted, text, n);
    st.inserted[n] = '\0';
    st.insertedPos = 0;
}

// The argument of a named tag: after the tag and one separator byte, never
// past the end of the line.
const char* TagArg(const char* tagStart, size_t len, bool separator) {
    const char* p = tagStart + len;
    if (separator && *p) ++p;
    return p;
}

void NameLine(TForm1& f) {
    StepperState& st = f.stepper;
    if (!f.text.windowOpen && f.vars.S[150] == 0) NewPage(f);
    if (f.vars.S[150] != 0) {
        TextOutLineStart(f);
        st.linePos = 1;
        st.PrintingNameLine = true;
        st.needLine = false;
        return;
    }
    const u8* l = reinterpret_cast<const u8*>(st.line);
    const char* name = st.line + 1;
    if (l[1] == 0x81 && l[2] == 0x90 && l[3] == 0x82 && l[4] >= 0x4F && l[4] <= 0x58) name = f.vars.str[l[4] - 0x4F];
    AppendBacklog(f, name, static_cast<int>(CutLength(name, kBacklogLineSize - 1)));
    f.backlog.speakerLine[f.backlog.count] = true;
    CommitBacklogLine(f);
    SetPageName(f, name);
    TextOutSpeaker(f, name);
    ShowNamePlate(f, name, 0);
    Trace("speaker %s", TraceText(name).c_str());
}

}  // namespace

const char* const InlineTagTable[kInlineTagCount] = {"gra",    "1",    "2",     "col", "wait",
                                                     "voice ", "clrb", "delay", "?",   "$"};

int FindInlineTag(const char* tag) {
    for (int i = 0; i < kInlineTagCount; ++i)
        if (StartsWithNoCase(tag, InlineTagTable[i])) return i;
    return -1;
}

namespace {

// An inline tag at line[linePos] == '['. Returns true when the pass ends.
bool InlineTag(TForm1& f) {
    StepperState& st = f.stepper;
    const char* tag = st.line + st.linePos + 1;
    bool skipping = f.ui.SkipActive;
    bool endPass = false;
    switch (FindInlineTag(tag)) {
        case kTagGra:
            GraCommand(f, TagArg(tag, 3, true));
            break;
        case kTag1:
            SetWideSpacing(f, false);
            break;
        case kTag2:
            SetWideSpacing(f, true);
            break;
        case kTagCol:
            SetPageColour(f, ReadInt(TagArg(tag, 3, true)));
            break;
        case kTagWait: {
            int32_t n = ReadInt(TagArg(tag, 4, true));
            // A negative pause would never count down to 0.
            if (!skipping) st.TypingCountdown = n > 0 ? n : 0;
            Trace("wait entered: typing pause of %d ticks", skipping ? 0 : (n > 0 ? n : 0));
            endPass = true;
            break;
        }
        case kTagVoice: {
            const char* rest = tag + 6;
            char name[64];
            size_t n = CutLength(rest, sizeof name - 1);
            std::memcpy(name, rest, n);
            name[n] = '\0';
            PlaySoundByName(f, name);
            AddMessageVoice(f, name);
            SetLastVoice(f, name);
            break;
        }
        case kTagClrb:
            ClrbCommand(f, TagArg(tag, 4, true));
            break;
        case kTagDelay: {
            int32_t n = ReadInt(TagArg(tag, 5, true));
            st.CharDelay = n > 0 ? n : 0;
            break;
        }
        case kTagExpr: {
            int32_t v = EvalExpression(f, tag + 1);
            if (st.lineAborted) return false;
            char text[16];
            std::snprintf(text, sizeof text, "%d", v);
            SetInsertedText(f, text);
            break;
        }
        case kTagString: {
            int32_t n = ReadInt(tag + 1);
            if (n >= 0 && n <= 9) SetInsertedText(f, f.vars.str[n]);
            break;
        }
        default: {
            // The tag as written, up to its "]", not the text after it.
            const char* close = std::strchr(tag, ']');
            const std::string written(tag, close ? static_cast<size_t>(close - tag) : std::strlen(tag));
            ContentError("tag", "tag [%s]: unknown, ignored",
                         TraceText(written.substr(0, CutLength(written.c_str(), 32))).c_str());
            break;
        }
    }
    // Skip past the closing bracket; the end of the line stops the skip.
    const char* close = std::strchr(st.line + st.linePos, ']');
    st.linePos = close ? static_cast<int32_t>(close - st.line) + 1 : static_cast<int32_t>(std::strlen(st.line));
    return endPass;
}

// Message text from the line position. Returns true when the pass ends,
// false when the next line follows in the same pass.
bool MessageText(TForm1& f) {
    StepperState& st = f.stepper;
    for (;;) {
        char bytes[2];
        int w = 1;
        const char* following = nullptr;
        if (st.inserted[st.insertedPos] != '\0') {
            const char* p = st.inserted + st.insertedPos;
            u8 c = static_cast<u8>(p[0]);
            w = (c >= 0x20 && c <= 0x7E) || p[1] == '\0' ? 1 : 2;
            bytes[0] = p[0];
            bytes[1] = w == 2 ? p[1] : 0;
            st.insertedPos += w;
            following = st.inserted + st.insertedPos;
            AppendBacklog(f, bytes, w);
            TextOutChar(f, bytes, w);
        } else {
            const u8* l = reinterpret_cast<const u8*>(st.line) + st.linePos;
            u8 c = l[0];
            if (c == '%') {
                int32_t n = 0;
                int digits = 0;
                while (l[1 + digits] >= '0' && l[1 + digits] <= '9' && digits < 9) n = n * 10 + (l[1 + digits++] - '0');
                if (digits == 0 || n == 0) {
                    n = 10;
                    st.linePos += 1;
                } else {
                    st.linePos += 1 + digits;
                }
                if (!f.ui.SkipActive) st.TypingCountdown = n;
                Trace("wait entered: %s%d ticks", f.ui.SkipActive ? "skipped pause of " : "pause of ", n);
                return true;
            }
            if (c == '[') {
                bool end = InlineTag(f);
                if (st.lineAborted) {
                    st.needLine = true;
                    return false;
                }
                if (end) return true;
                continue;
            }
            if (c == '<') {
                const char* start = st.line + st.linePos + 1;
                const char* close = std::strchr(start, '>');
                size_t len = close ? static_cast<size_t>(close - start) : std::strlen(start);
                char ruby[64];
                size_t n = CutLength(start, len < sizeof ruby - 1 ? len : sizeof ruby - 1);
                std::memcpy(ruby, start, n);
                ruby[n] = '\0';
                DrawRuby(f, ruby);
                st.linePos += 1 + static_cast<int32_t>(len) + (close ? 1 : 0);
                continue;
            }
            if (c == 0) {
                TextOutLineDone(f);
                CommitBacklogLine(f);
                st.needLine = true;
                f.text.column = 0;
                ++f.text.line;
                st.PrintingNameLine = false;
                Trace("line %s", TraceText(st.line).c_str());
                return !f.ui.SkipActive;
            }
            if (c == 0x81 && l[1] == 0xA5) {  // ▼
                TextOutLineDone(f);
                Trace("line %s", TraceText(std::string(st.line, st.linePos)).c_str());
                EnterWait(f, 1);
                return true;
            }
            if (c == 0x81 && l[1] == 0xA4) {  // ▽
                TextOutLineDone(f);
                CommitBacklogLine(f);
                NewPage(f);
                st.needLine = true;
                Trace("line %s", TraceText(std::string(st.line, st.linePos)).c_str());
                Trace("new page without a wait");
                return true;
            }
            if (c == 0x81 && l[1] == 0xAC) {  // 〓
                TextOutLineDone(f);
                Trace("line %s", TraceText(std::string(st.line, st.linePos)).c_str());
                st.PendingWait = 2;
                StartAutoWait(f);
                st.needLine = true;
                st.FinishMessage = false;
                RecordPage(f);
                --f.backlog.pageHistoryCount;
                Trace("wait entered: 2 (line)");
                return true;
            }
            if (c == 0x81 && l[1] == 0x90) {  // ＄ and a full-width digit
                if (l[2] == 0x82 && l[3] >= 0x4F && l[3] <= 0x58) {
                    int d = l[3] - 0x4F;
                    if (d <= 1 && TestBit(f.vars.F, kFBits, 28)) SetInsertedText(f, "\x82\xd6\x82\xbd\x82\xea");  // へたれ
                    else SetInsertedText(f, f.vars.str[d]);
                }
                int skip = 0;
                while (skip < 4 && l[skip]) ++skip;
                st.linePos += skip;
                continue;
            }
            w = (c >= 0x20 && c <= 0x7E) || l[1] == 0 ? 1 : 2;
            bytes[0] = static_cast<char>(c);
            bytes[1] = w == 2 ? static_cast<char>(l[1]) : 0;
            st.linePos += w;
            following = st.line + st.linePos;
            AppendBacklog(f, bytes, w);
            // Marks the glyph renderer draws as pictures stay out of the record.
            if (w == 2 && c == 0x81 && (l[1] == 0x9F || l[1] == 0x98 || l[1] == 0xE3)) UnappendBacklog(f, 2);
            else TextOutChar(f, bytes, w);
        }
        PutChar(f, bytes, w, following);
        if (st.PrintingNameLine || st.CharDelay == 0 || st.FinishMessage || !f.app.typewriter || f.ui.SkipActive)
            continue;
        st.TypingCountdown = st.CharDelay > 1 ? st.CharDelay - 1 : 0;
        return true;
    }
}

// Copies the next line out of the script buffer. Lines longer than the line
// buffer are cut.
void FetchLine(TForm1& f) {
    StepperState& st = f.stepper;
    int32_t n = 0;
    while (st.readPos < st.scriptLength && st.script[st.readPos] != 0) {
        if (n < kLineBufferSize - 1) st.line[n++] = static_cast<char>(st.script[st.readPos]);
        ++st.readPos;
    }
    if (st.readPos < st.scriptLength) ++st.readPos;  // its NUL
    st.line[n] = '\0';
    if (st.readPos - st.lineStart - 1 > kLineBufferSize - 1)
        ContentError("line", "line at %d: longer than %d bytes, cut", st.lineStart, kLineBufferSize - 1);
}

}  // namespace

void ClearInsertedText(TForm1& f) {
    f.stepper.inserted[0] = '\0';
    f.stepper.insertedPos = 0;
}

void StartAutoWait(TForm1& f) {
    int32_t level = f.vars.S[26];
    // Levels are 1 ... 13; a script value of 25 or more must not divide by zero.
    int32_t divisor = 25 - level > 0 ? 25 - level : 1;
    f.ui.AutoCountdown = f.text.charCount / divisor + 2 * level + 2;
}

void EnterWait(TForm1& f, int kind) {
    StepperState& st = f.stepper;
    CommitBacklogLine(f);
    st.PendingWait = kind;
    StartAutoWait(f);
    st.needLine = true;
    st.FinishMessage = false;
    Trace("wait entered: %d", kind);
}

void AddMessageVoice(TForm1& f, const char* name) {
    f.textOut.voiced = true;
    char* v = f.stepper.MessageVoices;
    size_t used = std::strlen(v);
    size_t room = kMessageVoicesSize - 1 - used;
    size_t n = std::strlen(name);
    if (n + 1 > room) {
        Trace("voice %s: the page's voice list is full", TraceText(name).c_str());
        return;
    }
    std::memcpy(v + used, name, n);
    v[used + n] = ' ';
    v[used + n + 1] = '\0';
}

void SetLastVoice(TForm1& f, const char* name) {
    size_t n = CutLength(name, kLastVoiceSize - 1);
    std::memcpy(f.stepper.LastVoice, name, n);
    f.stepper.LastVoice[n] = '\0';
}

std::string ScriptLocation(const TForm1& f) {
    const StepperState& st = f.stepper;
    if (f.loader.loadedScript.empty()) return std::string();
    // Every script line ends with one NUL, so the NULs before the line's
    // start count the lines before it.
    const int32_t end = st.lineStart < st.scriptLength ? st.lineStart : st.scriptLength;
    int line = 1;
    for (int32_t i = 0; i < end; ++i) line += st.script[i] == 0;
    return TraceText(f.loader.loadedScript) + ":" + std::to_string(line);
}

namespace {

std::string LocateStep(const void* f) { return ScriptLocation(*static_cast<const TForm1*>(f)); }

// While a pass runs, content errors name the script line that met them.
struct StepLocation {
    explicit StepLocation(const TForm1& f) { SetTraceLocator(&LocateStep, &f); }
    ~StepLocation() { SetTraceLocator(nullptr, nullptr); }
};

}  // namespace

void StepScript(TForm1& f) {
    StepLocation located(f);
    StepperState& st = f.stepper;
    // A script that loops without ever waiting would hold the pass for ever:
    // after this many lines the pass ends and the next one goes on, so the
    // window keeps answering and the clock keeps moving.
    constexpr int kLinesPerPass = 10000;
    int lines = 0;
    for (;;) {
        if (st.needLine && ++lines > kLinesPerPass) {
            if (!st.longPassReported) {
                st.longPassReported = true;
                ContentError("script", "script %s: %d lines ran without a wait; the pass ends here (a loop with no wait?)",
                             TraceText(f.loader.loadedScript).c_str(), kLinesPerPass);
            }
            return;
        }
        if (st.needLine) {
            st.PrintingNameLine = false;
            st.lineStart = st.readPos;
            st.linePos = 0;
            st.lineAborted = false;
            if (st.readPos >= st.scriptLength) {
                if (f.loader.callDepth > 0) {
                    Trace("script %s: end reached, returning", TraceText(f.loader.loadedScript).c_str());
                    ReturnFromCall(f);
                } else if (!st.endReported) {
                    st.endReported = true;
                    Trace("script %s: end reached", TraceText(f.loader.loadedScript).c_str());
                }
                return;
            }
            st.endReported = false;
            FetchLine(f);
        dispatch:
            u8 first = static_cast<u8>(st.line[0]);
            switch (first) {
                case 0:
                    ++f.text.line;
                    continue;
                case '*':
                case '@': {
                    int index = FindCommand(st.line);
                    if (index < 0) {
                        if (FindCommandWithoutArgument(st.line) >= 0)
                            ContentError("command", "command %s: argument missing, ignored", TraceText(st.line).c_str());
                        else
                            ContentError("command", "command %s: unknown, ignored", TraceText(st.line).c_str());
                        continue;
                    }
                    int r = ExecuteCommand(f, index, st.line);
                    if (st.lineAborted) continue;
                    if (r == 1) return;
                    if (r == 2) {
                        st.linePos = 0;
                        goto dispatch;
                    }
                    continue;
                }
                case '!':
                    ExecAssignments(f, st.line + 1);
                    continue;
                case ':':
                case ';':
                case '}':
                    continue;
                case '{':
                    st.readPos = st.line[1] == ':' ? SkipToNamedBlockEnd(f, st.readPos, st.line + 2)
                                                   : SkipToLineStartingWith(f, st.readPos, '}');
                    continue;
                case '>':
                    NameLine(f);
                    if (!st.PrintingNameLine) continue;
                    break;
                case '\\':
                    EnterWait(f, 1);
                    RecordPage(f);
                    return;
                case '~':
                    EnterWait(f, 4);
                    RecordPage(f);
                    return;
                case '+':
                    EnterWait(f, 5);
                    return;
                case '=':
                    if (f.ui.SkipActive) continue;
                    st.PendingWait = 2;
                    StartAutoWait(f);
                    st.FinishMessage = false;
                    RecordPage(f);
                    --f.backlog.pageHistoryCount;
                    Trace("wait entered: 2 (line)");
                    return;
                default:
                    st.needLine = false;
                    TextOutLineStart(f);
                    break;
            }
        }
        if (MessageText(f)) return;
    }
}

}  // namespace velmora
