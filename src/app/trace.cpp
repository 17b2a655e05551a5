#include "app/trace.h"

#include <cstdarg>

#include "data/encoding.h"

namespace velmora {

namespace {
std::FILE* gSink = nullptr;
}

void SetTraceSink(std::FILE* sink) { gSink = sink; }

bool TraceOn() { return gSink != nullptr; }

void Trace(const char* fmt, ...) {
    if (!gSink) return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(gSink, fmt, ap);
    va_end(ap);
    std::fputc('\n', gSink);
    std::fflush(gSink);
}

std::string TraceText(const std::string& cp932) {
    std::string out;
    if (Cp932ToUtf8(cp932, out)) return out;
    return out + "(?)";
}

}  // namespace velmora
