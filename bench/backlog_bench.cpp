// The backlog viewer: opening it over a full log and scrolling it by one
// line (a redraw of all 29 rows of text), against a memcpy of the screen
// in the same run. A scroll must fit well inside one 20 ms idle pass.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/engine.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"

using namespace velmora;

namespace {

constexpr size_t kScreenBytes = 800 * 600 * 3;

// An engine with a full log of the longest lines a window line makes: 34
// kanji each, and a voice mark every fifth line.
struct Engine {
    platform::HeadlessPlatform plat{std::make_unique<platform::IniSettingsStore>()};
    std::unique_ptr<TForm1> f = std::make_unique<TForm1>(plat);
    Engine() {
        plat.Attach(f.get());
        f->settings.FontName = ToCp932("ＭＳ ゴシック");
        f->vars.S[28] = 1;
        CreateCompositionPictures(*f);
        const std::string kanji = ToCp932("吾輩は猫である名前はまだ無いどこで生れたかとんと見当がつかぬ何でも薄暗");
        for (int i = 0; i < kBacklogLines + 5; ++i) {
            const std::string line = i % 5 == 0 ? std::string("@V0001") : kanji.substr(0, 68);
            AppendBacklog(*f, line.data(), static_cast<int>(line.size()));
            CommitBacklogLine(*f);
        }
    }
};

Engine& Shared() {
    static Engine e;
    return e;
}

void BM_OpenAndCloseBacklog(benchmark::State& state) {
    TForm1& f = *Shared().f;
    for (auto _ : state) {
        OpenBacklog(f);
        CloseBacklog(f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OpenAndCloseBacklog)->Unit(benchmark::kMicrosecond);

void BM_ScrollOneLine(benchmark::State& state) {
    TForm1& f = *Shared().f;
    OpenBacklog(f);
    for (auto _ : state) {
        f.backlog.viewer.scroll ^= 1;
        DrawBacklog(f);
        benchmark::ClobberMemory();
    }
    CloseBacklog(f);
}
BENCHMARK(BM_ScrollOneLine)->Unit(benchmark::kMicrosecond);

void BM_Memcpy(benchmark::State& state) { bench::Memcpy(state, static_cast<size_t>(state.range(0))); }
BENCHMARK(BM_Memcpy)->Arg(kScreenBytes)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string ref = "BM_Memcpy/" + std::to_string(kScreenBytes);
    std::printf("\nratio to memcpy of the screen (1,440,000 bytes):\n");
    for (const char* name : {"BM_OpenAndCloseBacklog", "BM_ScrollOneLine"})
        if (double r = reporter.Ratio(name, ref); r != 0) std::printf("  %-24s %8.1f x\n", name, r);
    if (auto it = reporter.times.find("BM_ScrollOneLine"); it != reporter.times.end())
        std::printf("one scroll step: %.2f ms (budget 2 ms of the 20 ms pass)\n", it->second / 1000.0);
    benchmark::Shutdown();
    return 0;
}
