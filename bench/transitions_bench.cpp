// Per-frame work of every transition against its frame interval: the worst
// processor time spent between two sleeps of one run (the median of five
// runs), divided by the
// interval the transition sleeps to (1.2 ms of work in a 10 ms frame is
// 0.12; processor time, so that other programs on a busy machine count
// less). A copy of the whole screen with memcpy is the reference in the
// same run.
//
// Three runs of each transition: the engine alone (a headless canvas); the
// window's paint box in a 1920 x 1080 full screen on the CPU path; the same
// box on the GPU path, where an OpenGL context can be had (run under Xvfb
// with QT_QPA_PLATFORM=xcb; skipped otherwise). The presenting runs go
// through the paint box's own code, as the window does: the canvas copies,
// the presents of Update() and of the message pump.
//
// Processor time counts every thread of the process: Qt scales and converts
// large pictures on worker threads, and Mesa's software GL (llvmpipe, on a
// machine without a GPU) draws on threads of its own. The calling thread's
// share is printed beside it. The GPU run keeps real time (the box holds
// presents to the display's refresh, which a virtual clock would defeat),
// so it takes as long as the transitions themselves.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "app/engine.h"
#include "bench/bench_support.h"
#include "gfx/transitions.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "platform/qt/gl_view.h"
#include "platform/qt/qt_platform.h"

using namespace velmora;

namespace {

double CpuMs(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Processor time of the whole process and of this thread.
struct Cpu {
    double process = CpuMs(CLOCK_PROCESS_CPUTIME_ID), thread = CpuMs(CLOCK_THREAD_CPUTIME_ID);
};

// The headless platform, timing the work done between two sleeps; with a
// paint box, the window goes through the box instead of the headless canvas.
class TimingPlatform : public platform::HeadlessPlatform {
public:
    TimingPlatform() : HeadlessPlatform(std::make_unique<platform::IniSettingsStore>()) {}

    void Start() {
        worst = worstThread = 0;
        last = Cpu();
    }
    void Finish() { Note(); }

    void Sleep(uint32_t ms) override {
        Note();
        if (realTime) QThread::msleep(ms);
        else HeadlessPlatform::Sleep(ms);
        last = Cpu();
    }
    uint32_t Now() override {
        return realTime ? static_cast<uint32_t>(sinceStart.elapsed()) : HeadlessPlatform::Now();
    }
    void ProcessMessages() override {
        if (box) {
            box->Present();
            QCoreApplication::processEvents();
        }
        HeadlessPlatform::ProcessMessages();
    }
    void Blit(const Picture& src, int sx, int sy, int w, int h, int dx, int dy) override {
        if (box) box->Draw(src, sx, sy, w, h, dx, dy);
        else HeadlessPlatform::Blit(src, sx, sy, w, h, dx, dy);
    }
    void Update() override {
        if (box) box->PresentNow();
    }

    platform::PaintBox* box = nullptr;
    bool realTime = false;
    QElapsedTimer sinceStart;
    double worst = 0, worstThread = 0;
    Cpu last;

private:
    void Note() {
        const Cpu now;
        worst = std::max(worst, now.process - last.process);
        worstThread = std::max(worstThread, now.thread - last.thread);
    }
};

struct Engine {
    TimingPlatform plat;
    std::unique_ptr<TForm1> f = std::make_unique<TForm1>(plat);
    Picture oldPicture, newPicture;
    Engine() {
        plat.Attach(f.get());
        plat.sinceStart.start();
        CreateCompositionPictures(*f);
        oldPicture.Resize(800, 600);
        newPicture.Resize(800, 600);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                uint8_t* o = oldPicture.Pixel(x, y);
                uint8_t* n = newPicture.Pixel(x, y);
                o[0] = static_cast<uint8_t>(x), o[1] = static_cast<uint8_t>(y), o[2] = 60;
                n[0] = static_cast<uint8_t>(y), n[1] = 200, n[2] = static_cast<uint8_t>(x);
            }
        f->vars.S[20] = 400;
        f->vars.S[21] = 300;
    }
    // Some transitions draw into the old picture; each run starts afresh,
    // with the window showing the old picture as a redraw leaves it.
    void Reset() {
        f->gfx.previous = oldPicture;
        f->gfx.screen = newPicture;
        if (!plat.box) return;
        plat.box->Draw(oldPicture, 0, 0, 800, 600, 0, 0);
        plat.box->Repaint();
        QCoreApplication::processEvents();
    }
};

// The frame interval each transition sleeps to (0: it does not sleep).
const int kInterval[25] = {0, 15, 20, 20, 20, 20, 10, 15, 10, 40, 30, 30, 20,
                           50, 20, 0, 30, 50, 40, 15, 80, 15, 15, 15, 40};

enum Run { kAlone, kCpuPath, kGpuPath, kRuns };
const char* const kRunNames[kRuns] = {"alone", "CPU path", "GPU path"};

// The worst frame of each transition in each run (process, thread); -1: not run.
double g_worst[kRuns][25][2];

// The worst frame of each run; the median run is reported, so that one
// moment of another program's load does not stand for the transition.
void RunTransitions(benchmark::State& state, Engine& e, Run run) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::pair<double, double>> runs;
    for (auto _ : state) {
        state.PauseTiming();
        e.Reset();
        state.ResumeTiming();
        e.plat.Start();
        RunTransition(*e.f, n);
        e.plat.Finish();
        runs.emplace_back(e.plat.worst, e.plat.worstThread);
    }
    std::sort(runs.begin(), runs.end());
    const double worst = runs[runs.size() / 2].first, worstThread = runs[runs.size() / 2].second;
    g_worst[run][n][0] = worst;
    g_worst[run][n][1] = worstThread;
    state.counters["worst_frame_cpu_ms"] = worst;
    state.counters["interval_ms"] = kInterval[n];
    state.counters["ratio"] = kInterval[n] ? worst / kInterval[n] : 0;
}

// A paint box filling a 1920 x 1080 screen, shown, so that the window's
// backing store exists before anything is timed.
platform::PaintBox* ShownBox(Engine& e, bool gpu) {
    static platform::QtPlatform* owner = new platform::QtPlatform;  // lives as long as the application
    auto* box = new platform::PaintBox(*owner, nullptr);
    if (!gpu) box->DropGpu();
    if (gpu && !box->gpu()) {
        delete box;
        return nullptr;
    }
    box->resize(1920, 1080);
    box->show();
    for (int i = 0; i < 200 && !(box->windowHandle() && box->windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    e.plat.box = box;
    e.plat.realTime = gpu;
    return box;
}

void BM_Transition(benchmark::State& state) {
    static Engine e;
    RunTransitions(state, e, kAlone);
}
BENCHMARK(BM_Transition)->DenseRange(1, 24)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_TransitionCpuPath1080p(benchmark::State& state) {
    static Engine e;
    static platform::PaintBox* box = ShownBox(e, false);
    (void)box;
    RunTransitions(state, e, kCpuPath);
}
BENCHMARK(BM_TransitionCpuPath1080p)->DenseRange(1, 24)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_TransitionGpuPath1080p(benchmark::State& state) {
    static Engine e;
    static platform::PaintBox* box = ShownBox(e, true);
    if (!box) {
        state.SkipWithError("no OpenGL context (run under Xvfb with QT_QPA_PLATFORM=xcb)");
        return;
    }
    RunTransitions(state, e, kGpuPath);
}
// In real time: three runs of each, about two minutes.
BENCHMARK(BM_TransitionGpuPath1080p)->DenseRange(1, 24)->Unit(benchmark::kMillisecond)->Iterations(3);

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
    QApplication app(argc, argv);
    for (auto& run : g_worst)
        for (auto& t : run) t[0] = t[1] = -1;
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto copy = reporter.cpuTimes.find("BM_ScreenMemcpy");
    const double copyMs = copy == reporter.cpuTimes.end() ? 0 : copy->second;
    std::printf("\nworst frame: processor time of the process (of this thread), and / interval\n");
    std::printf("%-10s %8s", "transition", "interval");
    for (const char* name : kRunNames) std::printf(" %25s", name);
    std::printf("\n");
    int over[kRuns] = {};
    for (int n = 1; n <= 24; ++n) {
        if (kInterval[n] == 0) continue;
        std::printf("%-10d %5d ms", n, kInterval[n]);
        for (int r = 0; r < kRuns; ++r) {
            const double w = g_worst[r][n][0];
            if (w < 0) {
                std::printf(" %25s", "-");
                continue;
            }
            over[r] += w / kInterval[n] > 0.25;
            char cell[64];
            std::snprintf(cell, sizeof cell, "%.2f (%.2f) ms %6.3f", w, g_worst[r][n][1], w / kInterval[n]);
            std::printf(" %25s", cell);
        }
        std::printf("\n");
    }
    std::printf("over a quarter of the interval:");
    for (int r = 0; r < kRuns; ++r)
        if (g_worst[r][1][0] >= 0) std::printf("  %s %d", kRunNames[r], over[r]);
    std::printf("\nwhole-screen memcpy: %.3f ms\n", copyMs);
    return 0;
}
