#include "app/trace.h"

#include <cstdarg>
#include <utility>
#include <vector>

#include "data/encoding.h"

namespace velmora {

namespace {
std::FILE* gSink = nullptr;
TraceLocator gLocator = nullptr;
const void* gLocatorOwner = nullptr;
std::vector<std::pair<std::string, int>> gErrors;  // kind, count; in the order first met
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

void ContentError(const char* kind, const char* fmt, ...) {
    bool counted = false;
    for (auto& e : gErrors)
        if (e.first == kind) {
            ++e.second;
            counted = true;
            break;
        }
    if (!counted) gErrors.emplace_back(kind, 1);
    if (!gSink) return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(gSink, fmt, ap);
    va_end(ap);
    const std::string where = gLocator ? gLocator(gLocatorOwner) : std::string();
    if (!where.empty()) std::fprintf(gSink, " (script %s)", where.c_str());
    std::fputc('\n', gSink);
    std::fflush(gSink);
}

void SetTraceLocator(TraceLocator locator, const void* owner) {
    gLocator = locator;
    gLocatorOwner = locator ? owner : nullptr;
}

int ContentErrorCount() {
    int n = 0;
    for (const auto& e : gErrors) n += e.second;
    return n;
}

std::string ContentErrorSummary() {
    std::string out;
    for (const auto& e : gErrors) {
        if (!out.empty()) out += ", ";
        out += e.first + " " + std::to_string(e.second);
    }
    return out;
}

void ResetContentErrors() { gErrors.clear(); }

}  // namespace velmora
