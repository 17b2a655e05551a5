#pragma once
// The events file of the headless runner: a timeline of input, answers,
// saves, loads and screenshots.
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::platform {

enum class EventKind { Move, Down, Up, Click, Key, KeyDown, KeyUp, Wheel, Answer, Close, Save, Load, Screenshot, Menu, Dialog,
                       Export, Import,
                       Pad, PadDown, PadUp, Stick, ToolBar };

// What a `dialog` command does to the open form.
enum class DialogVerb { Select, Press, Type, Set, Tab, Key, Sort };

struct TimelineEvent {
    uint32_t time = 0;
    EventKind kind = EventKind::Move;
    int x = 0, y = 0;
    int button = 0;       // MouseButton
    uint16_t vk = 0;      // virtual key
    char ch = 0;          // the character of a key, 0 when it has none
    int value = 0;        // wheel delta, slot, answer (1 ok, 0 cancel), pad button, tool-bar button
    std::string path;     // screenshot, export or import file (or folder), absolute
    DialogVerb verb = DialogVerb::Select;
    std::string what;     // menu item, button, control or tab (UTF-8); the typed text
    std::string setting;  // dialog set: the value
    int line = 0;
};

struct Timeline {
    std::vector<TimelineEvent> events;
    uint32_t endTime = 0;
};

// Parses an events file text. On error returns false with "line N: ...".
bool ParseTimeline(const std::string& text, Timeline& timeline, std::string& error);
// Maps a key name of the events file to its virtual key and character.
bool KeyFromName(const std::string& name, uint16_t& vk, char& ch);

}  // namespace velmora::platform
