// The Windows face names games ask for (Japanese and Latin), mapped onto the faces a
// Debian machine (or the browser build's font folder) has. Every glyph
// backend resolves through this one table.
#include <cstring>

#include "data/encoding.h"
#include "text/glyph_outline.h"

namespace velmora {

namespace {

struct AliasEntry {
    const char* windowsName;
    const std::vector<std::string>* targets;
};

const std::vector<std::string> kGothic = {"IPAGothic", "VL Gothic", "IPAPGothic", "VL PGothic"};
const std::vector<std::string> kPGothic = {"IPAPGothic", "VL PGothic", "IPAGothic", "VL Gothic"};
const std::vector<std::string> kMincho = {"IPAMincho", "IPAPMincho"};
const std::vector<std::string> kPMincho = {"IPAPMincho", "IPAMincho"};
// Latin faces of Windows, by the metric-compatible faces Debian ships.
const std::vector<std::string> kArial = {"Liberation Sans", "DejaVu Sans"};
const std::vector<std::string> kTimes = {"Liberation Serif", "DejaVu Serif"};
const std::vector<std::string> kTahoma = {"DejaVu Sans", "Liberation Sans"};
const std::vector<std::string> kVerdana = {"DejaVu Sans", "Liberation Sans"};

// The faces Japanese Windows games name, full-width and ASCII spellings.
const AliasEntry kAliases[] = {
    {"ＭＳ ゴシック", &kGothic},    {"MS Gothic", &kGothic},     {"ＭＳ Ｐゴシック", &kPGothic},
    {"MS PGothic", &kPGothic},       {"MS UI Gothic", &kPGothic}, {"ＭＳ 明朝", &kMincho},
    {"MS Mincho", &kMincho},         {"ＭＳ Ｐ明朝", &kPMincho},  {"MS PMincho", &kPMincho},
    {"Arial", &kArial},              {"Times New Roman", &kTimes}, {"Tahoma", &kTahoma},
    {"Verdana", &kVerdana},
};

}  // namespace

const std::vector<std::string>* WindowsFaceAlias(const std::string& utf8Family) {
    for (const AliasEntry& a : kAliases)
        if (utf8Family.size() == std::strlen(a.windowsName) && EqualsNoCase(utf8Family.c_str(), a.windowsName))
            return a.targets;
    return nullptr;
}

}  // namespace velmora
