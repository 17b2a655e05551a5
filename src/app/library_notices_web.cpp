#include <filesystem>
#include <system_error>

#include "app/library_notices.h"

namespace velmora {

namespace {

// The faces a published page may carry, by file name; the page puts them under /fonts.
struct FaceNotice {
    const char* file;
    const char* notice;
};
constexpr FaceNotice kFaces[] = {
    {"ipag.ttf", "IPAGothic: Copyright (C) Information-technology Promotion Agency, Japan (IPA), used under the "
                 "IPA Font License Agreement v1.0."},
    {"VL-Gothic-Regular.ttf", "VL Gothic: Copyright (C) Daisuke Suzuki and Project Vine, used under its "
                              "BSD-style licence; its M+ glyphs under the M+ FONTS licence."},
};

}  // namespace

std::vector<std::string> LibraryNotices() {
    std::vector<std::string> out = {
        "stb (stb_image, stb_vorbis, stb_truetype, stb_image_write): by Sean Barrett and others, in the public "
        "domain or under the MIT licence.",
        "Emscripten: Copyright (C) the Emscripten authors, used under the MIT licence; its OpenAL emulation plays "
        "the sound and its IDBFS keeps the saves.",
        "The CP932 table: made from the GNU C Library's iconv, used under the GNU Lesser General Public License.",
    };
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/fonts", ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "manifest.txt") continue;
        std::string notice = name + ": the face this page ships, used under its own licence.";
        for (const FaceNotice& f : kFaces)
            if (name == f.file) notice = f.notice;
        out.push_back(notice);
    }
    return out;
}

}  // namespace velmora
