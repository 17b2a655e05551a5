// Where settings enter the engine. The store is the player's file (or a
// game's, or an attacker's): every value is brought into the range its
// control allows before the engine sees it, so a hand-edited or hostile
// file can neither overflow a font size nor keep start-up busy for a minute.
#include "app/settings.h"

#include <strings.h>

#include <climits>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"

namespace velmora {

namespace {

enum class Rule {
    Clamp,    // to the nearer end of the range (sliders, the size box)
    Default,  // out of range: the default (modes and radio choices)
    Flag,     // anything but 0 is 1 (check boxes, and choices the engine reads as "not 0")
};

struct Range {
    const char* name;
    Rule rule;
    int32_t lo, hi;
};

constexpr Range kRanges[] = {
    {"Left", Rule::Clamp, -16384, 16384},
    {"Top", Rule::Clamp, -16384, 16384},
    {"BGM_ENA", Rule::Flag, 0, 1},
    {"SE_ENA", Rule::Flag, 0, 1},
    {"Delay", Rule::Flag, 0, 1},
    {"GMode", Rule::Flag, 0, 1},
    {"SMode", Rule::Default, 0, 2},
    // Counted up by one at every clear: it must stay far from the top.
    {"Clear", Rule::Clamp, 0, 999999999},
    {"Seen", Rule::Flag, 0, 1},
    {"BreakonSelect", Rule::Flag, 0, 1},
    {"MemorySaveMode", Rule::Flag, 0, 1},
    {"DirectSoundGlobal", Rule::Flag, 0, 1},
    {"AnimQuality", Rule::Flag, 0, 1},
    {"RC_MODE", Rule::Default, 0, 4},
    {"WHEEL_MODE", Rule::Default, 0, 1},
    {"CS_SWAP", Rule::Flag, 0, 1},
    {"EFX_CUT", Rule::Flag, 0, 1},
    {"DatePanel", Rule::Flag, 0, 1},
    {"TXWStyle", Rule::Clamp, 0, 255},
    {"TextLayout", Rule::Flag, 0, 1},
    // -1: not chosen yet, follow the desktop's screen reader.
    {"ScreenReader", Rule::Default, -1, 1},
    {"PadRumble", Rule::Flag, 0, 1},
    {"CV_THROUGH", Rule::Flag, 0, 1},
    {"CV1", Rule::Flag, 0, 1},
    {"CV2", Rule::Flag, 0, 1},
    {"TextCopy", Rule::Flag, 0, 1},
    {"TextFeed", Rule::Flag, 0, 1},
    {"SelfVoice", Rule::Flag, 0, 1},
    {"SpeakVoiced", Rule::Flag, 0, 1},
    {"SpeechRate", Rule::Clamp, -100, 100},
    {"SpeechVol", Rule::Clamp, -3000, 0},
    {"SE0", Rule::Flag, 0, 1},
    {"SE1", Rule::Flag, 0, 1},
    {"SE2", Rule::Flag, 0, 1},
    {"SE3", Rule::Flag, 0, 1},
    {"SE4", Rule::Flag, 0, 1},
    // The level raises a character of a sound's name: one byte.
    {"SE_LVL0", Rule::Clamp, 0, 255},
    {"SE_LVL1", Rule::Clamp, 0, 255},
    {"SE_LVL2", Rule::Clamp, 0, 255},
    {"SE_LVL3", Rule::Clamp, 0, 255},
    {"SE_LVL4", Rule::Clamp, 0, 255},
    {"Vol1", Rule::Clamp, -3000, 0},
    {"Vol2", Rule::Clamp, -3000, 0},
    {"Vol3", Rule::Clamp, -3000, 0},
    // No slider: the mixer's whole range, down to mute.
    {"Vol4", Rule::Clamp, -9999, 0},
    {"FONTAA", Rule::Flag, 0, 1},
    {"FONTSIZE", Rule::Clamp, 18, 24},
    {"FONTBold", Rule::Flag, 0, 1},
    // 0: nothing saved yet; slots above 60 are never recorded.
    {"LastSaveSlot", Rule::Default, 0, 60},
    {"TXBG_R", Rule::Clamp, 0, 255},
    {"TXBG_G", Rule::Clamp, 0, 255},
    {"TXBG_B", Rule::Clamp, 0, 255},
    {"TXBG_A", Rule::Clamp, 0, 255},
    {"TXBG_A2", Rule::Clamp, 0, 255},
};

struct TextCap {
    const char* name;
    size_t most;  // bytes
};

constexpr TextCap kTextCaps[] = {
    {"FontName", 63},     // a face name; fontconfig would chew on more for a minute
    {"PlayerName", 63},   // becomes a 64-byte string variable
    {"PlayerName2", 63},
    {"CDDir", 1023},
    {"GameDir", 1023},
    {"CDDA_DRV", 1023},
};

}  // namespace

int32_t ClampSetting(const char* name, int32_t value, int32_t fallback) {
    for (const Range& r : kRanges) {
        if (::strcasecmp(r.name, name) != 0) continue;
        int32_t v = value;
        switch (r.rule) {
            case Rule::Clamp: v = value < r.lo ? r.lo : value > r.hi ? r.hi : value; break;
            case Rule::Default:
                // A default outside the range too (a game's odd value) still ends inside.
                if (value < r.lo || value > r.hi) v = fallback < r.lo || fallback > r.hi ? r.lo : fallback;
                break;
            case Rule::Flag: v = value != 0; break;
        }
        if (v != value) Trace("settings: %s = %d is out of range; %d used", name, value, v);
        return v;
    }
    return value;
}

std::string ClampSettingText(const char* name, const std::string& cp932) {
    size_t most = 4096;
    for (const TextCap& c : kTextCaps)
        if (::strcasecmp(c.name, name) == 0) most = c.most;
    // The text ends at its first NUL, as the engine's buffers would see it.
    size_t end = cp932.find('\0');
    if (end == std::string::npos) end = cp932.size();
    if (end <= most) return end == cp932.size() ? cp932 : cp932.substr(0, end);
    // Cut at a character: never half of a double-byte one.
    size_t k = 0;
    while (k < end) {
        const size_t w = IsLeadByte(static_cast<unsigned char>(cp932[k])) ? 2 : 1;
        if (k + w > most) break;
        k += w;
    }
    Trace("settings: %s is %zu bytes long; cut to %zu", name, end, k);
    return cp932.substr(0, k);
}

bool IsKeyPathOfNames(const std::string& keyPath) {
    size_t start = 0;
    while (start <= keyPath.size()) {
        size_t end = keyPath.find('\\', start);
        if (end == std::string::npos) end = keyPath.size();
        // Empty parts (doubled or outer backslashes) name nothing and are harmless.
        const std::string part = keyPath.substr(start, end - start);
        if (part == "." || part == ".." || part.size() > 255) return false;
        for (unsigned char c : part)
            if (c == '/' || c < 0x20) return false;
        start = end + 1;
    }
    return true;
}

int32_t ReadSetting(TForm1& f, const char* name, int32_t fallback) {
    const int32_t v = f.plat.settings().ReadInteger(f.config.MAKER_REG, f.config.GAME_ID, name, fallback);
    return ClampSetting(name, v, fallback);
}

std::string ReadSettingText(TForm1& f, const char* name, const std::string& fallback) {
    return ClampSettingText(name, f.plat.settings().ReadString(f.config.MAKER_REG, f.config.GAME_ID, name, fallback));
}

}  // namespace velmora
