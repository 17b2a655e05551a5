// The Qt window, offscreen: geometry, the tool bar, the paint box, the
// close question, and the single-instance lock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>

#include "app/engine.h"
#include "data/encoding.h"
#include "platform/qt/qt_platform.h"
#include "support/test_game.h"

using namespace velmora;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "velmora_shell_tests";
    static char* argv[] = {name, nullptr};
    // Offscreen and silent, whoever starts the tests.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace

TEST(Shell, MainWindowGeometryToolBarAndTitle) {
    App();
    test::TestGame game;
    game.Script("_config", "TITLE:窓のテスト\n").Script("main", "x\n");
    game.Build();
    platform::QtPlatform plat;
    TForm1 f(plat);
    f.app.gameDir = game.path();
    plat.Attach(&f);
    f.FormCreate();
    platform::MainWindow& w = plat.mainWindow();
    w.show();
    EXPECT_EQ(w.width(), 800);
    EXPECT_EQ(w.height(), 624);
    EXPECT_EQ(w.windowTitle().toStdString(), "窓のテスト");
    EXPECT_EQ(w.Panel1->geometry(), QRect(0, 0, 800, 21));
    EXPECT_EQ(w.PB->geometry(), QRect(0, 24, 800, 600));
    // The tool bar, left to right.
    std::vector<std::pair<int, std::string>> seen;
    for (QPushButton* b : w.Panel1->findChildren<QPushButton*>()) seen.emplace_back(b->x(), b->text().toStdString());
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].second, "終了");
    EXPECT_EQ(seen[1].second, "ロード(L)");
    EXPECT_EQ(seen[2].second, "セーブ(S)");
    EXPECT_EQ(seen[3].second, "設定(C)");
    // Saving and loading are not offered until the script allows them.
    EXPECT_FALSE(w.buttons[kButtonSave]->isEnabled());
    // What the engine copies to PB is what the window shows.
    Picture red;
    red.Resize(10, 10);
    for (size_t i = 2; i < red.bytes.size(); i += 3) red.bytes[i] = 255;
    plat.Blit(red, 0, 0, 10, 10, 795, 595);  // clipped at the corner
    Picture back;
    plat.ReadBack(back);
    EXPECT_EQ(back.Pixel(799, 599)[2], 255);
    EXPECT_EQ(back.Pixel(799, 599)[0], 0);
    EXPECT_EQ(back.Pixel(794, 599)[2], 0);
    // The first idle pass loads "main".
    plat.IdlePass();
    EXPECT_TRUE(f.stepper.ScriptRunning);
    plat.destroyed = true;
    f.FormDestroy();
}

TEST(Shell, SecondCopyExitsWithOneAndAStaleLockDoesNotBlock) {
    int fd = -1;
    ASSERT_TRUE(platform::AcquireInstanceLock("VELMORATEST", fd));
    int fd2 = -1;
    EXPECT_FALSE(platform::AcquireInstanceLock("VELMORATEST", fd2));  // held, even within one process
    ::close(fd);
    EXPECT_TRUE(platform::AcquireInstanceLock("VELMORATEST", fd2));  // the file stays, the lock is gone
    ::close(fd2);

    // Two real copies of the engine.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string exe = VELMORA_EXE;
    std::thread first([&] { std::system((exe + " --quit-after 4000 >/dev/null 2>&1").c_str()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::string out;
    int rc = test::RunVelmora("", &out);
    first.join();
    EXPECT_EQ(rc, 1) << out;
    EXPECT_EQ(out, "");
}
