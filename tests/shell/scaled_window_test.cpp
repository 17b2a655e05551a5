// The window at any size, offscreen: the picture scaled with its shape kept,
// the pointer mapped to the canvas pixel under it, full screen by key and
// back to the same place, the tool bar over the picture in full screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <string>

#include "app/engine.h"
#include "platform/qt/qt_platform.h"
#include "shell/shell_support.h"
#include "support/test_game.h"
#include "ui/input.h"

using namespace velmora;

namespace {

const char kMakerReg[] = "Software\\VelmoraTest";

// A tiny game in the real window, its scale mode set before the window shows.
struct ScaledGame {
    QApplication& app = test::App();
    test::TestGame game;
    platform::QtPlatform plat;
    TForm1 f{plat};
    std::string gameId;
    ScaledGame(const std::string& id, const std::string& mainScript, int scaleMode = -1) : gameId(id) {
        game.Script("_config", "TITLE:拡大\nMAKER_REG:" + std::string(kMakerReg) + "\nGAME_ID:" + id + "\n")
            .Script("main", mainScript);
        game.Build();
        if (scaleMode >= 0) plat.settings().WriteInteger(kMakerReg, id, "ScaleMode", scaleMode);
        f.app.gameDir = game.path();
        plat.Attach(&f);
        f.FormCreate();
        plat.mainWindow().show();
    }
    ~ScaledGame() {
        plat.destroyed = true;
        f.FormDestroy();
    }
    platform::MainWindow& w() { return plat.mainWindow(); }
    platform::PaintBox& pb() { return *plat.mainWindow().PB; }
    void Resize(int width, int height) {
        w().resize(width, height);
        QApplication::processEvents();
    }
    int Setting(const char* name) { return plat.settings().ReadInteger(kMakerReg, gameId, name, -1); }
    void PlayToWait(int v1) {
        for (int i = 0; i < 2000 && (f.stepper.PendingWait == 0 || f.vars.V[1] != v1); ++i) {
            QApplication::processEvents();
            plat.IdlePass();
        }
    }
    // A few idle passes: long enough for a click to release a page wait.
    void Idle() {
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            plat.IdlePass();
        }
    }
};

void Mouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Click(QWidget* w, QPointF at) {
    Mouse(w, QEvent::MouseMove, at);
    Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton);
}

void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods) {
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(w, &release);
}

// A 40 x 30 block with a different colour in every pixel.
Picture Pattern() {
    Picture p;
    p.Resize(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            uint8_t* px = p.Pixel(x, y);
            px[0] = static_cast<uint8_t>(6 * x), px[1] = static_cast<uint8_t>(8 * y), px[2] = static_cast<uint8_t>(x ^ y);
        }
    return p;
}

QRgb PatternColour(const Picture& p, int x, int y) {
    const uint8_t* px = p.Pixel(x, y);
    return qRgb(px[2], px[1], px[0]);
}

// Every canvas pixel of the pattern at (left, top) covers a k x k block of
// the painted widget starting at origin.
int WrongBlocks(const QImage& shown, const Picture& p, QPoint origin, int k, int left, int top) {
    int wrong = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            for (int j = 0; j < k; ++j)
                for (int i = 0; i < k; ++i)
                    if ((shown.pixel(origin.x() + k * (left + x) + i, origin.y() + k * (top + y) + j) & 0xFFFFFF) !=
                        (PatternColour(p, x, y) & 0xFFFFFF))
                        ++wrong;
    return wrong;
}

}  // namespace

TEST(ScaledWindow, PointerLandsOnTheCanvasPixelUnderItAtEverySize) {
    ScaledGame g("pointer", "!V001=1\n一ページ目\n\\\n!V001=2\n二ページ目\n\\\n");
    g.PlayToWait(1);
    ASSERT_EQ(g.f.stepper.PendingWait, 1);

    // Twice the size: a whole factor.
    g.Resize(1600, 1224);
    ASSERT_EQ(g.pb().geometry(), QRect(0, 24, 1600, 1200));
    Mouse(&g.pb(), QEvent::MouseMove, QPointF(2 * 123 + 1, 2 * 456 + 1));
    EXPECT_EQ(g.f.ui.LastMouseX, 123);
    EXPECT_EQ(g.f.ui.LastMouseY, 456);
    // The cursor moves of choice navigation go forward through the same
    // mapping, and come back as the pixel they were aimed at.
    g.plat.SetCursorPos(321, 234);
    int x = 0, y = 0;
    g.plat.GetCursorPos(x, y);
    EXPECT_EQ(x, 321);
    EXPECT_EQ(y, 234);
    EXPECT_EQ(g.pb().mapFromGlobal(QCursor::pos()), QPoint(643, 469));

    // 1.25 times: smooth, the whole area.
    g.Resize(1000, 774);
    Mouse(&g.pb(), QEvent::MouseMove, QPointF(500, 375));
    EXPECT_EQ(g.f.ui.LastMouseX, 400);
    EXPECT_EQ(g.f.ui.LastMouseY, 300);
    Mouse(&g.pb(), QEvent::MouseMove, QPointF(999, 749));
    EXPECT_EQ(g.f.ui.LastMouseX, 799);
    EXPECT_EQ(g.f.ui.LastMouseY, 599);

    // Wider than 4:3: bars left and right. A click on a bar is nobody's; the
    // same click on the picture turns the page.
    g.Resize(1200, 624);
    Mouse(&g.pb(), QEvent::MouseMove, QPointF(210, 5));
    EXPECT_EQ(g.f.ui.LastMouseX, 10);
    EXPECT_EQ(g.f.ui.LastMouseY, 5);
    Click(&g.pb(), QPointF(100, 300));
    g.Idle();
    EXPECT_EQ(g.f.vars.V[1], 1);
    EXPECT_EQ(g.f.stepper.PendingWait, 1);
    Click(&g.pb(), QPointF(600, 300));
    g.PlayToWait(2);
    EXPECT_EQ(g.f.vars.V[1], 2);
}

TEST(ScaledWindow, WholeFactorsArePixelExactAndOtherSizesKeepTheShape) {
    const Picture pattern = Pattern();
    {
        ScaledGame g("smooth", "x\n");
        EXPECT_EQ(g.Setting("ScaleMode"), 0);  // written for the player to find
        Picture white;
        white.Resize(800, 600);
        std::fill(white.bytes.begin(), white.bytes.end(), 255);
        g.plat.Blit(white, 0, 0, 800, 600, 0, 0);
        g.plat.Blit(pattern, 0, 0, 40, 30, 100, 200);
        g.Resize(1600, 1224);
        EXPECT_EQ(WrongBlocks(g.pb().grab().toImage(), pattern, QPoint(0, 0), 2, 100, 200), 0);
        // A change after the resize shows too (only its rows are converted).
        g.plat.Blit(pattern, 0, 0, 40, 30, 700, 500);
        EXPECT_EQ(WrongBlocks(g.pb().grab().toImage(), pattern, QPoint(0, 0), 2, 700, 500), 0);

        // 1700 x 1300: 1700 x 1275 smoothly, bars above and below.
        g.Resize(1700, 1324);
        const QImage shown = g.pb().grab().toImage();
        ASSERT_EQ(shown.size(), QSize(1700, 1300));
        EXPECT_EQ(shown.pixel(850, 11) & 0xFFFFFF, 0u);
        EXPECT_EQ(shown.pixel(850, 1287) & 0xFFFFFF, 0u);
        EXPECT_EQ(shown.pixel(850, 12) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(shown.pixel(850, 1286) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(shown.pixel(0, 650) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(shown.pixel(1699, 650) & 0xFFFFFF, 0xFFFFFFu);
    }
    {
        // Whole factors only: the same window shows the picture at 2x, centred.
        ScaledGame g("whole", "x\n", platform::kScaleWhole);
        g.plat.Blit(pattern, 0, 0, 40, 30, 0, 0);
        g.plat.Blit(pattern, 0, 0, 40, 30, 760, 570);
        g.Resize(1700, 1324);
        const QImage shown = g.pb().grab().toImage();
        EXPECT_EQ(WrongBlocks(shown, pattern, QPoint(50, 50), 2, 0, 0), 0);
        EXPECT_EQ(WrongBlocks(shown, pattern, QPoint(50, 50), 2, 760, 570), 0);
        EXPECT_EQ(shown.pixel(49, 50) & 0xFFFFFF, 0u);
        EXPECT_EQ(shown.pixel(50, 49) & 0xFFFFFF, 0u);
        EXPECT_EQ(shown.pixel(1650, 1249) & 0xFFFFFF, 0u);
        Mouse(&g.pb(), QEvent::MouseMove, QPointF(51, 51));
        EXPECT_EQ(g.f.ui.LastMouseX, 0);
        EXPECT_EQ(g.f.ui.LastMouseY, 0);
    }
}

TEST(ScaledWindow, FullScreenByKeyRevealsTheToolBarOverThePictureAndComesBack) {
    ScaledGame g("full", "!V001=1\n一ページ目\n\\\n!V001=2\n二ページ目\n\\\n");
    g.PlayToWait(1);
    g.Resize(1000, 774);
    g.w().move(30, 40);
    QApplication::processEvents();
    const QRect before = g.w().geometry();

    Key(&g.w(), Qt::Key_F11, Qt::NoModifier);
    ASSERT_TRUE(g.f.ui.FullScreenActive);
    EXPECT_EQ(g.f.app.screenMode, 1);
    EXPECT_EQ(g.Setting("SMode"), 1);
    EXPECT_EQ(g.w().geometry(), g.w().screen()->geometry());
    EXPECT_EQ(g.pb().geometry(), g.w().rect());
    EXPECT_FALSE(g.w().Panel1->isVisible());

    // The top-left band of the picture shows the bar, over the picture.
    Mouse(&g.pb(), QEvent::MouseMove, g.pb().FromCanvas(QPoint(10, 10)));
    EXPECT_TRUE(g.w().Panel1->isVisible());
    EXPECT_EQ(g.w().Panel1->y(), 0);
    EXPECT_EQ(g.pb().geometry(), g.w().rect());
    Mouse(&g.pb(), QEvent::MouseMove, g.pb().FromCanvas(QPoint(10, 100)));
    EXPECT_FALSE(g.w().Panel1->isVisible());
    Mouse(&g.pb(), QEvent::MouseMove, g.pb().FromCanvas(QPoint(500, 10)));
    EXPECT_FALSE(g.w().Panel1->isVisible());
    // A disabled bar is disabled as a whole.
    g.plat.SetToolBarEnabled(0, false);
    EXPECT_FALSE(g.w().buttons[kButtonQuit]->isEnabled());
    g.plat.SetToolBarEnabled(0, true);

    // Alt+Enter: back where it was, with its bar and border; the game did
    // not take the Enter as a page turn.
    Key(&g.w(), Qt::Key_Return, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_FALSE(g.f.ui.FullScreenActive);
    EXPECT_EQ(g.f.app.screenMode, 0);
    EXPECT_EQ(g.Setting("SMode"), 0);
    EXPECT_EQ(g.w().geometry(), before);
    EXPECT_TRUE(g.plat.Border());
    EXPECT_TRUE(g.w().Panel1->isVisible());
    EXPECT_EQ(g.w().Panel1->geometry(), QRect(0, 0, 1000, 21));
    EXPECT_EQ(g.pb().geometry(), QRect(0, 24, 1000, 750));
    g.Idle();
    EXPECT_EQ(g.f.vars.V[1], 1);
    EXPECT_EQ(g.f.stepper.PendingWait, 1);
}
