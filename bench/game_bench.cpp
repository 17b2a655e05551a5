// A large game played headless, built in the setup with the project's own
// tools: 400 scripts of five pages each (2,000 pages, each with a new 800 x
// 600 background out of 20, named with an "A" as backgrounds are) and 4,000
// small pictures in the index.
//   - skipping all 2,000 pages with Ctrl held, in pages per second of CPU;
//   - starting the game (to its first page and out again) against the
//     starter game's start;
//   - loading a slot saved in the middle of the game (a run that starts and
//     loads, less a run that only starts).
// References in the same run: a memcpy of one screen per page, and the
// packed decoder alone on the 2,000 backgrounds.
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "data/file_io.h"
#include "gfx/image_files.h"
#include "gfx/png_file.h"
#include "tools/game_build.h"
#include "tools/picture_encoder.h"

using namespace velmora;

namespace {

constexpr int kScripts = 400;
constexpr int kPagesPerScript = 5;
constexpr int kPages = kScripts * kPagesPerScript;
constexpr int kBackgrounds = 20;
constexpr int kSmallPictures = 4000;

// A background with the texture of a painted scene: gradients, ridges and a
// fine grain that the packer cannot simply repeat.
Picture Background(int k) {
    Picture p;
    p.Resize(800, 600);
    uint32_t grain = 2463534242u + static_cast<uint32_t>(k) * 7919u;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            grain ^= grain << 13;
            grain ^= grain >> 17;
            grain ^= grain << 5;
            const int ridge = 300 + static_cast<int>(50 * std::sin(x / (60.0 + k * 7)) + 20 * std::sin(x / 23.0 + k));
            const int n = static_cast<int>(grain & 7) - 3;
            uint8_t* d = p.Pixel(x, y);
            if (y < ridge) {
                d[0] = static_cast<uint8_t>(std::clamp(200 - y / 4 + k * 3 + n, 0, 255));
                d[1] = static_cast<uint8_t>(std::clamp(120 + y / 5 + n, 0, 255));
                d[2] = static_cast<uint8_t>(std::clamp(60 + x / 10 + n, 0, 255));
            } else {
                d[0] = static_cast<uint8_t>(std::clamp(40 + (x * y >> 12) % 30 + n, 0, 255));
                d[1] = static_cast<uint8_t>(std::clamp(90 + k * 5 - (y - ridge) / 6 + n, 0, 255));
                d[2] = static_cast<uint8_t>(std::clamp(50 + n + ((x >> 4) & 15), 0, 255));
            }
        }
    }
    return p;
}

std::string Name(const char* prefix, int i) { return prefix + std::to_string(i); }

struct BigGame {
    bench::ScratchFolder folder{"velmora-game-bench"};
    std::string src, game, starter, skipEvents, emptyEvents, loadEvents;
    std::vector<std::vector<uint8_t>> packed;  // the backgrounds as the archive holds them
    bool ok = false;

    BigGame() {
        src = folder.path + "/src";
        game = folder.path + "/game";
        starter = folder.path + "/starter";
        std::string error;
        tools::BuildSummary s;
        if (!tools::NewGame(starter + "-src", error) || !tools::BuildGame(starter + "-src", starter, nullptr, s, error) ||
            !tools::NewGame(src, error)) {
            std::fprintf(stderr, "game bench: %s\n", error.c_str());
            return;
        }
        // The starter's system pictures stay; its story becomes 400 scripts.
        for (const char* f : {"/scripts/title.txt", "/scripts/scene1.txt"}) ::unlink((src + f).c_str());
        std::string main = "*gameinit\n!S000=0;S028=1\n*chain s0\n";
        WriteFileAtomic(src + "/scripts/main.txt", main.data(), main.size());
        for (int i = 0; i < kScripts; ++i) {
            std::string t = "; scene " + std::to_string(i) + "\n*title 第" + std::to_string(i) + "話\n";
            for (int p = 0; p < kPagesPerScript; ++p) {
                const int page = i * kPagesPerScript + p;
                t += "*gra " + Name("ABG", page % kBackgrounds) + " 9\n";
                t += ">ガイド\n";
                t += "これは" + std::to_string(page) + "ページ目の文章です。風が窓を揺らしていた。▼\n";
                t += "!V001=V001+1\n";
            }
            t += i + 1 < kScripts ? "*chain " + Name("s", i + 1) + "\n" : std::string("*exitgame\n");
            WriteFileAtomic(src + "/scripts/" + Name("s", i) + ".txt", t.data(), t.size());
        }
        for (int k = 0; k < kBackgrounds; ++k) {
            const Picture bg = Background(k);
            if (!WritePng(src + "/pictures/" + Name("ABG", k) + ".png", bg)) return;
            tools::PictureEncodeOptions o;
            std::vector<uint8_t> e;
            if (!tools::EncodePackedPicture(bg, o, e, error)) return;
            packed.push_back(std::move(e));
        }
        Picture small;
        small.Resize(80, 60);
        for (int k = 0; k < kSmallPictures; ++k) {
            small.bytes[static_cast<size_t>(k) % small.bytes.size()] = static_cast<uint8_t>(k);
            if (!WritePng(src + "/pictures/" + Name("P", k) + ".png", small)) return;
        }
        if (!tools::BuildGame(src, game, nullptr, s, error)) {
            std::fprintf(stderr, "game bench: %s\n", error.c_str());
            return;
        }
        skipEvents = Events("skip", "keydown Ctrl\nwait 3600000\n");
        emptyEvents = Events("empty", "");
        loadEvents = Events("load", "load 1\nwait 100\n");
        // The slot the load run reads: a page half way through the story.
        const std::string saveEvents = Events("save", "keydown Ctrl\nwait 4000\nkeyup Ctrl\nwait 200\nsave 1\n");
        ok = Run(game, saveEvents) == 0 && IsRegularFile(game + "/save/save01.dat");
        if (!ok) std::fprintf(stderr, "game bench: the slot half way through was not saved\n");
    }
    std::string Events(const char* name, const std::string& text) {
        const std::string path = folder.path + "/" + name + ".events";
        WriteFileAtomic(path, text.data(), text.size());
        return path;
    }
    // A whole headless run as `velmora --headless` makes it; its exit status.
    static int Run(const std::string& dir, const std::string& events) {
        char cwd[4096];
        if (!::getcwd(cwd, sizeof cwd)) return -1;
        platform::HeadlessOptions o;
        o.gameDir = dir;
        o.eventsFile = events;
        const int status = platform::RunHeadless(o);
        if (::chdir(cwd) != 0) return -1;
        return status;
    }
};

BigGame& Game() {
    static BigGame g;
    return g;
}

void BM_SkipPages(benchmark::State& st) {
    BigGame& g = Game();
    if (!g.ok) return st.SkipWithError("the game could not be built");
    for (auto _ : st)
        if (BigGame::Run(g.game, g.skipEvents) != 0) st.SkipWithError("the run failed");
    st.counters["pages"] = kPages;
}
BENCHMARK(BM_SkipPages)->Unit(benchmark::kMillisecond)->Iterations(1);

// One screen copied per page: the least a page could cost.
void BM_SkipPages_memcpy(benchmark::State& st) {
    std::vector<uint8_t> from(800 * 600 * 3, 1), to(800 * 600 * 3);
    for (auto _ : st)
        for (int p = 0; p < kPages; ++p) {
            std::memcpy(to.data(), from.data(), to.size());
            benchmark::ClobberMemory();
        }
}
BENCHMARK(BM_SkipPages_memcpy)->Unit(benchmark::kMillisecond);

// The packed decoder alone on the 2,000 backgrounds the run loads.
void BM_SkipPages_decode(benchmark::State& st) {
    BigGame& g = Game();
    if (!g.ok) return st.SkipWithError("the game could not be built");
    Picture out;
    for (auto _ : st)
        for (int p = 0; p < kPages; ++p) {
            const std::vector<uint8_t>& e = g.packed[p % kBackgrounds];
            DecodePackedPicture(e.data(), e.size(), out);
        }
}
BENCHMARK(BM_SkipPages_decode)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_StartBigGame(benchmark::State& st) {
    BigGame& g = Game();
    if (!g.ok) return st.SkipWithError("the game could not be built");
    for (auto _ : st)
        if (BigGame::Run(g.game, g.emptyEvents) != 0) st.SkipWithError("the run failed");
}
BENCHMARK(BM_StartBigGame)->Unit(benchmark::kMillisecond);

void BM_StartStarterGame(benchmark::State& st) {
    BigGame& g = Game();
    if (!g.ok) return st.SkipWithError("the game could not be built");
    for (auto _ : st)
        if (BigGame::Run(g.starter, g.emptyEvents) != 0) st.SkipWithError("the run failed");
}
BENCHMARK(BM_StartStarterGame)->Unit(benchmark::kMillisecond);

void BM_StartAndLoadBigGame(benchmark::State& st) {
    BigGame& g = Game();
    if (!g.ok) return st.SkipWithError("the game could not be built");
    for (auto _ : st)
        if (BigGame::Run(g.game, g.loadEvents) != 0) st.SkipWithError("the run failed");
}
BENCHMARK(BM_StartAndLoadBigGame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto cpu = [&](const char* name) {
        auto it = reporter.cpuTimes.find(name);
        return it == reporter.cpuTimes.end() ? 0.0 : it->second;  // milliseconds
    };
    std::printf("\n%d scripts, %d pages, %d backgrounds, %d small pictures\n", kScripts, kPages, kBackgrounds,
                kSmallPictures);
    const double skip = cpu("BM_SkipPages/iterations:1"), decode = cpu("BM_SkipPages_decode/iterations:1");
    if (skip > 0)
        std::printf("  skipping: %.0f pages per CPU second (goal 1,000); %.2f x a screen memcpy a page;"
                    " decoding the backgrounds alone %.0f pictures per CPU second\n",
                    kPages / (skip / 1000.0), skip / cpu("BM_SkipPages_memcpy"), kPages / (decode / 1000.0));
    if (cpu("BM_StartBigGame") > 0)
        std::printf("  start: %.1f ms of CPU, %.2f x the starter game's start (%.1f ms)\n", cpu("BM_StartBigGame"),
                    cpu("BM_StartBigGame") / cpu("BM_StartStarterGame"), cpu("BM_StartStarterGame"));
    if (cpu("BM_StartAndLoadBigGame") > 0)
        std::printf("  load of a slot: %.1f ms of CPU (a run that starts and loads, less one that starts)\n",
                    cpu("BM_StartAndLoadBigGame") - cpu("BM_StartBigGame"));
    return 0;
}
