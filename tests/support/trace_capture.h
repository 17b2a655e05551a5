#pragma once
// Collects the trace while it lives, for tests that check what an author is told.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/trace.h"

namespace velmora::test {

class TraceCapture {
public:
    TraceCapture() {
        sink_ = open_memstream(&buf_, &len_);
        SetTraceSink(sink_);
    }
    ~TraceCapture() {
        SetTraceSink(nullptr);
        std::fclose(sink_);
        std::free(buf_);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    std::string Text() {
        std::fflush(sink_);
        return std::string(buf_, len_);
    }
    int Count(const std::string& needle) {
        const std::string hay = Text();
        int n = 0;
        for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + needle.size())) ++n;
        return n;
    }

private:
    char* buf_ = nullptr;
    size_t len_ = 0;
    std::FILE* sink_ = nullptr;
};

}  // namespace velmora::test
