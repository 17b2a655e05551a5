#include "data/config.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/archive.h"
#include "script/loader.h"

namespace velmora {

bool ParseDecimal(const std::string& text, int32_t& value) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(p, &end, 10);
    if (end == p || errno != 0) return false;
    while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
    if (*end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

namespace {

struct NumericKey {
    const char* key;
    int32_t ConfigValues::*field;
};

#define VM_KEY(k) {#k, &ConfigValues::k}
const NumericKey kNumericKeys[] = {
    VM_KEY(TXW_OFS_X),        VM_KEY(TXW_OFS_Y),        VM_KEY(TXW_SIZE_X),       VM_KEY(TXW_SIZE_Y),
    VM_KEY(TX_OFS_X),         VM_KEY(TX_OFS_Y),         VM_KEY(TX_PITCH_X),       VM_KEY(TX_PITCH_Y),
    VM_KEY(MOJI_MAX_X),       VM_KEY(MOJI_MAX_Y),       VM_KEY(TX2_OFS_X),        VM_KEY(TX2_OFS_Y),
    VM_KEY(TX2_PITCH_X),      VM_KEY(TX2_PITCH_Y),      VM_KEY(MOJI_MAX2_X),      VM_KEY(MOJI_MAX2_Y),
    VM_KEY(CLICK_WAIT_OFS_X), VM_KEY(CLICK_WAIT_OFS_Y), VM_KEY(CLICK_WAIT_SIZE_X), VM_KEY(CLICK_WAIT_SIZE_Y),
    VM_KEY(CLICK_WAIT_PAT),   VM_KEY(CLICK_WAIT_TIMING), VM_KEY(TXW_COLOR_R),     VM_KEY(TXW_COLOR_G),
    VM_KEY(TXW_COLOR_B),      VM_KEY(TXW_ALPHA),        VM_KEY(TXW_ALPHA2),       VM_KEY(VKD_GRA),
    VM_KEY(VKD_GJP),          VM_KEY(VKD_WAV),          VM_KEY(VKD_OGG),          VM_KEY(VKD_SE),
    VM_KEY(VKD_ANIM),         VM_KEY(VOLUME1),          VM_KEY(VOLUME2),          VM_KEY(VOLUME3),
    VM_KEY(VOLUME4),          VM_KEY(MAP_CAPTION),
};
#undef VM_KEY

struct TextKey {
    const char* key;
    std::string ConfigValues::*field;
};

const TextKey kTextKeys[] = {
    {"TITLE", &ConfigValues::TITLE},           {"MAKER_REG", &ConfigValues::MAKER_REG},
    {"GAME_ID", &ConfigValues::GAME_ID},       {"DEFAULT_NAME", &ConfigValues::DEFAULT_NAME},
    {"DEFAULT_NAME2", &ConfigValues::DEFAULT_NAME2}, {"FONT_NAME", &ConfigValues::FONT_NAME},
    {"TEXT_LAYOUT", &ConfigValues::TEXT_LAYOUT},     {"FONT_LATIN", &ConfigValues::FONT_LATIN},
};

int ChannelValue(char c) {
    if (c >= '0' && c <= '9') return (c - '0') * 16;
    if (c >= 'A' && c <= 'F') return (c - 'A' + 10) * 16;
    if (c == 'G') return 255;
    return 0;
}

void ParseNameValue(const std::string& value, ConfigValues& config) {
    int32_t n = 0;
    std::string number = TableField(value, 0);
    if (!ParseDecimal(number, n) || n < 0 || n >= kSpeakerCount) {
        ContentError("config", "_config: NAME number \"%s\" is not 0 ... 59; line ignored", TraceText(number).c_str());
        return;
    }
    Speaker& s = config.NAME[n];
    s.name = TableField(value, 1);
    s.defined = true;
    s.colour = ParseColourText(UpperName(TableField(value, 2)));
}

}  // namespace

uint32_t ParseColourText(const std::string& text) {
    if (text.empty()) return 16777215u;
    int ch[3] = {0, 0, 0};
    for (int i = 0; i < 3 && i < static_cast<int>(text.size()); ++i) ch[i] = ChannelValue(text[i]);
    return static_cast<uint32_t>(ch[0] + ch[1] * 256 + ch[2] * 65536);
}

void ParseConfigBlock(const char* table, int32_t length, ConfigValues& config) {
    int32_t pos = 0;
    while (pos < length) {
        std::string line = ReadTableLine(table, length, pos);
        if (line == "END") break;
        if (line.empty() || line[0] == ';' || line[0] == '*') continue;
        size_t colon = line.find(':');
        std::string key = colon == std::string::npos ? std::string() : UpperName(line.substr(0, colon));
        std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 1);
        if (key.empty()) continue;
        if (key == "NAME") {
            ParseNameValue(value, config);
            continue;
        }
        bool known = false;
        for (const TextKey& t : kTextKeys)
            if (key == t.key) {
                config.*t.field = value;
                known = true;
            }
        for (const NumericKey& k : kNumericKeys)
            if (key == k.key) {
                known = true;
                int32_t v = 0;
                if (ParseDecimal(value, v)) config.*k.field = v;
                else
                    ContentError("config", "_config: %s value \"%s\" is not a decimal integer; ignored", k.key,
                                 TraceText(value).c_str());
            }
        if (!known) ContentError("config", "_config: unknown key %s ignored", TraceText(key).c_str());
    }
}

ConfigValues PeekGameConfig(const std::string& dir) {
    ConfigValues config;
    ArchiveIndex index;
    index.path = dir + "/vk_data.vrk";
    ReadScriptIndex(index.path, index);
    const int at = FindEntry(index, "_config");
    std::vector<uint8_t> bytes;
    if (at < 0 || ReadEntry(index, at, bytes) < 0) return config;
    NegateBytes(bytes.data(), bytes.size());
    // The block as the loader hands it over: one NUL-terminated line after another.
    for (uint8_t& b : bytes)
        if (b == '\r' || b == '\n') b = 0;
    bytes.push_back(0);
    ParseConfigBlock(reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()), config);
    return config;
}

void ReadConfigBlock(TForm1& f) {
    if (!LoadScript(f, "_config", 2)) {
        Trace("_config: no configuration block; every value stays 0 or empty");
        return;
    }
    ParseConfigBlock(f.loader.table, f.loader.tableLength, f.config);
}

}  // namespace velmora
