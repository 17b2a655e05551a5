#include "platform/headless/headless_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/png_file.h"
#include "save/slots.h"

namespace velmora::platform {

namespace {
constexpr uint32_t kTimerInterval = 55;
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
        uint32_t nextTick = (ticksDone_ + 1) * kTimerInterval;
        bool tickDue = nextTick <= now_;
        bool eventDue = next_ < timeline_.events.size() && timeline_.events[next_].time <= now_;
        if (!tickDue && !eventDue) break;
        if (tickDue && (!eventDue || nextTick <= timeline_.events[next_].time)) {
            ++ticksDone_;
            if (engine_) engine_->Timer1Timer();
        } else {
            const TimelineEvent e = timeline_.events[next_++];
            Deliver(e);
        }
        CheckEnd();
    }
}

void HeadlessPlatform::Deliver(const TimelineEvent& e) {
    if (!engine_) return;
    TForm1& f = *engine_;
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
        if (e.ch && vk != 0) {
            char c = e.ch;
            f.FormKeyPress(c);
        }
    };
    auto keyUp = [&]() {
        if (e.vk == VK_CONTROL) held_ &= ~ssCtrl;
        if (e.vk == VK_SHIFT) held_ &= ~ssShift;
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
            if (!SaveGame(f, e.value, true)) Trace("events line %d: save %d failed", e.line, e.value);
            break;
        case EventKind::Load:
            if (!LoadGame(f, e.value, true)) Trace("events line %d: load %d failed", e.line, e.value);
            break;
        case EventKind::Screenshot:
            if (WritePng(e.path, canvas_)) Trace("screenshot %s at %u ms", e.path.c_str(), now_);
            else std::fprintf(stderr, "velmora: cannot write screenshot %s (events line %d)\n", e.path.c_str(), e.line);
            break;
    }
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
