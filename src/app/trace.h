#pragma once
// The author's trace: every content error and, with --trace, every step the
// engine takes. Quiet for the player unless a sink is set.
#include <cstdio>
#include <string>

namespace velmora {

// Sets where trace lines go (nullptr: nowhere). The file is not owned.
void SetTraceSink(std::FILE* sink);
bool TraceOn();
// One line; the text is UTF-8 or ASCII (CP932 texts go through TraceCp932).
void Trace(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// CP932 bytes converted for the trace.
std::string TraceText(const std::string& cp932);

// A content error: something the game's data asks for that is not there or
// cannot be used (a missing picture, an unknown command, a bad expression,
// a damaged entry). Traced like any line, with the script and line that ran
// into it, and counted under `kind` ("picture", "label", ...) whether or not
// a sink is set, so a strict run can fail on it.
void ContentError(const char* kind, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Where the engine is in its script ("main:12"), or empty; set by the
// stepper while it runs a pass, cleared with nullptr.
using TraceLocator = std::string (*)(const void* owner);
void SetTraceLocator(TraceLocator locator, const void* owner);
// The content errors met so far: their number, and "picture 2, label 1"
// (kinds in the order they were first met).
int ContentErrorCount();
std::string ContentErrorSummary();
void ResetContentErrors();

}  // namespace velmora
