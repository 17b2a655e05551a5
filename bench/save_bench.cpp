// Saving and loading a full slot, against writing and reading the same
// 144,978 bytes crash-safely in the same run, and the slot's pieces
// (layout, thumbnail) against memcpy. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "data/file_io.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "save/slot_file.h"
#include "save/slots.h"
#include "script/variables.h"
#include "tools/archive_writer.h"

using namespace velmora;

namespace {

// An engine started in a scratch game folder, with every block of a slot
// filled: full backlog, page text, banks and a busy scene picture.
struct Game {
    bench::ScratchFolder scratch{"velmora-save-bench"};
    const std::string dir = scratch.path;
    std::unique_ptr<platform::HeadlessPlatform> plat;
    std::unique_ptr<TForm1> f;

    Game() {
        std::vector<tools::PackEntry> scripts(2);
        std::string error;
        scripts[0].name = "_config";
        tools::ScriptTextToCp932("TITLE:bench\nMAKER_REG:Software\\Bench\nGAME_ID:bench\n", "_config",
                                 scripts[0].data, error);
        scripts[1].name = "main";
        std::string text;
        for (int i = 0; i < 500; ++i) text += "ページの文です。▼\n";
        tools::ScriptTextToCp932(text, "main", scripts[1].data, error);
        std::vector<uint8_t> archive;
        tools::BuildScriptArchive(scripts, archive, error);
        WriteFileAtomic(dir + "/vk_data.vrk", archive);
        // The settings in a file, as a player's are: loads store the global values there.
        bench::StartEngine(dir, plat, f, dir + "/settings.ini");
        bool done = false;
        f->AppIdle(done);
        for (int i = 0; i < kVBankSize; ++i) f->vars.V[i] = i * 7919;
        for (int k = 0; k < kFBits; k += 3) SetBit(f->vars.F, kFBits, k, true);
        std::memset(f->ui.ReadMarks, 0x5A, sizeof f->ui.ReadMarks);
        for (int i = 0; i < kBacklogLines; ++i) std::memset(f->backlog.BacklogLines[i], 'a' + i % 26, 69);
        f->backlog.count = kBacklogLines;
        f->backlog.writeOffset = kBacklogLines * kBacklogLineSize;
        std::memset(f->text.PageText, 0x82, sizeof f->text.PageText);
        Picture& s = f->gfx.scene;
        s.Resize(800, 600);
        for (size_t i = 0; i < s.bytes.size(); ++i) s.bytes[i] = static_cast<uint8_t>(i * 31 + (i >> 11));
        SaveGame(*f, 1, true);
    }
};

Game& G() {
    static Game g;
    return g;
}

void BM_SaveGame(benchmark::State& state) {
    Game& g = G();
    for (auto _ : state) benchmark::DoNotOptimize(SaveGame(*g.f, 2, true));
}

void BM_SaveGame_write(benchmark::State& state) {
    Game& g = G();
    std::vector<uint8_t> bytes(kSlotFileSize, 7);
    std::string path = g.dir + "/save/reference.dat";
    for (auto _ : state) benchmark::DoNotOptimize(WriteFileAtomic(path, bytes));
}

void BM_LoadGame(benchmark::State& state) {
    Game& g = G();
    for (auto _ : state) benchmark::DoNotOptimize(LoadGame(*g.f, 1, true));
}

// Thirty loads in a row, as a player hunting a scene does.
void BM_Load30(benchmark::State& state) {
    Game& g = G();
    for (auto _ : state)
        for (int i = 0; i < 30; ++i) benchmark::DoNotOptimize(LoadGame(*g.f, 1, true));
}

void BM_LoadGame_read(benchmark::State& state) {
    Game& g = G();
    std::vector<uint8_t> bytes;
    std::string path = SlotPath(*g.f, 1);
    for (auto _ : state) benchmark::DoNotOptimize(ReadWholeFile(path, bytes));
}

void BM_EncodeSlot(benchmark::State& state) {
    auto image = std::make_unique<SlotImage>();
    std::memset(image.get(), 3, sizeof *image);
    std::vector<uint8_t> out(kSlotFileSize);
    for (auto _ : state) {
        EncodeSlot(*image, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_EncodeSlot_memcpy(benchmark::State& state) {
    std::vector<uint8_t> in(kSlotFileSize, 3), out(kSlotFileSize);
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), kSlotFileSize);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_Thumbnail(benchmark::State& state) {
    Game& g = G();
    uint8_t t[kThumbnailHeight][kThumbnailWidth * 3];
    for (auto _ : state) {
        ScaleThumbnail(g.f->gfx.scene, t);
        benchmark::DoNotOptimize(t);
    }
}

void BM_Thumbnail_memcpy(benchmark::State& state) {
    Game& g = G();
    std::vector<uint8_t> out(g.f->gfx.scene.bytes.size());
    for (auto _ : state) {
        std::memcpy(out.data(), g.f->gfx.scene.bytes.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
}

BENCHMARK(BM_SaveGame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveGame_write)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadGame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadGame_read)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeSlot)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeSlot_memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Thumbnail)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Thumbnail_memcpy)->Unit(benchmark::kMicrosecond);


}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-14s %12s %s\n", "operation", "ratio", "reference");
    const char* pairs[][3] = {{"BM_SaveGame", "BM_SaveGame_write", "crash-safe write of 144,978 bytes"},
                              {"BM_LoadGame", "BM_LoadGame_read", "reading the same file"},
                              {"BM_EncodeSlot", "BM_EncodeSlot_memcpy", "memcpy of 144,978 bytes"},
                              {"BM_Thumbnail", "BM_Thumbnail_memcpy", "memcpy of the scene picture"}};
    for (auto& p : pairs) {
        double r = reporter.Ratio(p[0] + std::string("/real_time"), p[1]);
        if (r == 0) r = reporter.Ratio(p[0], p[1]);
        if (r != 0) std::printf("%-14s %12.2f %s\n", p[0] + 3, r, p[2]);
    }
    if (reporter.times.count("BM_Load30")) std::printf("30 loads, wall: %.1f ms\n", reporter.times["BM_Load30"]);
    return 0;
}
