// Saving and loading a game through its slot file.
#include "save/slots.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "audio/sound_category.h"
#include "backlog/backlog.h"
#include "gfx/scene_restore.h"
#include "save/global_data.h"
#include "save/slot_file.h"
#include "text/glyphs.h"
#include "ui/notice.h"

namespace velmora {

namespace {

bool ValidSlot(int slot) { return slot >= kFirstSlot && slot <= kLastSlot; }

// Map mode is the click map being shown.
bool MapMode(const TForm1& f) { return f.ui.choiceKind == 4; }

std::string SaveFolderPath(const TForm1& f) { return SavePath(f, "save"); }

// A NUL-terminated field read back, never past its end.
std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

void CopyBytesField(char* dst, size_t size, const char* field, size_t fieldSize) {
    std::memset(dst, 0, size);
    size_t n = std::min(strnlen(field, fieldSize), size - 1);
    std::memcpy(dst, field, n);
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// Where play resumes: the read position, or the start of the line that
// shows the choice (or the backto point) so that the choice comes again.
int32_t ResumePosition(const TForm1& f) {
    if (MapMode(f)) return f.stepper.lineStart;
    if (f.ui.choiceKind != 0) return f.vars.S[10] != 0 ? f.vars.S[10] : f.stepper.lineStart;
    return f.stepper.readPos;
}

void GatherSlot(TForm1& f, SlotImage& im) {
    std::memset(&im, 0, sizeof im);
    const VarBanks& v = f.vars;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    MakeSlotHeader(im.header, local, v.str[9], MapMode(f));
    static_assert(sizeof im.F == sizeof v.F && sizeof im.T == sizeof v.T && sizeof im.V == sizeof v.V &&
                  sizeof im.S == sizeof v.S && sizeof im.strings == sizeof v.str);
    std::memcpy(im.F, v.F, sizeof im.F);
    std::memcpy(im.reserved, f.save.slotExtra, sizeof im.reserved);
    std::memcpy(im.V, v.V, sizeof im.V);
    std::memcpy(im.S, v.S, sizeof im.S);
    // S005 carries the track to start again on load. The requested track is
    // the scene's music even while music is switched off.
    im.S[5] = f.audio.requestedTrack;
    static_assert(sizeof im.readMarks == sizeof f.ui.ReadMarks);
    std::memcpy(im.readMarks, f.ui.ReadMarks, sizeof im.readMarks);
    std::memcpy(im.T, v.T, sizeof im.T);

    int32_t* r = im.stepper;
    const LoaderState& ld = f.loader;
    const StepperState& st = f.stepper;
    const TextState& tx = f.text;
    r[kRecCallDepth] = ld.callDepth;
    for (int i = 0; i < kCallDepthMax; ++i) r[kRecReturnPositions + i] = ld.CallStack[i].returnPosition;
    r[kRecWindowShown] = tx.windowOpen ? 1 : 0;
    r[kRecTypingCountdown] = st.TypingCountdown;
    r[kRecCharDelay] = st.CharDelay;
    r[kRecPendingWait] = st.PendingWait;
    // The credit sequences run inside their command, which a load does not
    // resume: their play modes would leave the loaded game deaf to input.
    const bool inSequence = f.app.playMode == 3 || f.app.playMode == 5;
    r[kRecPlayMode] = MapMode(f) || inSequence ? 0 : f.app.playMode;
    r[kRecNoRedraw] = f.gfx.noRedraw ? 1 : 0;
    r[kRecBackgroundChanged] = f.gfx.backgroundChanged ? 1 : 0;
    r[kRecColumn] = tx.column;
    r[kRecLine] = tx.line;
    r[kRecWideSpacing] = tx.wideSpacing ? 1 : 0;
    r[kRecColourValue] = tx.colourValue;
    r[kRecBacklogCount] = f.backlog.count;
    r[kRecBacklogOffset] = f.backlog.writeOffset;
    r[kRecScriptRunning] = st.ScriptRunning ? 1 : 0;
    r[kRecNeedLine] = st.needLine ? 1 : 0;
    r[kRecLineStart] = st.lineStart;
    r[kRecResumePosition] = ResumePosition(f);
    r[kRecScriptLength] = st.scriptLength;
    r[kRecLinePosition] = st.linePos;
    r[kRecWindowMode] = v.S[150];
    r[kRecPageCounter] = f.backlog.pageHistoryCount;
    r[kRecPageEmpty] = tx.pageEmpty ? 1 : 0;

    static_assert(sizeof im.backlog <= sizeof f.backlog.BacklogLines);
    std::memcpy(im.backlog, f.backlog.BacklogLines, sizeof im.backlog);
    std::memcpy(im.line, st.line, sizeof im.line);

    SlotNames& n = im.names;
    for (int i = 0; i < kCallDepthMax; ++i) CopyField(n.callStack[i], sizeof n.callStack[i], ld.CallStack[i].name);
    CopyField(n.currentScript, sizeof n.currentScript, ld.currentScript);
    CopyField(n.lastLoadedScript, sizeof n.lastLoadedScript, ld.loadedScript.c_str());
    CopyField(n.background, sizeof n.background, f.gfx.backgroundName.c_str());
    CopyField(n.sprites, sizeof n.sprites, f.gfx.spriteList.c_str());
    CopyField(n.picture, sizeof n.picture, f.save.carriedNames[0]);
    CopyField(n.carried, sizeof n.carried, f.save.carriedNames[1]);
    CopyField(n.loopSound, sizeof n.loopSound, f.audio.loopSoundName.c_str());
    CopyField(n.lastVoice, sizeof n.lastVoice, st.LastVoice);
    CopyField(n.speaker, sizeof n.speaker, tx.speakerName.c_str());

    std::memcpy(im.strings, v.str, sizeof im.strings);
    static_assert(sizeof im.pageText == sizeof tx.PageText && sizeof im.pageAttributes == sizeof tx.PageAttributes);
    std::memcpy(im.pageText, tx.PageText, sizeof im.pageText);
    std::memcpy(im.pageAttributes, tx.PageAttributes, sizeof im.pageAttributes);

    auto history = std::make_unique<PageHistoryBlocks>();
    ExportPageHistory(f, *history);
    static_assert(sizeof im.historyText == sizeof history->text && sizeof im.historyS023 == sizeof history->s023 &&
                  sizeof im.historyPictures == sizeof history->pictures &&
                  sizeof im.historyVoices == sizeof history->voices && sizeof im.historyMode == sizeof history->mode);
    std::memcpy(im.historyText, history->text, sizeof im.historyText);
    std::memcpy(im.historyS023, history->s023, sizeof im.historyS023);
    std::memcpy(im.historyPictures, history->pictures, sizeof im.historyPictures);
    std::memcpy(im.historyVoices, history->voices, sizeof im.historyVoices);
    std::memcpy(im.historyMode, history->mode, sizeof im.historyMode);

    ScaleThumbnail(f.gfx.scene, im.thumbnail);
}

}  // namespace

// A name field as a save writes it: text ended by a NUL inside the field.
static bool SoundName(const char* field, size_t size) {
    for (size_t k = 0; k < size; ++k) {
        const unsigned char c = static_cast<unsigned char>(field[k]);
        if (c == 0) return true;
        if (c < 0x20 || c == 0x7f) return false;
    }
    return false;
}

bool SlotRecordSound(const SlotImage& im, std::string* why) {
    auto refuse = [why](const char* what) {
        if (why) *why = what;
        return false;
    };
    const int32_t* r = im.stepper;
    if (r[kRecCallDepth] < 0 || r[kRecCallDepth] > kCallDepthMax) return refuse("call depth");
    for (int i = 0; i < r[kRecCallDepth]; ++i)
        if (r[kRecReturnPositions + i] < 0) return refuse("return position");
    if (r[kRecPendingWait] < 0 || r[kRecPendingWait] > 5) return refuse("pending wait");
    switch (r[kRecPlayMode]) {
        case 0: case 1: case 3: case 5: case 6: case 7: case 8: case 9: break;
        default: return refuse("play mode");
    }
    for (int flag : {kRecWindowShown, kRecNoRedraw, kRecBackgroundChanged, kRecWideSpacing, kRecScriptRunning,
                     kRecNeedLine, kRecPageEmpty})
        if (r[flag] != 0 && r[flag] != 1) return refuse("switch");
    if (r[kRecBacklogCount] < 0 || r[kRecBacklogCount] > kBacklogLines) return refuse("backlog count");
    if (r[kRecScriptLength] < 0 || r[kRecResumePosition] < 0 || r[kRecResumePosition] > r[kRecScriptLength])
        return refuse("script position");
    const SlotNames& n = im.names;
    for (const auto& name : n.callStack)
        if (!SoundName(name, sizeof name)) return refuse("call stack name");
    const std::pair<const char*, size_t> fields[] = {
        {n.currentScript, sizeof n.currentScript}, {n.lastLoadedScript, sizeof n.lastLoadedScript},
        {n.background, sizeof n.background},       {n.sprites, sizeof n.sprites},
        {n.picture, sizeof n.picture},             {n.carried, sizeof n.carried},
        {n.loopSound, sizeof n.loopSound},         {n.lastVoice, sizeof n.lastVoice},
        {n.speaker, sizeof n.speaker}};
    for (const auto& [field, size] : fields)
        if (!SoundName(field, size)) return refuse("name");
    return true;
}

namespace {

// The whole file, or nothing: a slot is only used when it is complete and
// its record could have been written by a save.
bool ReadSlot(const std::string& path, SlotImage& im) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kSlotFileSize, true)) return false;
    auto image = std::make_unique<SlotImage>();
    if (!DecodeSlot(bytes.data(), bytes.size(), *image)) return false;
    std::string why;
    if (!SlotRecordSound(*image, &why)) {
        Trace("slot %s: its %s is out of range", path.c_str(), why.c_str());
        return false;
    }
    im = *image;
    return true;
}

void RestoreBanks(TForm1& f, const SlotImage& im) {
    VarBanks& v = f.vars;
    std::memcpy(v.F, im.F, sizeof v.F);
    std::memcpy(f.save.slotExtra, im.reserved, sizeof f.save.slotExtra);
    std::memcpy(v.V, im.V, sizeof v.V);
    std::memcpy(v.S, im.S, sizeof v.S);
    std::memcpy(f.ui.ReadMarks, im.readMarks, sizeof f.ui.ReadMarks);
    std::memcpy(v.T, im.T, sizeof v.T);
    v.S[26] = 0;
    v.S[60] = 0;
    f.ui.SkipActive = false;
}

// Everything of the stepper record but the three values that wait for the
// script to be loaded again. Values out of their ranges are brought in.
void RestoreStepperRecord(TForm1& f, const int32_t* r) {
    LoaderState& ld = f.loader;
    StepperState& st = f.stepper;
    TextState& tx = f.text;
    ld.callDepth = Clamp(r[kRecCallDepth], 0, kCallDepthMax);
    for (int i = 0; i < kCallDepthMax; ++i) ld.CallStack[i].returnPosition = r[kRecReturnPositions + i];
    tx.windowOpen = r[kRecWindowShown] != 0;
    st.TypingCountdown = r[kRecTypingCountdown];
    st.CharDelay = r[kRecCharDelay];
    st.PendingWait = Clamp(r[kRecPendingWait], 0, 5);
    f.app.playMode = r[kRecPlayMode];
    f.gfx.noRedraw = r[kRecNoRedraw] != 0;
    f.gfx.backgroundChanged = r[kRecBackgroundChanged] != 0;
    tx.column = Clamp(r[kRecColumn], 0, kPageColumns - 1);
    tx.line = Clamp(r[kRecLine], 0, kPageLines - 1);
    tx.wideSpacing = r[kRecWideSpacing] != 0;
    tx.colourValue = r[kRecColourValue];
    BacklogState& b = f.backlog;
    b.count = Clamp(r[kRecBacklogCount], 0, kBacklogLines);
    b.writeOffset = Clamp(r[kRecBacklogOffset], b.count * kBacklogLineSize,
                          b.count * kBacklogLineSize + (b.count < kBacklogLines ? kBacklogLineSize - 1 : 0));
    st.lineStart = r[kRecLineStart];
    st.scriptLength = r[kRecScriptLength];
    st.linePos = Clamp(r[kRecLinePosition], 0, kLineBufferSize - 1);
    f.vars.S[150] = r[kRecWindowMode];
    b.pageHistoryCount = std::max(r[kRecPageCounter], 0);
    tx.pageEmpty = r[kRecPageEmpty] != 0;
    f.ui.choiceKind = 0;
}

void RestoreTexts(TForm1& f, const SlotImage& im) {
    BacklogState& b = f.backlog;
    std::memcpy(b.BacklogLines, im.backlog, sizeof im.backlog);
    std::memset(b.BacklogLines[kBacklogLines], 0, kBacklogLineSize);
    std::memset(b.speakerLine, 0, sizeof b.speakerLine);
    for (auto& line : b.BacklogLines) line[kBacklogLineSize - 1] = '\0';
    std::memcpy(f.stepper.line, im.line, sizeof f.stepper.line);
    f.stepper.line[kLineBufferSize - 1] = '\0';
    std::memcpy(f.vars.str, im.strings, sizeof f.vars.str);
    for (auto& s : f.vars.str) s[kStringVarSize - 1] = '\0';
}

void RestoreNames(TForm1& f, const SlotNames& n) {
    LoaderState& ld = f.loader;
    for (int i = 0; i < kCallDepthMax; ++i)
        CopyBytesField(ld.CallStack[i].name, sizeof ld.CallStack[i].name, n.callStack[i], sizeof n.callStack[i]);
    CopyBytesField(ld.currentScript, sizeof ld.currentScript, n.currentScript, sizeof n.currentScript);
    ld.loadedScript = FieldText(n.lastLoadedScript, sizeof n.lastLoadedScript);
    f.gfx.backgroundName = FieldText(n.background, sizeof n.background);
    // The whole field: a list longer than 30 bytes keeps all its sprites.
    f.gfx.spriteList = FieldText(n.sprites, sizeof n.sprites);
    CopyBytesField(f.save.carriedNames[0], sizeof f.save.carriedNames[0], n.picture, sizeof n.picture);
    CopyBytesField(f.save.carriedNames[1], sizeof f.save.carriedNames[1], n.carried, sizeof n.carried);
    f.audio.loopSoundName = FieldText(n.loopSound, sizeof n.loopSound);
    CopyBytesField(f.stepper.LastVoice, sizeof f.stepper.LastVoice, n.lastVoice, sizeof n.lastVoice);
    std::string speaker = FieldText(n.speaker, sizeof n.speaker);
    // A speaker who is the player is named as the player is named today.
    if (!speaker.empty() && f.vars.S[80] == 1) speaker = f.settings.PlayerName;
    else if (!speaker.empty() && f.vars.S[80] == 2) speaker = f.settings.PlayerName2;
    f.text.speakerName = speaker;
}

void RestorePages(TForm1& f, const SlotImage& im) {
    std::memcpy(f.text.PageText, im.pageText, sizeof f.text.PageText);
    std::memcpy(f.text.PageAttributes, im.pageAttributes, sizeof f.text.PageAttributes);
    auto history = std::make_unique<PageHistoryBlocks>();
    std::memcpy(history->text, im.historyText, sizeof history->text);
    std::memcpy(history->s023, im.historyS023, sizeof history->s023);
    std::memcpy(history->pictures, im.historyPictures, sizeof history->pictures);
    std::memcpy(history->voices, im.historyVoices, sizeof history->voices);
    std::memcpy(history->mode, im.historyMode, sizeof history->mode);
    ImportPageHistory(f, *history);
}

void RefuseSlot(TForm1& f, int slot) {
    Trace("load %d: %s is not a whole slot file, nothing loaded", slot, SlotPath(f, slot).c_str());
    f.plat.dialogs().MessageBox(ToCp932("セーブデータを読み込めません。"), "Error!", platform::BoxIcon::Warning,
                                platform::BoxButtons::Ok);
}

}  // namespace

std::string SlotPath(const TForm1& f, int slot) {
    char name[32];
    std::snprintf(name, sizeof name, "save/save%02d.dat", slot);
    return SavePath(f, name);
}

bool SaveGame(TForm1& f, int slot, bool quiet) {
    if (!ValidSlot(slot)) {
        Trace("save %d: there is no such slot", slot);
        return false;
    }
    if (!quiet) {
        f.vars.S[26] = 0;
        DrawQuickBar(f, 1);
    }
    std::string folder = SaveFolderPath(f);
    if (!IsDirectory(folder) && !MakeDirectories(folder)) Trace("save %d: cannot create %s", slot, folder.c_str());
    f.flags.busy = true;
    if (!quiet && slot <= 20) PlaySound(f, "SSE05");

    auto image = std::make_unique<SlotImage>();
    GatherSlot(f, *image);
    std::vector<uint8_t> bytes(kSlotFileSize);
    EncodeSlot(*image, bytes.data());
    // Written aside and renamed: a failure or a crash leaves the old slot whole.
    std::string path = SlotPath(f, slot);
    if (!WriteFileAtomic(path, bytes, true)) {
        Trace("save %d: cannot write %s", slot, path.c_str());
        f.flags.busy = false;
        f.plat.dialogs().MessageBox(ToCp932("セーブできませんでした。"), "Error!", platform::BoxIcon::Warning,
                                    platform::BoxButtons::Ok);
        return false;
    }
    StoreGlobalData(f);
    if (!quiet) ShowNotice(f, ToCp932("セーブしました"), 500);
    f.flags.busy = false;
    if (slot <= 60) {
        f.settings.LastSaveSlot = slot;
        f.plat.settings().WriteInteger(f.config.MAKER_REG, f.config.GAME_ID, "LastSaveSlot", slot);
    }
    Trace("save %d: written", slot);
    return true;
}

bool LoadGame(TForm1& f, int slot, bool quiet) {
    if (!ValidSlot(slot)) {
        Trace("load %d: there is no such slot", slot);
        return false;
    }
    std::string path = SlotPath(f, slot);
    if (!IsRegularFile(path)) {
        Trace("load %d: no slot file", slot);
        return false;
    }
    // Read and checked whole before anything in the game changes.
    auto image = std::make_unique<SlotImage>();
    if (!ReadSlot(path, *image)) {
        RefuseSlot(f, slot);
        return false;
    }
    const SlotImage& im = *image;

    // A load from the tool bar can come while the backlog is open over the
    // game it is about to replace.
    if (f.backlog.open) CloseBacklog(f);
    StopAllSounds(f);
    f.text.windowOpen = false;
    BreakSkipAndAuto(f, true);
    StopLoopSound(f);
    if (f.ui.choiceKind != 0) {
        EndChoiceDisplay(f);
        f.ui.choiceKind = 0;
    }
    DropPositionWaits(f);
    f.flags.busy = true;
    f.stepper.ScriptRunning = false;
    StoreGlobalData(f);

    SetMusic(f, 0);
    if (slot <= 20) PlaySound(f, "SSE06");
    if (!quiet) ShowNotice(f, ToCp932("ロードします"), 300);

    RestoreBanks(f, im);
    // The text colour is the loaded page's (S037 came back with the banks),
    // not the one of the page on screen before.
    SetGlyphColour(f, 0);
    RestoreStepperRecord(f, im.stepper);
    const bool running = im.stepper[kRecScriptRunning] != 0;
    const bool needLine = im.stepper[kRecNeedLine] != 0;
    const int32_t resume = im.stepper[kRecResumePosition];
    RestoreTexts(f, im);
    SetStringVar(f.vars, 0, f.settings.PlayerName.c_str());
    SetStringVar(f.vars, 1, f.settings.PlayerName2.c_str());
    f.vars.S[6] = (f.config.DEFAULT_NAME != f.vars.str[0] || f.config.DEFAULT_NAME2 != f.vars.str[1]) ? 1 : 0;
    RestorePages(f, im);
    RestoreNames(f, im.names);

    f.text.windowValid = false;
    StoreGlobalData(f);
    if (int32_t track = f.vars.S[5]; track != 0) {
        f.vars.S[5] = 0;
        SetMusic(f, track);
    }
    RestoreSceneFromNames(f);

    if (LoadScript(f, f.loader.loadedScript, 1)) {
        StepperState& st = f.stepper;
        st.ScriptRunning = running;
        st.needLine = needLine;
        st.readPos = Clamp(resume, 0, st.scriptLength);
        st.lineStart = Clamp(st.lineStart, 0, st.scriptLength);
        for (int i = 0; i < kCallDepthMax; ++i)
            f.loader.CallStack[i].returnPosition = std::max(f.loader.CallStack[i].returnPosition, 0);
    } else {
        // The saved position means nothing in whatever script is loaded now.
        Trace("load %d: script %s is missing, the game stays stopped", slot,
              TraceText(f.loader.loadedScript).c_str());
        f.stepper.scriptLength = 0;
        f.stepper.readPos = 0;
    }

    const int32_t mark = f.vars.S[25];
    f.ui.TextRead = mark >= 0 && mark <= kReadMarkMax && TestBit(f.ui.ReadMarks, 81920, mark);
    if (!f.ui.TextRead) f.ui.SkipActive = false;

    const std::string& loop = f.audio.loopSoundName;
    if (!loop.empty() && !SoundCategoryOff(f, loop)) PlaySound(f, loop);

    f.flags.busy = false;
    UpdateMenuStates(f);
    Trace("load %d: resumed in %s at %d", slot, TraceText(f.loader.loadedScript).c_str(), f.stepper.readPos);
    return true;
}

void QuickSave(TForm1& f) {
    if (SaveGame(f, kQuickSaveSlot, false)) SetSlotComment(f, kQuickSaveSlot, "Quick Save");
}

std::string CutSlotComment(const std::string& cp932) {
    size_t k = 0;
    while (k < cp932.size() && cp932[k] != '\0') {
        size_t w = IsLeadByte(static_cast<unsigned char>(cp932[k])) ? 2 : 1;
        if (k + w > static_cast<size_t>(kSlotCommentMax) || k + w > cp932.size()) break;
        k += w;
    }
    return cp932.substr(0, k);
}

bool SetSlotComment(TForm1& f, int slot, const std::string& text) {
    if (!ValidSlot(slot)) return false;
    std::string path = SlotPath(f, slot);
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kSlotFileSize, true) || bytes.size() != kSlotFileSize) {
        Trace("comment %d: no slot file to write it into", slot);
        return false;
    }
    char comment[kSlotCommentSize] = {};
    const std::string cut = CutSlotComment(text);
    std::memcpy(comment, cut.data(), cut.size());
    std::memcpy(bytes.data() + kSlotCommentOffset, comment, sizeof comment);
    if (!WriteFileAtomic(path, bytes, true)) {
        Trace("comment %d: cannot write %s", slot, path.c_str());
        return false;
    }
    return true;
}

}  // namespace velmora
