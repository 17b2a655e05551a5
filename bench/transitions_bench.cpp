// Per-frame work of every transition against its frame interval: the worst
// real time spent between two sleeps of one run, divided by the interval the
// transition sleeps to (1.2 ms of work in a 10 ms frame is 0.12). A copy of
// the whole screen with memcpy is the reference in the same run. The second
// table adds what the Qt paint box does at every window update in a
// 1920 x 1080 full screen: the changed picture turned into the painted
// format and drawn scaled (offscreen Qt platform).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/engine.h"
#include "gfx/transitions.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "platform/qt/picture_fit.h"

using namespace velmora;

namespace {

using Steady = std::chrono::steady_clock;

// The headless platform, timing the real work done between two sleeps.
class TimingPlatform : public platform::HeadlessPlatform {
public:
    TimingPlatform() : HeadlessPlatform(std::make_unique<platform::IniSettingsStore>()) {}
    void Sleep(uint32_t ms) override {
        double spent = std::chrono::duration<double, std::milli>(Steady::now() - last).count();
        worst = std::max(worst, spent);
        HeadlessPlatform::Sleep(ms);
        last = Steady::now();
    }
    void Start() {
        worst = 0;
        last = Steady::now();
    }
    double Finish() {
        double spent = std::chrono::duration<double, std::milli>(Steady::now() - last).count();
        return std::max(worst, spent);
    }
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
    Steady::time_point last;
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

void RunTransitions(benchmark::State& state, Engine& e) {
    const int n = static_cast<int>(state.range(0));
    double worst = 0;
    for (auto _ : state) {
        e.plat.Start();
        RunTransition(*e.f, n);
        worst = std::max(worst, e.plat.Finish());
    }
    state.counters["worst_frame_ms"] = worst;
    state.counters["interval_ms"] = kInterval[n];
    state.counters["ratio"] = kInterval[n] ? worst / kInterval[n] : 0;
}

void BM_Transition(benchmark::State& state) {
    static Engine e;
    RunTransitions(state, e);
}
BENCHMARK(BM_Transition)->DenseRange(1, 24)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TransitionPresented1080p(benchmark::State& state) {
    static Engine e;
    e.plat.presentSize = QSize(1920, 1080);
    RunTransitions(state, e);
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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
