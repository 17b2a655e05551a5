// animq's doubling against a memcpy of the 800 x 600 x 4 destination, and
// one 800 x 600 JPEG key frame decoded and drawn against libjpeg-turbo's
// own decode of the same stream into a buffer. Prints the ratios.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/bench_support.h"
#include "gfx/anim.h"
#include "gfx/image_files.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "tools/anim_encoder.h"

using namespace velmora;

namespace {

// A photograph-like frame: smooth gradients with some texture.
Picture Frame(int w, int h) {
    Picture p;
    p.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* d = p.Pixel(x, y);
            d[0] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.013 + y * 0.007));
            d[1] = static_cast<uint8_t>((x * y / 97 + (x ^ y) % 23) & 255);
            d[2] = static_cast<uint8_t>(255 * y / h);
        }
    return p;
}

const std::vector<uint8_t>& Jpeg() {
    static std::vector<uint8_t> j = [] {
        std::vector<uint8_t> out;
        std::string error;
        tools::EncodeJpeg(Frame(800, 600), 90, out, error);
        return out;
    }();
    return j;
}

void BM_Double(benchmark::State& st) {
    Picture src = Frame(400, 300), dst;
    DoubleFrame(src, dst);
    for (auto _ : st) {
        DoubleFrame(src, dst);
        benchmark::ClobberMemory();
    }
}
void BM_Double_memcpy(benchmark::State& st) { bench::Memcpy(st, 800 * 600 * 4); }

// What the player does with a key frame: decode into its frame picture and
// draw it onto the window.
void BM_KeyFrame(benchmark::State& st) {
    platform::HeadlessPlatform plat(std::make_unique<platform::IniSettingsStore>());
    plat.Fill(0);
    JpegDecoder decoder;
    Picture frame;
    const std::vector<uint8_t>& j = Jpeg();
    for (auto _ : st) {
        decoder.Decode(j.data(), j.size(), frame, "bench");
        plat.surface().BlitWhole(frame, 0, 0);
        benchmark::ClobberMemory();
    }
}
void BM_KeyFrame_libjpeg(benchmark::State& st) {
    const std::vector<uint8_t>& j = Jpeg();
    std::vector<uint8_t> out(800 * 600 * 3);
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    for (auto _ : st) {
        jpeg_mem_src(&c, j.data(), static_cast<unsigned long>(j.size()));
        jpeg_read_header(&c, TRUE);
        c.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&c);
        while (c.output_scanline < c.output_height) {
            JSAMPROW row = out.data() + static_cast<size_t>(c.output_scanline) * 2400;
            jpeg_read_scanlines(&c, &row, 1);
        }
        jpeg_finish_decompress(&c);
        benchmark::ClobberMemory();
    }
    jpeg_destroy_decompress(&c);
}

BENCHMARK(BM_Double);
BENCHMARK(BM_Double_memcpy);
BENCHMARK(BM_KeyFrame);
BENCHMARK(BM_KeyFrame_libjpeg);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nanimq doubling 400x300 -> 800x600 / memcpy of 800x600x4: %.2f\n",
                reporter.Ratio("BM_Double", "BM_Double_memcpy"));
    std::printf("JPEG key frame 800x600 decoded and drawn / libjpeg-turbo decode: %.2f\n",
                reporter.Ratio("BM_KeyFrame", "BM_KeyFrame_libjpeg"));
    auto it = reporter.times.find("BM_KeyFrame");
    if (it != reporter.times.end())
        std::printf("key frame: %.2f ms, %.0f%% of a 33 ms frame (%zu-byte stream)\n", it->second / 1e6,
                    100.0 * it->second / 1e6 / 33.0, Jpeg().size());
    return 0;
}
