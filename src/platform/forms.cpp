#include "platform/forms.h"

#include <algorithm>
#include <cstdlib>

#include "app/trace.h"
#include "data/encoding.h"
#include "platform/input_codes.h"
#include "platform/platform.h"
#include "text/text_out.h"

namespace velmora::platform {

namespace {

const char* KindName(ControlKind k) {
    switch (k) {
        case ControlKind::Label: return "label";
        case ControlKind::Button: return "button";
        case ControlKind::Edit: return "edit";
        case ControlKind::List: return "list";
        case ControlKind::CheckBox: return "check box";
        case ControlKind::RadioGroup: return "radio group";
        case ControlKind::Slider: return "slider";
        case ControlKind::SpinBox: return "spin box";
        case ControlKind::ComboBox: return "combo box";
        case ControlKind::Group: return "group";
        case ControlKind::Image: return "image";
    }
    return "control";
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return !prefix.empty() && s.compare(0, prefix.size(), prefix) == 0;
}

std::string RowText(const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i) line += " | ";
        line += TraceText(cells[i]);
    }
    return line;
}

// The characters of a CP932 text, cut to at most n of them.
std::string FirstCharacters(const std::string& cp932, int n) {
    size_t k = 0;
    for (int count = 0; k < cp932.size() && count < n; ++count) {
        size_t w = IsLeadByte(static_cast<unsigned char>(cp932[k])) && k + 1 < cp932.size() ? 2 : 1;
        k += w;
    }
    return cp932.substr(0, k);
}

// Clears the handler mark however the handler ends (a run that ends inside
// a handler unwinds through it).
struct DispatchDone {
    Form& form;
    ~DispatchDone() { form.dispatching = false; }
};

}  // namespace

// ---- Menus ----

std::string PlainCaption(const std::string& cp932) {
    std::string s = ToUtf8(cp932);
    // "(&S)" and "(S)" after the caption: one ASCII character in brackets.
    for (size_t p = s.find('('); p != std::string::npos; p = s.find('(', p + 1)) {
        size_t q = p + 1;
        if (q < s.size() && s[q] == '&') ++q;
        if (q + 1 < s.size() && static_cast<unsigned char>(s[q]) < 0x80 && s[q] != ')' && s[q + 1] == ')') {
            s.erase(p, q + 2 - p);
            if (p > 0) --p;
        }
    }
    s.erase(std::remove(s.begin(), s.end(), '&'), s.end());
    return s;
}

int FindMenuItem(const PopupMenuModel& menu, const std::string& what) {
    if (what.size() > 1 && what[0] == '#') {
        char* end = nullptr;
        long n = std::strtol(what.c_str() + 1, &end, 10);
        if (*end != '\0' || n < 1) return -1;
        for (size_t i = 0; i < menu.items.size(); ++i) {
            const MenuItem& it = menu.items[i];
            if (it.visible && !it.separator && --n == 0) return static_cast<int>(i);
        }
        return -1;
    }
    for (size_t i = 0; i < menu.items.size(); ++i) {
        const MenuItem& it = menu.items[i];
        if (it.visible && !it.separator && (StartsWith(PlainCaption(it.caption), what) || it.name == what))
            return static_cast<int>(i);
    }
    return -1;
}

int ShowPopupMenu(Platform& plat, PopupMenuModel& menu, int screenX, int screenY) {
    for (MenuItem& it : menu.items)
        if (it.caption == "-") it.separator = true;
    Trace("menu %s opened at (%d, %d)", menu.name.c_str(), screenX, screenY);
    for (const MenuItem& it : menu.items) {
        if (it.separator || !it.visible) continue;
        Trace("menu %s: %s \"%s\"%s%s", menu.name.c_str(), it.name.c_str(), TraceText(it.caption).c_str(),
              it.enabled ? "" : " disabled", it.checked ? " checked" : "");
    }
    int picked = plat.dialogs().RunPopupMenu(menu, screenX, screenY);
    if (picked < 0 || picked >= static_cast<int>(menu.items.size())) {
        Trace("menu %s closed without a pick", menu.name.c_str());
        return -1;
    }
    Trace("menu %s: picked %s \"%s\"", menu.name.c_str(), menu.items[picked].name.c_str(),
          TraceText(menu.items[picked].caption).c_str());
    return picked;
}

// ---- Forms ----

Control& Form::Add(ControlKind kind, const std::string& controlName, const std::string& controlCaption, int l,
                   int t, int w, int h) {
    Control c;
    c.kind = kind;
    c.name = controlName;
    c.caption = controlCaption;
    c.left = l;
    c.top = t;
    c.width = w;
    c.height = h;
    controls.push_back(std::move(c));
    return controls.back();
}

int Form::Find(const std::string& controlName) const {
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].name == controlName) return static_cast<int>(i);
    return -1;
}

Control& Form::operator[](const std::string& controlName) {
    int i = Find(controlName);
    if (i < 0) std::abort();  // a form asks only for the controls it made
    return controls[i];
}

void Form::CentreOver(Platform& plat) {
    Window& w = plat.window();
    // Truncated toward zero, as the division of the window's own centring.
    left = w.Left() + (w.Width() - OuterWidth()) / 2;
    top = w.Top() + (w.Height() - OuterHeight()) / 2;
    if (left + OuterWidth() > w.ScreenWidth()) left = w.ScreenWidth() - OuterWidth();
    if (top + OuterHeight() > w.ScreenHeight()) top = w.ScreenHeight() - OuterHeight();
    if (left < 0) left = 0;
    if (top < 0) top = 0;
}

void TraceForm(const Form& form) {
    Trace("dialog %s \"%s\" opened: %d x %d at (%d, %d)", form.name.c_str(), TraceText(form.caption).c_str(),
          form.clientWidth, form.clientHeight, form.left, form.top);
    if (!form.pages.empty())
        Trace("dialog %s: page \"%s\"", form.name.c_str(), TraceText(form.pages[form.page]).c_str());
    for (const Control& c : form.controls) {
        if (!c.visible) continue;
        std::string state;
        switch (c.kind) {
            case ControlKind::Edit: state = " text \"" + TraceText(c.text) + "\""; break;
            case ControlKind::List: state = " " + std::to_string(c.rows.size()) + " rows, row " +
                                            std::to_string(c.selected + 1) + " selected"; break;
            case ControlKind::CheckBox: state = c.value ? " on" : " off"; break;
            case ControlKind::RadioGroup:
            case ControlKind::ComboBox:
                state = " choice " + (c.value >= 0 && c.value < static_cast<int>(c.choices.size())
                                          ? "\"" + TraceText(c.choices[c.value]) + "\""
                                          : std::string("none"));
                break;
            case ControlKind::Slider:
            case ControlKind::SpinBox: state = " value " + std::to_string(c.value); break;
            default: break;
        }
        if (!c.hint.empty()) state += " hint \"" + TraceText(c.hint) + "\"";
        Trace("dialog %s: %s %s \"%s\"%s%s", form.name.c_str(), KindName(c.kind), c.name.c_str(),
              TraceText(c.caption).c_str(), c.enabled ? "" : " disabled", state.c_str());
        if (c.kind == ControlKind::List)
            for (size_t r = 0; r < c.rows.size(); ++r)
                Trace("dialog %s: row %zu: %s", form.name.c_str(), r + 1, RowText(c.rows[r]).c_str());
    }
}

void ShowModalForm(Platform& plat, Form& form) {
    form.closed = false;
    form.dispatching = false;
    form.FormShow();
    TraceForm(form);
    velmora::ShowText(plat, TextKind::Menu, form.caption);
    {
        DispatchDone done{form};
        if (!form.closed) plat.dialogs().RunModal(form);
    }
    Trace("dialog %s closed", form.name.c_str());
}

int FindControl(const Form& form, const std::string& what, std::initializer_list<ControlKind> kinds) {
    auto wanted = [&](const Control& c) {
        return kinds.size() == 0 || std::find(kinds.begin(), kinds.end(), c.kind) != kinds.end();
    };
    for (size_t i = 0; i < form.controls.size(); ++i)
        if (form.controls[i].name == what && wanted(form.controls[i])) return static_cast<int>(i);
    for (size_t i = 0; i < form.controls.size(); ++i) {
        const Control& c = form.controls[i];
        if (c.visible && wanted(c) && StartsWith(PlainCaption(c.caption), what)) return static_cast<int>(i);
    }
    return -1;
}

bool Dispatch(Platform& plat, Form& form, FormAction a) {
    const char* fn = form.name.c_str();
    if (form.closed) return false;
    if (form.dispatching) {
        Trace("dialog %s: an action arrived while the last one ran, dropped", fn);
        return false;
    }
    Control* c = nullptr;
    if (a.control >= 0) {
        if (a.control >= static_cast<int>(form.controls.size())) return false;
        c = &form.controls[a.control];
        if (!c->visible || !c->enabled) {
            Trace("dialog %s: %s is %s, the action is dropped", fn, c->name.c_str(),
                  c->visible ? "disabled" : "hidden");
            return false;
        }
    }
    const char* cn = c ? c->name.c_str() : fn;
    auto rowCount = [&] { return c ? static_cast<int>(c->rows.size()) : 0; };
    switch (a.kind) {
        case ActionKind::Click:
        case ActionKind::DoubleClick:
            if (c && c->kind == ControlKind::List) {
                if (a.value < 0 || a.value >= rowCount()) {
                    Trace("dialog %s: %s has no row %d", fn, cn, a.value + 1);
                    return false;
                }
                c->selected = a.value;
                Trace("dialog %s: %s %s row %d: %s", fn, a.kind == ActionKind::Click ? "click" : "double click",
                      cn, a.value + 1, RowText(c->rows[a.value]).c_str());
            } else if (c && c->kind == ControlKind::CheckBox) {
                c->value = c->value ? 0 : 1;
                Trace("dialog %s: %s %s", fn, cn, c->value ? "on" : "off");
            } else {
                Trace("dialog %s: press %s \"%s\"", fn, cn, c ? TraceText(c->caption).c_str() : "");
            }
            if (c) form.focus = a.control;
            break;
        case ActionKind::Select:
            if (!c || a.value < -1 || a.value >= rowCount()) return false;
            if (c->selected == a.value) return true;
            c->selected = a.value;
            Trace("dialog %s: %s row %d selected", fn, cn, a.value + 1);
            break;
        case ActionKind::Text: {
            if (!c || c->kind != ControlKind::Edit) return false;
            std::string cp932;
            if (!Utf8ToCp932(a.text, cp932)) {
                Trace("dialog %s: %s refused \"%s\": a character has no Shift-JIS form", fn, cn, a.text.c_str());
                plat.dialogs().MessageBox(ToCp932("この文字は使えません。全角・半角の日本語と英数字で入力してください。"),
                                          form.caption, BoxIcon::Warning, BoxButtons::Ok);
                return false;
            }
            if (c->maxChars > 0) cp932 = FirstCharacters(cp932, c->maxChars);
            c->text = cp932;
            form.focus = a.control;
            Trace("dialog %s: %s text \"%s\"", fn, cn, TraceText(cp932).c_str());
            break;
        }
        case ActionKind::Value: {
            if (!c) return false;
            int v = a.value;
            switch (c->kind) {
                case ControlKind::CheckBox: v = v ? 1 : 0; break;
                case ControlKind::RadioGroup:
                case ControlKind::ComboBox:
                    if (v < 0 || v >= static_cast<int>(c->choices.size())) {
                        Trace("dialog %s: %s has no choice %d", fn, cn, v);
                        return false;
                    }
                    break;
                case ControlKind::Slider: v = std::clamp(v, c->minimum, c->maximum); break;
                case ControlKind::SpinBox: break;  // the form clamps what is typed
                default: return false;
            }
            c->value = v;
            form.focus = a.control;
            Trace("dialog %s: %s value %d", fn, cn, v);
            break;
        }
        case ActionKind::KeyDown:
        case ActionKind::KeyUp:
            Trace("dialog %s: key %s 0x%02X on %s", fn, a.kind == ActionKind::KeyDown ? "down" : "up", a.value, cn);
            break;
        case ActionKind::KeyPress: break;  // the key down line said it
        case ActionKind::ColumnClick:
            if (!c || a.value < 0 || a.value >= static_cast<int>(c->columns.size())) return false;
            Trace("dialog %s: %s column %d \"%s\" clicked", fn, cn, a.value + 1,
                  TraceText(c->columns[a.value].caption).c_str());
            break;
        case ActionKind::Tab:
            if (a.value < 0 || a.value >= static_cast<int>(form.pages.size())) return false;
            form.page = a.value;
            Trace("dialog %s: page \"%s\"", fn, TraceText(form.pages[a.value]).c_str());
            break;
        case ActionKind::Close: Trace("dialog %s: close button", fn); break;
    }
    form.dispatching = true;
    DispatchDone done{form};
    form.Act(a);
    return true;
}

}  // namespace velmora::platform
