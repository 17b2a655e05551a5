// Pad buttons become the window's own mouse and key events; the D-pad moves
// the pointer between the things the screen's hit tests know.
#include "ui/pad_input.h"

#include <cstdlib>

#include "app/engine.h"
#include "app/settings.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "extras/extras.h"

namespace velmora {

using namespace platform;

namespace {

constexpr const char* kButtonNames[kPadButtons] = {"A",  "B",     "X",    "Y",  "LB",   "RB",
                                                   "Start", "Back", "Up", "Down", "Left", "Right"};
constexpr const char* kActionNames[kPadActions] = {"none",  "click", "rightclick", "hide", "backlog",
                                                   "wheelup", "skip", "menu",      "auto", "up",
                                                   "down",  "left",  "right"};

// The stick counts as a direction past about half its travel.
constexpr int kStickDeadZone = 16000;
// A held direction repeats after this long, then at this pace.
constexpr uint32_t kRepeatDelay = 400, kRepeatPace = 150;
// The pitch the screen is sampled at for click targets: finer than the
// smallest thing a screen offers (a prompt answer is 30 pixels high).
constexpr int kScanStep = 4;
constexpr int kScanColumns = 800 / kScanStep, kScanRows = 600 / kScanStep;

// Counts the resets of the mapping, so that a pad reads it again after one.
int mappingResets = 0;

void Key(TForm1& f, uint16_t vk, char ch, uint32_t shift) {
    uint16_t k = vk;
    f.FormKeyDown(k, shift);
    if (ch != 0 && k != 0) {
        char c = ch;
        f.FormKeyPress(c);
    }
    k = vk;
    f.FormKeyUp(k, shift);
}

int GalleryHit(TForm1& f, int x, int y) {
    const GalleryState& g = f.extras.gallery;
    if (!g.open || g.fullView || g.busy) return 0;
    const int h = ViewerHitTest(g.view, g.currentSet, x, y);
    // With one set the arrows have nothing to turn to; the music room's
    // pair are its stop and play-again buttons, which always act.
    if ((h == kViewerNext || h == kViewerPrev) && g.view.setCount == 1 && g.view.type != 3) return 0;
    return h;
}

// While a scene or entry is carried, the place after the record list's last
// entry takes it too: an empty list has no entry to drop on otherwise.
int RecollectionPadHit(TForm1& f, int x, int y) {
    const int h = RecollectionHit(f, x, y);
    const RecollectionState& r = f.extras.recollection;
    if (h != 0 || r.dragKind == RecItem::None) return h;
    const int n = ListLength(f.extras.recordLists[r.recordList]);
    int cx = 0, cy = 0;
    if (n >= kRecordListUsed || !RecollectionItemCentre(RecItem::Entry, n, cx, cy)) return 0;
    if (std::abs(x - cx) > 8 || std::abs(y - cy) > 4) return 0;
    return static_cast<int>(RecItem::Entry) * 1000 + n + 1;
}

}  // namespace

PadMapping DefaultPadMapping() {
    PadMapping m{};
    m[PadButton::A] = PadAction::Click;
    m[PadButton::B] = PadAction::RightClick;
    m[PadButton::X] = PadAction::HideWindow;
    m[PadButton::Y] = PadAction::Backlog;
    m[PadButton::LeftShoulder] = PadAction::WheelUp;
    m[PadButton::RightShoulder] = PadAction::Skip;
    m[PadButton::Start] = PadAction::Menu;
    m[PadButton::Back] = PadAction::Auto;
    m[PadButton::Up] = PadAction::FocusUp;
    m[PadButton::Down] = PadAction::FocusDown;
    m[PadButton::Left] = PadAction::FocusLeft;
    m[PadButton::Right] = PadAction::FocusRight;
    return m;
}

const char* PadButtonName(PadButton b) { return kButtonNames[static_cast<int>(b)]; }
const char* PadActionName(PadAction a) { return kActionNames[static_cast<int>(a)]; }

bool PadButtonFromName(const std::string& name, PadButton& out) {
    for (int i = 0; i < kPadButtons; ++i)
        if (EqualsNoCase(name.c_str(), kButtonNames[i])) {
            out = static_cast<PadButton>(i);
            return true;
        }
    return false;
}

bool PadActionFromName(const std::string& name, PadAction& out) {
    for (int i = 0; i < kPadActions; ++i)
        if (EqualsNoCase(name.c_str(), kActionNames[i])) {
            out = static_cast<PadAction>(i);
            return true;
        }
    return false;
}

std::string PadActionCaption(PadAction a) {
    static const char* const kCaptions[kPadActions] = {
        "なし",         "クリック（進む・選ぶ）", "右クリック（メニュー・戻る）", "ウィンドウを消す",
        "バックログ",   "ページを戻す",           "スキップ（押している間）",   "メニュー",
        "オート",       "フォーカス上",           "フォーカス下",               "フォーカス左",
        "フォーカス右"};
    return ToCp932(kCaptions[static_cast<int>(a)]);
}

std::string PadSettingName(PadButton b) { return std::string("Pad") + PadButtonName(b); }

PadMapping ReadPadMapping(SettingsStore& store, const std::string& key, const std::string& section) {
    PadMapping m = DefaultPadMapping();
    for (int i = 0; i < kPadButtons; ++i) {
        const PadButton b = static_cast<PadButton>(i);
        const std::string name = PadSettingName(b);
        const std::string value = ClampSettingText(name.c_str(), store.ReadString(key, section, name, ""));
        if (value.empty()) continue;
        PadAction a;
        if (PadActionFromName(value, a)) m[b] = a;
        else Trace("settings: %s=%s is no pad action, %s kept", PadSettingName(b).c_str(), value.c_str(),
                   PadActionName(m[b]));
    }
    return m;
}

void ResetPadMapping(SettingsStore& store, const std::string& key, const std::string& section) {
    const PadMapping m = DefaultPadMapping();
    for (int i = 0; i < kPadButtons; ++i) {
        const PadButton b = static_cast<PadButton>(i);
        store.WriteString(key, section, PadSettingName(b), PadActionName(m[b]));
    }
    ++mappingResets;
    Trace("pad mapping reset");
}

bool PadRumbleOn(SettingsStore& store, const std::string& key, const std::string& section) {
    return ClampSetting("PadRumble", store.ReadInteger(key, section, "PadRumble", 0), 0) != 0;
}

// ---- Focus ----

int PadHitKey(TForm1& f, int x, int y) {
    if (f.flags.busy || f.flags.interruptibleEffect) return 0;
    if (f.ui.promptKind != kPromptNone) return PromptHit(x, y);
    if (f.backlog.open) return 0;  // the D-pad scrolls it
    switch (f.app.playMode) {
        case 0: break;
        case 6: return GalleryHit(f, x, y);
        case 8: return RecollectionPadHit(f, x, y);
        case 9: return QuickBarHit(f, x, y);
        default: return 0;
    }
    // Choices first, then the quick bar where it shows (keys 100 + slot).
    int hit = 0;
    switch (f.ui.choiceKind) {
        case kChoiceList:
        case kChoiceListNovel: hit = ChoiceListHit(f, x, y); break;
        case kChoiceMap: return ClickMapHit(f, x, y);
        case kChoiceTree: return ChoiceTreeHit(f, x, y);
        default: break;
    }
    if (hit != 0) return hit;
    if (!f.text.windowOpen || f.ui.SkipActive) return 0;
    const int q = QuickBarHit(f, x, y);
    return q != 0 ? 100 + q : 0;
}

int PadTargets(TForm1& f, PadTarget* out, int max) {
    // One sample of the hit tests every few pixels; each thing's point is the
    // sample of its own nearest the middle of all its samples, so it lies on
    // the thing even where the thing is not a rectangle.
    static int grid[kScanRows][kScanColumns];
    struct Sum {
        int key;
        long sx, sy, n;
    };
    static Sum sums[kPadTargetMax];
    int count = 0;
    for (int r = 0; r < kScanRows; ++r)
        for (int c = 0; c < kScanColumns; ++c) {
            const int key = PadHitKey(f, c * kScanStep + kScanStep / 2, r * kScanStep + kScanStep / 2);
            grid[r][c] = key;
            if (key == 0) continue;
            int i = 0;
            while (i < count && sums[i].key != key) ++i;
            if (i == count) {
                if (count == kPadTargetMax) continue;
                sums[count++] = {key, 0, 0, 0};
            }
            sums[i].sx += c;
            sums[i].sy += r;
            ++sums[i].n;
        }
    int n = 0;
    for (int i = 0; i < count && n < max; ++i) {
        const long mx = sums[i].sx / sums[i].n, my = sums[i].sy / sums[i].n;
        long best = -1;
        PadTarget t;
        t.key = sums[i].key;
        for (int r = 0; r < kScanRows; ++r)
            for (int c = 0; c < kScanColumns; ++c) {
                if (grid[r][c] != t.key) continue;
                const long d = (c - mx) * (c - mx) + (r - my) * (r - my);
                if (best >= 0 && d >= best) continue;
                best = d;
                t.x = c * kScanStep + kScanStep / 2;
                t.y = r * kScanStep + kScanStep / 2;
            }
        // Reading order: top to bottom, left to right.
        int j = n++;
        while (j > 0 && (out[j - 1].y > t.y || (out[j - 1].y == t.y && out[j - 1].x > t.x))) {
            out[j] = out[j - 1];
            --j;
        }
        out[j] = t;
    }
    return n;
}

int NextPadTarget(const PadTarget* targets, int count, int x, int y, int dx, int dy, int currentKey) {
    int best = -1;
    long bestScore = 0;
    // Within 45 degrees of the way pressed first: a thing barely ahead but
    // far to the side is not where the player pointed; failing that, any
    // thing ahead.
    for (int pass = 0; pass < 2 && best < 0; ++pass)
        for (int i = 0; i < count; ++i) {
            const PadTarget& t = targets[i];
            if (currentKey != 0 && t.key == currentKey) continue;
            const long ax = t.x - x, ay = t.y - y;
            const long along = ax * dx + ay * dy;
            if (along <= 0) continue;
            const long side = std::labs(ax * dy) + std::labs(ay * dx);
            if (pass == 0 && side > along) continue;
            const long score = along + 2 * side;
            if (best < 0 || score < bestScore) {
                best = i;
                bestScore = score;
            }
        }
    if (best >= 0 || currentKey != 0) return best;
    for (int i = 0; i < count; ++i) {
        const long ax = targets[i].x - x, ay = targets[i].y - y;
        const long d = ax * ax + ay * ay;
        if (best < 0 || d < bestScore) {
            best = i;
            bestScore = d;
        }
    }
    return best;
}

bool StepPointerFocus(TForm1& f, int dx, int dy, uint32_t shift, bool fromFirst, int keyLimit) {
    static PadTarget targets[kPadTargetMax];
    int n = 0;
    for (int i = 0, all = PadTargets(f, targets, kPadTargetMax); i < all; ++i)
        if (targets[i].key < keyLimit) targets[n++] = targets[i];
    const int x = f.ui.LastMouseX, y = f.ui.LastMouseY;
    int current = PadHitKey(f, x, y);
    if (current >= keyLimit) current = 0;
    const int i = fromFirst && current == 0 ? (n > 0 ? 0 : -1) : NextPadTarget(targets, n, x, y, dx, dy, current);
    if (i < 0) return false;
    Trace("focus to %d at %d,%d", targets[i].key, targets[i].x, targets[i].y);
    f.plat.SetCursorPos(f.ui.PaintBoxOriginX + targets[i].x, f.ui.PaintBoxOriginY + targets[i].y);
    f.PBMouseMove(shift, targets[i].x, targets[i].y);
    return true;
}

bool PadDialogKey(PadButton b, uint16_t& vk, uint32_t& shift) {
    shift = 0;
    switch (b) {
        case PadButton::A: vk = VK_RETURN; break;
        case PadButton::B: vk = VK_ESCAPE; break;
        case PadButton::Up: vk = VK_UP; break;
        case PadButton::Down: vk = VK_DOWN; break;
        case PadButton::Left:
            vk = VK_TAB;
            shift = ssShift;
            break;
        case PadButton::Right: vk = VK_TAB; break;
        case PadButton::LeftShoulder:
            vk = VK_TAB;
            shift = ssCtrl | ssShift;
            break;
        case PadButton::RightShoulder:
            vk = VK_TAB;
            shift = ssCtrl;
            break;
        default: return false;
    }
    return true;
}

// ---- The pad ----

void PadInput::ReadMapping() {
    mapping = ReadPadMapping(f_.plat.settings(), f_.config.MAKER_REG, f_.config.GAME_ID);
    mappingRead_ = mappingResets;
}

void PadInput::MoveFocus(int dx, int dy) {
    used = true;
    const int x = f_.ui.LastMouseX, y = f_.ui.LastMouseY;
    if (f_.backlog.open) {
        // The backlog's lines scroll as under the wheel.
        if (dy != 0) {
            bool handled = false;
            f_.FormMouseWheel(shift_, dy < 0 ? 120 : -120, x, y, handled);
        }
        return;
    }
    StepPointerFocus(f_, dx, dy, shift_, false);
}

void PadInput::Hold(int dx, int dy) {
    heldDx_ = dx;
    heldDy_ = dy;
    if (dx == 0 && dy == 0) return;
    MoveFocus(dx, dy);
    repeatAt_ = f_.plat.clock().Now() + kRepeatDelay;
}

void PadInput::Do(PadAction a, bool down) {
    TForm1& f = f_;
    const int x = f.ui.LastMouseX, y = f.ui.LastMouseY;
    switch (a) {
        case PadAction::None: break;
        case PadAction::Click:
        case PadAction::RightClick: {
            const MouseButton b = a == PadAction::Click ? mbLeft : mbRight;
            const uint32_t bit = a == PadAction::Click ? ssLeft : ssRight;
            if (down) {
                shift_ |= bit;
                f.PBMouseDown(b, shift_, x, y);
            } else {
                shift_ &= ~bit;
                f.PBMouseUp(b, shift_, x, y);
            }
            break;
        }
        case PadAction::HideWindow:
            if (down) Key(f, 'W', 'w', shift_);
            break;
        case PadAction::Backlog:
            if (down) Key(f, VK_BACK, '\b', shift_);
            break;
        case PadAction::Auto:
            if (down) Key(f, VK_SPACE, ' ', shift_);
            break;
        case PadAction::WheelUp:
            if (down) {
                bool handled = false;
                f.FormMouseWheel(shift_, 120, x, y, handled);
            }
            break;
        case PadAction::Skip: {
            uint16_t k = VK_CONTROL;
            if (down) {
                shift_ |= ssCtrl;
                f.FormKeyDown(k, shift_);
            } else {
                shift_ &= ~ssCtrl;
                f.FormKeyUp(k, shift_);
            }
            break;
        }
        case PadAction::Menu: {
            // Where a right click would reach the menu in normal play.
            const bool free = f.ui.promptKind == kPromptNone && !f.backlog.open && !f.flags.busy &&
                              !f.flags.interruptibleEffect && f.app.playMode == 0 && f.vars.S[56] == 0 &&
                              f.ui.choiceKind != kChoiceMap && f.ui.choiceKind != kChoiceTree && !f.ui.PanicActive;
            if (!down || !free) break;
            f.ui.PopupOpen = true;
            int sx = 0, sy = 0;
            f.plat.PaintBoxToScreen(x + 16, y, sx, sy);
            ShowRightClickMenu(f, sx, sy);
            break;
        }
        case PadAction::FocusUp: Hold(0, down ? -1 : 0); break;
        case PadAction::FocusDown: Hold(0, down ? 1 : 0); break;
        case PadAction::FocusLeft: Hold(down ? -1 : 0, 0); break;
        case PadAction::FocusRight: Hold(down ? 1 : 0, 0); break;
    }
}

void PadInput::ButtonDown(PadButton b) {
    const int i = static_cast<int>(b);
    if (down_[i]) return;  // a pad repeats nothing by itself
    down_[i] = true;
    used = true;
    if (mappingRead_ != mappingResets) ReadMapping();
    Trace("pad %s down: %s", PadButtonName(b), PadActionName(mapping[b]));
    Do(mapping[b], true);
}

void PadInput::ButtonUp(PadButton b) {
    const int i = static_cast<int>(b);
    if (!down_[i]) return;
    down_[i] = false;
    Do(mapping[b], false);
}

void PadInput::Forget(PadButton b) {
    const int i = static_cast<int>(b);
    if (!down_[i]) return;
    down_[i] = false;
    switch (mapping[b]) {
        case PadAction::Click: shift_ &= ~ssLeft; break;
        case PadAction::RightClick: shift_ &= ~ssRight; break;
        case PadAction::Skip: shift_ &= ~ssCtrl; break;
        case PadAction::FocusUp:
        case PadAction::FocusDown:
        case PadAction::FocusLeft:
        case PadAction::FocusRight: heldDx_ = heldDy_ = 0; break;
        default: break;
    }
}

void PadInput::ReleaseAll() {
    for (int i = 0; i < kPadButtons; ++i) ButtonUp(static_cast<PadButton>(i));
    stickDx_ = stickDy_ = 0;
    heldDx_ = heldDy_ = 0;
}

void PadInput::Stick(int x, int y) {
    int dx = 0, dy = 0;
    if (std::abs(x) >= std::abs(y)) {
        if (std::abs(x) > kStickDeadZone) dx = x > 0 ? 1 : -1;
    } else if (std::abs(y) > kStickDeadZone) {
        dy = y > 0 ? 1 : -1;
    }
    if (dx == stickDx_ && dy == stickDy_) return;
    stickDx_ = dx;
    stickDy_ = dy;
    if (dx != 0 || dy != 0) used = true;
    Hold(dx, dy);
}

void PadInput::Tick() {
    if (heldDx_ == 0 && heldDy_ == 0) return;
    const uint32_t now = f_.plat.clock().Now();
    if (static_cast<int32_t>(now - repeatAt_) < 0) return;
    repeatAt_ = now + kRepeatPace;
    MoveFocus(heldDx_, heldDy_);
}

}  // namespace velmora
