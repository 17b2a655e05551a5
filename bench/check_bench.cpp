// The authoring tools on a large game: velmora-check on 200 scripts of
// 2,000 lines each (budget 1 s), and velmora-pack build of a starter game
// with nothing changed (budget 0.2 s); against reading the same script
// files and a memcpy of their bytes.
#include <cstdio>
#include <string>

#include "bench_support.h"
#include "data/file_io.h"
#include "tools/game_build.h"
#include "tools/game_check.h"
#include "tools/game_layout.h"

using namespace velmora;

namespace {

constexpr int kScripts = 200;
constexpr int kLines = 2000;

// A game of kScripts scripts, each kLines lines of the usual mix: text with
// tags, pictures, sounds, labels and jumps, a choice, a switch.
struct BigGame {
    bench::ScratchFolder folder{"velmora-check-bench"};
    size_t bytes = 0;
    BigGame() {
        const std::string d = folder.path;
        for (const char* sub : {"/scripts", "/pictures", "/sounds", "/voices", "/music"}) MakeDirectories(d + sub);
        for (const char* f : {"/pictures/A_ROOM.png", "/pictures/B_MINA.png", "/sounds/SE01.wav", "/voices/V0001.ogg",
                              "/music/M01.wav", "/config.txt"})
            WriteFileAtomic(d + f, "x", 1);
        for (int s = 0; s < kScripts; ++s) {
            std::string text;
            int n = 0;
            while (n < kLines) {
                const std::string k = std::to_string(n);
                text += ":L" + k + "\n*gra A_ROOM 9\n*gra B_MINA\n>ミナ\nこんにちは、[$1]さん。今日は[?V001]回目です。▼\n"
                        "*se SE01\n*voice V0001\n!V001=V001+1\n*if (V001<3) L" + k + "\n*select\n{はい\n*go L" + k +
                        "\n{いいえ\n}\n*switch\n{(V001=1)\nひとつ。▼\n{\nそのほか。▼\n}\n";
                n += 20;
            }
            const int next = (s + 1) % kScripts;
            text += "*chain " + (next == 0 ? std::string("main") : "s" + std::to_string(next)) + "\n";
            bytes += text.size();
            const std::string name = s == 0 ? "main" : "s" + std::to_string(s);
            WriteFileAtomic(d + "/scripts/" + name + ".txt", text.data(), text.size());
        }
    }
};

BigGame& Game() {
    static BigGame g;
    return g;
}

void BM_CheckLargeGame(benchmark::State& st) {
    const std::string dir = Game().folder.path;
    for (auto _ : st) {
        tools::GameContents g;
        std::string why;
        tools::ReadGameContents(dir, g, why);
        tools::CheckReport r = tools::CheckGame(g);
        if (r.errors != 0) st.SkipWithError("the generated game has errors");
        benchmark::DoNotOptimize(r.lines);
    }
}
BENCHMARK(BM_CheckLargeGame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadScriptFiles(benchmark::State& st) {
    const std::string dir = Game().folder.path + "/scripts";
    const std::vector<std::string> files = tools::ListFolder(dir, false);
    for (auto _ : st) {
        size_t n = 0;
        for (const std::string& f : files) {
            std::vector<uint8_t> b;
            ReadWholeFile(dir + "/" + f, b);
            n += b.size();
        }
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_ReadScriptFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

struct Starter {
    bench::ScratchFolder folder{"velmora-build-bench"};
    std::string game;
    Starter() {
        game = folder.path + "/g";
        std::string error;
        tools::BuildSummary s;
        if (!tools::NewGame(game, error) || !tools::BuildGame(game, "", nullptr, s, error))
            std::fprintf(stderr, "starter: %s\n", error.c_str());
    }
};

void BM_BuildUnchanged(benchmark::State& st) {
    static Starter starter;
    for (auto _ : st) {
        tools::BuildSummary s;
        std::string error;
        tools::BuildGame(starter.game, "", nullptr, s, error);
        if (s.coded != 0) st.SkipWithError("something was coded again");
    }
}
BENCHMARK(BM_BuildUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Memcpy(benchmark::State& state) { bench::Memcpy(state, static_cast<size_t>(state.range(0))); }

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const size_t bytes = Game().bytes;
    benchmark::RegisterBenchmark("BM_Memcpy", BM_Memcpy)->Arg(static_cast<int64_t>(bytes))->Unit(benchmark::kMillisecond);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string ref = "BM_Memcpy/" + std::to_string(bytes);
    std::printf("\n%d scripts of %d lines, %zu bytes\n", kScripts, kLines, bytes);
    std::printf("  check / reading the script files  %8.1f x\n",
                reporter.Ratio("BM_CheckLargeGame/real_time", "BM_ReadScriptFiles/real_time"));
    std::printf("  check / memcpy of their bytes     %8.1f x\n", reporter.Ratio("BM_CheckLargeGame/real_time", ref));
    if (auto it = reporter.times.find("BM_CheckLargeGame/real_time"); it != reporter.times.end())
        std::printf("velmora-check: %.0f ms (budget 1000 ms)\n", it->second);
    if (auto it = reporter.times.find("BM_BuildUnchanged/real_time"); it != reporter.times.end())
        std::printf("velmora-pack build, nothing changed: %.1f ms (budget 200 ms)\n", it->second);
    benchmark::Shutdown();
    return 0;
}
