#include "platform/headless/text_feed_file.h"

#include <cerrno>
#include <cstring>

namespace velmora::platform {

TextFeedFile::~TextFeedFile() {
    if (file_) std::fclose(file_);
}

bool TextFeedFile::Open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) error = "cannot write the text feed file " + path + ": " + std::strerror(errno);
    return file_ != nullptr;
}

void TextFeedFile::Put(TextKind kind, const std::string& utf8, bool speak) {
    (void)speak;
    if (!file_ || !FeedCarries(kind)) return;
    // One message a line: a line break inside one would split it.
    for (char c : utf8) std::fputc(c == '\n' || c == '\r' ? ' ' : c, file_);
    std::fputc('\n', file_);
    // Written as it happens, so a reader following the file sees each line.
    std::fflush(file_);
}

}  // namespace velmora::platform
