#include "platform/web/web_platform.h"

#include <emscripten.h>

#include <cstdlib>

#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/png_file.h"
#include "platform/forms.h"

namespace velmora::platform {

// The page's half lives in velmora-page.js (window.velmoraPage).
EM_JS(char*, PageTakeEvents, (), {
    const text = velmoraPage.takeEvents();
    if (!text) return 0;
    const n = lengthBytesUTF8(text) + 1;
    const p = _malloc(n);
    stringToUTF8(text, p, n);
    return p;
});
EM_JS(void, PageEventsRefused, (const char* why), { velmoraPage.eventsRefused(UTF8ToString(why)); });
EM_JS(void, PageIdle, (), { velmoraPage.idle(); });
EM_JS(void, PagePresent, (const uint8_t* rgba, int w, int h), { velmoraPage.present(HEAPU8.subarray(rgba, rgba + w * h * 4), w, h); });
EM_JS(void, PageShowForm, (const char* json), { velmoraPage.showForm(JSON.parse(UTF8ToString(json))); });
EM_JS(void, PageHideForm, (), { velmoraPage.hideForm(); });
EM_JS(int, PageMessageBox, (const char* text, const char* caption, int buttons),
      { return velmoraPage.messageBox(UTF8ToString(text), UTF8ToString(caption), buttons); });
EM_JS(void, PageRowPicture, (const char* control, const uint8_t* rgba, int w, int h),
      { velmoraPage.rowPicture(UTF8ToString(control), HEAPU8.slice(rgba, rgba + w * h * 4), w, h); });
EM_JS(void, PageToolBar, (int button, int enabled, int shown), { velmoraPage.toolBar(button, !!enabled, !!shown); });
EM_JS(void, PageSavesTransferred, (int exporting, int ok, const char* message),
      { velmoraPage.savesTransferred(exporting, ok, UTF8ToString(message)); });
EM_JS(void, PageSetTitle, (const char* text), { velmoraPage.setTitle(UTF8ToString(text)); });

namespace {

constexpr double kYieldEvery = 30;  // ms of real time a virtual run keeps the page busy at most

void Json(std::string& out, const std::string& cp932) {
    const std::string s = ToUtf8(cp932);
    out += '"';
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else out += c;
    }
    out += '"';
}

const char* KindName(ControlKind k) {
    switch (k) {
        case ControlKind::Label: return "label";
        case ControlKind::Button: return "button";
        case ControlKind::Edit: return "edit";
        case ControlKind::List: return "list";
        case ControlKind::CheckBox: return "check";
        case ControlKind::RadioGroup: return "radio";
        case ControlKind::Slider: return "slider";
        case ControlKind::SpinBox: return "spin";
        case ControlKind::ComboBox: return "combo";
        case ControlKind::Group: return "group";
        case ControlKind::Image: return "image";
    }
    return "label";
}

std::string FormJson(const Form& f) {
    std::string o = "{\"kind\":\"form\",\"name\":";
    Json(o, f.name);
    o += ",\"caption\":";
    Json(o, f.caption);
    o += ",\"width\":" + std::to_string(f.clientWidth) + ",\"height\":" + std::to_string(f.clientHeight);
    o += ",\"page\":" + std::to_string(f.page) + ",\"pagesLeft\":" + std::to_string(f.pagesLeft) +
         ",\"pagesTop\":" + std::to_string(f.pagesTop) + ",\"pagesWidth\":" + std::to_string(f.pagesWidth) +
         ",\"pagesHeight\":" + std::to_string(f.pagesHeight) + ",\"fontPixels\":" + std::to_string(f.fontPixels) +
         ",\"pages\":[";
    for (size_t i = 0; i < f.pages.size(); ++i) {
        if (i) o += ',';
        Json(o, f.pages[i]);
    }
    o += "],\"controls\":[";
    for (size_t i = 0; i < f.controls.size(); ++i) {
        const Control& c = f.controls[i];
        if (i) o += ',';
        o += "{\"name\":";
        Json(o, c.name);
        o += ",\"kind\":\"";
        o += KindName(c.kind);
        o += "\",\"caption\":";
        Json(o, c.caption);
        o += ",\"text\":";
        Json(o, c.text);
        o += ",\"hint\":";
        Json(o, c.hint);
        o += ",\"left\":" + std::to_string(c.left) + ",\"top\":" + std::to_string(c.top) +
             ",\"width\":" + std::to_string(c.width) + ",\"height\":" + std::to_string(c.height) +
             ",\"enabled\":" + (c.enabled ? "true" : "false") + ",\"visible\":" + (c.visible ? "true" : "false") +
             ",\"page\":" + std::to_string(c.page) + ",\"value\":" + std::to_string(c.value) +
             ",\"minimum\":" + std::to_string(c.minimum) + ",\"maximum\":" + std::to_string(c.maximum) +
             ",\"selected\":" + std::to_string(c.selected) + ",\"maxChars\":" + std::to_string(c.maxChars) +
             ",\"choices\":[";
        for (size_t k = 0; k < c.choices.size(); ++k) {
            if (k) o += ',';
            Json(o, c.choices[k]);
        }
        o += "],\"columns\":[";
        for (size_t k = 0; k < c.columns.size(); ++k) {
            if (k) o += ',';
            o += "{\"caption\":";
            Json(o, c.columns[k].caption);
            o += ",\"width\":" + std::to_string(c.columns[k].width) + "}";
        }
        o += "],\"rows\":[";
        for (size_t r = 0; r < c.rows.size(); ++r) {
            if (r) o += ',';
            o += '[';
            for (size_t k = 0; k < c.rows[r].size(); ++k) {
                if (k) o += ',';
                Json(o, c.rows[r][k]);
            }
            o += ']';
        }
        o += "]}";
    }
    return o + "]}";
}

std::string MenuJson(const PopupMenuModel& m, int x, int y) {
    std::string o = "{\"kind\":\"menu\",\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) + ",\"items\":[";
    bool first = true;
    for (const MenuItem& it : m.items) {
        if (!it.visible) continue;
        if (!first) o += ',';
        first = false;
        o += "{\"caption\":";
        Json(o, it.separator || it.caption == "-" ? std::string() : it.caption);
        o += std::string(",\"separator\":") + (it.separator || it.caption == "-" ? "true" : "false") +
             ",\"enabled\":" + (it.enabled ? "true" : "false") + ",\"checked\":" + (it.checked ? "true" : "false") +
             "}";
    }
    return o + "]}";
}

}  // namespace

WebPlatform::WebPlatform(std::unique_ptr<SettingsStore> store, bool virtualClock)
    : HeadlessPlatform(std::move(store)), virtual_(virtualClock) {
    eventsMayFollow_ = true;
    // A page cannot listen on a socket.
    textFeedAvailable = false;
    started_ = emscripten_get_now();
    lastYield_ = started_;
    rgba_.assign(800 * 600 * 4, 255);
}

uint32_t WebPlatform::RealNow() const { return static_cast<uint32_t>(emscripten_get_now() - started_); }

void WebPlatform::TakeQueuedEvents() {
    char* text = PageTakeEvents();
    if (!text) return;
    Timeline more;
    std::string error;
    const bool ok = ParseTimeline(text, more, error);
    std::free(text);
    if (!ok) {
        PageEventsRefused(error.c_str());
        return;
    }
    // A test's events follow on from where the clock stands or from the
    // events before them; the player's input happens now.
    const uint32_t base = virtual_ ? std::max(now_, timeline_.endTime) : now_;
    for (TimelineEvent& e : more.events) {
        e.time += base;
        timeline_.events.push_back(std::move(e));
    }
    timeline_.endTime = std::max(timeline_.endTime, base + more.endTime);
    idleTold_ = false;
    endShown_ = false;
}

void WebPlatform::ProcessMessages() {
    TakeQueuedEvents();
    if (!virtual_) now_ = RealNow();
    HeadlessPlatform::ProcessMessages();
    // The picture at the pump where the page's events end is the one the
    // runner's `screenshot` at that point would take: what is drawn after
    // it, before the clock stands still, is not yet shown.
    if (virtual_ && !endShown_ && next_ >= timeline_.events.size() && now_ >= timeline_.endTime) {
        endShown_ = true;
        endPicture_ = canvas_;
    }
}

void WebPlatform::Sleep(uint32_t ms) {
    if (!virtual_) {
        Present();
        emscripten_sleep(ms);
        now_ = RealNow();
        return;
    }
    const uint32_t target = now_ + ms;
    for (;;) {
        TakeQueuedEvents();
        // Up to the end of what the page asked for, the clock jumps at once,
        // as in the runner; it never runs past it.
        if (next_ < timeline_.events.size() || target <= timeline_.endTime) {
            now_ = target;
            if (emscripten_get_now() - lastYield_ > kYieldEvery) {
                Present();
                emscripten_sleep(0);
                lastYield_ = emscripten_get_now();
            }
            return;
        }
        // The end itself is reached once, so that the pump there delivers
        // what falls due at it, as the runner's last pump does.
        if (now_ < timeline_.endTime) {
            now_ = timeline_.endTime;
            return;
        }
        if (!idleTold_) {
            idleTold_ = true;
            Present();
            PageIdle();
        }
        emscripten_sleep(10);
        lastYield_ = emscripten_get_now();
    }
}

void WebPlatform::Blit(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) {
    HeadlessPlatform::Blit(src, sx, sy, w, h, dx, dy);
    dirty_ = true;
}

void WebPlatform::Fill(uint32_t colour) {
    HeadlessPlatform::Fill(colour);
    dirty_ = true;
}

void WebPlatform::Present() {
    if (!dirty_) return;
    dirty_ = false;
    const uint8_t* s = canvas_.bytes.data();
    uint8_t* d = rgba_.data();
    for (size_t i = 0, n = static_cast<size_t>(canvas_.width) * canvas_.height; i < n; ++i, s += 3, d += 4)
        d[0] = s[2], d[1] = s[1], d[2] = s[0];
    PagePresent(rgba_.data(), canvas_.width, canvas_.height);
}

bool WebPlatform::Screenshot(const std::string& path) {
    return WritePng(path, virtual_ && endShown_ ? endPicture_ : canvas_);
}

void WebPlatform::SetCaption(const std::string& cp932) {
    HeadlessPlatform::SetCaption(cp932);
    PageSetTitle(ToUtf8(cp932).c_str());
}

BoxAnswer WebPlatform::MessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                  BoxButtons buttons) {
    // The test page answers as the runner does: with the `answer` events.
    if (virtual_) return HeadlessPlatform::MessageBox(text, caption, icon, buttons);
    Present();
    const bool yes = PageMessageBox(ToUtf8(text).c_str(), ToUtf8(caption).c_str(),
                                    buttons == BoxButtons::Ok ? 0 : 1) != 0;
    Trace("message box \"%s\": %s", ToUtf8(text).c_str(), yes ? "yes" : "no");
    if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
    if (buttons == BoxButtons::YesNo) return yes ? BoxAnswer::Yes : BoxAnswer::No;
    return yes ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

void WebPlatform::ShowOpenForm() {
    Form* f = OpenForm();
    if (!f) return;
    PageShowForm(FormJson(*f).c_str());
    // A list's selected row shows its picture beneath it (a touch has no
    // hover to rest on a row).
    for (size_t i = 0; i < f->controls.size(); ++i) {
        const Control& c = f->controls[i];
        Picture picture;
        if (c.kind != ControlKind::List || !c.visible || c.selected < 0 ||
            !f->RowPicture(static_cast<int>(i), c.selected, picture) || picture.Empty())
            continue;
        std::vector<uint8_t> rgba(static_cast<size_t>(picture.width) * picture.height * 4, 255);
        const uint8_t* s = picture.bytes.data();
        for (size_t k = 0; k < rgba.size(); k += 4, s += 3) rgba[k] = s[2], rgba[k + 1] = s[1], rgba[k + 2] = s[0];
        PageRowPicture(c.name.c_str(), rgba.data(), picture.width, picture.height);
    }
}

void WebPlatform::SetToolBarEnabled(int button, bool enabled) {
    HeadlessPlatform::SetToolBarEnabled(button, enabled);
    PageToolBar(button, enabled, toolBarShown);
}

void WebPlatform::SetToolBarShown(bool shown) {
    HeadlessPlatform::SetToolBarShown(shown);
    PageToolBar(-1, true, shown);
}

void WebPlatform::RunModal(Form& form) {
    forms_.push_back(&form);
    if (form.flushKeysOnShow) ++keysFlushed_;
    ShowOpenForm();
    size_t seen = next_;
    while (!form.closed) {
        ProcessMessages();
        if (form.closed) break;
        // What the player did may have changed the model: show it again.
        if (next_ != seen) {
            seen = next_;
            ShowOpenForm();
        }
        Sleep(10);
    }
    forms_.pop_back();
    if (forms_.empty()) PageHideForm();
    else ShowOpenForm();
}

int WebPlatform::RunPopupMenu(PopupMenuModel& menu, int screenX, int screenY) {
    int x = screenX - Left(), y = screenY - Top();
    PageShowForm(MenuJson(menu, x, y).c_str());
    const int pick = HeadlessPlatform::RunPopupMenu(menu, screenX, screenY);
    if (forms_.empty()) PageHideForm();
    else ShowOpenForm();
    return pick;
}

void WebPlatform::SavesTransferred(bool exporting, bool ok, const std::string& message) {
    PageSavesTransferred(exporting ? 1 : 0, ok ? 1 : 0, message.c_str());
}

}  // namespace velmora::platform
