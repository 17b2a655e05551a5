#pragma once
// What every benchmark program shares: the memcpy reference, a scratch game
// folder, a headless engine started on it, and the report that prints the
// ratio table at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <memory>
#include <vector>

#include "app/engine.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"

namespace velmora::bench {

// The reference most ratios are taken against: a memcpy of the same bytes.
inline void Memcpy(benchmark::State& st, size_t bytes) {
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : st) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

// A folder under /tmp for a benchmark's game, removed with everything in it.
struct ScratchFolder {
    std::string path;
    explicit ScratchFolder(const std::string& prefix) {
        std::string name = "/tmp/" + prefix + "-XXXXXX";
        if (::mkdtemp(name.data())) path = name;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

// Starts a headless engine on the game in `dir`, up to its first script.
// settingsFile empty: settings in memory.
inline void StartEngine(const std::string& dir, std::unique_ptr<platform::HeadlessPlatform>& plat,
                        std::unique_ptr<TForm1>& f, const std::string& settingsFile = std::string()) {
    plat = std::make_unique<platform::HeadlessPlatform>(std::make_unique<platform::IniSettingsStore>(settingsFile));
    f = std::make_unique<TForm1>(*plat);
    f->app.gameDir = dir;
    f->app.seed = 1;
    plat->Attach(f.get());
    f->FormCreate();
}

// The console report, keeping each benchmark's time for the ratio table:
// with --benchmark_repetitions, the median of each benchmark, else its one
// run. Keys are the run names as the console shows them ("BM_Memcpy/6720",
// "BM_SaveGame/real_time").
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times, cpuTimes;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string name = r.run_name.str();
            if (r.run_type == Run::RT_Aggregate ? r.aggregate_name == "median" : r.repetitions <= 1) {
                times[name] = r.GetAdjustedRealTime();
                cpuTimes[name] = r.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // The real-time ratio a / b, or 0 when either did not run.
    double Ratio(const std::string& a, const std::string& b) const {
        auto x = times.find(a), y = times.find(b);
        return x == times.end() || y == times.end() || y->second <= 0 ? 0 : x->second / y->second;
    }
};

}  // namespace velmora::bench
