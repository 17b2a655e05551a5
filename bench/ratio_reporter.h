#pragma once
// The console report of a benchmark program, keeping each benchmark's time
// for the ratio table printed at the end: with --benchmark_repetitions, the
// median of each benchmark, else its one run. Keys are the run names as
// the console shows them ("BM_Memcpy/6720", "BM_SaveGame/real_time").
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace velmora::bench {

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
