#pragma once
// The game configuration block "_config": everything that differs between
// games and is neither script nor picture data.
#include <cstdint>
#include <string>

namespace velmora {

class TForm1;

struct Speaker {
    bool defined = false;
    std::string name;      // CP932, exactly as written
    uint32_t colour = 0;   // red in the low byte
};

constexpr int kSpeakerCount = 60;

struct ConfigValues {
    // Texts (CP932).
    std::string TITLE, MAKER_REG, GAME_ID, DEFAULT_NAME, DEFAULT_NAME2, FONT_NAME;
    // How one-byte text is set ("proportional", or the fixed grid; empty: the
    // player chooses) and the face for one-byte characters (empty: FONT_NAME).
    std::string TEXT_LAYOUT, FONT_LATIN;
    // Numbers.
    int32_t TXW_OFS_X = 0, TXW_OFS_Y = 0, TXW_SIZE_X = 0, TXW_SIZE_Y = 0;
    int32_t TX_OFS_X = 0, TX_OFS_Y = 0, TX_PITCH_X = 0, TX_PITCH_Y = 0;
    int32_t MOJI_MAX_X = 0, MOJI_MAX_Y = 0;
    int32_t TX2_OFS_X = 0, TX2_OFS_Y = 0, TX2_PITCH_X = 0, TX2_PITCH_Y = 0;
    int32_t MOJI_MAX2_X = 0, MOJI_MAX2_Y = 0;
    int32_t CLICK_WAIT_OFS_X = 0, CLICK_WAIT_OFS_Y = 0, CLICK_WAIT_SIZE_X = 0, CLICK_WAIT_SIZE_Y = 0;
    int32_t CLICK_WAIT_PAT = 0, CLICK_WAIT_TIMING = 0;
    int32_t TXW_COLOR_R = 0, TXW_COLOR_G = 0, TXW_COLOR_B = 0, TXW_ALPHA = 0, TXW_ALPHA2 = 0;
    int32_t VKD_GRA = 0, VKD_GJP = 0, VKD_WAV = 0, VKD_OGG = 0, VKD_SE = 0, VKD_ANIM = 0;
    int32_t VOLUME1 = 0, VOLUME2 = 0, VOLUME3 = 0, VOLUME4 = 0;
    // This engine's own: 1 shows an area's label in a darkened box while
    // the pointer is on a click-map area (none by default).
    int32_t MAP_CAPTION = 0;
    Speaker NAME[kSpeakerCount];
};

// Strict decimal integer: optional spaces, optional sign, digits, optional
// trailing spaces, and nothing else; it must fit in 32 bits. False, value
// unchanged, for anything else.
bool ParseDecimal(const std::string& text, int32_t& value);

// The three-character colour notation ("F80", "G0G"): red + green*256 +
// blue*65536; an empty text is white.
uint32_t ParseColourText(const std::string& text);

// Fills `config` from the lines of a decoded "_config" block (NUL-separated).
// Exposed alone so the rules can be tested without an archive.
void ParseConfigBlock(const char* table, int32_t length, ConfigValues& config);

void ReadConfigBlock(TForm1& f);
// The configuration of the game in dir, read from its script archive without
// starting an engine (empty values when there is none).
ConfigValues PeekGameConfig(const std::string& dir);

}  // namespace velmora
