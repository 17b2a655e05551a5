// Start-up and shutdown of the engine object.
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "app/engine.h"
#include "text/text_out.h"
#include "app/trace.h"
#include "data/archive.h"
#include "data/config.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "script/loader.h"

namespace velmora {

namespace {

bool FileExists(const char* path) { return ::access(path, F_OK) == 0; }

void SetStringVar(TForm1& f, int n, const std::string& text) {
    std::memset(f.vars.str[n], 0, kStringVarSize);
    std::memcpy(f.vars.str[n], text.data(), std::min<size_t>(text.size(), kStringVarSize - 1));
}

// Why the script "main" cannot start, or empty when it can: the script
// archive must be readable and "main" a script with something in it, or the
// player would sit before a black window.
std::string WhyMainCannotStart(TForm1& f) {
    static const char* const kFiles[2] = {"vk_data.vrk", "vk_data2.vrk"};
    for (int a : {1, 0}) {
        const ArchiveIndex& index = f.data.scripts[a];
        const int pos = FindEntry(index, "main");
        if (pos < 0) continue;
        const std::string file = kFiles[a];
        if (index.sizes[pos] == 0) return "its script \"main\" in " + file + " is empty";
        if (index.sizes[pos] > kScriptBufferSize)
            return "its script \"main\" in " + file + " is larger than the script buffer (" +
                   std::to_string(index.sizes[pos]) + " bytes)";
        return "";
    }
    const ArchiveIndex& first = f.data.scripts[0];
    if (!first.damage.empty()) return "its script archive vk_data.vrk is damaged: " + first.damage;
    if (FileSize("vk_data.vrk") == 0) return "its script archive vk_data.vrk is empty (0 bytes)";
    return "its script archive vk_data.vrk holds no script \"main\"";
}

}  // namespace

void ReadInstallationValues(TForm1& f) {
    char cwd[4096];
    std::string here = ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" : std::string("./");
    Settings& s = f.settings;
    s.CDDir = ReadSettingText(f, "CDDir", "NULL");
    s.GameDir = ReadSettingText(f, "GameDir", here);
    s.CDDA_DRV = ReadSettingText(f, "CDDA_DRV", "");
    if (s.CDDA_DRV.empty()) s.CDDA_DRV = s.CDDir.substr(0, 3);
    f.data.cdDir = s.CDDir;
}

void ReadSettings(TForm1& f) {
    const ConfigValues& c = f.config;
    Settings& s = f.settings;
    auto I = [&](const char* name, int32_t def) { return ReadSetting(f, name, def); };
    auto T = [&](const char* name, const std::string& def) { return ReadSettingText(f, name, def); };
    platform::Window& w = f.plat.window();
    s.Left = I("Left", (w.ScreenWidth() - kWindowOuterWidth) / 2);
    s.Top = I("Top", (w.ScreenHeight() - kWindowOuterHeight) / 2);
    s.BGM_ENA = I("BGM_ENA", 1);
    s.SE_ENA = I("SE_ENA", 1);
    s.Delay = I("Delay", 0);
    s.GMode = I("GMode", 0);
    s.SMode = I("SMode", 0);
    s.Clear = I("Clear", 0);
    s.Seen = I("Seen", 1) != 0;
    s.BreakonSelect = I("BreakonSelect", 1) != 0;
    s.MemorySaveMode = I("MemorySaveMode", 1) != 0;
    s.FontName = T("FontName", c.FONT_NAME);
    s.DirectSoundGlobal = I("DirectSoundGlobal", 0);
    s.AnimQuality = I("AnimQuality", 0) != 0;
    s.RC_MODE = I("RC_MODE", 0);
    s.WHEEL_MODE = I("WHEEL_MODE", 0);
    s.CS_SWAP = I("CS_SWAP", 0);
    s.EFX_CUT = I("EFX_CUT", 1);
    s.DatePanel = I("DatePanel", 1);
    s.TXWStyle = I("TXWStyle", 1);
    s.TextLayout = I("TextLayout", 0) != 0;
    s.CV_THROUGH = I("CV_THROUGH", 0) != 0;
    s.CV1 = I("CV1", 1);
    s.CV2 = I("CV2", 1);
    s.TextCopy = I("TextCopy", 0) != 0;
    s.TextFeed = I("TextFeed", 0) != 0;
    s.SelfVoice = I("SelfVoice", 0) != 0;
    s.SpeakVoiced = I("SpeakVoiced", 0) != 0;
    s.SpeechRate = I("SpeechRate", 0);
    s.SpeechVol = I("SpeechVol", 0);
    s.ScreenReader = I("ScreenReader", -1);
    s.ScreenReaderFollows = s.ScreenReader < 0;
    if (s.ScreenReaderFollows) s.ScreenReader = 0;  // ApplyTextOut asks the desktop
    char name[16];
    for (int i = 0; i < 5; ++i) {
        std::snprintf(name, sizeof name, "SE%d", i);
        s.SE[i] = I(name, 1);
    }
    for (int i = 0; i < 5; ++i) {
        std::snprintf(name, sizeof name, "SE_LVL%d", i);
        s.SE_LVL[i] = I(name, 0);
    }
    const int32_t volumes[4] = {c.VOLUME1, c.VOLUME2, c.VOLUME3, c.VOLUME4};
    for (int i = 0; i < 4; ++i) {
        std::snprintf(name, sizeof name, "Vol%d", i + 1);
        s.Vol[i] = I(name, volumes[i]);
    }
    s.FONTAA = I("FONTAA", 0);
    s.FONTSIZE = I("FONTSIZE", 19);
    s.FONTBold = I("FONTBold", 0);
    s.PlayerName = T("PlayerName", c.DEFAULT_NAME);
    s.PlayerName2 = T("PlayerName2", c.DEFAULT_NAME2);
    s.LastSaveSlot = I("LastSaveSlot", 0);
    for (int i = 0; i < 10; ++i) {
        std::snprintf(name, sizeof name, "GV%02d", i);
        f.vars.G[i] = I(name, 0);
    }
    s.TXBG_R = I("TXBG_R", c.TXW_COLOR_R);
    s.TXBG_G = I("TXBG_G", c.TXW_COLOR_G);
    s.TXBG_B = I("TXBG_B", c.TXW_COLOR_B);
    s.TXBG_A = I("TXBG_A", c.TXW_ALPHA);
    s.TXBG_A2 = I("TXBG_A2", c.TXW_ALPHA2);

    // Derived values.
    f.app.typewriter = s.Delay == 0;
    f.app.screenMode = s.SMode;
    if (s.SMode == 0 && w.ScreenWidth() <= 600) f.app.screenMode = 2;
    f.vars.S[50] = s.DatePanel;
    f.vars.S[51] = s.TXWStyle;
    f.vars.S[6] = (s.PlayerName != c.DEFAULT_NAME || s.PlayerName2 != c.DEFAULT_NAME2) ? 1 : 0;
    w.Move(s.Left, s.Top);
}

void ResetWaits(TForm1& f) {
    StepperState& st = f.stepper;
    st.CharDelay = 1;
    st.FinishMessage = false;
    st.PendingWait = 0;
    st.TypingCountdown = 0;
    f.ui.choiceKind = 0;
    f.text.column = 0;
    f.text.line = 0;
}

void DropPositionWaits(TForm1& f) {
    StepperState& st = f.stepper;
    st.SleepCountdown = 0;
    st.voiceEndWait = false;
    st.FinishMessage = false;
    ChoiceDisplay& c = f.ui.choice;
    c.timeoutCountdown = 0;
    c.timeoutOption = 0;
    if (c.cursorInUse != 0) {
        f.plat.SetCursorShape(0);
        c.cursorInUse = 0;
    }
}

void InitEngineUpToConfig(TForm1& f) {
    f.app.pixelMode = 2;
    f.rng.seed = f.app.seed >= 0 ? static_cast<uint32_t>(f.app.seed) : static_cast<uint32_t>(std::time(nullptr));
    std::memset(f.vars.S, 0, sizeof f.vars.S);
    if (!f.app.gameDir.empty() && ::chdir(f.app.gameDir.c_str()) != 0)
        Trace("start-up: cannot enter the game directory %s", f.app.gameDir.c_str());
    f.flags.waveOutputPresent = f.plat.WaveOutputPresent();
    const std::string folder = f.app.gameDir.empty() ? std::string(".") : f.app.gameDir;
    const bool present = FileExists("vk_data.vrk");
    // The script and table buffers are members of the stepper and loader.
    LoadDataIndexes(f);
    const std::string why = present ? WhyMainCannotStart(f) : std::string();
    if (!present || !why.empty()) {
        f.app.startFailure =
            present ? folder + " is not a playable game: " + why : folder + " is not a game: vk_data.vrk is missing";
        Trace("start-up: %s", f.app.startFailure.c_str());
        // The player sees why too, not only the terminal.
        f.plat.dialogs().MessageBox(ToCp932("ゲームデータを読み込めません。\n" + f.app.startFailure), "Error!",
                                    platform::BoxIcon::Stop, platform::BoxButtons::Ok);
        f.flags.quitRequest = true;
    }
    ReadConfigBlock(f);
    f.plat.window().SetCaption(f.config.TITLE);
}

void InitEngineRest(TForm1& f) {
    ReadSettings(f);
    ApplyTextOut(f);
    // The message font belongs to the glyph machinery (step 16).
    CreateCompositionPictures(f);
    f.plat.surface().Fill(0);
    OpenArchiveVolumes(f);
    BuildMessageWindow(f);
    LoadChoicePictures(f);
    InitGlyphs(f);
    LoadQuickButtons(f);
    LoadStatusMeter(f);
    LoadClickWaitIcon(f);
    ResetWaits(f);
    std::memset(f.vars.E, 0, sizeof f.vars.E);
    std::memset(f.vars.F, 0, sizeof f.vars.F);
    std::memset(f.vars.V, 0, sizeof f.vars.V);
    std::memset(f.save.slotExtra, 0, sizeof f.save.slotExtra);
    f.vars.S[100] = f.settings.Clear;
    // A game that cannot run leaves no files behind in a folder that may not be its own.
    if (!f.flags.quitRequest) StoreGlobalData(f, true);
    ClearBacklog(f);
    int32_t* S = f.vars.S;
    S[0] = 3;
    S[5] = 0;
    S[8] = 8;
    S[20] = 250;
    S[21] = 550;
    S[27] = 9;
    S[32] = 520;
    S[33] = 30;
    S[37] = 16777215;
    S[31] = 0;
    S[150] = S[151] = S[152] = S[153] = 0;
    BuildMenus(f);
    UpdateMenuStates(f);
    ForgetSceneNames(f);
    InitTransitions(f);
    f.text.windowOpen = false;
    f.ui.choiceKind = 0;
    f.ui.promptKind = 0;
    f.backlog.open = false;
    f.backlog.pageHistoryCount = 0;
    for (int i = 0; i < 10; ++i) SetStringVar(f, i, "");
    SetStringVar(f, 0, f.settings.PlayerName);
    SetStringVar(f, 1, f.settings.PlayerName2);
    f.flags.titleStartRequest = true;
    InitScriptObjects(f);
    BuildGalleryList(f, "VIEW_1");
    InitRecollection(f);
    LoadChoiceTrees(f);
    LoadCursors(f);
}

void TForm1::FormCreate() {
    flags.quitRequest = false;
    InitEngineUpToConfig(*this);
    ReadInstallationValues(*this);
    if (settings.GameDir == "NULL") {
        Trace("start-up: GameDir is NULL, setup has not run");
        if (app.startFailure.empty())
            app.startFailure = "the game's settings say its setup has not run (GameDir is NULL)";
        plat.dialogs().MessageBox(ToCp932("先にセットアップを実行してください。"), "Warning", platform::BoxIcon::Stop,
                                  platform::BoxButtons::Ok);
        flags.quitRequest = true;
    }
    // Bold is selected in the font style set when the message font is made.
    InitEngineRest(*this);
    app.idleInstalled = true;
    app.created = true;
    Trace("start-up: done, title \"%s\"", TraceText(config.TITLE).c_str());
}

void StartTitle(TForm1& f) {
    if (f.flags.quitRequest) {
        f.plat.window().Close();
        return;
    }
    f.plat.surface().Fill(0);
    f.plat.surface().ReadBack(f.gfx.screen);
    if (f.app.screenMode != 0) EnterFullScreen(f);
    f.loader.callDepth = 0;
    std::strcpy(f.loader.currentScript, "main");
    LoadScript(f, "main", 1);
    OpenSoundOutput(f);
}

void TForm1::FormCloseQuery(bool& canClose) {
    if (flags.quitRequest) {
        canClose = true;
        return;
    }
    StoreGlobalData(*this);
    if (flags.interruptibleEffect) {
        flags.interruptRequest = 2;
        canClose = false;
        return;
    }
    if (flags.busy) {
        canClose = false;
        return;
    }
    bool wasRunning = stepper.ScriptRunning;
    stepper.ScriptRunning = false;
    PauseStaffRoll(*this);
    platform::BoxAnswer a = plat.dialogs().MessageBox(ToCp932("ゲームを終了しますか？"), ToCp932("確認"),
                                                      platform::BoxIcon::Question, platform::BoxButtons::OkCancel);
    canClose = a == platform::BoxAnswer::Ok;
    if (canClose) {
        flags.interruptRequest = 1;
        StopStaffRoll(*this);
    }
    ResumeStaffRoll(*this);
    if (app.playMode == 5) EndSceneScroll(*this);
    stepper.ScriptRunning = wasRunning || stepper.ScriptRunning;
}

void CloseConfirmed(TForm1& f) {
    if (!f.flags.quitRequest) StoreGlobalData(f);
    f.flags.interruptRequest = 1;
    StopStaffRoll(f);
}

void TForm1::FormDestroy() {
    if (app.destroyed) return;
    app.destroyed = true;
    Trace("pictures: at most %zu MiB held at once", pictureBytesPeak.load() >> 20);
    StopMusic(*this);
    if (app.fullScreen) LeaveFullScreen(*this);
}

}  // namespace velmora
