// The headless runner's events file: the input is its text.
#include <string>

#include "platform/headless/events.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::Timeline timeline;
    std::string error;
    if (platform::ParseTimeline(std::string(reinterpret_cast<const char*>(data), size), timeline, error)) {
        // Times only add up.
        uint32_t last = 0;
        for (const platform::TimelineEvent& e : timeline.events) {
            if (e.time < last) __builtin_trap();
            last = e.time;
        }
    }
    return 0;
}
