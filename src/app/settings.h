#pragma once
// The per-user settings, read once at start-up from the settings store under
// MAKER_REG, section GAME_ID, and written back by the settings dialog.
#include <cstdint>
#include <string>

namespace velmora {

class TForm1;

struct Settings {
    int32_t Left = 0, Top = 0;
    int32_t BGM_ENA = 1, SE_ENA = 1, Delay = 0, GMode = 0, SMode = 0, Clear = 0;
    int32_t Seen = 1, BreakonSelect = 1, MemorySaveMode = 1;
    std::string FontName;
    int32_t DirectSoundGlobal = 0, AnimQuality = 0, RC_MODE = 0, WHEEL_MODE = 0, CS_SWAP = 0, EFX_CUT = 1;
    int32_t DatePanel = 1, TXWStyle = 1, CV_THROUGH = 0, CV1 = 1, CV2 = 1;
    int32_t SE[5] = {1, 1, 1, 1, 1};
    int32_t SE_LVL[5] = {0, 0, 0, 0, 0};
    int32_t Vol[4] = {0, 0, 0, 0};  // Vol1 ... Vol4
    int32_t FONTAA = 0, FONTSIZE = 19, FONTBold = 0;
    int32_t TextLayout = 0;  // 0 the fixed grid, 1 proportional; a game's TEXT_LAYOUT wins
    std::string PlayerName, PlayerName2;
    int32_t LastSaveSlot = 0;
    // Text out: the clipboard, the local text feed, self-voicing (also for
    // lines with their own voice), its rate (-100 ... 100) and attenuation.
    int32_t TextCopy = 0, TextFeed = 0, SelfVoice = 0, SpeakVoiced = 0, SpeechRate = 0, SpeechVol = 0;
    // The page, choices, prompt and backlog to screen readers; until the
    // player sets it, on exactly while a screen reader runs.
    int32_t ScreenReader = 0;
    bool ScreenReaderFollows = true;
    int32_t TXBG_R = 0, TXBG_G = 0, TXBG_B = 0, TXBG_A = 0, TXBG_A2 = 0;
    // The installation values.
    std::string CDDir = "NULL", GameDir, CDDA_DRV;
};

// Every setting enters the engine through these: a value out of the range
// its control allows is brought in (to the nearer end, or to the default
// for a mode), a text is cut to its length. Names without a range pass.
int32_t ClampSetting(const char* name, int32_t value, int32_t fallback);
std::string ClampSettingText(const char* name, const std::string& cp932);
// A setting of the game's key (MAKER_REG, section GAME_ID), brought in.
int32_t ReadSetting(TForm1& f, const char* name, int32_t fallback);
std::string ReadSettingText(TForm1& f, const char* name, const std::string& fallback);

// Whether a game's key path ("Software\\Maker\\Game") is made of names
// only: no "/", no "." or "..". The desktop store turns it
// into folders, so anything else could lead the settings file anywhere.
bool IsKeyPathOfNames(const std::string& keyPath);

// Reads every setting of the table in its order (not the installation
// values) and derives the engine values that follow from them.
void ReadSettings(TForm1& f);
// Reads CDDir, GameDir and CDDA_DRV.
void ReadInstallationValues(TForm1& f);

}  // namespace velmora
