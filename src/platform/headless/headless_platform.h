#pragma once
// The headless platform: a virtual clock, the PB canvas in memory, the
// window's recorded geometry, an INI settings store and answers for the
// boxes. It is a real second platform: the engine runs unchanged on it.
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/headless/events.h"
#include "platform/headless/headless_mixer.h"
#include "platform/forms.h"
#include "platform/headless/ini_store.h"
#include "platform/platform.h"
#include "ui/pad_input.h"

namespace velmora {
class TForm1;
}

namespace velmora::platform {

// Thrown by the pump and the clock once the run is over (the timeline ran
// out or the window closed), to leave whatever loop the engine is in.
struct RunEnded {};

class HeadlessPlatform : public Platform, Clock, Surface, Window, Dialogs {
public:
    explicit HeadlessPlatform(std::unique_ptr<SettingsStore> store);

    void Attach(TForm1* engine) { engine_ = engine; }
    void SetTimeline(Timeline timeline) {
        timeline_ = std::move(timeline);
        next_ = 0;
    }
    // Whether the run may end yet (the runner allows it after the first pass).
    void AllowEnd(bool allow) { allowEnd_ = allow; }
    bool Closed() const { return closed_; }
    bool TimelineDone() const;
    // Messages shown, for tests.
    const std::deque<std::string>& Shown() const { return shown_; }
    int screenWidth = 1920;
    int screenHeight = 1080;
    bool wavePresent = true;
    // False: another application has the focus.
    bool active = true;
    HeadlessMixer headlessMixer{static_cast<Clock&>(*this)};
    Mixer* mixerImpl = &headlessMixer;
    // The text feed written to a file (--text-feed), or none.
    TextOutlets* textOutletsImpl = nullptr;
    TextOutlets* textOutlets() override { return textOutletsImpl; }
    // False where no text feed can be had: the settings page greys it.
    bool textFeedAvailable = true;
    bool TextFeedAvailable() const override { return textFeedAvailable; }

    // Platform
    Clock& clock() override { return *this; }
    Surface& surface() override { return *this; }
    Window& window() override { return *this; }
    SettingsStore& settings() override { return *store_; }
    Dialogs& dialogs() override { return *this; }
    Mixer* mixer() override { return mixerImpl; }
    void ProcessMessages() override;
    bool WaveOutputPresent() override { return wavePresent; }
    void GetCursorPos(int& x, int& y) override {
        x = cursorX_;
        y = cursorY_;
    }
    // Like the real pointer, a moved pointer reports its move at the next pump.
    void SetCursorPos(int x, int y) override {
        cursorX_ = x;
        cursorY_ = y;
        moveQueued_ = true;
    }
    void DefineCursor(int shape, const Picture&, const Picture&, int, int) override {
        if (shape > 0 && shape < 64) cursorDefined[shape] = true;
    }
    void SetCursorShape(int shape) override { cursorShape = shape; }
    // The shape shown over PB and the shapes registered, for tests.
    int cursorShape = 0;
    bool cursorDefined[64] = {};

    // Clock
    uint32_t Now() override { return now_; }
    void Sleep(uint32_t ms) override;

    // Surface
    void Blit(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) override;
    void Fill(uint32_t colour) override;
    void ReadBack(Picture& out) override { out = canvas_; }
    void Update() override {}

    // Window
    int Left() override { return left_; }
    int Top() override { return top_; }
    void Move(int left, int top) override {
        left_ = left;
        top_ = top;
    }
    void SetBorder(bool on) override { border_ = on; }
    bool Border() override { return border_; }
    int ScreenWidth() override { return screenWidth; }
    int ScreenHeight() override { return screenHeight; }
    int Width() override;
    int Height() override;
    void SetCaption(const std::string& cp932) override { caption_ = cp932; }
    std::string Caption() override { return caption_; }
    void Close() override;
    void SetToolBarEnabled(int button, bool enabled) override;
    bool Active() override { return active; }
    bool ToolBarEnabled(int button) const { return button >= 0 && button < 8 ? toolbar_[button] : false; }
    void SetToolBarShown(bool shown) override { toolBarShown = shown; }
    bool SetFullScreen(bool on) override {
        if (on && !fullScreenWorks) return false;
        fullScreen = on;
        return true;
    }
    // The tool bar shown, the window in full screen; whether the desktop allows it.
    // Events that could not be carried out (a screenshot that could not be written).
    int failedEvents = 0;
    bool toolBarShown = true;
    bool fullScreen = false;
    bool fullScreenWorks = true;

    // Dialogs
    // What came of a runner's `export` or `import` (message UTF-8, for the
    // player); the browser's page takes it from here.
    virtual void SavesTransferred(bool exporting, bool ok, const std::string& message) {
        (void)exporting, (void)ok, (void)message;
    }
    BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;
    void RunModal(Form& form) override;
    int RunPopupMenu(PopupMenuModel& menu, int screenX, int screenY) override;
    // The form or menu the events file acts on now, for tests.
    Form* OpenForm() const { return forms_.empty() ? nullptr : forms_.back(); }
    PopupMenuModel* OpenMenu() const { return menu_; }
    // The pad of the events file, its mapping read from the settings at its
    // first use; the menu item the pad has lit (-1 none).
    PadInput& Pad();
    int menuHighlight = -1;

protected:  // the browser platform runs on this one
    void Deliver(const TimelineEvent& e);
    // Input while a form or menu is open goes to it, not to the game window.
    bool DeliverToForm(const TimelineEvent& e);
    void DialogCommand(Form& form, const TimelineEvent& e);
    void FormKey(Form& form, uint16_t vk, char ch);
    void MenuCommand(const TimelineEvent& e);
    // A pad button in the open form or menu, as the keys it stands for.
    void PadInForm(PadButton b);
    void CheckEnd();

    TForm1* engine_ = nullptr;
    std::unique_ptr<SettingsStore> store_;
    Timeline timeline_;
    size_t next_ = 0;
    uint32_t now_ = 0;
    uint32_t ticksDone_ = 0;  // Timer1 ticks delivered so far
    bool allowEnd_ = false;
    bool eventsMayFollow_ = false;  // input still to come (the browser): an open form waits for it
    bool closed_ = false;
    bool closing_ = false;
    bool answerOk_ = true;
    uint32_t held_ = 0;  // shift state of held keys and buttons
    int cursorX_ = 0, cursorY_ = 0;
    bool moveQueued_ = false;
    int left_ = 0, top_ = 0;
    bool border_ = true;
    bool toolbar_[8] = {true, true, true, true, true, true, true, true};
    std::string caption_;
    Picture canvas_;
    std::deque<std::string> shown_;
    std::vector<Form*> forms_;  // open modal forms, innermost last
    PopupMenuModel* menu_ = nullptr;
    int menuPick_ = -1;
    bool menuDone_ = false;
    uint32_t keysFlushed_ = 0;  // counts forms that dropped the pending key messages
    std::unique_ptr<PadInput> pad_;
};

struct HeadlessOptions {
    std::string gameDir;
    bool bundledGame = false;  // gameDir is the program's own demo
    std::string eventsFile;
    std::string settingsFile;
    std::string traceFile;
    std::string textFeedFile;  // the text feed's messages, one a line
    int64_t seed = 1;
    bool strict = false;  // any content error makes the run fail (exit 3)
};

// Runs a game headless; returns the exit status.
int RunHeadless(const HeadlessOptions& options);

// The engine's life where no toolkit runs the loop: FormCreate, then message
// pumps and idle passes until the window closes or `stop` says so (checked
// after each pass); `afterFirstPass` once, after the first idle pass. A run
// the platform ends (RunEnded) ends here too.
void RunEngineLoop(TForm1& engine, HeadlessPlatform& plat, const std::function<void()>& afterFirstPass,
                   const std::function<bool()>& stop = nullptr);

}  // namespace velmora::platform
