#include "platform/qt/sdl_pad.h"

#include <SDL2/SDL.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTabWidget>

#include "app/engine.h"
#include "app/trace.h"
#include "platform/qt/qt_platform.h"

namespace velmora::platform {

namespace {

bool PadButtonOf(int sdlButton, PadButton& out) {
    switch (sdlButton) {
        case SDL_CONTROLLER_BUTTON_A: out = PadButton::A; break;
        case SDL_CONTROLLER_BUTTON_B: out = PadButton::B; break;
        case SDL_CONTROLLER_BUTTON_X: out = PadButton::X; break;
        case SDL_CONTROLLER_BUTTON_Y: out = PadButton::Y; break;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: out = PadButton::LeftShoulder; break;
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: out = PadButton::RightShoulder; break;
        case SDL_CONTROLLER_BUTTON_START: out = PadButton::Start; break;
        case SDL_CONTROLLER_BUTTON_BACK: out = PadButton::Back; break;
        case SDL_CONTROLLER_BUTTON_DPAD_UP: out = PadButton::Up; break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: out = PadButton::Down; break;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: out = PadButton::Left; break;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: out = PadButton::Right; break;
        default: return false;
    }
    return true;
}

Qt::Key QtKeyOf(uint16_t vk, uint32_t shift) {
    switch (vk) {
        case VK_RETURN: return Qt::Key_Return;
        case VK_ESCAPE: return Qt::Key_Escape;
        case VK_UP: return Qt::Key_Up;
        case VK_DOWN: return Qt::Key_Down;
        case VK_TAB: return (shift & ssShift) ? Qt::Key_Backtab : Qt::Key_Tab;
        default: return Qt::Key_unknown;
    }
}

}  // namespace

SdlPad::SdlPad(QtPlatform& plat) : plat_(plat) {
    // Qt owns the signals and the window; SDL only reads controllers, also
    // while the window is not in front (a Steam Deck's overlay).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        Trace("pad: no game controllers (%s)", SDL_GetError());
        return;
    }
    ok_ = true;
    if (TForm1* f = plat_.engine()) {
        input_ = std::make_unique<PadInput>(*f);
        input_->ReadMapping();
    }
    // Controllers present at start come as "added" events at the first poll.
}

SdlPad::~SdlPad() {
    if (plat_.pad == this) plat_.pad = nullptr;
    if (!ok_) return;
    Close();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void SdlPad::Open(int deviceIndex) {
    if (controller_ || !SDL_IsGameController(deviceIndex)) return;
    controller_ = SDL_GameControllerOpen(deviceIndex);
    if (!controller_) {
        Trace("pad: cannot open controller %d (%s)", deviceIndex, SDL_GetError());
        return;
    }
    id_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller_));
    Trace("pad: %s connected", SDL_GameControllerName(controller_));
    // The mapping may have changed in the settings since.
    if (input_) input_->ReadMapping();
}

void SdlPad::Close() {
    if (!controller_) return;
    Trace("pad: controller gone");
    SDL_GameControllerClose(controller_);
    controller_ = nullptr;
    id_ = -1;
    stickX_ = stickY_ = 0;
    // What it held lets go (skipping stops); the focus stays where it was.
    if (input_ && !plat_.destroyed) input_->ReleaseAll();
}

bool SdlPad::ToDialog(PadButton b, bool down) {
    QWidget* popup = QApplication::activePopupWidget();
    QWidget* modal = QApplication::activeModalWidget();
    if (!popup && !modal && plat_.modalDepth == 0) return false;
    if (!down) return true;
    uint16_t vk = 0;
    uint32_t shift = 0;
    if (!PadDialogKey(b, vk, shift)) return true;
    if (modal && !popup && vk == VK_TAB && (shift & ssCtrl)) {
        // The shoulders turn the tab pages.
        if (auto* tabs = modal->findChild<QTabWidget*>()) {
            const int n = tabs->count();
            if (n > 0) tabs->setCurrentIndex((tabs->currentIndex() + ((shift & ssShift) ? n - 1 : 1)) % n);
        }
        return true;
    }
    QWidget* target = popup ? popup : QApplication::focusWidget();
    if (!target) target = modal;
    if (!target) return true;
    Qt::Key key = QtKeyOf(vk, shift);
    QString text;
    // A presses the button or box that has the focus, as Space does.
    if (key == Qt::Key_Return && !popup && qobject_cast<QAbstractButton*>(target)) key = Qt::Key_Space;
    if (key == Qt::Key_Return) text = QStringLiteral("\r");
    else if (key == Qt::Key_Escape) text = QString(QChar(27));
    else if (key == Qt::Key_Space) text = QStringLiteral(" ");
    const Qt::KeyboardModifiers mods = (shift & ssShift) ? Qt::ShiftModifier : Qt::NoModifier;
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(target, &press);
    // The press may have closed the target.
    if (QApplication::activePopupWidget() == popup || QApplication::focusWidget() == target) {
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(popup ? popup : target, &release);
    }
    return true;
}

void SdlPad::Button(int sdlButton, bool down) {
    PadButton b;
    if (!PadButtonOf(sdlButton, b) || !input_ || plat_.destroyed) return;
    if (ToDialog(b, down)) {
        // A press that opened the dialog has its release there.
        if (!down) input_->Forget(b);
        return;
    }
    plat_.PadPointerHidden(true);
    if (down) input_->ButtonDown(b);
    else input_->ButtonUp(b);
}

void SdlPad::Poll() {
    if (!ok_ || plat_.destroyed) return;
    if (!input_ && plat_.engine()) {
        input_ = std::make_unique<PadInput>(*plat_.engine());
        input_->ReadMapping();
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_CONTROLLERDEVICEADDED: Open(e.cdevice.which); break;
            case SDL_CONTROLLERDEVICEREMOVED:
                if (e.cdevice.which == id_) {
                    Close();
                    // Another controller still plugged in takes over.
                    for (int i = 0; i < SDL_NumJoysticks() && !controller_; ++i) Open(i);
                }
                break;
            case SDL_CONTROLLERBUTTONDOWN:
            case SDL_CONTROLLERBUTTONUP:
                if (e.cbutton.which == id_) Button(e.cbutton.button, e.type == SDL_CONTROLLERBUTTONDOWN);
                break;
            case SDL_CONTROLLERAXISMOTION:
                if (e.caxis.which != id_ || !input_) break;
                if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) stickX_ = e.caxis.value;
                else if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) stickY_ = e.caxis.value;
                else break;
                if (QApplication::activePopupWidget() || QApplication::activeModalWidget() || plat_.modalDepth) break;
                input_->Stick(stickX_, stickY_);
                if (input_->used) plat_.PadPointerHidden(true);
                break;
            default: break;
        }
        if (plat_.destroyed) return;
    }
    if (input_ && plat_.modalDepth == 0) input_->Tick();
}

}  // namespace velmora::platform
