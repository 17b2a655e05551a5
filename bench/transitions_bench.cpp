// Per-frame work of every transition against its frame interval: the worst
// processor time spent between two sleeps of one run, divided by the
// interval the transition sleeps to (1.2 ms of work in a 10 ms frame is
// 0.12; processor time, so that other programs on a busy machine count
// less). A copy of the whole screen with memcpy is the reference in the
// same run. The second run adds what the Qt paint box does at every window
// update in a 1920 x 1080 full screen on the CPU path: the changed picture
// turned into the painted format and drawn scaled (offscreen Qt platform).
// The table at the end gives both against the goal of a quarter of the
// interval.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/engine.h"
#include "bench/bench_support.h"
#include "gfx/transitions.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "platform/qt/picture_fit.h"

using namespace velmora;

namespace {

// Processor time of this thread, in milliseconds.
double CpuMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The headless platform, timing the work done between two sleeps.
class TimingPlatform : public platform::HeadlessPlatform {
public:
    TimingPlatform() : HeadlessPlatform(std::make_unique<platform::IniSettingsStore>()) {}
    void Sleep(uint32_t ms) override {
        worst = std::max(worst, CpuMs() - last);
        HeadlessPlatform::Sleep(ms);
        last = CpuMs();
    }
    void Start() {
        worst = 0;
        last = CpuMs();
    }
    double Finish() { return std::max(worst, CpuMs() - last); }
    // Each window update presents the whole picture at this size (empty: none).
    void Update() override {
        if (presentSize.isEmpty()) return;
        ReadBack(frame);
        const QImage bytes(frame.bytes.data(), frame.width, frame.height, frame.Stride(), QImage::Format_BGR888);
        shown = bytes.convertToFormat(QImage::Format_RGB32);
        if (target.size() != presentSize) target = QImage(presentSize, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&target);
        platform::PaintPicture(p, shown, platform::FitPicture(presentSize, platform::kScaleSmooth), presentSize);
    }
    double worst = 0;
    double last = 0;
    QSize presentSize;
    Picture frame;
    QImage shown, target;
};

struct Engine {
    TimingPlatform plat;
    std::unique_ptr<TForm1> f = std::make_unique<TForm1>(plat);
    Engine() {
        plat.Attach(f.get());
        CreateCompositionPictures(*f);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                uint8_t* o = f->gfx.previous.Pixel(x, y);
                uint8_t* n = f->gfx.screen.Pixel(x, y);
                o[0] = static_cast<uint8_t>(x), o[1] = static_cast<uint8_t>(y), o[2] = 60;
                n[0] = static_cast<uint8_t>(y), n[1] = 200, n[2] = static_cast<uint8_t>(x);
            }
        f->vars.S[20] = 400;
        f->vars.S[21] = 300;
    }
};

// The frame interval each transition sleeps to (0: it does not sleep).
const int kInterval[25] = {0, 15, 20, 20, 20, 20, 10, 15, 10, 40, 30, 30, 20,
                           50, 20, 0, 30, 50, 40, 15, 80, 15, 15, 15, 40};

// The worst frame of each transition, without and with the present.
double g_worst[2][25];

void RunTransitions(benchmark::State& state, Engine& e, int table) {
    const int n = static_cast<int>(state.range(0));
    double worst = 0;
    for (auto _ : state) {
        e.plat.Start();
        RunTransition(*e.f, n);
        worst = std::max(worst, e.plat.Finish());
    }
    g_worst[table][n] = worst;
    state.counters["worst_frame_cpu_ms"] = worst;
    state.counters["interval_ms"] = kInterval[n];
    state.counters["ratio"] = kInterval[n] ? worst / kInterval[n] : 0;
}

void BM_Transition(benchmark::State& state) {
    static Engine e;
    RunTransitions(state, e, 0);
}
BENCHMARK(BM_Transition)->DenseRange(1, 24)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TransitionPresented1080p(benchmark::State& state) {
    static Engine e;
    e.plat.presentSize = QSize(1920, 1080);
    RunTransitions(state, e, 1);
}
BENCHMARK(BM_TransitionPresented1080p)->DenseRange(1, 24)->Unit(benchmark::kMillisecond)->Iterations(3);

// The reference: one whole-screen copy.
void BM_ScreenMemcpy(benchmark::State& state) {
    static Engine e;
    for (auto _ : state) {
        std::memcpy(e.f->gfx.work.bytes.data(), e.f->gfx.screen.bytes.data(), e.f->gfx.screen.bytes.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ScreenMemcpy)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto copy = reporter.cpuTimes.find("BM_ScreenMemcpy");
    const double copyMs = copy == reporter.cpuTimes.end() ? 0 : copy->second;
    std::printf("\n%-10s %9s %10s %11s %10s %11s %11s\n", "transition", "interval", "worst cpu", "/ interval",
                "at 1080p", "/ interval", "/ memcpy");
    int over[2] = {0, 0};
    for (int n = 1; n <= 24; ++n) {
        if (kInterval[n] == 0) continue;
        const double a = g_worst[0][n], b = g_worst[1][n];
        over[0] += a / kInterval[n] > 0.25;
        over[1] += b / kInterval[n] > 0.25;
        std::printf("%-10d %7d ms %7.2f ms %11.3f %7.2f ms %11.3f %11.1f\n", n, kInterval[n], a, a / kInterval[n], b,
                    b / kInterval[n], copyMs > 0 ? b / copyMs : 0.0);
    }
    std::printf("over a quarter of the interval: %d without the present, %d with it at 1080p (CPU path)\n",
                over[0], over[1]);
    return 0;
}
