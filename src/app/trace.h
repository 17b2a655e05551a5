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

}  // namespace velmora
