#pragma once
// TForm1: the engine object. It owns every piece of engine state, grouped in
// one struct per subsystem (each declared in its subsystem's header), from
// start-up to exit. Window events are its methods; subsystem operations are
// free functions that take it.
#include <cstdint>
#include <string>

#include "app/random.h"
#include "app/settings.h"
#include "audio/sound.h"
#include "backlog/backlog.h"
#include "data/archive.h"
#include "data/config.h"
#include "extras/extras.h"
#include "gfx/composition.h"
#include "platform/input_codes.h"
#include "platform/platform.h"
#include "save/slots.h"
#include "script/loader.h"
#include "script/stepper.h"
#include "script/variables.h"
#include "text/message_window.h"
#include "text/text_out.h"
#include "ui/input.h"

namespace velmora {

// The engine-wide flags that every subsystem consults.
struct EngineFlags {
    bool quitRequest = false;        // start-up found the game cannot run
    bool titleStartRequest = false;  // the first idle pass runs StartTitle
    bool waveOutputPresent = false;
    bool busy = false;                // a redraw, effect or engine dialog runs
    bool interruptibleEffect = false;
    int interruptRequest = 0;  // 0 none, 1 click, 2 close
};

// Engine-core values of the main loop.
struct AppState {
    int32_t pixelMode = 0;
    int32_t frameCounter = 0;
    int32_t timerTicks = 0;
    int32_t playMode = 0;
    int32_t replayContext = 0;  // 0 normal, 1 from the gallery, 2 from the recollection menu
    int32_t screenMode = 0;     // 0 window, 1 full screen, 2 borderless at 0,0
    bool fullScreen = false;
    bool typewriter = true;   // Delay = 0: text appears character by character
    bool idleInstalled = false;
    bool created = false;     // FormCreate has run
    bool destroyed = false;
    std::string gameDir;  // made the current directory at start-up; empty: stay
    // The demo that comes with the program: its folder is the program's (a
    // build's output, an installation), so the player's saves go elsewhere.
    bool bundledGame = false;
    int64_t seed = -1;    // the random seed; -1: from the time
    // Why the game cannot run, in one sentence for the terminal; empty when it can.
    std::string startFailure;
};

// The main window's outer size; the window is centred with it.
constexpr int kWindowOuterWidth = 808;
constexpr int kWindowOuterHeight = 651;

class TForm1 {
public:
    explicit TForm1(platform::Platform& platform) : plat(platform) {}
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    platform::Platform& plat;

    EngineFlags flags;
    AppState app;
    Settings settings;
    ConfigValues config;
    DataState data;
    LoaderState loader;
    StepperState stepper;
    VarBanks vars;
    GfxState gfx;
    TextState text;
    AudioState audio;
    SaveState save;
    BacklogState backlog;
    UiState ui;
    TextOutState textOut;
    ExtrasState extras;
    EngineRandom rng;

    // Window events.
    void FormCreate();
    void FormCloseQuery(bool& canClose);
    void FormDestroy();
    void AppIdle(bool& done);
    void Timer1Timer();
    void PBPaint();
    void PBMouseDown(platform::MouseButton button, uint32_t shift, int x, int y);
    void PBMouseUp(platform::MouseButton button, uint32_t shift, int x, int y);
    void PBMouseMove(uint32_t shift, int x, int y);
    void FormKeyDown(uint16_t& key, uint32_t shift);
    void FormKeyPress(char& key);
    void FormKeyUp(uint16_t& key, uint32_t shift);
    void FormMouseWheel(uint32_t shift, int delta, int x, int y, bool& handled);
    // Tool bar: "終了", "設定(C)", "セーブ(S)", "ロード(L)".
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
};

// Start-up and shutdown steps.
void InitEngineUpToConfig(TForm1& f);  // steps 1 ... 10
void InitEngineRest(TForm1& f);        // steps 11 ... 26
void StartTitle(TForm1& f);
void ResetWaits(TForm1& f);
// Drops what waits on the script position being left and that no slot
// holds: a running sleep, a voice-end wait, a message being finished, a
// click map's timeout and cursor. A load and the return to the title call it.
void DropPositionWaits(TForm1& f);
// The close once it has been confirmed: what OK does in FormCloseQuery.
void CloseConfirmed(TForm1& f);

// Tool bar buttons, as the window knows them.
enum ToolButton { kButtonQuit = 1, kButtonSettings = 2, kButtonSave = 3, kButtonLoad = 4 };

}  // namespace velmora
