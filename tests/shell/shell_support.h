#pragma once
// What the shell tests share: one offscreen application, and a tiny game
// started in the real window.
#include <QApplication>
#include <cstdlib>
#include <string>

#include "app/engine.h"
#include "platform/qt/qt_platform.h"
#include "support/test_game.h"

namespace velmora::test {

// What the window writes goes to a folder of the test's own, not the user's settings.
struct ScratchConfig {
    TempDir dir;
    std::string before;
    ScratchConfig() {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) before = old;
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    }
    ~ScratchConfig() {
        if (before.empty()) unsetenv("XDG_CONFIG_HOME");
        else setenv("XDG_CONFIG_HOME", before.c_str(), 1);
    }
};

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "velmora_shell_tests";
    static char* argv[] = {name, nullptr};
    // Offscreen and silent, whoever starts the tests.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The offscreen platform has no OpenGL unless a display is about: none, always.
    setenv("QT_QPA_OFFSCREEN_NO_GLX", "1", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    // Settings, data and the single-instance lock of the tests stay in a
    // scratch folder, away from the player's own.
    static TempDir home;
    static bool homeSet = [] {
        for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) setenv(v, home.path().c_str(), 1);
        return true;
    }();
    (void)homeSet;
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// A tiny game started in the real window: FormCreate done, window shown.
struct WindowGame {
    QApplication& app = App();  // before any widget
    TestGame game;
    platform::QtPlatform plat;
    TForm1 f{plat};
    explicit WindowGame(const std::string& mainScript) {
        game.Script("_config", "TITLE:窓のテスト\n").Script("main", mainScript);
        game.Build();
        f.app.gameDir = game.path();
        plat.Attach(&f);
        f.FormCreate();
        plat.mainWindow().show();
    }
    ~WindowGame() {
        plat.destroyed = true;
        f.FormDestroy();
    }
};

}  // namespace velmora::test
