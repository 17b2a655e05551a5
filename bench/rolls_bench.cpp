// One frame of the ending roll: the credit column's scroll and edge fades,
// and the worst frame, which also puts the background beside it and the
// column on the window. The reference is a memcpy of the whole screen in
// the same run; a frame has 30 ms at most and should take under 2.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/bench_support.h"
#include "extras/rolls.h"
#include "gfx/pixel_ops.h"

using namespace velmora;

namespace {

constexpr int kLines = 60;

// Credits with lit text-like strokes on every line.
Picture Credits() {
    Picture p;
    p.Resize(kEndingColumnWidth, kCreditFirstRow + kCreditPitch * kLines);
    for (int y = kCreditFirstRow; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if ((y % kCreditPitch) < 26 && ((x * 7 + y * 3) % 11) < 4) {
                uint8_t* d = p.Pixel(x, y);
                d[0] = d[1] = d[2] = 255;
            }
    return p;
}

void BM_EndingRollColumn(benchmark::State& st) {
    const Picture credits = Credits();
    Picture column;
    column.Resize(kEndingColumnWidth, kScreenHeight);
    int y = 0;
    for (auto _ : st) {
        EndingRollFrame(credits, y, column);
        benchmark::DoNotOptimize(column.bytes.data());
        benchmark::ClobberMemory();
        y = (y + 2) % (credits.height - kScreenHeight);
    }
}
BENCHMARK(BM_EndingRollColumn)->Unit(benchmark::kMicrosecond);

void BM_EndingRollFrame(benchmark::State& st) {
    const Picture credits = Credits();
    Picture column, background, window;
    column.Resize(kEndingColumnWidth, kScreenHeight);
    background.Resize(kScreenWidth, kScreenHeight);
    FillPicture(background, 0x405080);
    window.Resize(kScreenWidth, kScreenHeight);
    int y = 0;
    for (auto _ : st) {
        CopyRect(window, 0, 0, background, 0, 0, kEndingColumnX, kScreenHeight);
        EndingRollFrame(credits, y, column);
        CopyPicture(window, column, kEndingColumnX, 0);
        benchmark::DoNotOptimize(window.bytes.data());
        benchmark::ClobberMemory();
        y = (y + 2) % (credits.height - kScreenHeight);
    }
}
BENCHMARK(BM_EndingRollFrame)->Unit(benchmark::kMicrosecond);

void BM_Memcpy(benchmark::State& st) { bench::Memcpy(st, static_cast<size_t>(st.range(0))); }
BENCHMARK(BM_Memcpy)->Arg(kScreenWidth * kScreenHeight * 3)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string ref = "BM_Memcpy/" + std::to_string(kScreenWidth * kScreenHeight * 3);
    std::printf("\n%-22s %10s %12s\n", "ending roll", "us", "x memcpy");
    for (const char* n : {"BM_EndingRollColumn", "BM_EndingRollFrame"}) {
        auto t = reporter.times.find(n);
        if (t == reporter.times.end()) continue;
        std::printf("%-22s %10.1f %12.2f\n", n, t->second, reporter.Ratio(n, ref));
    }
    benchmark::Shutdown();
    return 0;
}
