#pragma once
// Input routing, play modes, choices, prompts, menus and dialogs.
#include <cstdint>
#include <string>

#include "gfx/picture.h"
#include "platform/forms.h"
#include "platform/input_codes.h"
#include "text/glyph_outline.h"

namespace velmora {

class TForm1;

constexpr int kChoiceMax = 32;
constexpr int kChoiceLabelSize = 65;  // 63 bytes of text, NUL, one spare
constexpr int kChoiceLabelMax = 63;
constexpr int kChoiceRecordSize = 4096;
constexpr int kCursorFiles = 12;  // "icon\MSCUR01.ani" ... "icon\MSCUR12.ani"
constexpr int kCursorShapeBase = 29;  // file n becomes cursor shape 29 + n
constexpr int kQuickSlots = 10;       // quick-bar slots 1 ... 10, states S060 ... S069
constexpr int kMeterFrames = 11;      // status meter states 0 ... 10

// Choice kinds.
enum ChoiceKindValue { kChoiceNone = 0, kChoiceList = 1, kChoiceListNovel = 2, kChoiceMap = 4, kChoiceTree = 6 };
// Prompt kinds.
enum PromptKindValue { kPromptNone = 0, kPromptQuickLoad = 1, kPromptTitle = 3 };

// How a click-map area is hit and highlighted.
enum class AreaForm : uint8_t { Plain, Picture, PictureExtra, Colour };

struct ChoiceOption {
    char label[kChoiceLabelSize] = {};
    int32_t resume = 0;  // script read position when picked
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool enabled = true;
    // Click map.
    AreaForm form = AreaForm::Plain;
    int32_t boxLeft = 0, boxRight = 0, boxTop = 0;  // label box, 24 pixels high
    int32_t sx1 = 0, sy1 = 0, sx2 = 0, sy2 = 0, dx = 0, dy = 0;
    int32_t cursor = 0;
    uint8_t r = 0, g = 0, b = 0;  // colour area: high four bits of each channel
};

struct ChoiceDisplay {
    int32_t count = 0;
    int32_t hovered = 0;  // 1 ... count; 0 none; -1 just built
    ChoiceOption options[kChoiceMax + 1];  // 1 ... 32
    int32_t listTop = 0, buttonLeft = 0, buttonWidth = 0;
    int32_t blockEnd = 0;
    int32_t cursorInUse = 0;
    int32_t timeoutCountdown = 0;
    int32_t timeoutOption = 0;
};

struct PromptState {
    bool yes = false;
    Picture band;   // what the prompt band shows
    Picture dark;   // the darkened band with the question, without the answers
    Picture clean;  // the rows under the band as they were
};

struct UiState {
    int32_t choiceKind = 0;  // 0 none
    int32_t promptKind = 0;  // 0 none
    bool SkipActive = false;
    int32_t ClickDebounce = 0;
    int32_t AutoCountdown = 0;  // timer ticks before the auto mode releases the wait
    bool TextRead = false;      // the current text was read before (command mark)
    uint8_t ReadMarks[10240] = {};  // bits 0 ... 80,000, one per mark number

    // Pointer and keyboard.
    int32_t LastMouseX = 0, LastMouseY = 0;
    bool MouseMoved = false;
    int32_t ControlUnderPointer = 0;  // 1: PB, 0: anything else
    int32_t PaintBoxOriginX = 0, PaintBoxOriginY = 0;
    bool PopupOpen = false;
    bool WheelGuard = false;
    // Overlays.
    bool OverlayActive = false;
    bool PanicActive = false;
    bool panicRaisedBusy = false;  // busy was clear when the panic screen came up
    Picture PanicSavedScreen;
    Picture hiddenScreen;  // the screen while the window is hidden
    // Choices.
    ChoiceDisplay choice;
    uint8_t ChoiceRecord[kChoiceRecordSize] = {};
    PromptState prompt;
    // "sys_sw", "sys_sw2", "sys_sw_m1", "sys_sw_m1om": stacked pictures.
    Picture sysSw, sysSw2, sysSwM1, sysSwM1om;
    OutlineFont promptFont;  // the message font at 24 points
    OutlineFont noticeFont;  // the message font 48 pixels high
    OutlineFont labelFont;   // the window's text font, 16 pixels high
    bool cursorLoaded[kCursorFiles + 1] = {};
    // Quick bar: "sys_qbtn", "AUTO_CR", the bar being composed, the slot under the pointer.
    Picture quickSheet, autoMarker, quickWork;
    int32_t HoveredQuickButton = 0;
    // Status meter: the frames cut from "sys_meter", the work picture, the state drawn last.
    Picture meterFrames[kMeterFrames];
    Picture meterWork;
    int32_t MeterShown = 0;
    // The tool bar's end menu and the right-click menu, with their item states.
    platform::PopupMenuModel PopupMenu1, PopupMenu3;
    // Full screen: set while the window covers the monitor; the window's place before.
    bool FullScreenActive = false;
    int32_t savedLeft = 0, savedTop = 0;
    // The settings dialog: the tab shown when it last closed (the first time
    // the copyright page), and a font or window colour change that ApplySettings
    // has to show (cleared when the dialog opens).
    int32_t SettingsPage = 4;
    bool DisplayChanged = false;
};

constexpr int kReadMarkMax = 80000;

// ---- Menus and quick buttons (the menu's entry points) ----
// The two pop-up menus with their items, built at start-up.
void BuildMenus(TForm1& f);
// Enabled state of the tool bar and menus from S000, S028, an overlay and
// the animated background.
void UpdateMenuStates(TForm1& f);
// Shows or hides the replay items "シーンスキップ" and "回想モード終了".
void ShowReplayMenuItems(TForm1& f, bool skip, bool end);
// Quick load, quick save, load and save ("N5", "N8", "N9", "N10"), which the
// extras switch off while they run.
void EnableLoadSaveItems(TForm1& f, bool on);
void EnterFullScreen(TForm1& f);
void LeaveFullScreen(TForm1& f);
// The window as it was before full screen: border, tool bar, place.
void RestoreWindow(TForm1& f);
// In full screen the tool bar shows while the pointer is in the top-left band.
void ToolBarReveal(TForm1& f, int x, int y);
// System pictures of the choice lists and the quick buttons, and the cursors.
void LoadChoicePictures(TForm1& f);
void LoadQuickButtons(TForm1& f);
void LoadCursors(TForm1& f);
// The quick-button bar: target 0 screen picture only, 1 screen picture,
// window and window pictures, 2 window pictures only.
void DrawQuickBar(TForm1& f, int target);
// The status meter (target 0: screen picture, 1: also the window), its
// frames cut from "sys_meter", and its blink when the state changed.
void LoadStatusMeter(TForm1& f);
void DrawStatusMeter(TForm1& f, int target);
void BlinkStatusMeter(TForm1& f);
// Hover and press of the quick buttons; QuickBarAction is true when a
// button acted.
void QuickBarHover(TForm1& f, int x, int y);
// The quick button the pointer at (x, y) would light: 0 none.
int QuickBarHit(TForm1& f, int x, int y);
bool QuickBarAction(TForm1& f);
// Where a press on a quick button lands on the screen; false for a slot
// with no button.
bool QuickButtonCentre(const TForm1& f, int slot, int& x, int& y);
// A slot's button on the screen, whether or not it may be pressed now; false: the slot has none.
bool QuickButtonRect(const TForm1& f, int slot, int& x, int& y, int& width, int& height);
void ReturnToTitle(TForm1& f);
// The right-click menu PopupMenu3 at a screen position.
void ShowRightClickMenu(TForm1& f, int screenX, int screenY);

// ---- Play modes ----
void InputTimerTick(TForm1& f);
// Skip on; the quick bar's skip button lets the voice play on.
void StartSkip(TForm1& f, bool stopVoice = true);
void StopSkip(TForm1& f);
void BreakSkipAndAuto(TForm1& f, bool forced);
// Space and the quick bar's auto button (A), Shift (B), and the right-click
// action and the menu item that only switch auto on.
void ToggleAutoA(TForm1& f);
void ToggleAutoB(TForm1& f);
void AutoOn(TForm1& f);
void RightClickAction(TForm1& f);
void HideMessageWindow(TForm1& f);
void RestoreMessageWindow(TForm1& f);
void EnterPanic(TForm1& f);
void LeavePanic(TForm1& f);
// Ends a pending wait: byClick (a press) or by the auto mode.
void ReleasePendingWait(TForm1& f, bool byClick);

// Read marks: the command mark n.
void MarkRead(TForm1& f, int32_t n);

// ---- Choices ----
void StartChoiceList(TForm1& f);
void ClickMapCommand(TForm1& f, const char* args);  // clickmap name
void StartClickMap(TForm1& f, const std::string& name);
void ChoiceListHover(TForm1& f, int x, int y);
void ClickMapHover(TForm1& f, int x, int y);
// The choice (list row or click-map area) under (x, y): 1 ... count, 0 none.
int ChoiceListHit(const TForm1& f, int x, int y);
// The box of option k (1-based) of the choice list or click map shown, in
// the picture's pixels; false when there is no such option or box.
bool ChoiceOptionBox(const TForm1& f, int k, int& x1, int& y1, int& x2, int& y2);
int ClickMapHit(const TForm1& f, int x, int y);
void PickChoice(TForm1& f, platform::MouseButton button);
void EndChoiceDisplay(TForm1& f);
void ChoiceTick(TForm1& f);  // the choice display on every timer tick
// The screen positions the Up and Down keys move the pointer to.
void MoveToChoice(TForm1& f, bool down);

// ---- Yes/no prompt ----
void ShowPrompt(TForm1& f, const std::string& cp932, int kind);
void PromptHover(TForm1& f, int x, int y);
// The answer under (x, y): 1 yes, 2 no, 0 none.
int PromptHit(int x, int y);
void PromptClick(TForm1& f, platform::MouseButton button, bool silent);
// The centre of an answer (1 yes, 2 no), where a press on it lands.
bool PromptAnswerCentre(int answer, int& x, int& y);
// The arrows and Tab over the prompt's answers.
void PromptKey(TForm1& f, uint16_t key);

// The settings dialog, shown modally, and what its callers do after it.
void ShowSettingsDialog(TForm1& f);
void ApplySettings(TForm1& f);
// The font list's names (CP932) from the installed families (UTF-8), in
// their order: those with a character outside ASCII, none starting with "@".
std::vector<std::string> SettingsFontNames(const std::vector<std::string>& families);

// The name entry dialog, shown modally.
void ShowNameEntry(TForm1& f);
// A name the dialog takes: one to four double-byte characters (CP932).
bool ValidPlayerName(const std::string& cp932);

}  // namespace velmora
