#include "platform/headless/events.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "data/file_io.h"
#include "platform/input_codes.h"
#include "ui/pad_input.h"

namespace velmora::platform {

namespace {

bool ToInt(const std::string& s, long long lo, long long hi, int& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

bool ButtonFromName(const std::string& s, int& button) {
    if (s == "left") button = mbLeft;
    else if (s == "right") button = mbRight;
    else if (s == "middle") button = mbMiddle;
    else return false;
    return true;
}

// The line after its first `words` words, spaces inside kept, trailing ones dropped.
std::string RestOfLine(const std::string& line, int words) {
    size_t p = 0;
    for (int i = 0; i < words; ++i) {
        p = line.find_first_not_of(" \t", p);
        p = line.find_first_of(" \t", p);
        if (p == std::string::npos) return std::string();
    }
    p = line.find_first_not_of(" \t", p);
    if (p == std::string::npos) return std::string();
    size_t end = line.find_last_not_of(" \t");
    return line.substr(p, end + 1 - p);
}

// A tool-bar button by the start of its caption or by its control name:
// 1 "終了", 2 "設定(C)", 3 "セーブ(S)", 4 "ロード(L)".
bool ToolBarButtonFromName(const std::string& what, int& button) {
    static const char* const kCaptions[] = {"", "終了", "設定(C)", "セーブ(S)", "ロード(L)"};
    for (int b = 1; b <= 4; ++b) {
        const std::string caption = kCaptions[b];
        if ((!what.empty() && caption.compare(0, what.size(), what) == 0) || what == "SpeedButton" + std::to_string(b)) {
            button = b;
            return true;
        }
    }
    return false;
}

}  // namespace

bool KeyFromName(const std::string& name, uint16_t& vk, char& ch) {
    struct Named {
        const char* name;
        uint16_t vk;
        char ch;
    };
    static const Named kNamed[] = {
        {"Enter", VK_RETURN, '\r'}, {"Escape", VK_ESCAPE, 27},  {"Space", VK_SPACE, ' '},
        {"Backspace", VK_BACK, 8},  {"Tab", VK_TAB, '\t'},      {"Left", VK_LEFT, 0},
        {"Right", VK_RIGHT, 0},     {"Up", VK_UP, 0},           {"Down", VK_DOWN, 0},
        {"Ctrl", VK_CONTROL, 0},    {"Shift", VK_SHIFT, 0},     {"PageUp", VK_PRIOR, 0},
        {"PageDown", VK_NEXT, 0},   {"Home", VK_HOME, 0},       {"End", VK_END, 0},
        {"Delete", VK_DELETE, 0},
    };
    for (const Named& n : kNamed)
        if (name == n.name) {
            vk = n.vk;
            ch = n.ch;
            return true;
        }
    if (name.size() != 1 || name[0] <= ' ' || name[0] > '~') return false;
    char c = name[0];
    ch = c;
    if (c >= 'a' && c <= 'z') vk = static_cast<uint16_t>(c - 'a' + 'A');
    else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) vk = static_cast<uint16_t>(c);
    else {
        // Punctuation: the OEM keys of a US layout.
        static const char kOem[] = ";=,-./`[\\]'";
        static const uint16_t kOemVk[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE};
        vk = 0;
        for (int i = 0; kOem[i]; ++i)
            if (kOem[i] == c) vk = kOemVk[i];
    }
    return true;
}

bool ParseTimeline(const std::string& text, Timeline& timeline, std::string& error) {
    timeline = Timeline();
    uint32_t now = 0;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why + ": " + raw;
        return false;
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::istringstream words(raw);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        if (w.empty() || w[0][0] == '#') continue;
        TimelineEvent e;
        e.time = now;
        e.line = lineNo;
        const std::string& cmd = w[0];
        size_t n = w.size();
        if (cmd == "wait") {
            int ms = 0;
            if (n != 2 || !ToInt(w[1], 0, 100000000, ms)) return fail("wait takes one time in milliseconds");
            now += static_cast<uint32_t>(ms);
            continue;
        } else if (cmd == "move") {
            if (n != 3 || !ToInt(w[1], -100000, 100000, e.x) || !ToInt(w[2], -100000, 100000, e.y))
                return fail("move takes X Y");
            e.kind = EventKind::Move;
        } else if (cmd == "click" || cmd == "down" || cmd == "up") {
            if ((n != 3 && n != 4) || !ToInt(w[1], -100000, 100000, e.x) || !ToInt(w[2], -100000, 100000, e.y))
                return fail(cmd + " takes X Y [left|right|middle]");
            if (n == 4 && !ButtonFromName(w[3], e.button)) return fail("unknown button " + w[3]);
            e.kind = cmd == "click" ? EventKind::Click : cmd == "down" ? EventKind::Down : EventKind::Up;
        } else if (cmd == "key" || cmd == "keydown" || cmd == "keyup") {
            if (n != 2 || !KeyFromName(w[1], e.vk, e.ch)) return fail("unknown key");
            e.kind = cmd == "key" ? EventKind::Key : cmd == "keydown" ? EventKind::KeyDown : EventKind::KeyUp;
        } else if (cmd == "wheel") {
            if (n != 2 || !ToInt(w[1], -100000, 100000, e.value)) return fail("wheel takes one delta");
            e.kind = EventKind::Wheel;
        } else if (cmd == "pad" || cmd == "paddown" || cmd == "padup") {
            PadButton b;
            if (n != 2 || !PadButtonFromName(w[1], b))
                return fail(cmd + " takes one button: A B X Y LB RB Start Back Up Down Left Right");
            e.kind = cmd == "pad" ? EventKind::Pad : cmd == "paddown" ? EventKind::PadDown : EventKind::PadUp;
            e.value = static_cast<int>(b);
        } else if (cmd == "stick") {
            if (n != 3 || !ToInt(w[1], -32768, 32767, e.x) || !ToInt(w[2], -32768, 32767, e.y))
                return fail("stick takes X Y, each -32768 ... 32767");
            e.kind = EventKind::Stick;
        } else if (cmd == "toolbar") {
            if (n < 2 || !ToolBarButtonFromName(RestOfLine(raw, 1), e.value))
                return fail("toolbar takes a button: 終了, ロード, セーブ or 設定 (or SpeedButton1 ... SpeedButton4)");
            e.kind = EventKind::ToolBar;
        } else if (cmd == "answer") {
            if (n != 2 || (w[1] != "ok" && w[1] != "cancel")) return fail("answer takes ok or cancel");
            e.kind = EventKind::Answer;
            e.value = w[1] == "ok" ? 1 : 0;
        } else if (cmd == "close") {
            if (n != 1) return fail("close takes nothing");
            e.kind = EventKind::Close;
        } else if (cmd == "save" || cmd == "load") {
            if (n != 2 || !ToInt(w[1], 0, 1000, e.value)) return fail(cmd + " takes one slot number");
            e.kind = cmd == "save" ? EventKind::Save : EventKind::Load;
        } else if (cmd == "screenshot") {
            if (n != 2) return fail("screenshot takes one file name");
            e.kind = EventKind::Screenshot;
            e.path = AbsolutePath(w[1]);
        } else if (cmd == "export" || cmd == "import") {
            if (n < 2) return fail(cmd + (cmd == "export" ? " takes one ZIP file name" : " takes a ZIP file or a folder"));
            e.kind = cmd == "export" ? EventKind::Export : EventKind::Import;
            e.path = AbsolutePath(RestOfLine(raw, 1));
        } else if (cmd == "menu") {
            if (n < 2) return fail("menu takes an item, #N or cancel");
            e.kind = EventKind::Menu;
            e.what = RestOfLine(raw, 1);
        } else if (cmd == "dialog") {
            if (n < 2) return fail("dialog takes select, press, type, set, tab, key or sort");
            e.kind = EventKind::Dialog;
            const std::string& verb = w[1];
            if (verb == "select" || verb == "sort") {
                if (n != 3 || !ToInt(w[2], 1, 100000, e.value)) return fail("dialog " + verb + " takes one number from 1");
                e.verb = verb == "select" ? DialogVerb::Select : DialogVerb::Sort;
            } else if (verb == "press" || verb == "tab") {
                if (n < 3) return fail("dialog " + verb + " takes a caption");
                e.verb = verb == "press" ? DialogVerb::Press : DialogVerb::Tab;
                e.what = RestOfLine(raw, 2);
            } else if (verb == "type") {
                // The text is the rest of the line, inner spaces kept; nothing clears the field.
                e.verb = DialogVerb::Type;
                e.what = n < 3 ? std::string() : RestOfLine(raw, 2);
            } else if (verb == "set") {
                if (n < 4) return fail("dialog set takes a control and a value");
                e.verb = DialogVerb::Set;
                e.setting = w[n - 1];
                std::string rest = RestOfLine(raw, 2);
                e.what = rest.substr(0, rest.size() - e.setting.size());
                while (!e.what.empty() && (e.what.back() == ' ' || e.what.back() == '\t')) e.what.pop_back();
            } else if (verb == "key") {
                if (n != 3 || !KeyFromName(w[2], e.vk, e.ch)) return fail("unknown key");
                e.verb = DialogVerb::Key;
            } else {
                return fail("unknown dialog command " + verb);
            }
        } else {
            return fail("unknown command " + cmd);
        }
        timeline.events.push_back(e);
    }
    timeline.endTime = now;
    return true;
}

}  // namespace velmora::platform
