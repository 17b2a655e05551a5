// The window's GPU surface shows what the CPU path shows: pixel for pixel at
// whole factors, closely at other sizes; without OpenGL the CPU path paints.
// Under Xvfb with Mesa's software GL (ctest's GpuPresent entry) the GPU path
// must be there; elsewhere its comparisons are skipped.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QPainter>
#include <QWindow>
#include <cstdlib>
#include <string>

#include "data/file_io.h"
#include "platform/qt/gl_view.h"
#include "platform/qt/qt_platform.h"
#include "shell/shell_support.h"

using namespace velmora;
using platform::PaintBox;

namespace {

// Single-pixel detail, hard edges and gradients: what scaling gets wrong.
void DrawDetail(QImage& canvas, int seed) {
    for (int y = 0; y < canvas.height(); ++y) {
        uchar* row = canvas.scanLine(y);
        for (int x = 0; x < canvas.width(); ++x) {
            const bool dot = ((x + y + seed) % 7) == 0 || (x / 40 + y / 30) % 2 == 0;
            row[3 * x] = static_cast<uchar>(dot ? 255 : x * 255 / 799);
            row[3 * x + 1] = static_cast<uchar>((y * 255 / 599) ^ seed);
            row[3 * x + 2] = static_cast<uchar>(dot ? 0 : (x * y) >> 9);
        }
    }
}

QImage CpuPicture(const PaintBox& box, QSize area) {
    const QImage shown = box.canvas.convertToFormat(QImage::Format_RGB32);
    QImage out(area, QImage::Format_RGB32);
    QPainter p(&out);
    PaintPicture(p, shown, platform::FitPicture(area, box.scaleMode), area);
    return out;
}

struct Difference {
    int differing = 0;        // pixels that differ at all
    double meanChannel = 0;   // mean absolute difference per channel
};

Difference Compare(const QImage& a, const QImage& b) {
    Difference d;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int e = std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            d.differing += e != 0;
            sum += e;
        }
    d.meanChannel = sum / (3.0 * a.width() * a.height());
    return d;
}

bool GpuExpected() { return std::getenv("VELMORA_EXPECT_GPU") != nullptr; }

struct ShownBox {
    QApplication& app = test::App();
    platform::QtPlatform plat;
    PaintBox box{plat, nullptr};
    explicit ShownBox(QSize size, int mode) {
        box.scaleMode = mode;
        DrawDetail(box.canvas, 0);
        box.CanvasChanged(box.canvas.rect());
        box.resize(size);
        box.show();
        for (int i = 0; i < 200 && !(box.windowHandle() && box.windowHandle()->isExposed()); ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        box.Present();
    }
};

}  // namespace

TEST(GpuPresent, MatchesTheCpuPathExactlyAtWholeFactorsAndCloselyElsewhere) {
    struct Case {
        QSize size;
        int mode;
        bool exact;
    } cases[] = {
        {{800, 600}, platform::kScaleSmooth, true},
        {{1600, 1200}, platform::kScaleSmooth, true},
        {{1800, 1300}, platform::kScaleWhole, true},  // 2x with bars on every side
        {{1000, 750}, platform::kScaleSmooth, false},
        {{1366, 768}, platform::kScaleSmooth, false},  // 1.28x with side bars
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size.width()) + "x" + std::to_string(c.size.height()));
        ShownBox s(c.size, c.mode);
        if (!s.box.gpu()) {
            if (GpuExpected()) FAIL() << "no OpenGL surface where one was expected";
            GTEST_SKIP() << "no OpenGL context here";
        }
        ASSERT_EQ(s.box.gpu()->size(), c.size);
        const QImage cpu = CpuPicture(s.box, c.size);
        QImage gpu = s.box.gpu()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(gpu.size(), c.size);
        const platform::PictureFit fit = platform::FitPicture(c.size, c.mode);
        // The bars are black.
        if (fit.rect.left() > 0) {
            EXPECT_EQ(gpu.pixel(0, c.size.height() / 2), qRgb(0, 0, 0));
        }
        if (fit.rect.top() > 0) {
            EXPECT_EQ(gpu.pixel(c.size.width() / 2, 0), qRgb(0, 0, 0));
        }
        const Difference d = Compare(gpu, cpu);
        if (c.exact) {
            EXPECT_EQ(d.differing, 0);
        } else {
            EXPECT_LT(d.meanChannel, 1.5);  // 0.2 to 0.4 with Mesa
        }

        // A band of rows changes: only they go up, and the picture matches again.
        for (int y = 100; y < 110; ++y) std::memset(s.box.canvas.scanLine(y), 0x40, 800 * 3);
        s.box.CanvasChanged(QRect(0, 100, 800, 10));
        s.box.Present();
        gpu = s.box.gpu()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        const Difference again = Compare(gpu, CpuPicture(s.box, c.size));
        if (c.exact) {
            EXPECT_EQ(again.differing, 0);
        } else {
            EXPECT_LT(again.meanChannel, 1.5);
        }
    }
}

// With no OpenGL (the offscreen platform, or a driver Qt cannot use) the
// window still plays, painted on the CPU, and the trace says so once.
TEST(GpuPresent, WithoutOpenGlTheCpuPathPaints) {
    test::App();
    if (platform::GlView::Available()) GTEST_SKIP() << "OpenGL is here";
    ShownBox s({1600, 1200}, platform::kScaleSmooth);
    EXPECT_EQ(s.box.gpu(), nullptr);
    EXPECT_EQ(Compare(s.box.grab().toImage().convertToFormat(QImage::Format_RGB32), CpuPicture(s.box, {1600, 1200})).differing,
              0);

    test::TempDir dir;
    test::TestGame game;
    game.Script("_config", "TITLE:cpu\nGAME_ID:cpupath\n").Script("main", "一行目\n\\\n");
    game.Build();
    const std::string trace = dir.File("trace");
    const std::string cmd = "env QT_QPA_PLATFORM=offscreen QT_QPA_OFFSCREEN_NO_GLX=1 XDG_CONFIG_HOME=" + dir.path() +
                            " XDG_DATA_HOME=" + dir.path() + " XDG_RUNTIME_DIR=" + dir.path() + " " + VELMORA_EXE +
                            " --trace " + trace + " --quit-after 800 " + game.path() + " >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(trace, bytes));
    const std::string text(bytes.begin(), bytes.end());
    const std::string said = "window: no OpenGL context; the picture is scaled on the CPU";
    const size_t at = text.find(said);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.find(said, at + 1), std::string::npos) << "said once";
    EXPECT_NE(text.find("window: first frame painted at"), std::string::npos);
}

// Mesa's software OpenGL costs many times the CPU path's scaling: a window
// on it paints on the CPU and says why once, unless the player asks for it.
TEST(GpuPresent, SoftwareOpenGlIsPassedOverUnlessAskedFor) {
    if (!GpuExpected()) GTEST_SKIP() << "runs on an X server with Mesa's software OpenGL";
    test::TempDir dir;
    test::TestGame game;
    game.Script("_config", "TITLE:soft\nGAME_ID:softgl\n").Script("main", "一行目\n\\\n");
    game.Build();
    for (const bool asked : {false, true}) {
        SCOPED_TRACE(asked ? "asked for" : "not asked for");
        const std::string trace = dir.File(asked ? "asked" : "plain");
        const std::string cmd = std::string("env ") + (asked ? "VELMORA_SOFTWARE_GL=1" : "-u VELMORA_SOFTWARE_GL") +
                                " XDG_CONFIG_HOME=" + dir.path() + " XDG_DATA_HOME=" + dir.path() +
                                " XDG_RUNTIME_DIR=" + dir.path() + " " + VELMORA_EXE + " --trace " + trace +
                                " --quit-after 800 " + game.path() + " >/dev/null 2>&1";
        EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 0);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadWholeFile(trace, bytes));
        const std::string text(bytes.begin(), bytes.end());
        const std::string said = "window: OpenGL is drawn in software here (";
        const size_t at = text.find(said);
        if (asked) {
            EXPECT_EQ(at, std::string::npos) << text;
        } else {
            ASSERT_NE(at, std::string::npos) << text;
            EXPECT_EQ(text.find(said, at + 1), std::string::npos) << "said once";
        }
        EXPECT_EQ(text.find("no OpenGL context"), std::string::npos) << text;
        EXPECT_NE(text.find("window: first frame painted at"), std::string::npos) << text;
    }
}
