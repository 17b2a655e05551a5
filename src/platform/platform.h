#pragma once
// What the engine sees of the machine it runs on. No toolkit type crosses
// these interfaces; the Qt shell and the headless runner each implement them.
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/picture.h"

namespace velmora::platform {

// Milliseconds and sleeps. On the headless platform sleeping advances a
// virtual clock at once; every wait loop in the engine must sleep through
// this clock, never spin on Now().
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t Now() = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

// The 800 x 600 paint box PB as the window shows it.
class Surface {
public:
    virtual ~Surface() = default;
    // Copies the w x h rectangle at (sx, sy) of src to (dx, dy) of the canvas,
    // clipped to both.
    virtual void Blit(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) = 0;
    void BlitWhole(const Picture& src, int dx = 0, int dy = 0) { Blit(src, 0, 0, src.width, src.height, dx, dy); }
    // Fills the canvas with one colour (red in the low byte).
    virtual void Fill(uint32_t colour) = 0;
    // Reads back what the window shows.
    virtual void ReadBack(Picture& out) = 0;
    // Makes the canvas visible now rather than at the next paint.
    virtual void Update() = 0;
};

// The main window: geometry, caption, border, close.
class Window {
public:
    virtual ~Window() = default;
    virtual int Left() = 0;
    virtual int Top() = 0;
    virtual void Move(int left, int top) = 0;
    virtual void SetBorder(bool on) = 0;  // off: borderless window
    virtual bool Border() = 0;
    // The outer size of the window, frame included.
    virtual int Width() = 0;
    virtual int Height() = 0;
    virtual int ScreenWidth() = 0;
    virtual int ScreenHeight() = 0;
    virtual void SetCaption(const std::string& cp932) = 0;
    virtual std::string Caption() = 0;  // CP932
    // Asks the window to close: the request goes through FormCloseQuery.
    virtual void Close() = 0;
    // A tool bar button, or with button 0 the whole bar.
    virtual void SetToolBarEnabled(int button, bool enabled) = 0;
    // Shows or hides the tool bar; PB moves up to the window's top without it.
    virtual void SetToolBarShown(bool shown) = 0;
    // The window covering its whole monitor (on), or back as it was (off);
    // false when the desktop refused.
    virtual bool SetFullScreen(bool on) = 0;
    // True while the main window or one of the engine's own dialogs has the
    // focus (not another application).
    virtual bool Active() { return true; }
};

// Registry semantics: values by (key path, section, value name), names
// compared without regard to case. Texts are CP932 inside the engine.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int32_t ReadInteger(const std::string& keyPath, const std::string& section,
                                const std::string& name, int32_t fallback) = 0;
    virtual std::string ReadString(const std::string& keyPath, const std::string& section,
                                   const std::string& name, const std::string& fallback) = 0;
    virtual void WriteInteger(const std::string& keyPath, const std::string& section,
                              const std::string& name, int32_t value) = 0;
    virtual void WriteString(const std::string& keyPath, const std::string& section,
                             const std::string& name, const std::string& value) = 0;
    // The names of the values stored under (key path, section), in the
    // store's order; empty where the store keeps none (or cannot list them).
    virtual std::vector<std::string> ValueNames(const std::string& keyPath, const std::string& section) {
        (void)keyPath, (void)section;
        return {};
    }

    // A write that changes nothing costs nothing; a changed value reaches the
    // file at once, or, between BeginBatch and the matching EndBatch, once at
    // the end (a file rewrite waits for the disk).
    void BeginBatch() { ++batchDepth_; }
    void EndBatch() {
        if (batchDepth_ > 0 && --batchDepth_ == 0) Flush();
    }

protected:
    bool Batching() const { return batchDepth_ > 0; }
    // Writes what changed since the last flush; nothing when nothing did.
    virtual void Flush() {}

private:
    int batchDepth_ = 0;
};

// Several settings writes that reach the file together.
class SettingsBatch {
public:
    explicit SettingsBatch(SettingsStore& store) : store_(store) { store_.BeginBatch(); }
    ~SettingsBatch() { store_.EndBatch(); }
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;

private:
    SettingsStore& store_;
};

enum class BoxIcon { None, Information, Warning, Stop, Question };
enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxAnswer { Ok, Cancel, Yes, No };

class Form;
struct PopupMenuModel;

// Message and confirmation boxes (text and caption CP932), and the engine's
// own forms and pop-up menus (models in platform/forms.h).
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual BoxAnswer MessageBox(const std::string& text, const std::string& caption,
                                 BoxIcon icon, BoxButtons buttons) = 0;
    // Presents the form modally, pumping messages, until form.closed; every
    // action of the player goes through Dispatch. The game window gets no
    // input meanwhile and no idle pass runs.
    virtual void RunModal(Form& form) = 0;
    // Presents the menu at a screen position until the player picks an item
    // (its index is returned) or closes it (-1).
    virtual int RunPopupMenu(PopupMenuModel& menu, int screenX, int screenY) = 0;
    // Whether PickTransferPath asks the player (the desktop's file dialogs).
    virtual bool HasFilePicker() { return false; }
    // The place of a save transfer: exporting, a ZIP file to write; else a
    // ZIP file or a game's folder to read. False when cancelled.
    virtual bool PickTransferPath(bool exporting, std::string& path) {
        (void)exporting, (void)path;
        return false;
    }
};

class Mixer;  // audio/mixer.h

// What a shown text is: a line of narration, a line with its speaker, a
// choice label as the choices open, a backlog line as the viewer opens, or
// a menu or dialog item (or choice) under the pointer.
enum class TextKind { Narration, Speaker, Choice, Backlog, Menu };

// Which outlets take which kind. The feed and the clipboard carry the story;
// what lies under the pointer is only spoken.
inline bool FeedCarries(TextKind k) { return k != TextKind::Menu; }
inline bool ClipboardCarries(TextKind k) { return k == TextKind::Narration || k == TextKind::Speaker; }

// The player's choices for the outlets, from the settings store.
struct TextOutSwitches {
    bool copy = false;         // each completed line onto the clipboard
    bool feed = false;         // the local text feed
    bool speech = false;       // self-voicing
    int speechRate = 0;        // -100 ... 100
    int speechVolume = 0;      // -100 ... 100
    bool screenReader = false; // the accessibility bridge (screen readers)
};

// Where shown text leaves the engine, as UTF-8: the clipboard, the local text
// feed and speech. A platform without one of them ignores its part.
class TextOutlets {
public:
    virtual ~TextOutlets() = default;
    virtual void Apply(const TextOutSwitches& switches) = 0;
    // One completed line or item. `speak`: the engine wants it spoken (not a
    // line with its own recorded voice, not while skipping).
    virtual void Put(TextKind kind, const std::string& utf8, bool speak) = 0;
    // Ctrl+C: the text onto the clipboard whatever the switch says.
    virtual void Copy(const std::string& utf8) { (void)utf8; }
    // The next click cuts speech short, as it does a voice.
    virtual void Hush() {}
    // The page's lines are gone: the next line starts a new page.
    virtual void NewPage() {}
    // A notice the game shows for a moment over the picture ("セーブしました"):
    // told once, kept nowhere.
    virtual void Notice(const std::string& utf8) { (void)utf8; }
    // Whether a screen reader (an assistive technology) listens now.
    virtual bool ScreenReaderActive() { return false; }
    // Whether speech can be had at all on this machine now; `why` says what is missing.
    virtual bool SpeechAvailable(std::string* why) {
        if (why) *why = "no speech on this platform";
        return false;
    }
    // What self-voicing needs here, told to the player (UTF-8) when it is missing.
    virtual std::string SpeechNeeds() const { return kNoSpeechHere; }
    static constexpr const char* kNoSpeechHere = "この環境では読み上げを使えません";
};

// Everything together, plus the services that are single calls.
class Platform {
public:
    virtual ~Platform() = default;
    virtual Clock& clock() = 0;
    virtual Surface& surface() = 0;
    virtual Window& window() = 0;
    virtual SettingsStore& settings() = 0;
    virtual Dialogs& dialogs() = 0;
    // The sound mixer, or nullptr while none is open.
    virtual Mixer* mixer() = 0;
    // Lets the window process its pending messages: input events and timer
    // ticks run inside this call.
    virtual void ProcessMessages() = 0;
    // True when the machine has at least one wave output device.
    virtual bool WaveOutputPresent() = 0;
    // The pointer position. The engine uses it only against PB positions (its
    // PB origin is the difference), so a platform may report PB pixels.
    virtual void GetCursorPos(int& x, int& y) = 0;
    virtual void SetCursorPos(int x, int y) = 0;
    // Where a point of PB lies on the screen (where a menu opened at the
    // pointer belongs, however the window shows PB).
    virtual void PaintBoxToScreen(int x, int y, int& screenX, int& screenY) {
        screenX = window().Left() + x;
        screenY = window().Top() + y;
    }
    // Cursor shapes over PB: DefineCursor registers a shape (colour and alpha
    // pictures of one size, the hot spot inside them); shape 0 is the
    // default arrow and cannot be replaced.
    virtual void DefineCursor(int shape, const Picture& colour, const Picture& alpha, int hotX, int hotY) {
        (void)shape, (void)colour, (void)alpha, (void)hotX, (void)hotY;
    }
    virtual void SetCursorShape(int shape) { (void)shape; }
    // Closes a pop-up menu that may still be open, as an Escape press would.
    virtual void DismissPopupMenu() {}
    // The clipboard, text feed and speech; nullptr when the platform has none.
    virtual TextOutlets* textOutlets() { return nullptr; }
    // Whether the local text feed can be offered at all (a web page cannot
    // listen on a socket).
    virtual bool TextFeedAvailable() const { return true; }
};

}  // namespace velmora::platform
