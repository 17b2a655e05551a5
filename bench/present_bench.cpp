// One frame of the 800 x 600 picture presented the way the paint box paints
// it, into a full-screen window's backing image at 1920 x 1080 and
// 3840 x 2160, in both scale modes; the reference is a memcpy of the
// destination's bytes in the same run. Runs on the offscreen Qt platform.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QWindow>
#include <cstring>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "platform/qt/picture_fit.h"
#include "platform/qt/qt_platform.h"

using namespace velmora;
using platform::FitPicture;
using platform::PaintPicture;
using platform::PictureFit;

namespace {

const QSize kSizes[] = {{1920, 1080}, {3840, 2160}, {1600, 1200}};

double ProcessCpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// BM_PresentBox's processor time of the whole process per present, by size and path.
double g_processCpu[2][2];

// A picture with detail everywhere, as a scene has.
QImage ScenePicture(QImage::Format format) {
    QImage img(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < 600; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < 800; ++x) row[x] = qRgb(x * 7 + y, y * 3 ^ x, (x * y) >> 5);
    }
    return img.convertToFormat(format);
}

// args: size index, scale mode, source format (0: RGB32 as the paint box
// keeps it, 1: the engine's blue-green-red bytes drawn as they are).
void BM_Present(benchmark::State& st) {
    const QSize size = kSizes[st.range(0)];
    const int mode = static_cast<int>(st.range(1));
    const QImage picture = ScenePicture(st.range(2) ? QImage::Format_BGR888 : QImage::Format_RGB32);
    // What the window system gives a widget to paint into.
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    const PictureFit fit = FitPicture(size, mode);
    for (auto _ : st) {
        QPainter p(&target);
        PaintPicture(p, picture, fit, size);
        p.end();
        benchmark::DoNotOptimize(target.constBits());
        benchmark::ClobberMemory();
    }
    st.counters["factor"] = fit.factor;
}
BENCHMARK(BM_Present)
    ->ArgsProduct({{0, 1, 2}, {0, 1}, {0}})
    ->Args({0, 0, 1})
    ->Unit(benchmark::kMillisecond);

// The paint box's own present of a frame whose every row changed, on the
// GPU surface (arg 1; skipped without an OpenGL context, run it under
// Xvfb) or on the CPU path (arg 0): the CPU time of the present call on
// this thread, the conversion of the changed rows included. Software GL
// rasterises on threads of its own, which a real GPU does.
void BM_PresentBox(benchmark::State& st) {
    const QSize size = kSizes[st.range(0)];
    static platform::QtPlatform* plat = new platform::QtPlatform;  // lives as long as the application
    platform::PaintBox box(*plat, nullptr);
    if (st.range(1) == 0) box.DropGpu();
    else if (!box.gpu()) {
        st.SkipWithError("no OpenGL context (run under Xvfb with QT_QPA_PLATFORM=xcb)");
        return;
    }
    box.resize(size);
    box.show();
    for (int i = 0; i < 200 && !(box.windowHandle() && box.windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const QImage scene = ScenePicture(QImage::Format_BGR888);
    int k = 0;
    double process = 0;
    for (auto _ : st) {
        st.PauseTiming();
        // A new frame: the scene, shifted so that every row differs from the last.
        for (int y = 0; y < 600; ++y)
            std::memcpy(box.canvas.scanLine(y), scene.constScanLine((y + k) % 600), 800 * 3);
        ++k;
        box.CanvasChanged(box.canvas.rect());
        st.ResumeTiming();
        const double before = ProcessCpuMs();
        box.Repaint();
        QCoreApplication::processEvents();
        process += ProcessCpuMs() - before;
    }
    st.counters["gpu"] = box.gpu() ? 1 : 0;
    // Every thread: Qt scales on worker threads, software GL draws on its own.
    st.counters["process_cpu_ms"] = st.iterations() ? process / static_cast<double>(st.iterations()) : 0;
    g_processCpu[st.range(0)][st.range(1)] = st.counters["process_cpu_ms"];
}
BENCHMARK(BM_PresentBox)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& st) { bench::Memcpy(st, static_cast<size_t>(st.range(0))); }
BENCHMARK(BM_Memcpy)->Arg(1920 * 1080 * 4)->Arg(3840 * 2160 * 4)->Arg(1600 * 1200 * 4)->Unit(benchmark::kMillisecond);

// Turning the engine's bytes into the painted format, which the paint box
// does for the rows that changed.
void BM_ConvertPicture(benchmark::State& st) {
    const QImage picture = ScenePicture(QImage::Format_BGR888);
    for (auto _ : st) {
        QImage shown = picture.convertToFormat(QImage::Format_RGB32);
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(BM_ConvertPicture)->Unit(benchmark::kMillisecond);

std::string Name(int size, int mode, int format) {
    return "BM_Present/" + std::to_string(size) + "/" + std::to_string(mode) + "/" + std::to_string(format);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const char* sizes[] = {"1920x1080", "3840x2160", "1600x1200"};
    const int bytes[] = {1920 * 1080 * 4, 3840 * 2160 * 4, 1600 * 1200 * 4};
    std::printf("\n%-12s %-8s %-7s %10s %14s\n", "area", "mode", "source", "ms", "x memcpy");
    for (int s = 0; s < 3; ++s)
        for (int m = 0; m < 2; ++m)
            for (int fmt = 0; fmt < 2; ++fmt) {
                const std::string n = Name(s, m, fmt);
                auto t = reporter.times.find(n);
                if (t == reporter.times.end()) continue;
                std::printf("%-12s %-8s %-7s %10.2f %14.1f\n", sizes[s], m ? "whole" : "smooth", fmt ? "BGR888" : "RGB32",
                            t->second, reporter.Ratio(n, "BM_Memcpy/" + std::to_string(bytes[s])));
            }
    std::printf("\n%-12s %-6s %10s %14s %16s\n", "area", "path", "ms (CPU)", "x memcpy", "ms (process)");
    for (int s = 0; s < 2; ++s)
        for (int gpu = 0; gpu < 2; ++gpu) {
            const std::string n = "BM_PresentBox/" + std::to_string(s) + "/" + std::to_string(gpu);
            auto t = reporter.cpuTimes.find(n);
            if (t == reporter.cpuTimes.end()) continue;
            std::printf("%-12s %-6s %10.2f %14.1f %16.2f\n", sizes[s], gpu ? "GPU" : "CPU", t->second,
                        t->second / reporter.cpuTimes["BM_Memcpy/" + std::to_string(bytes[s])], g_processCpu[s][gpu]);
        }
    benchmark::Shutdown();
    return 0;
}
