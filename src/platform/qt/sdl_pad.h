#pragma once
// Game controllers on the desktop through SDL2's game-controller API, beside
// Qt: only SDL's controller subsystem is started, and it is polled from the
// window's timer. The first controller plugged in plays; one plugged in
// later takes over when it goes away. In the game window the pad goes to the
// engine's pad input; while a dialog or pop-up menu is open it types keys
// into it.
#include <memory>

#include "ui/pad_input.h"

struct _SDL_GameController;

namespace velmora::platform {

class QtPlatform;

class SdlPad {
public:
    explicit SdlPad(QtPlatform& plat);
    ~SdlPad();
    SdlPad(const SdlPad&) = delete;
    SdlPad& operator=(const SdlPad&) = delete;
    // False when SDL's controller subsystem could not start (traced).
    bool Available() const { return ok_; }
    bool Connected() const { return controller_ != nullptr; }
    // Hot-plug, buttons and the stick since the last call, then the repeat
    // of a held direction.
    void Poll();
    PadInput* input() { return input_.get(); }

private:
    void Open(int deviceIndex);
    void Close();
    void Button(int sdlButton, bool down);
    // In a dialog or menu: the pad's keys to the widget that has the focus.
    bool ToDialog(PadButton b, bool down);
    QtPlatform& plat_;
    bool ok_ = false;
    _SDL_GameController* controller_ = nullptr;
    int id_ = -1;  // the joystick instance of the open controller
    int stickX_ = 0, stickY_ = 0;
    std::unique_ptr<PadInput> input_;
};

}  // namespace velmora::platform
