// A (virtual) game controller in the real window: SDL's controller
// subsystem beside Qt, buttons pressed on a virtual pad attached in this
// process, the pad reaching the game, its menus and dialogs.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTimer>
#include <functional>

#include "app/engine.h"
#include "data/encoding.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/sdl_pad.h"
#include "save/slots.h"
#include "shell/shell_support.h"

using namespace velmora;
using test::WindowGame;

namespace {

// A controller as SDL reports a real one, attached and detached at will.
struct VirtualPad {
    int index = -1;
    SDL_Joystick* joystick = nullptr;
    void Attach() {
        SDL_VirtualJoystickDesc d;
        SDL_zero(d);
        d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        d.naxes = SDL_CONTROLLER_AXIS_MAX;
        d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        d.name = "Velmora test pad";
        index = SDL_JoystickAttachVirtualEx(&d);
        ASSERT_GE(index, 0) << SDL_GetError();
        joystick = SDL_JoystickOpen(index);
        ASSERT_NE(joystick, nullptr) << SDL_GetError();
    }
    void Detach() {
        SDL_JoystickClose(joystick);
        joystick = nullptr;
        SDL_JoystickDetachVirtual(index);
    }
};

struct PadGame : WindowGame {
    std::unique_ptr<platform::SdlPad> sdl;
    VirtualPad pad;
    explicit PadGame(const std::string& script) : WindowGame(script) {
        sdl = std::make_unique<platform::SdlPad>(plat);
        plat.pad = sdl.get();
        pad.Attach();
        sdl->Poll();
    }
    ~PadGame() {
        if (pad.joystick) pad.Detach();
        sdl.reset();
    }
    // A press and release, each seen by one poll, as the window's timer does.
    void Press(SDL_GameControllerButton b) {
        SDL_JoystickSetVirtualButton(pad.joystick, b, 1);
        sdl->Poll();
        SDL_JoystickSetVirtualButton(pad.joystick, b, 0);
        sdl->Poll();
    }
    // Idle passes with the window's events until the stepper waits.
    void ToWait() {
        for (int i = 0; i < 2000 && f.stepper.PendingWait == 0; ++i) {
            QApplication::processEvents();
            plat.IdlePass();
        }
    }
    void Passes(int n) {
        for (int i = 0; i < n; ++i) {
            QApplication::processEvents();
            plat.IdlePass();
        }
    }
};

const char kChoices[] = "!S000=0\n!S028=1\n*select\n{北へ\nnorth▼\n{南へ\nsouth▼\n{西へ\nwest▼\n}\n"
                        "一\n\\\n二\n\\\n三\n\\\n四\n\\\n";

}  // namespace

TEST(PadShell, DpadPicksAChoiceAndHotPlugKeepsTheFocus) {
    PadGame g(kChoices);
    TForm1& f = g.f;
    ASSERT_TRUE(g.sdl->Available());
    ASSERT_TRUE(g.sdl->Connected());
    g.Passes(3);
    ASSERT_EQ(f.ui.choiceKind, kChoiceList);
    g.Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    g.Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    EXPECT_EQ(f.ui.choice.hovered, 2);
    // The pointer hides while the pad plays.
    EXPECT_TRUE(g.plat.PadPointerHidden());
    EXPECT_EQ(g.plat.mainWindow().PB->cursor().shape(), Qt::BlankCursor);

    // Pulled out and plugged in again: the focus stays on the same choice.
    g.pad.Detach();
    g.sdl->Poll();
    EXPECT_FALSE(g.sdl->Connected());
    EXPECT_EQ(f.ui.choice.hovered, 2);
    g.pad.Attach();
    g.sdl->Poll();
    ASSERT_TRUE(g.sdl->Connected());
    g.Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    EXPECT_EQ(f.ui.choice.hovered, 3);
    g.Press(SDL_CONTROLLER_BUTTON_A);
    EXPECT_EQ(f.ui.choiceKind, kChoiceNone);
    g.ToWait();
    EXPECT_EQ(ToUtf8(f.backlog.BacklogLines[f.backlog.count - 1]), "west");

    // A turns the page, Y opens the backlog and closes it.
    g.Press(SDL_CONTROLLER_BUTTON_A);
    g.Passes(2);
    g.ToWait();
    g.Press(SDL_CONTROLLER_BUTTON_Y);
    EXPECT_TRUE(f.backlog.open);
    g.Press(SDL_CONTROLLER_BUTTON_Y);
    EXPECT_FALSE(f.backlog.open);
}

TEST(PadShell, LoadsThroughTheMenuAndTheDialog) {
    PadGame g("!S000=0\n!V001=1\n一ページ目\n\\\n!V001=2\n二ページ目\n\\\n");
    TForm1& f = g.f;
    g.ToWait();
    ASSERT_TRUE(SaveGame(f, 1, true));
    g.Press(SDL_CONTROLLER_BUTTON_A);
    g.Passes(2);
    g.ToWait();
    ASSERT_EQ(f.vars.V[1], 2);
    // Start opens the right-click menu; its loop runs until the pad picks.
    bool menuSeen = false, dialogSeen = false;
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        menuSeen = menu && menu->objectName() == "PopupMenu3";
        if (!menuSeen) {
            if (menu) menu->close();
            return;
        }
        // Down to "ロード"; the dialog's own loop runs next, with the last
        // slot used lit: A loads it.
        QTimer::singleShot(50, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            dialogSeen = dialog != nullptr;
            if (!dialog) return;
            g.Press(SDL_CONTROLLER_BUTTON_A);
            // Whatever happened, nothing may stay open.
            QTimer::singleShot(200, [&] {
                if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    g.Press(SDL_CONTROLLER_BUTTON_B);
                    if (d == QApplication::activeModalWidget()) d->hide();
                }
            });
        });
        for (int i = 0; i < 16 && !(menu->activeAction() && menu->activeAction()->objectName() == "N9"); ++i)
            g.Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        g.Press(SDL_CONTROLLER_BUTTON_A);
    });
    g.Press(SDL_CONTROLLER_BUTTON_START);
    EXPECT_TRUE(menuSeen);
    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    g.Passes(50);
    EXPECT_EQ(f.vars.V[1], 1);
}
