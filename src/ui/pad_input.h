#pragma once
// Game pads on any platform: one table maps each pad button to what a mouse
// or key event would do, and the D-pad moves a focus over the things on
// screen that take a click by moving the pointer onto them, so the focused
// thing shows its hover face exactly as under the mouse. The window's own
// handlers stay the only place where input means anything; this piece only
// calls them. A platform feeds it buttons, the stick and its timer ticks.
#include <cstdint>
#include <string>

#include "platform/input_codes.h"
#include "platform/platform.h"

namespace velmora {

class TForm1;

enum class PadButton : uint8_t { A, B, X, Y, LeftShoulder, RightShoulder, Start, Back, Up, Down, Left, Right };
constexpr int kPadButtons = 12;

// What a button does in the game window.
enum class PadAction : uint8_t {
    None,
    Click,       // the left button, at the focus
    RightClick,  // the right button: menu, back, close
    HideWindow,  // W
    Backlog,     // Backspace: opens the backlog, and closes it
    WheelUp,     // one wheel step away from the player: rewind a page
    Skip,        // Ctrl, held
    Menu,        // the right-click menu, whatever the right button is set to
    Auto,        // Space
    FocusUp,
    FocusDown,
    FocusLeft,
    FocusRight,
};
constexpr int kPadActions = 13;

struct PadMapping {
    PadAction action[kPadButtons];
    PadAction& operator[](PadButton b) { return action[static_cast<int>(b)]; }
    PadAction operator[](PadButton b) const { return action[static_cast<int>(b)]; }
};

PadMapping DefaultPadMapping();
// Names as the settings store and the runner write them: "A", "B", "X",
// "Y", "LB", "RB", "Start", "Back", "Up", "Down", "Left", "Right"; actions
// "click", "rightclick", "hide", "backlog", "wheelup", "skip", "menu",
// "auto", "up", "down", "left", "right", "none". Compared without case.
const char* PadButtonName(PadButton b);
const char* PadActionName(PadAction a);
bool PadButtonFromName(const std::string& name, PadButton& out);
bool PadActionFromName(const std::string& name, PadAction& out);
// What an action does, as the settings page shows it (CP932).
std::string PadActionCaption(PadAction a);
// The settings value that overrides a button: "Pad" + its name ("PadA", "PadLB").
std::string PadSettingName(PadButton b);
// The defaults with the store's overrides (under the game's settings key
// and section); an unknown action name is traced and the default kept.
PadMapping ReadPadMapping(platform::SettingsStore& store, const std::string& key, const std::string& section);
// Writes every button's default back.
void ResetPadMapping(platform::SettingsStore& store, const std::string& key, const std::string& section);
// The controller's rumble: off unless the player turned it on ("PadRumble").
bool PadRumbleOn(platform::SettingsStore& store, const std::string& key, const std::string& section);

// A thing on screen that takes a click: a point on it and what it is (the
// number the screen's own hit test gives it).
struct PadTarget {
    int x = 0, y = 0;
    int key = 0;
};
constexpr int kPadTargetMax = 256;

// What a click at (x, y) acts on in the engine's present state, 0 nothing;
// the same hit tests the pointer's hover uses.
int PadHitKey(TForm1& f, int x, int y);
// The things that take a click now, in reading order; their number.
int PadTargets(TForm1& f, PadTarget* out, int max);
// The target a step (dx, dy) from (x, y) reaches: the nearest ahead of the
// point, the way weighted over the side; from a point on no target, the
// nearest one when none lies ahead. -1 when there is none.
int NextPadTarget(const PadTarget* targets, int count, int x, int y, int dx, int dy, int currentKey);

// Moves the pointer one step (dx, dy) over the things that take a click, as
// the pointer's own move would (the hover face follows). From a point on
// none of them, `fromFirst` starts at the first thing in reading order
// instead of the nearest. Only things numbered below `keyLimit` count (a
// choice list's options are, its quick buttons are not). False when there
// was nowhere to go.
bool StepPointerFocus(TForm1& f, int dx, int dy, uint32_t shift, bool fromFirst, int keyLimit = 1 << 30);

// In a dialog or pop-up menu the pad types keys: the D-pad arrows
// (left/right as Shift+Tab/Tab, from one control to the next), A Enter,
// B Escape, the shoulders Ctrl+Shift+Tab/Ctrl+Tab (the tab pages). False
// for a button that has no key there.
bool PadDialogKey(PadButton b, uint16_t& vk, uint32_t& shift);

// One pad feeding one engine.
class PadInput {
public:
    explicit PadInput(TForm1& f) : mapping(DefaultPadMapping()), f_(f) {}
    // The mapping from the settings store (after start-up read the game's key).
    void ReadMapping();
    void ButtonDown(PadButton b);
    void ButtonUp(PadButton b);
    // The left stick, each axis -32768 ... 32767: past the dead zone it holds
    // the D-pad direction it points to.
    void Stick(int x, int y);
    // Every timer tick: a held direction repeats, as a held key does.
    void Tick();
    // Lets go of everything held (the pad went away).
    void ReleaseAll();
    // A button let go while a dialog had the pad: the game hears nothing of
    // it, but it counts as up again.
    void Forget(PadButton b);
    // Moves the focus one step as the D-pad does.
    void MoveFocus(int dx, int dy);
    // The pad acted since the mouse last moved (the pointer may hide).
    bool used = false;
    PadMapping mapping;

private:
    void Do(PadAction a, bool down);
    TForm1& f_;
    bool down_[kPadButtons] = {};
    uint32_t shift_ = 0;
    // The held direction of the D-pad or stick, and when it repeats next.
    int heldDx_ = 0, heldDy_ = 0;
    int stickDx_ = 0, stickDy_ = 0;
    uint32_t repeatAt_ = 0;
    int mappingRead_ = -1;
    void Hold(int dx, int dy);
};

}  // namespace velmora
