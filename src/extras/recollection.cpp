// The recollection screen (play mode 8): category tabs, the grid of
// unlocked scenes, a moving preview, ten record lists filled by dragging,
// and the replay of one scene or a whole list in context 2.
#include <cstdio>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"
#include "data/archive.h"
#include "data/encoding.h"
#include "extras/recollection.h"
#include "gfx/composition.h"
#include "gfx/graphics_commands.h"
#include "script/variables.h"
#include "text/message_window.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kTabX = 20, kTabY = 20, kTabW = 178, kTabH = 30;
constexpr int kSelectorX = 520, kSelectorY = 402, kSelectorW = 20, kSelectorH = 46;
constexpr int kGridX = 25, kGridY = 155, kCellW = 166, kCellH = 15;
constexpr int kPreviewX = 211, kPreviewY = 21, kPreviewW = 160, kPreviewH = 120;
constexpr int kIconX = 420, kIconY = 20, kIconW = 36, kIconH = 40;
constexpr int kNameX = 420, kNameY = 100, kNameW = 360, kNameH = 40;
constexpr int kPanelX = 570, kPanelY = 160, kPanelW = 200, kPanelH = 350;
constexpr int kEntryH = 14;
constexpr int kLabelW = 160, kLabelH = 16;
constexpr uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kGreen = 0x00FF00, kBlue = 0xFF0000;

struct Box {
    int x, y, w, h;
    bool Holds(int px, int py) const { return x <= px && px < x + w && y <= py && py < y + h; }
};
constexpr Box kBack = {718, 0, 84, 32}, kPlay = {705, 517, 80, 80}, kClear = {558, 545, 128, 45},
              kRename = {609, 38, 125, 46};

RecollectionState& Rec(TForm1& f) { return f.extras.recollection; }

OutlineFont& Face(OutlineFont& font, int height, bool bold) {
    const FontRequest& have = font.request();
    if (!font.IsOpen() || have.cellHeight != height || have.bold != bold) {
        FontRequest want;
        want.family = "ＭＳ Ｐゴシック";
        want.cellHeight = height;
        want.bold = bold;
        font.Open(want);
    }
    return font;
}

void ShadowText(OutlineFont& font, Picture& p, int x, int y, const std::string& text, uint32_t colour) {
    font.DrawText(p, x + 1, y + 1, text, kBlack);
    font.DrawText(p, x, y, text, colour);
}

const std::string& SceneTitle(const RecollectionState& r, int scene) {
    static const std::string none;
    return scene > 0 && scene < static_cast<int>(r.SceneLines.size()) ? r.SceneLines[static_cast<size_t>(scene)] : none;
}

int32_t* SelectedList(TForm1& f) { return f.extras.recordLists[Rec(f).recordList]; }

void Show(TForm1& f, const Picture& p, const Box& b) { f.plat.surface().Blit(p, b.x, b.y, b.w, b.h, b.x, b.y); }
void ShowFromScreen(TForm1& f, const Box& b) { Show(f, f.gfx.screen, b); }

Box TabBox(int k) { return {kTabX, kTabY + kTabH * k, kTabW, kTabH}; }
Box CellBox(int c) { return {kGridX + kCellW * (c % 3), kGridY + kCellH * (c / 3), kCellW, kCellH}; }
Box IconBox(int s) { return {kIconX + kIconW * (s % 5), kIconY + kIconH * (s / 5), kIconW, kIconH}; }
Box EntryBox(int i) { return {kPanelX, kPanelY + kEntryH * i, kPanelW, kEntryH}; }

// ---- Drawing ----

void DrawTabs(TForm1& f) {
    RecollectionState& r = Rec(f);
    Picture& screen = f.gfx.screen;
    if (!r.kaiso.Empty()) CopyPicture(screen, r.kaiso);
    else FillPicture(screen, 0);
    const Box t = TabBox(r.category);
    CopyRect(screen, t.x, t.y, r.kaiso2, t.x, t.y, t.w, t.h);
    const int n = r.subListCount[r.category];
    if (n >= 2) {
        CopyRect(screen, kSelectorX, kSelectorY, r.kaisoP, 0, 0, kSelectorW, kSelectorH * n);
        const int s = r.subList[r.category];
        CopyRect(screen, kSelectorX, kSelectorY + kSelectorH * s, r.kaisoP, kSelectorW, kSelectorH * s, kSelectorW,
                 kSelectorH);
    }
    f.vars.S[26] = 0;
    f.vars.S[60] = 0;
    f.ui.SkipActive = false;
}

void DrawGrid(TForm1& f) {
    RecollectionState& r = Rec(f);
    for (int& c : r.cellScene) c = 0;
    for (int& c : r.cellLocked) c = 0;
    if (r.categoryCount == 0) return;
    const std::string& label = r.subLists[r.category][r.subList[r.category]];
    const int lines = static_cast<int>(r.SceneLines.size());
    int at = -1;
    for (int i = 0; i < lines && at < 0; ++i)
        if (r.SceneLines[static_cast<size_t>(i)] == label) at = i;
    if (at < 0) {
        Trace("recollection: sub-list %s is not in the scene table", TraceText(label).c_str());
        return;
    }
    OutlineFont& regular = Face(r.font, 11, false);
    OutlineFont& bold = Face(r.boldFont, 11, true);
    int c = 0;
    for (int i = at + 1, n = 0; i < lines && n < 149 && c < kSceneGridCells; ++i, ++n) {
        const std::string& line = r.SceneLines[static_cast<size_t>(i)];
        if (!line.empty() && line[0] == ':') break;
        if (!line.empty() && line[0] == '*') {
            c = (c + 2) / 3 * 3;
            const std::string text = line.substr(1);
            if (c >= kSceneGridCells) break;
            const Box b = CellBox(c);
            if (SceneUnlocked(f, i)) ShadowText(bold, f.gfx.screen, b.x, b.y, text, kWhite);
            if (!text.empty()) c += 3;
            continue;
        }
        if (SceneUnlocked(f, i)) {
            r.cellScene[c] = i;
            const Box b = CellBox(c);
            ShadowText(regular, f.gfx.screen, b.x, b.y, line, kWhite);
        } else {
            r.cellLocked[c] = i;
        }
        ++c;
    }
}

void DrawRecordList(TForm1& f) {
    RecollectionState& r = Rec(f);
    Picture& screen = f.gfx.screen;
    CopyRect(screen, kNameX, kNameY, r.kaiso, kNameX, kNameY, kNameW, kNameH);
    CopyRect(screen, kIconX, kIconY, r.kaiso, kIconX, kIconY, kIconW * 5, kIconH * 2);
    const Box icon = IconBox(r.recordList);
    CopyRect(screen, icon.x, icon.y, r.kaiso2, icon.x, icon.y, icon.w, icon.h);
    char* name = f.extras.recordListNames[r.recordList];
    if (name[0] == '\0') std::snprintf(name, kRecordListNameSize, "Record Slot %d", r.recordList + 1);
    Face(r.font, 22, false).DrawText(screen, kNameX + 8, kNameY + 8, name, kWhite);
    r.panel.Resize(kPanelW, kPanelH);
    CopyRect(r.panel, 0, 0, r.kaiso, kPanelX, kPanelY, kPanelW, kPanelH);
    OutlineFont& font = Face(r.font, 12, false);
    const int32_t* list = SelectedList(f);
    for (int i = 0; i < kRecordListUsed && list[i] != 0; ++i)
        font.DrawText(r.panel, 6, kEntryH * i, SceneTitle(r, list[i]), kWhite);
    CopyPicture(screen, r.panel, kPanelX, kPanelY);
}

void DrawAll(TForm1& f) {
    DrawTabs(f);
    DrawGrid(f);
    DrawRecordList(f);
    f.plat.surface().BlitWhole(f.gfx.screen);
}

// ---- What the pointer is on ----

struct Hit {
    RecItem kind = RecItem::None;
    int index = -1;
};

Hit HitTest(TForm1& f, int x, int y) {
    RecollectionState& r = Rec(f);
    if (kBack.Holds(x, y)) return {RecItem::Back, 0};
    if (kPlay.Holds(x, y)) return {RecItem::Play, 0};
    if (kClear.Holds(x, y)) return {RecItem::Clear, 0};
    if (kRename.Holds(x, y)) return {RecItem::Rename, 0};
    for (int k = 0; k < r.categoryCount; ++k)
        if (TabBox(k).Holds(x, y)) return {RecItem::Tab, k};
    const int subs = r.subListCount[r.category];
    if (subs >= 2 && Box{kSelectorX, kSelectorY, kSelectorW, kSelectorH * subs}.Holds(x, y))
        return {RecItem::SubList, (y - kSelectorY) / kSelectorH};
    for (int s = 0; s < kRecordLists; ++s)
        if (IconBox(s).Holds(x, y)) return {RecItem::Icon, s};
    const int entries = ListLength(SelectedList(f));
    for (int i = 0; i < entries; ++i)
        if (EntryBox(i).Holds(x, y)) return {RecItem::Entry, i};
    if (x >= kGridX && x < kGridX + 3 * kCellW && y >= kGridY) {
        const int c = (y - kGridY) / kCellH * 3 + (x - kGridX) / kCellW;
        if (c < kSceneGridCells) return {RecItem::Cell, c};
    }
    return {};
}

Box ItemBox(const Hit& h) {
    switch (h.kind) {
        case RecItem::Cell: return CellBox(h.index);
        case RecItem::Entry: return EntryBox(h.index);
        case RecItem::Icon: return IconBox(h.index);
        case RecItem::Back: return kBack;
        case RecItem::Play: return kPlay;
        case RecItem::Clear: return kClear;
        case RecItem::Rename: return kRename;
        default: return {0, 0, 0, 0};
    }
}

// The highlighted look, on the window only: the screen picture keeps the
// normal one to restore from.
void Highlight(TForm1& f, const Hit& h) {
    RecollectionState& r = Rec(f);
    const Box b = ItemBox(h);
    if (b.w == 0) return;
    if (h.kind == RecItem::Cell || h.kind == RecItem::Entry) {
        const int scene = h.kind == RecItem::Cell ? r.cellScene[h.index] : SelectedList(f)[h.index];
        if (scene == 0) return;
        Picture cell;
        cell.Resize(b.w, b.h);
        CopyRect(cell, 0, 0, r.kaiso, b.x, b.y, b.w, b.h);
        if (h.kind == RecItem::Cell) ShadowText(Face(r.font, 11, false), cell, 0, 0, SceneTitle(r, scene), kGreen);
        else Face(r.font, 12, false).DrawText(cell, 6, 0, SceneTitle(r, scene), kBlue);
        f.plat.surface().Blit(cell, 0, 0, b.w, b.h, b.x, b.y);
        return;
    }
    if (h.kind == RecItem::Icon || h.kind >= RecItem::Back) Show(f, r.kaiso2, b);
}

void DropHover(TForm1& f) {
    RecollectionState& r = Rec(f);
    const Box b = ItemBox({r.hoverKind, r.hoverIndex});
    if (b.w > 0) ShowFromScreen(f, b);
    r.hoverKind = RecItem::None;
    r.hoverIndex = -1;
}

// ---- The drag label ----

void HideLabel(TForm1& f) {
    RecollectionState& r = Rec(f);
    if (r.labelShown) ShowFromScreen(f, {r.labelX, r.labelY, kLabelW, kLabelH});
    r.labelShown = false;
}

void ShowLabel(TForm1& f, int x, int y) {
    RecollectionState& r = Rec(f);
    HideLabel(f);
    r.labelX = x, r.labelY = y;
    f.plat.surface().Blit(r.dragLabel, 0, 0, kLabelW, kLabelH, x, y);
    r.labelShown = true;
}

void StartDrag(TForm1& f, RecItem kind, int scene, int entry, const Box& from, int x, int y) {
    RecollectionState& r = Rec(f);
    r.dragKind = kind;
    r.dragScene = scene;
    r.dragEntry = entry;
    r.grabX = x - from.x;
    r.grabY = y - from.y;
    r.dragLabel.Resize(kLabelW, kLabelH);
    FillPicture(r.dragLabel, 0x402020);
    Face(r.font, 12, false).DrawText(r.dragLabel, 2, 1, SceneTitle(r, scene), kWhite);
    r.doubleClickTimer = kDoubleClickTicks;
    ShowLabel(f, from.x, from.y);
}

// ---- The preview ----

void StopPreview(TForm1& f) {
    RecollectionState& r = Rec(f);
    if (r.previewRunning || r.previewDone) ShowFromScreen(f, {kPreviewX, kPreviewY, kPreviewW, kPreviewH});
    r.previewRunning = false;
    r.previewDone = false;
    r.previewLines.clear();
}

void StartPreview(TForm1& f, int scene) {
    RecollectionState& r = Rec(f);
    StopPreview(f);
    if (scene <= 0 || scene >= static_cast<int>(r.SceneScripts.size())) return;
    const std::string& script = r.SceneScripts[static_cast<size_t>(scene)];
    std::vector<std::string> lines;
    if (script.empty() || !LoadTableLines(f, script.c_str(), lines)) {
        Trace("recollection: no script %s to preview", TraceText(script).c_str());
        return;
    }
    for (const std::string& line : lines) {
        if (line.size() < 4 || (line[0] != '*' && line[0] != '@')) continue;
        const char* word = line.c_str() + 1;
        if (StartsWithNoCase(word, "GRA") || StartsWithNoCase(word, "GRB") || StartsWithNoCase(word, "SPR"))
            r.previewLines.push_back(line.substr(1));
    }
    Trace("recollection: preview of %s, %zu picture lines", TraceText(script).c_str(), r.previewLines.size());
    r.previewPos = 0;
    r.previewTicks = 0;
    r.previewRunning = true;
}

// The composed scene at a fifth of its size, each pixel the mean of a 5 x 5 block.
void ShrinkScene(const Picture& scene, Picture& out) {
    out.Resize(kPreviewW, kPreviewH);
    if (scene.width < kPreviewW * 5 || scene.height < kPreviewH * 5) return;
    for (int y = 0; y < kPreviewH; ++y)
        for (int x = 0; x < kPreviewW; ++x)
            for (int ch = 0; ch < 3; ++ch) {
                int sum = 0;
                for (int dy = 0; dy < 5; ++dy)
                    for (int dx = 0; dx < 5; ++dx) sum += scene.Pixel(x * 5 + dx, y * 5 + dy)[ch];
                out.Pixel(x, y)[ch] = static_cast<uint8_t>(sum / 25);
            }
}

void PreviewStep(TForm1& f) {
    RecollectionState& r = Rec(f);
    while (r.previewPos < static_cast<int>(r.previewLines.size())) {
        const std::string line = r.previewLines[static_cast<size_t>(r.previewPos++)];
        size_t space = line.find(' ');
        std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
        while (!arg.empty() && arg[0] == ' ') arg.erase(0, 1);
        if (StartsWithNoCase(line.c_str(), "GRB")) continue;
        bool thumbnail = false;
        if (StartsWithNoCase(line.c_str(), "SPR")) {
            SetSprites(f, arg);
        } else {
            size_t end = arg.find_first_of(" ,]");
            const std::string name = arg.substr(0, end);
            const char kind = name.empty() ? '\0' : AsciiUpper(name[0]);
            if (kind == 'A') {
                const std::string thumb = "T" + name.substr(1);
                if (PictureExists(f, thumb) && LoadPicture(f, thumb, r.preview)) thumbnail = true;
                else if (!LoadPicture(f, name, f.gfx.background)) Trace("recollection: preview picture %s missing", TraceText(name).c_str());
            } else if (kind == 'B') {
                SetSprites(f, name);
            } else if (kind == 'S') {
                FillColourBackground(f, name);
            } else {
                continue;
            }
        }
        if (!thumbnail) {
            ComposeScene(f);
            ShrinkScene(f.gfx.scene, r.preview);
        }
        f.plat.surface().Blit(r.preview, 0, 0, kPreviewW, kPreviewH, kPreviewX, kPreviewY);
        return;
    }
    // After the last line the box shows what it showed before.
    r.previewRunning = false;
    r.previewDone = true;
    ShowFromScreen(f, {kPreviewX, kPreviewY, kPreviewW, kPreviewH});
}

// ---- Replay ----

void StartPlayEntry(TForm1& f) {
    RecollectionState& r = Rec(f);
    for (; r.playPos < r.playCount; ++r.playPos) {
        const int scene = r.playList[r.playPos];
        if (scene <= 0 || scene >= static_cast<int>(r.SceneScripts.size()) ||
            r.SceneScripts[static_cast<size_t>(scene)].empty())
            continue;
        const std::string name = "k_" + r.SceneScripts[static_cast<size_t>(scene)];
        if (!LoadScript(f, name, 1)) {
            Trace("recollection: replay script %s missing, scene %d skipped", TraceText(name).c_str(), scene);
            continue;
        }
        f.app.replayContext = 2;
        f.loader.callDepth = 0;
        std::snprintf(f.loader.currentScript, sizeof f.loader.currentScript, "%s", name.c_str());
        ResetWaits(f);
        f.text.windowOpen = false;
        f.app.playMode = 0;
        ShowReplayMenuItems(f, r.playPos + 1 < r.playCount, true);
        EnableLoadSaveItems(f, false);
        Trace("recollection: replaying scene %d (%s), %d of %d", scene, TraceText(name).c_str(), r.playPos + 1,
              r.playCount);
        return;
    }
    Trace("recollection: nothing to replay");
    if (f.app.replayContext == 2) ReturnToRecollectionMenu(f);
}

void BackToScreen(TForm1& f) {
    RecollectionState& r = Rec(f);
    StopLoopSound(f);
    f.app.replayContext = 0;
    ResetWaits(f);
    RestoreScriptPoint(f, r.returnPoint);
    f.text.windowOpen = false;
    f.ui.SkipActive = false;
    f.gfx.bgAnim.frameCount = 0;
    f.stepper.SleepCountdown = 0;
    f.app.playMode = 8;
    r.dragKind = RecItem::None;
    r.labelShown = false;
    r.hoverKind = RecItem::None;
    r.previewRunning = r.previewDone = false;
    DrawAll(f);
    ShowReplayMenuItems(f, false, false);
    SetMusic(f, 1);
    EnableLoadSaveItems(f, true);
    UpdateMenuStates(f);
    Trace("recollection: back to the menu");
}

void PressButton(TForm1& f, RecItem kind) {
    RecollectionState& r = Rec(f);
    Show(f, r.kaiso2, ItemBox({kind, 0}));
    int32_t* list = SelectedList(f);
    switch (kind) {
        case RecItem::Back: CloseRecollection(f); break;
        case RecItem::Play: {
            int scenes[kPlayListMax];
            const int n = ListLength(list);
            for (int i = 0; i < n; ++i) scenes[i] = list[i];
            if (n == 0) {
                Trace("recollection: record list %d is empty", r.recordList + 1);
                ShowFromScreen(f, kPlay);
                break;
            }
            StartRecollectionReplay(f, scenes, n);
            break;
        }
        case RecItem::Clear:
            for (int k = 0; k < kRecordListLength; ++k) list[k] = 0;
            DrawRecordList(f);
            f.plat.surface().BlitWhole(f.gfx.screen);
            break;
        case RecItem::Rename:
            ShowRecordNameDialog(f, r.recordList);
            DrawRecordList(f);
            f.plat.surface().BlitWhole(f.gfx.screen);
            break;
        default: break;
    }
}

}  // namespace

int RecollectionHit(TForm1& f, int x, int y) {
    RecollectionState& r = Rec(f);
    if (!r.open) return 0;
    const Hit h = HitTest(f, x, y);
    if (h.kind == RecItem::None || (h.kind == RecItem::Cell && r.cellScene[h.index] == 0)) return 0;
    if (h.kind == RecItem::Tab && h.index == r.category) return 0;
    if (h.kind == RecItem::SubList && (h.index >= r.subListCount[r.category] || h.index == r.subList[r.category]))
        return 0;
    return static_cast<int>(h.kind) * 1000 + h.index + 1;
}

int ListLength(const int32_t* list) {
    int n = 0;
    while (n < kRecordListUsed && list[n] != 0) ++n;
    return n;
}

void RemoveListEntry(int32_t* list, int row) {
    const int n = ListLength(list);
    if (row < 0 || row >= n) return;
    for (int k = row; k + 1 < n; ++k) list[k] = list[k + 1];
    list[n - 1] = 0;
}

void InsertListEntry(int32_t* list, int row, int scene) {
    const int n = ListLength(list);
    if (row < 0) row = 0;
    if (row >= n) {
        if (n < kRecordListUsed) list[n] = scene;  // appended after the last entry
        return;
    }
    // The 25th entry falls off the end.
    for (int k = (n < kRecordListUsed ? n : kRecordListUsed - 1); k > row; --k) list[k] = list[k - 1];
    list[row] = scene;
}

bool RecollectionItemCentre(RecItem kind, int index, int& x, int& y) {
    const Box b = kind == RecItem::Tab       ? TabBox(index)
                  : kind == RecItem::SubList ? Box{kSelectorX, kSelectorY + kSelectorH * index, kSelectorW, kSelectorH}
                                             : ItemBox({kind, index});
    if (b.w <= 0 || b.h <= 0) return false;
    x = b.x + b.w / 2;
    y = b.y + b.h / 2;
    return true;
}

void RecollectionDropPoint(RecItem kind, int index, int x, int y, int row, int& dropX, int& dropY) {
    // The drop is judged where the dragged label's corner stands, which
    // trails the pointer by the grip and the label's own offset.
    const Box from = ItemBox({kind, index});
    const int grabX = x - from.x, grabY = y - from.y;
    if (row < 0) {
        dropX = 0;
        dropY = y;
        return;
    }
    dropX = kPanelX + kPanelW / 2 - 50 + grabX;
    dropY = kPanelY + kEntryH * row + kEntryH / 2 - 10 + grabY;
}

void OpenRecollection(TForm1& f) {
    RecollectionState& r = Rec(f);
    if (r.open && f.app.playMode == 8) {
        Trace("kaisou: the recollection menu is already open");
        return;
    }
    if (!LoadPicture(f, "ss_kaiso", r.kaiso)) Trace("recollection: picture ss_kaiso missing");
    if (!LoadPicture(f, "ss_kaiso2", r.kaiso2)) Trace("recollection: picture ss_kaiso2 missing");
    if (!LoadPicture(f, "ss_kaiso_p", r.kaisoP)) Trace("recollection: picture ss_kaiso_p missing");
    r.dragLabel.Resize(kLabelW, kLabelH);
    r.panel.Resize(kPanelW, kPanelH);
    r.preview.Resize(kPreviewW, kPreviewH);
    r.recordList = 0;
    r.category = 0;
    for (int k = 0; k < kSceneCategories; ++k) {
        if (r.subList[k] < 0) r.subList[k] = 0;
        if (r.subList[k] >= r.subListCount[k]) r.subList[k] = 0;
    }
    TakeScriptPoint(f, r.returnPoint);
    r.keptBackground = f.gfx.background;
    r.keptScene = f.gfx.scene;
    r.keptScreen = f.gfx.screen;
    r.keptSprites = f.gfx.spriteList;
    r.open = true;
    f.app.playMode = 8;
    r.hoverKind = r.dragKind = RecItem::None;
    r.labelShown = false;
    r.previewRunning = r.previewDone = false;
    r.doubleClickTimer = 0;
    Trace("recollection: open, %d categories", r.categoryCount);
    DrawAll(f);
}

void CloseRecollection(TForm1& f) {
    RecollectionState& r = Rec(f);
    r.kaiso = r.kaiso2 = r.kaisoP = Picture();
    r.dragLabel = r.panel = r.preview = Picture();
    r.previewLines.clear();
    ShowReplayMenuItems(f, false, false);
    f.app.playMode = 0;
    r.open = false;
    // The game's own scene comes back where the previews borrowed it.
    f.gfx.background = std::move(r.keptBackground);
    CopyPicture(f.gfx.scene, r.keptScene);
    CopyPicture(f.gfx.screen, r.keptScreen);
    if (f.gfx.spriteList != r.keptSprites) SetSprites(f, r.keptSprites);
    f.gfx.spriteList = r.keptSprites;
    r.keptScene = r.keptScreen = Picture();
    f.plat.surface().BlitWhole(f.gfx.screen);
    Trace("recollection: closed");
}

void StartRecollectionReplay(TForm1& f, const int* scenes, int count) {
    RecollectionState& r = Rec(f);
    if (count > kPlayListMax) count = kPlayListMax;
    r.playCount = count < 0 ? 0 : count;
    for (int i = 0; i < r.playCount; ++i) r.playList[i] = scenes[i];
    r.playPos = 0;
    HideLabel(f);
    r.dragKind = RecItem::None;
    StopPreview(f);
    StartPlayEntry(f);
}

void NextReplayScene(TForm1& f) {
    RecollectionState& r = Rec(f);
    if (f.app.replayContext != 2) {
        Trace("replay: no recollection replay to go on with");
        return;
    }
    StopLoopSound(f);
    ++r.playPos;
    if (r.playPos < r.playCount) StartPlayEntry(f);
    if (r.playPos >= r.playCount && f.app.replayContext == 2) BackToScreen(f);
}

void ReturnToRecollectionMenu(TForm1& f) {
    RecollectionState& r = Rec(f);
    if (f.app.replayContext != 2) {
        Trace("replay: no recollection replay to end");
        return;
    }
    r.playPos = r.playCount;
    BackToScreen(f);
}

void OpenRecollectionMenu(TForm1& f) { OpenRecollection(f); }

void RecollectionTick(TForm1& f) {
    RecollectionState& r = Rec(f);
    if (!r.open) return;
    if (r.doubleClickTimer > 0) --r.doubleClickTimer;
    if (r.previewRunning && ++r.previewTicks >= kPreviewTicks) {
        r.previewTicks = 0;
        PreviewStep(f);
    }
}

void RecollectionMouseMove(TForm1& f, int x, int y) {
    RecollectionState& r = Rec(f);
    if (!r.open) return;
    if (r.dragKind != RecItem::None) {
        ShowLabel(f, x - r.grabX, y - r.grabY);
        return;
    }
    Hit h = HitTest(f, x, y);
    if (h.kind == RecItem::Cell && r.cellScene[h.index] == 0) h = {};
    if (h.kind == RecItem::Tab || h.kind == RecItem::SubList) h = {};
    if (h.kind == r.hoverKind && h.index == r.hoverIndex) return;
    DropHover(f);
    if (h.kind == RecItem::None) return;
    Highlight(f, h);
    r.hoverKind = h.kind;
    r.hoverIndex = h.index;
}

void RecollectionMouseDown(TForm1& f, int button, int x, int y) {
    RecollectionState& r = Rec(f);
    if (!r.open || f.app.playMode != 8) return;
    if (r.previewDone) {
        ShowFromScreen(f, {kPreviewX, kPreviewY, kPreviewW, kPreviewH});
        r.previewDone = false;
    }
    const Hit h = HitTest(f, x, y);
    if (h.kind == RecItem::Tab && h.index != r.category) {
        r.category = h.index;
        r.hoverKind = RecItem::None;
        DrawAll(f);
        return;
    }
    if (h.kind == RecItem::SubList && h.index < r.subListCount[r.category]) {
        r.subList[r.category] = h.index;
        r.hoverKind = RecItem::None;
        DrawAll(f);
        return;
    }
    const int32_t* list = SelectedList(f);
    const int scene = h.kind == RecItem::Cell ? r.cellScene[h.index] : h.kind == RecItem::Entry ? list[h.index] : 0;
    if (button == platform::mbLeft && r.doubleClickTimer > 0) {
        r.doubleClickTimer = 0;
        if (scene != 0) {
            const int one[1] = {scene};
            StartRecollectionReplay(f, one, 1);
            return;
        }
    }
    if (button == platform::mbRight && scene != 0) {
        StartPreview(f, scene);
        return;
    }
    if (button == platform::mbLeft && scene != 0) {
        DropHover(f);
        StartDrag(f, h.kind, scene, h.kind == RecItem::Entry ? h.index : -1, ItemBox(h), x, y);
        return;
    }
    if (h.kind == RecItem::Icon) {
        r.recordList = h.index;
        r.hoverKind = RecItem::None;
        DrawRecordList(f);
        f.plat.surface().BlitWhole(f.gfx.screen);
        return;
    }
    // Only the double click and the drag ask for the left button; the
    // buttons take any.
    if (h.kind >= RecItem::Back) PressButton(f, h.kind);
}

void RecollectionMouseUp(TForm1& f, int button, int x, int y) {
    (void)button;
    RecollectionState& r = Rec(f);
    if (!r.open || r.dragKind == RecItem::None) return;
    HideLabel(f);
    int32_t* list = SelectedList(f);
    const int dx = x + 50 - r.grabX, dy = y + 10 - r.grabY;
    const bool inPanel = dx >= 576 && dx <= 775 && dy >= kPanelY && dy <= 509;
    if (inPanel) {
        int row = (dy - kPanelY) / kEntryH;
        if (r.dragKind == RecItem::Entry) {
            RemoveListEntry(list, r.dragEntry);
            if (r.dragEntry < row) --row;
        }
        InsertListEntry(list, row, r.dragScene);
    } else if (r.dragKind == RecItem::Entry) {
        RemoveListEntry(list, r.dragEntry);
    }
    bool ended = false;
    for (int k = 0; k < kRecordListLength; ++k) {
        if (list[k] == 0) ended = true;
        if (ended) list[k] = 0;
    }
    r.dragKind = RecItem::None;
    DrawRecordList(f);
    f.plat.surface().BlitWhole(f.gfx.screen);
}

}  // namespace velmora
