#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/png_file.h"
#include "save/save_transfer.h"
#include "save/slots.h"

namespace velmora::platform {

namespace {
constexpr uint32_t kTimerInterval = 55;

bool ParseInt(const std::string& s, int& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < -1000000 || v > 1000000) return false;
    out = static_cast<int>(v);
    return true;
}
}

HeadlessPlatform::HeadlessPlatform(std::unique_ptr<SettingsStore> store) : store_(std::move(store)) {
    canvas_.Resize(800, 600);
}

bool HeadlessPlatform::TimelineDone() const {
    return next_ >= timeline_.events.size() && now_ >= timeline_.endTime;
}

void HeadlessPlatform::CheckEnd() {
    if (closed_ || (allowEnd_ && TimelineDone())) throw RunEnded{};
}

void HeadlessPlatform::Sleep(uint32_t ms) {
    now_ += ms;
    // A loop that sleeps without pumping still ends with the timeline.
    if (allowEnd_ && TimelineDone()) throw RunEnded{};
}

void HeadlessPlatform::ProcessMessages() {
    CheckEnd();
    for (;;) {
        if (moveQueued_ && engine_) {
            moveQueued_ = false;
            engine_->PBMouseMove(held_, cursorX_, cursorY_);
            CheckEnd();
            continue;
        }
        // Once the innermost form or menu has closed, what follows waits for
        // the pump after it: it is meant for whatever comes next.
        if ((!forms_.empty() && forms_.back()->closed) || (menu_ && menuDone_)) break;
        uint32_t nextTick = (ticksDone_ + 1) * kTimerInterval;
        bool tickDue = nextTick <= now_;
        bool eventDue = next_ < timeline_.events.size() && timeline_.events[next_].time <= now_;
        if (!tickDue && !eventDue) break;
        if (tickDue && (!eventDue || nextTick <= timeline_.events[next_].time)) {
            ++ticksDone_;
            if (engine_) engine_->Timer1Timer();
            // A held direction moves the game's focus, not through a dialog.
            if (pad_ && forms_.empty() && !menu_) pad_->Tick();
        } else {
            const TimelineEvent e = timeline_.events[next_++];
            Deliver(e);
        }
        CheckEnd();
    }
}

void HeadlessPlatform::Deliver(const TimelineEvent& e) {
    if (!engine_) return;
    if (DeliverToForm(e)) return;
    TForm1& f = *engine_;
    // A key that opens a form loses the rest of its messages to it.
    const uint32_t flushMark = keysFlushed_;
    auto buttonBit = [](int b) { return b == mbLeft ? ssLeft : b == mbRight ? ssRight : ssMiddle; };
    auto press = [&](bool down) {
        cursorX_ = e.x;
        cursorY_ = e.y;
        MouseButton b = static_cast<MouseButton>(e.button);
        if (down) {
            held_ |= buttonBit(e.button);
            f.PBMouseDown(b, held_, e.x, e.y);
        } else {
            held_ &= ~buttonBit(e.button);
            f.PBMouseUp(b, held_, e.x, e.y);
        }
    };
    auto keyDown = [&]() {
        if (e.vk == VK_CONTROL) held_ |= ssCtrl;
        if (e.vk == VK_SHIFT) held_ |= ssShift;
        uint16_t vk = e.vk;
        f.FormKeyDown(vk, held_);
        if (e.ch && vk != 0 && keysFlushed_ == flushMark) {
            char c = e.ch;
            // With Ctrl held a letter types its control character, as in the window.
            if ((held_ & ssCtrl) && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) c = static_cast<char>(c & 0x1F);
            f.FormKeyPress(c);
        }
    };
    auto keyUp = [&]() {
        if (e.vk == VK_CONTROL) held_ &= ~ssCtrl;
        if (e.vk == VK_SHIFT) held_ &= ~ssShift;
        if (keysFlushed_ != flushMark) return;
        uint16_t vk = e.vk;
        f.FormKeyUp(vk, held_);
    };
    switch (e.kind) {
        case EventKind::Move:
            cursorX_ = e.x;
            cursorY_ = e.y;
            f.PBMouseMove(held_, e.x, e.y);
            break;
        case EventKind::Down: press(true); break;
        case EventKind::Up: press(false); break;
        case EventKind::Click:
            press(true);
            press(false);
            break;
        case EventKind::Key:
            keyDown();
            keyUp();
            break;
        case EventKind::KeyDown: keyDown(); break;
        case EventKind::KeyUp: keyUp(); break;
        case EventKind::Wheel: {
            bool handled = false;
            f.FormMouseWheel(held_, e.value, cursorX_, cursorY_, handled);
            break;
        }
        case EventKind::Answer: answerOk_ = e.value != 0; break;
        case EventKind::Close: {
            if (closing_) break;
            closing_ = true;
            bool canClose = true;
            f.FormCloseQuery(canClose);
            closing_ = false;
            if (canClose) {
                closed_ = true;
                f.FormDestroy();
            }
            break;
        }
        case EventKind::Save:
            if (!SaveGame(f, e.value, true)) {
                Trace("events line %d: save %d failed", e.line, e.value);
                ++failedEvents;
            }
            break;
        case EventKind::Load:
            if (!LoadGame(f, e.value, true)) Trace("events line %d: load %d failed", e.line, e.value);
            break;
        case EventKind::Export:
        case EventKind::Import: {
            std::string message;
            const bool ok = e.kind == EventKind::Export ? ExportSavesToFile(f, e.path, message)
                                                        : ImportSaves(f, e.path, message);
            Trace("events line %d: %s %s: %s", e.line, e.kind == EventKind::Export ? "export" : "import",
                  e.path.c_str(), message.c_str());
            if (!ok) ++failedEvents;
            SavesTransferred(e.kind == EventKind::Export, ok, message);
            break;
        }
        case EventKind::Screenshot:
            if (WritePng(e.path, canvas_)) Trace("screenshot %s at %u ms", e.path.c_str(), now_);
            else {
                std::fprintf(stderr, "velmora: cannot write screenshot %s (events line %d)\n", e.path.c_str(), e.line);
                ++failedEvents;
            }
            break;
        case EventKind::Pad:
            Pad().ButtonDown(static_cast<PadButton>(e.value));
            Pad().ButtonUp(static_cast<PadButton>(e.value));
            break;
        case EventKind::PadDown: Pad().ButtonDown(static_cast<PadButton>(e.value)); break;
        case EventKind::PadUp: Pad().ButtonUp(static_cast<PadButton>(e.value)); break;
        case EventKind::Stick: Pad().Stick(e.x, e.y); break;
        case EventKind::ToolBar:
            // A hidden or greyed button cannot be clicked.
            if (!toolBarShown || !toolbar_[0] || !toolbar_[e.value]) {
                Trace("events line %d: tool-bar button %d is not there to click, dropped", e.line, e.value);
                break;
            }
            if (e.value == kButtonQuit) f.SpeedButton1Click();
            else if (e.value == kButtonSettings) f.SpeedButton2Click();
            else if (e.value == kButtonSave) f.SpeedButton3Click();
            else f.SpeedButton4Click();
            break;
        case EventKind::Menu:
        case EventKind::Dialog:
            Trace("events line %d: %s with no %s open, dropped", e.line, e.kind == EventKind::Menu ? "menu" : "dialog",
                  e.kind == EventKind::Menu ? "menu" : "dialog");
            break;
    }
}

// ---- Forms and menus ----

int HeadlessPlatform::Width() { return kWindowOuterWidth; }
int HeadlessPlatform::Height() { return kWindowOuterHeight; }

namespace {

struct PopOnExit {
    std::vector<Form*>& forms;
    ~PopOnExit() { forms.pop_back(); }
};

// The page a paging key moves a list by: the rows its height shows.
int ListPageRows(const Control& c) { return std::max(1, (c.height - 21) / 17); }

}  // namespace

void HeadlessPlatform::RunModal(Form& form) {
    forms_.push_back(&form);
    PopOnExit pop{forms_};
    if (form.flushKeysOnShow) ++keysFlushed_;
    while (!form.closed) {
        ProcessMessages();
        if (form.closed) break;
        if (!allowEnd_ && !eventsMayFollow_ && next_ >= timeline_.events.size()) {
            // A test's timeline that ends with the form open: nothing can close it any more.
            Trace("dialog %s: no events left, closed", form.name.c_str());
            break;
        }
        Sleep(10);
    }
}

int HeadlessPlatform::RunPopupMenu(PopupMenuModel& menu, int, int) {
    PopupMenuModel* outer = menu_;
    menu_ = &menu;
    menuPick_ = -1;
    menuDone_ = false;
    menuHighlight = -1;
    struct Restore {
        PopupMenuModel*& menu;
        PopupMenuModel* outer;
        ~Restore() { menu = outer; }
    } restore{menu_, outer};
    while (!menuDone_) {
        ProcessMessages();
        if (menuDone_) break;
        if (!allowEnd_ && !eventsMayFollow_ && next_ >= timeline_.events.size()) {
            Trace("menu %s: no events left, closed", menu.name.c_str());
            break;
        }
        Sleep(10);
    }
    int pick = menuDone_ ? menuPick_ : -1;
    menuDone_ = false;
    return pick;
}

bool HeadlessPlatform::DeliverToForm(const TimelineEvent& e) {
    Form* form = OpenForm();
    if (!form && !menu_) return false;
    switch (e.kind) {
        case EventKind::Menu:
            if (!menu_) {
                Trace("events line %d: menu with no menu open, dropped", e.line);
                return true;
            }
            MenuCommand(e);
            return true;
        case EventKind::Dialog:
            if (!form) {
                Trace("events line %d: dialog with no dialog open, dropped", e.line);
                return true;
            }
            DialogCommand(*form, e);
            return true;
        case EventKind::Key:
        case EventKind::KeyDown:
        case EventKind::KeyUp:
            // The keyboard belongs to the open menu or form.
            if (menu_) {
                if (e.kind != EventKind::KeyUp && e.vk == VK_ESCAPE) {
                    Trace("menu %s: closed by Escape", menu_->name.c_str());
                    menuPick_ = -1;
                    menuDone_ = true;
                }
                return true;
            }
            if (e.kind != EventKind::KeyUp) FormKey(*form, e.vk, e.ch);
            if (e.kind != EventKind::KeyDown && !form->closed) {
                FormAction up{ActionKind::KeyUp, form->focus, e.vk, {}};
                Dispatch(*this, *form, up);
            }
            return true;
        case EventKind::Pad:
        case EventKind::PadDown:
            PadInForm(static_cast<PadButton>(e.value));
            return true;
        case EventKind::PadUp:
            Pad().Forget(static_cast<PadButton>(e.value));
            return true;
        case EventKind::Move:
        case EventKind::Down:
        case EventKind::Up:
        case EventKind::Click:
        case EventKind::Wheel:
        case EventKind::Close:
        case EventKind::Stick:
        case EventKind::ToolBar:
            Trace("events line %d: the game window takes no input while %s is open, dropped", e.line,
                  menu_ ? menu_->name.c_str() : form->name.c_str());
            return true;
        default: return false;
    }
}

PadInput& HeadlessPlatform::Pad() {
    if (!pad_) {
        pad_ = std::make_unique<PadInput>(*engine_);
        pad_->ReadMapping();
    }
    return *pad_;
}

namespace {

bool TakesFocus(const Form& form, const Control& c) {
    if (!c.visible || !c.enabled || (c.page >= 0 && c.page != form.page)) return false;
    return c.kind != ControlKind::Label && c.kind != ControlKind::Group && c.kind != ControlKind::Image;
}

}  // namespace

void HeadlessPlatform::PadInForm(PadButton b) {
    if (menu_) {
        // Up and Down light the enabled items in turn, A picks, B closes.
        const int n = static_cast<int>(menu_->items.size());
        auto lit = [&](int i) {
            const MenuItem& it = menu_->items[static_cast<size_t>(i)];
            return it.visible && it.enabled && !it.separator && it.caption != "-";
        };
        if (b == PadButton::Up || b == PadButton::Down) {
            const int step = b == PadButton::Down ? 1 : -1;
            for (int k = 1, i = menuHighlight; k <= n; ++k) {
                i = ((i < 0 && step < 0 ? n : i) + step + n) % n;
                if (lit(i)) {
                    menuHighlight = i;
                    break;
                }
            }
            if (menuHighlight >= 0) Trace("menu %s: pad on %s", menu_->name.c_str(), menu_->items[menuHighlight].name.c_str());
        } else if (b == PadButton::A && menuHighlight >= 0) {
            Trace("menu %s: pad picks %s", menu_->name.c_str(), menu_->items[menuHighlight].name.c_str());
            menuPick_ = menuHighlight;
            menuDone_ = true;
        } else if (b == PadButton::B) {
            Trace("menu %s: closed by the pad", menu_->name.c_str());
            menuPick_ = -1;
            menuDone_ = true;
        }
        return;
    }
    Form& form = *OpenForm();
    uint16_t vk = 0;
    uint32_t shift = 0;
    if (!PadDialogKey(b, vk, shift)) return;
    if (vk == VK_TAB && (shift & ssCtrl)) {
        // The shoulders turn the tab pages.
        if (form.pages.empty()) return;
        const int n = static_cast<int>(form.pages.size());
        FormAction a{ActionKind::Tab, -1, (form.page + ((shift & ssShift) ? n - 1 : 1)) % n, {}};
        Dispatch(*this, form, a);
        return;
    }
    if (vk == VK_TAB) {
        // The focus goes round the controls that take it, as Tab in a dialog.
        const int n = static_cast<int>(form.controls.size());
        const int step = (shift & ssShift) ? -1 : 1;
        for (int k = 1, i = form.focus; k <= n; ++k) {
            i = ((i < 0 && step < 0 ? n : i) + step + n) % n;
            if (TakesFocus(form, form.controls[static_cast<size_t>(i)])) {
                form.focus = i;
                Trace("dialog %s: focus on %s", form.name.c_str(), form.controls[static_cast<size_t>(i)].name.c_str());
                break;
            }
        }
        return;
    }
    if (vk == VK_RETURN && form.focus >= 0) {
        // A presses the button or box it stands on, as Space does.
        const Control& c = form.controls[static_cast<size_t>(form.focus)];
        if (c.kind == ControlKind::Button || c.kind == ControlKind::CheckBox) {
            FormAction a{ActionKind::Click, form.focus, 0, {}};
            Dispatch(*this, form, a);
            return;
        }
    }
    FormKey(form, vk, vk == VK_RETURN ? '\r' : vk == VK_ESCAPE ? 27 : 0);
    if (!form.closed) {
        FormAction up{ActionKind::KeyUp, form.focus, vk, {}};
        Dispatch(*this, form, up);
    }
}

void HeadlessPlatform::FormKey(Form& form, uint16_t vk, char ch) {
    FormAction down{ActionKind::KeyDown, form.focus, vk, {}};
    Dispatch(*this, form, down);
    if (ch && !form.closed) {
        FormAction press{ActionKind::KeyPress, form.focus, static_cast<unsigned char>(ch), {}};
        Dispatch(*this, form, press);
    }
    // What the list itself does with the keys that move its selection.
    if (form.closed || form.focus < 0 || form.controls[form.focus].kind != ControlKind::List) return;
    const Control& list = form.controls[form.focus];
    const int rows = static_cast<int>(list.rows.size());
    if (rows == 0) return;
    int row = list.selected;
    switch (vk) {
        case VK_UP: row = row < 0 ? 0 : row - 1; break;
        case VK_DOWN: row = row < 0 ? 0 : row + 1; break;
        case VK_PRIOR: row -= ListPageRows(list); break;
        case VK_NEXT: row += ListPageRows(list); break;
        case VK_HOME: row = 0; break;
        case VK_END: row = rows - 1; break;
        default: return;
    }
    row = std::clamp(row, 0, rows - 1);
    FormAction select{ActionKind::Select, form.focus, row, {}};
    Dispatch(*this, form, select);
}

void HeadlessPlatform::DialogCommand(Form& form, const TimelineEvent& e) {
    auto firstOf = [&](ControlKind kind) {
        if (form.focus >= 0 && form.controls[form.focus].kind == kind && form.controls[form.focus].visible)
            return form.focus;
        for (size_t i = 0; i < form.controls.size(); ++i)
            if (form.controls[i].kind == kind && form.controls[i].visible) return static_cast<int>(i);
        return -1;
    };
    auto missing = [&](const char* what) {
        Trace("events line %d: dialog %s has no %s \"%s\", dropped", e.line, form.name.c_str(), what,
              e.what.c_str());
    };
    FormAction a;
    switch (e.verb) {
        case DialogVerb::Select:
        case DialogVerb::Sort:
            a.control = firstOf(ControlKind::List);
            if (a.control < 0) return missing("list");
            a.kind = e.verb == DialogVerb::Select ? ActionKind::Click : ActionKind::ColumnClick;
            a.value = e.value - 1;
            break;
        case DialogVerb::Press:
            a.control = FindControl(form, e.what, {ControlKind::Button});
            if (a.control < 0) return missing("button");
            a.kind = ActionKind::Click;
            break;
        case DialogVerb::Type:
            a.control = firstOf(ControlKind::Edit);
            if (a.control < 0) return missing("text field");
            a.kind = ActionKind::Text;
            a.text = e.what;
            break;
        case DialogVerb::Set: {
            a.control = FindControl(form, e.what,
                                    {ControlKind::CheckBox, ControlKind::RadioGroup, ControlKind::Slider,
                                     ControlKind::SpinBox, ControlKind::ComboBox});
            if (a.control < 0) return missing("control");
            const Control& c = form.controls[a.control];
            int v = 0;
            bool number = ParseInt(e.setting, v);
            if (!number && (c.kind == ControlKind::RadioGroup || c.kind == ControlKind::ComboBox)) {
                v = -1;
                for (size_t i = 0; i < c.choices.size() && v < 0; ++i)
                    if (PlainCaption(c.choices[i]).rfind(e.setting, 0) == 0) v = static_cast<int>(i);
                number = v >= 0;
            }
            if (!number) {
                Trace("events line %d: dialog %s: %s cannot take \"%s\", dropped", e.line, form.name.c_str(),
                      c.name.c_str(), e.setting.c_str());
                return;
            }
            if (c.kind == ControlKind::CheckBox) {
                if ((v != 0) == (c.value != 0)) return;  // already so: no click
                a.kind = ActionKind::Click;
            } else {
                a.kind = ActionKind::Value;
                a.value = v;
            }
            break;
        }
        case DialogVerb::Tab:
            a.kind = ActionKind::Tab;
            a.value = -1;
            for (size_t i = 0; i < form.pages.size() && a.value < 0; ++i)
                if (PlainCaption(form.pages[i]).rfind(e.what, 0) == 0) a.value = static_cast<int>(i);
            if (a.value < 0) return missing("page");
            break;
        case DialogVerb::Key:
            FormKey(form, e.vk, e.ch);
            if (!form.closed) {
                FormAction up{ActionKind::KeyUp, form.focus, e.vk, {}};
                Dispatch(*this, form, up);
            }
            return;
    }
    if (!Dispatch(*this, form, a)) Trace("events line %d: dialog %s: the action had no effect", e.line, form.name.c_str());
}

void HeadlessPlatform::MenuCommand(const TimelineEvent& e) {
    if (e.what == "cancel") {
        Trace("menu %s: cancel", menu_->name.c_str());
        menuPick_ = -1;
        menuDone_ = true;
        return;
    }
    int i = FindMenuItem(*menu_, e.what);
    if (i < 0) {
        Trace("events line %d: menu %s has no item \"%s\", dropped", e.line, menu_->name.c_str(), e.what.c_str());
        return;
    }
    if (!menu_->items[i].enabled) {
        Trace("events line %d: menu %s: %s is disabled, dropped", e.line, menu_->name.c_str(),
              menu_->items[i].name.c_str());
        return;
    }
    menuPick_ = i;
    menuDone_ = true;
}

void HeadlessPlatform::Close() {
    if (closed_ || closing_ || !engine_) return;
    closing_ = true;
    bool canClose = true;
    engine_->FormCloseQuery(canClose);
    closing_ = false;
    if (canClose) {
        closed_ = true;
        engine_->FormDestroy();
    }
}

void HeadlessPlatform::SetToolBarEnabled(int button, bool enabled) {
    if (button >= 0 && button < 8) toolbar_[button] = enabled;
}

void HeadlessPlatform::Blit(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) {
    // Clip to the source and to the canvas.
    if (sx < 0) { w += sx; dx -= sx; sx = 0; }
    if (sy < 0) { h += sy; dy -= sy; sy = 0; }
    if (dx < 0) { w += dx; sx -= dx; dx = 0; }
    if (dy < 0) { h += dy; sy -= dy; dy = 0; }
    w = std::min({w, src.width - sx, canvas_.width - dx});
    h = std::min({h, src.height - sy, canvas_.height - dy});
    if (w <= 0 || h <= 0) return;
    for (int y = 0; y < h; ++y)
        std::memcpy(canvas_.Pixel(dx, dy + y), src.Pixel(sx, sy + y), static_cast<size_t>(w) * 3);
}

void HeadlessPlatform::Fill(uint32_t colour) {
    uint8_t b = static_cast<uint8_t>(colour >> 16), g = static_cast<uint8_t>(colour >> 8),
            r = static_cast<uint8_t>(colour);
    for (size_t i = 0; i < canvas_.bytes.size(); i += 3) {
        canvas_.bytes[i] = b;
        canvas_.bytes[i + 1] = g;
        canvas_.bytes[i + 2] = r;
    }
}

BoxAnswer HeadlessPlatform::MessageBox(const std::string& text, const std::string& caption, BoxIcon,
                                       BoxButtons buttons) {
    std::string line = ToUtf8(caption) + ": " + ToUtf8(text);
    shown_.push_back(line);
    std::fprintf(stderr, "velmora: %s\n", line.c_str());
    bool ok = answerOk_;
    answerOk_ = true;  // an answer holds for the next box only
    Trace("message box \"%s\" answered %s", line.c_str(), buttons == BoxButtons::Ok ? "ok" : ok ? "ok" : "cancel");
    if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
    if (buttons == BoxButtons::YesNo) return ok ? BoxAnswer::Yes : BoxAnswer::No;
    return ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

}  // namespace velmora::platform
