// The system actions outside the script: the tool bar Panel1, its end menu
// PopupMenu1, the right-click menu PopupMenu3, the rule that enables them,
// the return to the title and the switch to and from full screen.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "extras/extras.h"
#include "gfx/pixel_ops.h"
#include "gfx/transitions.h"
#include "save/save_transfer.h"
#include "save/slots.h"
#include "script/loader.h"
#include "text/message_window.h"
#include "text/text_out.h"
#include "ui/input.h"

namespace velmora {

using platform::MenuItem;
using platform::PopupMenuModel;

namespace {

MenuItem Item(const char* name, const char* caption, bool visible = true) {
    MenuItem it;
    it.name = name;
    it.caption = ToCp932(caption);
    it.separator = std::strcmp(caption, "-") == 0;
    it.visible = visible;
    return it;
}

MenuItem* FindItem(PopupMenuModel& menu, const char* name) {
    for (MenuItem& it : menu.items)
        if (it.name == name) return &it;
    return nullptr;
}

void Enable(TForm1& f, std::initializer_list<const char*> names, bool on) {
    for (const char* n : names) {
        if (MenuItem* it = FindItem(f.ui.PopupMenu3, n)) it->enabled = on;
        if (MenuItem* it = FindItem(f.ui.PopupMenu1, n)) it->enabled = on;
    }
}

void EnableButtons(TForm1& f, std::initializer_list<int> buttons, bool on) {
    for (int b : buttons) f.plat.window().SetToolBarEnabled(b, on);
}

const char kQuickLoadQuestion[] = "クイックロードしますか？";
const char kTitleQuestion[] = "タイトルへ戻りますか？";

// ---- The items' actions ----

void N6Click(TForm1& f) { ShowPrompt(f, ToCp932(kTitleQuestion), kPromptTitle); }
void N7Click(TForm1& f) { f.plat.window().Close(); }

void N1Click(TForm1& f) {
    StopVoice(f);
    StopLoopSound(f);
    NextReplayScene(f);
}

void N2Click(TForm1& f) {
    StopVoice(f);
    StopLoopSound(f);
    if (f.app.replayContext == 2) ReturnToRecollectionMenu(f);
    else if (f.app.replayContext == 1) ReturnToGallery(f);
}

void SM01Click(TForm1& f) { AutoOn(f); }
void SM02Click(TForm1& f) { StartSkip(f); }
void N4Click(TForm1& f) { OpenBacklog(f); }
void SM04Click(TForm1& f) { HideMessageWindow(f); }
void SM05Click(TForm1& f) { PlaySoundByName(f, f.stepper.LastVoice); }
void N5Click(TForm1& f) { ShowPrompt(f, ToCp932(kQuickLoadQuestion), kPromptQuickLoad); }
void N8Click(TForm1& f) { QuickSave(f); }

void N9Click(TForm1& f) {
    PlaySoundByName(f, "SSE06");
    OpenSaveLoadDialog(f, 0);
}

void N10Click(TForm1& f) {
    PlaySoundByName(f, "SSE05");
    OpenSaveLoadDialog(f, 1);
}

void N19Click(TForm1& f) { ToggleTextCopy(f); }
void N20Click(TForm1& f) { ToggleSelfVoicing(f); }

void N13Click(TForm1& f) {
    ShowSettingsDialog(f);
    ApplySettings(f);
}

struct ItemAction {
    const char* name;
    void (*action)(TForm1&);
};

constexpr ItemAction kActions[] = {
    {"N6", N6Click},   {"N17", N6Click},    {"N7", N7Click},    {"N18", N7Click},  {"N1", N1Click},
    {"N2", N2Click},   {"SM01", SM01Click}, {"SM02", SM02Click}, {"N4", N4Click},   {"SM04", SM04Click},
    {"SM05", SM05Click}, {"N5", N5Click},   {"N8", N8Click},    {"N9", N9Click},   {"N10", N10Click},
    {"N13", N13Click}, {"N19", N19Click}, {"N20", N20Click}, {"N21", ExportSavesAction},
    {"N22", ImportSavesAction},
};

// Shows a menu and runs the picked item's action; false when none was picked.
bool RunMenu(TForm1& f, PopupMenuModel& menu, int x, int y) {
    const int picked = platform::ShowPopupMenu(f.plat, menu, x, y);
    if (picked < 0) return false;
    const std::string name = menu.items[picked].name;
    for (const ItemAction& a : kActions)
        if (name == a.name) a.action(f);
    return true;
}

}  // namespace

void BuildMenus(TForm1& f) {
    PopupMenuModel& m1 = f.ui.PopupMenu1;
    m1.name = "PopupMenu1";
    // The replay items show only while a replay runs.
    m1.items = {Item("N6", "タイトルへ戻る"), Item("N7", "ゲーム終了"), Item("N1", "シーンスキップ", false),
                Item("N2", "回想モード終了", false)};
    PopupMenuModel& m3 = f.ui.PopupMenu3;
    m3.name = "PopupMenu3";
    m3.items = {Item("SM01", "オートプレイ"), Item("SM02", "メッセージスキップ"), Item("N4", "バックログ"),
                Item("SM04", "テキストウィンドウ消去"), Item("SM05", "直前の音声を再生"), Item("N3", "-"),
                Item("N5", "クイックロード"), Item("N8", "クイックセーブ"), Item("N9", "ロード"),
                Item("N10", "セーブ"), Item("N11", "-"), Item("N13", "設定"), Item("N19", "テキストをコピー"),
                Item("N20", "読み上げ"),
                // Saves that travel, where the platform has file dialogs to pick their place.
                Item("N21", "セーブデータを書き出す", f.plat.dialogs().HasFilePicker()),
                Item("N22", "セーブデータを読み込む", f.plat.dialogs().HasFilePicker()), Item("N16", "-"),
                Item("N17", "タイトルへ戻る"), Item("N18", "ゲーム終了")};
}

void ShowReplayMenuItems(TForm1& f, bool skip, bool end) {
    if (MenuItem* it = FindItem(f.ui.PopupMenu1, "N1")) it->visible = skip;
    if (MenuItem* it = FindItem(f.ui.PopupMenu1, "N2")) it->visible = end;
}

void EnableLoadSaveItems(TForm1& f, bool on) { Enable(f, {"N5", "N8", "N9", "N10"}, on); }

void UpdateMenuStates(TForm1& f) {
    if (f.ui.PopupMenu3.items.empty()) BuildMenus(f);
    if (f.ui.OverlayActive) {
        EnableButtons(f, {kButtonQuit, kButtonSettings, kButtonSave, kButtonLoad}, false);
        Enable(f, {"N5", "N8", "N9", "N10", "N13"}, false);
        f.plat.window().SetToolBarEnabled(0, false);
        return;
    }
    f.plat.window().SetToolBarEnabled(0, true);
    EnableButtons(f, {kButtonQuit, kButtonSettings}, true);
    Enable(f, {"N13", "N4"}, true);
    switch (f.vars.S[0]) {
        case 0:
            EnableButtons(f, {kButtonSave, kButtonLoad}, true);
            Enable(f, {"N5", "N8", "N9", "N10"}, true);
            break;
        case 1:
            EnableButtons(f, {kButtonSave}, false);
            Enable(f, {"N8", "N10"}, false);
            EnableButtons(f, {kButtonLoad}, true);
            Enable(f, {"N5", "N9"}, true);
            break;
        case 2:
        case 3:
            EnableButtons(f, {kButtonSave, kButtonLoad}, false);
            Enable(f, {"N5", "N8", "N9", "N10"}, false);
            break;
        default: break;  // other values leave the entries as they are
    }
    if (f.vars.S[28] == 0) {
        EnableButtons(f, {kButtonSave}, false);
        Enable(f, {"N8", "N10"}, false);
    }
    if (BackgroundAnimationRunning(f)) {
        EnableButtons(f, {kButtonSettings, kButtonSave, kButtonLoad}, false);
        Enable(f, {"N4", "N5", "N8", "N9", "N10", "N13"}, false);
    }
}

void ShowRightClickMenu(TForm1& f, int screenX, int screenY) {
    if (f.ui.PopupMenu3.items.empty()) BuildMenus(f);
    Enable(f, {"SM01", "SM02", "SM04", "SM05"}, true);
    // The text-out switches show their state; self-voicing only where speech is.
    if (MenuItem* it = FindItem(f.ui.PopupMenu3, "N19")) {
        it->checkable = true;
        it->checked = f.settings.TextCopy != 0;
    }
    if (MenuItem* it = FindItem(f.ui.PopupMenu3, "N20")) {
        it->checkable = true;
        it->checked = f.settings.SelfVoice != 0;
        it->enabled = SelfVoicingAvailable(f, nullptr);
    }
    RunMenu(f, f.ui.PopupMenu3, screenX, screenY);
    // The menu is closed once it returns, however it was closed (an item,
    // Escape, a click elsewhere): the next right click opens it again.
    f.ui.PopupOpen = false;
}

void ReturnToTitle(TForm1& f) {
    Trace("return to the title");
    UiState& ui = f.ui;
    f.gfx.bgAnim.frameCount = 0;
    f.vars.S[4] = 0;
    SetMusic(f, 0);
    f.vars.S[151] = 1;
    f.vars.S[152] = f.vars.S[153];
    if (ui.choiceKind == kChoiceTree) EndChoiceTree(f);
    // Credits still rolling (the tool bar stays usable during them) end
    // with the title return instead of playing on over the title.
    StopStaffRoll(f);
    ShowReplayMenuItems(f, false, false);
    f.app.replayContext = 0;
    Enable(f, {"N5", "N8", "N9", "N10"}, true);
    ui.promptKind = kPromptNone;
    if (ui.choiceKind == kChoiceList) {
        CopyPicture(f.gfx.screen, f.gfx.previous);
        f.plat.surface().BlitWhole(f.gfx.screen);
        ui.choiceKind = kChoiceNone;
    }
    // Nothing of the game left behind goes on at the title: the backlog,
    // a hidden window, skipping and auto mode end here.
    if (f.backlog.open) CloseBacklog(f);
    if (f.app.playMode == 1) RestoreMessageWindow(f);
    BreakSkipAndAuto(f, true);
    DropPositionWaits(f);
    ui.OverlayActive = false;
    CloseWindow(f);
    // The page goes with the story: the text outlets (a screen reader
    // reading the screen) keep nothing of it at the title.
    TextOutNewPage(f);
    f.loader.callDepth = 0;
    std::snprintf(f.loader.currentScript, sizeof f.loader.currentScript, "%s", "STITLE");
    LoadScript(f, "STITLE", 1);
    ui.choiceKind = kChoiceNone;
    f.stepper.PendingWait = 0;
    f.stepper.TypingCountdown = 0;
    f.app.playMode = 0;
    UpdateMenuStates(f);
}

void EnterFullScreen(TForm1& f) {
    UiState& ui = f.ui;
    const int mode = f.app.screenMode;
    if (ui.FullScreenActive || mode == 0) return;
    platform::Window& w = f.plat.window();
    ui.savedLeft = w.Left();
    ui.savedTop = w.Top();
    w.SetBorder(false);
    w.Move(0, 0);
    w.SetToolBarShown(false);
    f.app.fullScreen = true;
    if (mode == 2) return;  // a borderless window at the screen's corner
    if (w.SetFullScreen(true)) {
        ui.FullScreenActive = true;
        Trace("full screen");
        return;
    }
    Trace("full screen refused by the desktop: staying in the window");
    RestoreWindow(f);
}

void RestoreWindow(TForm1& f) {
    platform::Window& w = f.plat.window();
    w.SetToolBarShown(true);
    w.SetBorder(true);
    w.Move(f.ui.savedLeft, f.ui.savedTop);
    f.app.fullScreen = false;
}

void LeaveFullScreen(TForm1& f) {
    UiState& ui = f.ui;
    // Screen mode 2 has no display mode to leave, but its window goes back too.
    if (!ui.FullScreenActive && !f.app.fullScreen) return;
    if (ui.FullScreenActive) f.plat.window().SetFullScreen(false);
    ui.FullScreenActive = false;
    RestoreWindow(f);
}

void ToolBarReveal(TForm1& f, int x, int y) {
    if (f.ui.FullScreenActive) f.plat.window().SetToolBarShown(y < 30 && x < 400);
}

void TForm1::SpeedButton1Click() {
    if (flags.busy) return;
    BreakSkipAndAuto(*this, true);
    platform::Window& w = plat.window();
    if (ui.PopupMenu1.items.empty()) BuildMenus(*this);
    RunMenu(*this, ui.PopupMenu1, w.Left() + 4, w.Top() + 21 + (app.screenMode == 0 ? 19 : 0));
}

void TForm1::SpeedButton2Click() {
    if (flags.busy) return;
    BreakSkipAndAuto(*this, true);
    PlaySoundByName(*this, "SSE07");
    flags.busy = true;
    stepper.ScriptRunning = false;
    ShowSettingsDialog(*this);
    ApplySettings(*this);
    stepper.ScriptRunning = true;
    flags.busy = false;
}

void TForm1::SpeedButton3Click() {
    if (flags.interruptibleEffect) return;
    PlaySoundByName(*this, "SSE05");
    OpenSaveLoadDialog(*this, 1);
}

void TForm1::SpeedButton4Click() {
    if (flags.interruptibleEffect) return;
    PlaySoundByName(*this, "SSE06");
    OpenSaveLoadDialog(*this, 0);
}

}  // namespace velmora
