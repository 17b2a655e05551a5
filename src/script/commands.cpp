// The command table and the dispatcher.
#include "script/commands.h"

#include <cstring>

#include "app/engine.h"
#include "audio/sound_category.h"
#include "app/trace.h"
#include "data/archive.h"
#include "data/encoding.h"
#include "gfx/graphics_commands.h"

namespace velmora {

const char* const CommandTable[kCommandCount] = {
    "gra ",     "music ",    "voice ",    "go ",      "clrb",       "select",  "clickmap ", "switch",
    "chain ",   "wait_v_end", "spr ",     "calc ",    "if ",        "ptset ",  "call ",     "end",
    "mode ",    "load",      "gameinit",  "grb ",     "win_close",  "special ", "gameclr",  "partsload ",
    "movie ",   "mark ",     "bg ",       "fix",      "sleep ",     "seltree", "string ",   "direct ",
    "save",     "break",     "win_open",  "title ",   "backto",     "map",     "bg_anim",   "roll ",
    "anim",     "shake",     "cjmp",      "setname",  "ovr",        "viewer",  "se ",       "seloop ",
    "seoff",    "exitgame",  "rec",       "tw_set ",  "exit",       "obj_",    "sroll",     "scroll ",
    "kaisou",   "chgprm",    "cgfull",    "effect",   "vend",       "manpu ",  "sprmv ",
};

namespace {

// While skipping with EFX_CUT on, effects, shakes, sounds and specials are left out.
bool Cut(const TForm1& f) { return f.ui.SkipActive && f.settings.EFX_CUT != 0; }

int InterruptCheckAfterGra(TForm1& f) {
    int result = 0;
    if (f.flags.interruptRequest == 1) {
        result = 1;
    } else if (f.flags.interruptRequest == 2) {
        f.stepper.ScriptRunning = false;
        Picture copy;
        f.plat.surface().ReadBack(copy);
        platform::BoxAnswer a = f.plat.dialogs().MessageBox(ToCp932("ゲームを終了しますか？"), ToCp932("確認"),
                                                            platform::BoxIcon::Question,
                                                            platform::BoxButtons::OkCancel);
        if (a == platform::BoxAnswer::Ok) f.flags.quitRequest = true;
        f.plat.surface().BlitWhole(copy);
        result = 1;
        f.stepper.ScriptRunning = true;
    }
    f.flags.interruptRequest = 0;
    return result;
}

void VoiceCommand(TForm1& f, const char* args) {
    std::string name(args, strnlen(args, kLastVoiceSize - 1));
    if (f.vars.S[6] != 0 && SoundExists(f, name + "X")) name += "X";
    AddMessageVoice(f, name.c_str());
    PlaySoundByName(f, name);
    SetLastVoice(f, name.c_str());
    std::string mark = "@" + name;
    AppendBacklog(f, mark.data(), static_cast<int>(mark.size()));
    CommitBacklogLine(f);
}

int IfCommand(TForm1& f, char* line, const char* args) {
    bool yes = EvalCondition(f, args);
    if (f.stepper.lineAborted || !yes) return 1;
    int i = static_cast<int>(args - line);
    while (i < 200 && line[i] != '\0' && line[i] != ')') ++i;
    if (i >= 200) return 1;
    if (line[i] == ')') ++i;
    while (i < 200 && line[i] == ' ') ++i;
    if (i >= 200) return 1;
    char c = line[i];
    if (c == '*' || c == '@' || c == '!') {
        std::memmove(line, line + i, std::strlen(line + i) + 1);
        return 2;
    }
    if (c != '\0') GotoLabel(f, line + i);
    return 1;
}

void SpecialFlash(TForm1& f) {
    Picture copy;
    platform::Surface& s = f.plat.surface();
    s.ReadBack(copy);
    for (int i = 0; i < 7; ++i) {
        s.Fill(0xFFFFFF);
        s.Update();
        f.plat.clock().Sleep(20);
        s.BlitWhole(copy);
        s.Update();
        f.plat.clock().Sleep(20);
    }
}

void SpecialJolt(TForm1& f) {
    platform::Window& w = f.plat.window();
    int left = w.Left(), top = w.Top();
    for (int i = 0; i < 10; ++i) {
        w.Move(left, top + (i % 2 == 0 ? -20 : 20));
        f.plat.clock().Sleep(50);
    }
    w.Move(left, top);
}

void SpecialDarken(TForm1& f, const char* args) {
    int32_t n[3] = {0, 0, 0};
    const char* p = args + 1;
    for (int k = 0; k < 3; ++k) {
        if (*p != ',') break;
        ++p;
        n[k] = ReadInt(p);
        while (*p && *p != ',') ++p;
    }
    Picture& screen = f.gfx.screen;
    int a = n[0] < 0 ? 0 : n[0], b = n[1] < 0 ? 0 : n[1];
    int32_t c = n[2];
    for (int y = 0; y < screen.height; ++y) {
        if (y >= a && y < b) continue;
        uint8_t* row = screen.Row(y);
        for (int x = 0; x < screen.Stride(); ++x) row[x] = static_cast<uint8_t>(row[x] * c / 16);
    }
    f.plat.surface().BlitWhole(screen);
}

void SpecialCompletion(TForm1& f) {
    static const int kRanges[7][2] = {{1, 38}, {101, 131}, {201, 250}, {301, 337}, {401, 444}, {501, 521}, {601, 607}};
    int count = 0;
    for (const auto& r : kRanges)
        for (int k = r[0]; k <= r[1]; ++k) count += TestBit(f.vars.E, kEBits, k);
    char text[16];
    std::snprintf(text, sizeof text, "%d", count * 100 / 228);
    DrawWindowText(f, text, 570, 12, 32, 0xFFFFFF);
}

int SpecialCommand(TForm1& f, const char* args) {
    if (Cut(f)) return 1;
    switch (args[0]) {
        case '0': SpecialFlash(f); break;
        case '1': SpecialJolt(f); break;
        case '2': SpecialDarken(f, args); break;
        case '3':
        case '4': SepiaFade(f); break;
        case '5': EndingStaffRoll(f); break;
        case '6': SpecialCompletion(f); break;
        default:
            ContentError("command", "special %s: no such effect", TraceText(args).c_str());
            break;
    }
    return 1;
}

void GameClear(TForm1& f) {
    platform::SettingsStore& st = f.plat.settings();
    int32_t n = ClampSetting("Clear", st.ReadInteger("Software\\Sablewood", "lumen", "Clear", 0), 0) + 1;
    st.WriteInteger("Software\\Sablewood", "lumen", "Clear", n);
    f.vars.S[100] = n;
    SetBit(f.vars.E, kEBits, 999, true);
    StoreGlobalData(f);
    Trace("gameclr: cleared %d times", n);
}

void FixScreen(TForm1& f) {
    f.plat.surface().ReadBack(f.gfx.scene);
    f.vars.S[23] = 0;
    f.gfx.screen = f.gfx.scene;
}

int SleepCommand(TForm1& f, const char* args) {
    if (f.ui.SkipActive || f.vars.S[26] != 0) {
        Trace("sleep %s: ignored while skipping or in auto mode", TraceText(args).c_str());
        return 0;
    }
    int32_t n = ReadInt(args) / 30;
    // Nothing to count (or a negative time): wait for a click.
    f.stepper.SleepCountdown = n > 0 ? n : -1;
    Trace("sleep: %d idle passes", f.stepper.SleepCountdown);
    return 1;
}

void StringCommand(TForm1& f, const char* args) {
    int32_t d = ReadInt(args);
    const char* text = args[0] && args[1] ? args + 2 : args + std::strlen(args);
    if (d < 0 || d > 9) {
        ContentError("command", "string %d: only $0 ... $9 exist", d);
        return;
    }
    SetStringVar(f.vars, d, text);
    Trace("string $%d = %s", d, TraceText(f.vars.str[d]).c_str());
}

void NameEntry(TForm1& f) {
    f.flags.busy = true;
    BreakSkipAndAuto(f, false);
    ShowNameEntry(f);
    f.vars.S[6] = (f.config.DEFAULT_NAME != f.vars.str[0] || f.config.DEFAULT_NAME2 != f.vars.str[1]) ? 1 : 0;
    f.flags.busy = false;
}

void SeCommand(TForm1& f, const char* args) {
    if (Cut(f)) return;
    std::string name = UpperName(args);
    if (SoundCategoryOff(f, name)) {
        Trace("se %s: its category is switched off", TraceText(name).c_str());
        return;
    }
    PlaySound(f, name);
}

void SeloopCommand(TForm1& f, const char* args) {
    std::string name = UpperName(args);
    if (SoundCategoryOff(f, name)) {
        Trace("seloop %s: its category is switched off", TraceText(name).c_str());
        return;
    }
    if (name.size() >= 11 && name.compare(0, 4, "SEH4") == 0) {
        int i = name[8] - '1';
        // The level picks the variant recorded for it.
        if (i >= 0 && i <= 4) name[10] = static_cast<char>(name[10] + (f.settings.SE_LVL[i] & 0xFF));
        else Trace("seloop %s: no level switch %c", TraceText(name).c_str(), name[8]);
    }
    PlaySound(f, name);
}

void RecCommand(TForm1& f) {
    std::memset(f.vars.F, 0, sizeof f.vars.F);
    std::memset(f.vars.V, 0, sizeof f.vars.V);
    SetSceneStartScript(f, f.loader.loadedScript);
    int32_t* S = f.vars.S;
    if (S[151] == 2) {
        S[153] = 0;
    } else {
        S[151] = 1;
        S[152] = 0;
        S[153] = 0;
    }
}

void GameInit(TForm1& f) {
    std::memset(f.vars.F, 0, sizeof f.vars.F);
    std::memset(f.vars.T, 0, sizeof f.vars.T);
    std::memset(f.vars.V, 0, sizeof f.vars.V);
    GameinitSprites(f);
}

}  // namespace

int32_t ReadInt(const char* text) {
    const char* p = text;
    while (*p == ' ') ++p;
    bool neg = false;
    if (*p == '+' || *p == '-') neg = *p++ == '-';
    int64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > 0x7FFFFFFFLL) v = 0x80000000LL;  // saturate rather than overflow
    }
    if (neg) v = -v;
    if (v > 0x7FFFFFFF) v = 0x7FFFFFFF;
    return static_cast<int32_t>(v);
}

int FindCommand(const char* line) {
    if (line[0] == '\0') return -1;
    for (int i = 0; i < kCommandCount; ++i)
        if (StartsWithNoCase(line + 1, CommandTable[i])) return i;
    return -1;
}

int FindCommandWithoutArgument(const char* line) {
    if (line[0] == '\0') return -1;
    const size_t len = std::strlen(line + 1);
    for (int i = 0; i < kCommandCount; ++i) {
        const char* keyword = CommandTable[i];
        const size_t k = std::strlen(keyword);
        if (keyword[k - 1] == ' ' && len == k - 1 && StartsWithNoCase(keyword, line + 1)) return i;
    }
    return -1;
}

const char* CommandArgs(int index, const char* line) {
    const char* keyword = CommandTable[index];
    size_t len = std::strlen(keyword);
    const char* after = line + 1 + len;  // the match guarantees these bytes exist
    if (index == kCmdObj) return after;
    if (keyword[len - 1] == ' ') return after;
    // Keywords without a trailing space skip one separator byte, unchecked;
    // a line that ends at the keyword has no argument.
    return *after ? after + 1 : after;
}

int SplitFields(const char* text, Field fields[kFieldMax]) {
    for (int i = 0; i < kFieldMax; ++i) {
        fields[i].text[0] = '\0';
        fields[i].value = kNoNumber;
    }
    if (text[0] == '\0') return 0;
    int count = 1;
    int cur = 0;
    const char* p = text;
    while (*p) {
        if (*p == ' ') {
            ++p;
        } else if (*p == ',' || *p == ':') {
            ++count;
            ++cur;
            ++p;
        } else {
            int n = 0;
            while (*p && *p != ',' && *p != ':') {
                if (n < kFieldTextMax && cur < kFieldMax) fields[cur].text[n++] = *p;
                ++p;
            }
            if (cur < kFieldMax) fields[cur].text[n] = '\0';
        }
    }
    for (int i = 0; i < kFieldMax; ++i) {
        const char* t = fields[i].text;
        if (!t[0]) continue;
        const char* q = t;
        if (*q == '+' || *q == '-') ++q;
        bool digits = *q >= '0' && *q <= '9';
        while (*q >= '0' && *q <= '9') ++q;
        while (*q == ' ') ++q;
        bool whole = digits && *q == '\0';
        int32_t v = whole ? ReadInt(t) : 0;
        if (t[0] == '0' || (whole && v != 0)) fields[i].value = v;
    }
    return count < kFieldMax ? count : kFieldMax;
}

int ExecuteCommand(TForm1& f, int index, char* line) {
    if (index < 0 || index >= kCommandCount) return 0;
    const char* args = CommandArgs(index, line);
    Trace("command %s", TraceText(line).c_str());
    int r = 0;
    switch (index) {
        case kCmdGra: {
            f.stepper.grbSelected = false;
            int g = GraCommand(f, args);
            int c = InterruptCheckAfterGra(f);
            r = g > c ? g : c;
            break;
        }
        case kCmdMusic: SetMusic(f, ReadInt(args)); break;
        case kCmdVoice: VoiceCommand(f, args); break;
        case kCmdGo: GotoLabel(f, args); break;
        case kCmdClrb: ClrbCommand(f, args); break;
        case kCmdSelect:
            BreakSkipAndAuto(f, false);
            f.stepper.needLine = true;
            StartChoiceList(f);
            r = 1;
            break;
        case kCmdClickmap:
            BreakSkipAndAuto(f, false);
            ClickMapCommand(f, args);
            r = 1;
            break;
        case kCmdSwitch: {
            const char* a = line + 1 + std::strlen(CommandTable[index]);
            r = SwitchCommand(f, *a ? a + 1 : a);
            break;
        }
        case kCmdChain: {
            // Only the first 128 bytes of the line count.
            char buf[129];
            std::snprintf(buf, sizeof buf, "%s", line);
            r = ChainCommand(f, buf + (args - line < 128 ? args - line : 128));
            break;
        }
        case kCmdWaitVEnd:
            if (f.flags.waveOutputPresent) {
                f.stepper.voiceEndWait = true;
                Trace("wait entered: voice end");
            }
            r = 1;
            break;
        case kCmdSpr: SprCommand(f, args); break;
        case kCmdCalc: ExecAssignments(f, args); break;
        case kCmdIf: r = IfCommand(f, line, args); break;
        case kCmdPtset: PtsetCommand(f, args); break;
        case kCmdCall: {
            // Only the first 100 bytes of the line count.
            char buf[101];
            std::snprintf(buf, sizeof buf, "%s", line);
            r = CallCommand(f, buf + (args - line < 100 ? args - line : 100));
            break;
        }
        case kCmdEnd: r = EndCommand(f); break;
        case kCmdMode:
            ModeCommand(f, ReadInt(args));
            f.stepper.needLine = true;
            r = 1;
            break;
        case kCmdLoad:
            BreakSkipAndAuto(f, false);
            OpenSaveLoadDialog(f, 0);
            r = 1;
            break;
        case kCmdGameinit: GameInit(f); break;
        case kCmdGrb:
            f.stepper.grbSelected = true;
            GraCommand(f, args);
            break;
        case kCmdWinClose:
            if (f.vars.S[150] == 0 && f.text.windowOpen) CloseWindow(f);
            break;
        case kCmdSpecial: r = SpecialCommand(f, args); break;
        case kCmdGameclr: GameClear(f); break;
        case kCmdPartsload: PartsloadCommand(f, args); break;
        case kCmdMovie: break;
        case kCmdMark: MarkRead(f, ReadInt(args)); break;
        case kCmdBg: BgCommand(f, args); break;
        case kCmdFix: FixScreen(f); break;
        case kCmdSleep: r = SleepCommand(f, args); break;
        case kCmdSeltree:
            BreakSkipAndAuto(f, false);
            StartChoiceTree(f, ReadInt(args));
            r = 1;
            break;
        case kCmdString: StringCommand(f, args); break;
        case kCmdDirect: DirectCommand(f, args); break;
        case kCmdSave:
            BreakSkipAndAuto(f, false);
            OpenSaveLoadDialog(f, 1);
            r = 1;
            break;
        case kCmdBreak:
            StopSkip(f);
            BreakSkipAndAuto(f, true);
            r = 1;
            break;
        case kCmdWinOpen: OpenWindow(f); break;
        case kCmdTitle:
            // $9 is what the save slots show as the scene title.
            SetStringVar(f.vars, 9, args);
            break;
        case kCmdBackto: f.vars.S[10] = f.stepper.lineStart; break;
        case kCmdMap:
            f.text.windowOpen = false;
            BreakSkipAndAuto(f, false);
            r = 1;
            break;
        case kCmdBgAnim: BgAnimCommand(f, args); break;
        case kCmdRoll:
            BreakSkipAndAuto(f, true);
            StaffRollCommand(f, args);
            r = 1;
            break;
        case kCmdAnim: {
            const char* after = line + 1 + 4;
            if (*after == 'q') AnimCommand(f, after[1] ? after + 2 : after + 1, true);
            else AnimCommand(f, args, false);
            r = 1;
            break;
        }
        case kCmdShake:
            if (!Cut(f)) ShakeCommand(f, args);
            r = 1;
            break;
        case kCmdCjmp: {
            const char* a = line + 1 + std::strlen(CommandTable[index]);
            r = CjmpCommand(f, *a ? a + 1 : a);
            break;
        }
        case kCmdSetname:
            NameEntry(f);
            r = 1;
            break;
        case kCmdOvr:
            OvrCommand(f, args);
            f.text.windowOpen = false;
            r = 1;
            break;
        case kCmdViewer:
            BreakSkipAndAuto(f, true);
            ViewerCommand(f, args);
            r = 1;
            break;
        case kCmdSe: SeCommand(f, args); break;
        case kCmdSeloop: SeloopCommand(f, args); break;
        case kCmdSeoff: StopLoopSound(f); break;
        case kCmdExitgame:
            f.plat.window().Close();
            r = 1;
            break;
        case kCmdRec: RecCommand(f); break;
        case kCmdTwSet: TwSetCommand(f, ReadInt(args)); break;
        case kCmdExit:
            LeaveReplay(f);
            r = 1;
            break;
        case kCmdObj: ObjectCommand(f, args); break;
        case kCmdSroll:
            SceneScrollCommand(f);
            r = 1;
            break;
        case kCmdScroll:
            ScrollCommand(f, args);
            r = 1;
            break;
        case kCmdKaisou:
            OpenRecollectionMenu(f);
            r = 1;
            break;
        case kCmdChgprm:
            BlinkStatusMeter(f);
            r = 1;
            break;
        case kCmdCgfull:
            MarkAllPicturesSeen(f);
            r = 1;
            break;
        case kCmdEffect:
            if (!Cut(f)) EffectCommand(f, args);
            r = 1;
            break;
        case kCmdVend:
            if (f.app.replayContext != 0) LeaveReplay(f);
            r = 1;
            break;
        case kCmdManpu: ManpuCommand(f, args); break;
        case kCmdSprmv:
            SprmvCommand(f, args);
            r = 1;
            break;
    }
    Trace("command %s: result %d", CommandTable[index], r);
    return r;
}

}  // namespace velmora
