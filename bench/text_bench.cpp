// Glyph preparation, blending and a full page redraw, each against memcpy
// of the bytes it produces.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "app/engine.h"
#include "data/encoding.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "text/message_window.h"

using namespace velmora;

namespace {

struct Engine {
    platform::HeadlessPlatform plat{std::make_unique<platform::IniSettingsStore>()};
    std::unique_ptr<TForm1> f = std::make_unique<TForm1>(plat);
    Engine() {
        plat.Attach(f.get());
        ConfigValues& c = f->config;
        c.TXW_OFS_X = 0, c.TXW_OFS_Y = 430, c.TXW_SIZE_X = 800, c.TXW_SIZE_Y = 170;
        c.TX_OFS_X = 40, c.TX_OFS_Y = 30, c.TX_PITCH_X = 12, c.TX_PITCH_Y = 28;
        c.MOJI_MAX_X = 58, c.MOJI_MAX_Y = 5;
        f->settings.FontName = ToCp932("ＭＳ ゴシック");
        f->settings.FONTSIZE = 19;
        f->vars.S[37] = 0xFFFFFF;
        CreateCompositionPictures(*f);
        InitGlyphs(*f);
    }
};

Engine& Shared() {
    static Engine e;
    return e;
}

// The bytes of one cell's two alpha pictures.
constexpr size_t kCellPictureBytes = 2 * 32 * 35 * 3;

void BM_PrepareGlyphHit(benchmark::State& state) {
    TForm1& f = *Shared().f;
    for (auto _ : state) {
        PrepareGlyph(f, "\x82\xA0");  // あ, the fifth entry or so
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kCellPictureBytes);
}
BENCHMARK(BM_PrepareGlyphHit);

void BM_PrepareGlyphMiss(benchmark::State& state) {
    TForm1& f = *Shared().f;
    f.text.glyphs.cacheCount = kGlyphCacheSize;  // full: every kanji is rendered afresh
    for (auto _ : state) {
        PrepareGlyph(f, "\x8E\xE8");
        benchmark::ClobberMemory();
    }
    RebuildGlyphCache(f);
    state.SetBytesProcessed(state.iterations() * kCellPictureBytes);
}
BENCHMARK(BM_PrepareGlyphMiss);

void BM_BlendGlyph(benchmark::State& state) {
    TForm1& f = *Shared().f;
    PrepareGlyph(f, "\x8E\xE8");
    for (auto _ : state) {
        BlendGlyph(f, f.gfx.screen, 100, 300);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * 35 * 96);
}
BENCHMARK(BM_BlendGlyph);

void BM_RedrawText4Lines(benchmark::State& state) {
    TForm1& f = *Shared().f;
    f.text.windowOpen = true;
    f.text.windowValid = true;
    ClearPage(f);
    std::string line = ToCp932("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗い");
    for (int l = 1; l <= 4; ++l) std::memcpy(f.text.PageText[l] + 2, line.data(), std::min<size_t>(line.size(), 56));
    f.text.pageEmpty = false;
    for (auto _ : state) {
        RedrawText(f);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 4 * 28 * 2 * 35 * 96);
}
BENCHMARK(BM_RedrawText4Lines);

// The references: memcpy of the same byte counts.
void BM_Memcpy(benchmark::State& state) {
    const size_t n = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> a(n, 1), b(n);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * n);
}
BENCHMARK(BM_Memcpy)->Arg(kCellPictureBytes)->Arg(4 * 28 * 2 * 35 * 96);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Each text benchmark's time as a multiple of memcpy of its bytes.
    const std::pair<const char*, const char*> pairs[] = {
        {"BM_PrepareGlyphHit", "BM_Memcpy/6720"},
        {"BM_PrepareGlyphMiss", "BM_Memcpy/6720"},
        {"BM_BlendGlyph", "BM_Memcpy/6720"},
        {"BM_RedrawText4Lines", "BM_Memcpy/752640"},
    };
    std::printf("\nratio to memcpy of the same bytes:\n");
    for (auto& [name, ref] : pairs)
        if (double r = reporter.Ratio(name, ref); r != 0) std::printf("  %-22s %8.1f x\n", name, r);
    benchmark::Shutdown();
    return 0;
}
