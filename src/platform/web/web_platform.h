#pragma once
// The browser platform: the headless platform's engine-facing half (its
// timeline of input, forms driven by `menu` and `dialog` commands, the INI
// store) with the page around it. The page turns the player's mouse, wheel,
// keys and clicks on HTML forms into the runner's event lines; the canvas
// shows PB. With the test page the clock is the runner's virtual clock,
// standing still whenever the page has no more events for it; otherwise it
// is the real clock, and sleeps yield to the browser through Asyncify.
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"

namespace velmora::platform {

class WebPlatform : public HeadlessPlatform {
public:
    WebPlatform(std::unique_ptr<SettingsStore> store, bool virtualClock);

    void ProcessMessages() override;
    void Sleep(uint32_t ms) override;
    void Blit(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) override;
    void Fill(uint32_t colour) override;
    void Update() override { Present(); }
    BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;
    void RunModal(Form& form) override;
    int RunPopupMenu(PopupMenuModel& menu, int screenX, int screenY) override;
    void SetCaption(const std::string& cp932) override;
    // The page's tool bar follows the engine's: its buttons greyed, itself hidden.
    void SetToolBarEnabled(int button, bool enabled) override;
    void SetToolBarShown(bool shown) override;
    void SavesTransferred(bool exporting, bool ok, const std::string& message) override;

    // What the window shows, as a PNG file: on the virtual clock, what it
    // showed at the end of the page's events.
    bool Screenshot(const std::string& path);
    const Picture& Canvas() const { return canvas_; }

private:
    // Event lines the page queued (input, or a test's events) join the timeline.
    void TakeQueuedEvents();
    void Present();
    void ShowOpenForm();
    uint32_t RealNow() const;

    bool virtual_;
    bool dirty_ = true;
    bool idleTold_ = false;
    bool endShown_ = false;  // endPicture_ holds the picture at the end of the page's events
    Picture endPicture_;
    double started_ = 0;
    double lastYield_ = 0;
    std::vector<uint8_t> rgba_;
};

}  // namespace velmora::platform
