#pragma once
// The headless text feed: the messages a reading aid would receive from the
// window's feed, one a line in a file, so tests and authors can read them.
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace velmora::platform {

class TextFeedFile : public TextOutlets {
public:
    ~TextFeedFile() override;
    // Creates (or empties) the file; false with `error` when it cannot.
    bool Open(const std::string& path, std::string& error);
    void Apply(const TextOutSwitches& switches) override { (void)switches; }  // the option turned it on
    void Put(TextKind kind, const std::string& utf8, bool speak) override;

private:
    std::FILE* file_ = nullptr;
};

}  // namespace velmora::platform
