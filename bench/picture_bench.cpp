// The pixel operations, the scene composition and the packed-picture
// decoder, each against references run in the same process: memcpy of the
// same bytes, pixman compositing the same pixels, libpng decoding the same
// picture. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include <pixman.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/engine.h"
#include "gfx/image_files.h"
#include "gfx/pixel_ops.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"
#include "tools/picture_encoder.h"

using namespace velmora;
using bench::Memcpy;

namespace {

Picture Make(int w, int h, uint32_t seed) {
    Picture p;
    p.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* d = p.Pixel(x, y);
            d[0] = static_cast<uint8_t>(x + seed);
            d[1] = static_cast<uint8_t>(y * 2 + seed);
            d[2] = static_cast<uint8_t>((x ^ y) + seed);
        }
    return p;
}

// A sprite mask: opaque inside an ellipse with a soft edge, 0 outside, so
// a good part of the rows is transparent margin.
Picture SpriteMask(int w, int h) {
    Picture m;
    m.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double dx = (x - w / 2.0) / (w * 0.35), dy = (y - h / 2.0) / (h * 0.48);
            double d = std::sqrt(dx * dx + dy * dy);
            uint8_t a = d < 0.95 ? 255 : d < 1.0 ? static_cast<uint8_t>((1.0 - d) * 20 * 255) : 0;
            std::memset(m.Pixel(x, y), a, 3);
        }
    return m;
}

// pixman views of our pictures: 24-bit, blue first in memory.
pixman_image_t* View(Picture& p) {
    return pixman_image_create_bits(PIXMAN_r8g8b8, p.width, p.height, reinterpret_cast<uint32_t*>(p.bytes.data()),
                                    p.Stride());
}

// The same sprite as pixman wants it: colour with its alpha.
pixman_image_t* Argb(const Picture& colour, const Picture& mask, std::vector<uint32_t>& store) {
    store.resize(static_cast<size_t>(colour.width) * colour.height);
    for (int y = 0; y < colour.height; ++y)
        for (int x = 0; x < colour.width; ++x) {
            const uint8_t* c = colour.Pixel(x, y);
            uint32_t a = mask.Pixel(x, y)[0];
            // premultiplied
            store[static_cast<size_t>(y) * colour.width + x] =
                a << 24 | (c[2] * a / 255) << 16 | (c[1] * a / 255) << 8 | (c[0] * a / 255);
        }
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, colour.width, colour.height, store.data(), colour.width * 4);
}

struct Screens {
    Picture a = Make(800, 600, 1), b = Make(800, 600, 77), out = Make(800, 600, 5);
    Picture mask = SpriteMask(800, 600);
    Picture sprite = Make(400, 600, 9), spriteMask = SpriteMask(400, 600);
};

Screens& S() {
    static Screens s;
    return s;
}


// --- MaskRows over a screen ---
void BM_MaskRows(benchmark::State& st) {
    Screens& s = S();
    for (auto _ : st) {
        for (int y = 0; y < 600; ++y) MaskRows(s.a.Row(y), s.b.Row(y), s.mask.Row(y), 300, s.out.Row(y));
        benchmark::ClobberMemory();
    }
}
void BM_MaskRows_memcpy(benchmark::State& st) { Memcpy(st, 800 * 600 * 3); }
// The least traffic of a masked screen whose mask is read on every call:
// two rows in (the mask and one picture), one out, and no arithmetic at all.
void BM_MaskRows_traffic(benchmark::State& st) {
    Screens& s = S();
    const size_t words = s.out.bytes.size() / 8;
    for (auto _ : st) {
        const uint8_t* a = s.a.bytes.data();
        const uint8_t* m = s.mask.bytes.data();
        uint8_t* out = s.out.bytes.data();
        for (size_t i = 0; i < words; ++i) {
            uint64_t x, y;
            std::memcpy(&x, a + 8 * i, 8);
            std::memcpy(&y, m + 8 * i, 8);
            x ^= y;
            std::memcpy(out + 8 * i, &x, 8);
        }
        benchmark::ClobberMemory();
    }
}
void BM_MaskRows_pixman(benchmark::State& st) {
    Screens& s = S();
    std::vector<uint32_t> store;
    pixman_image_t* src = Argb(s.b, s.mask, store);
    pixman_image_t* dst = View(s.out);
    for (auto _ : st) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, 800, 600);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
}

// --- BlitMasked of a 400 x 600 sprite with transparent margins, its
// spans measured once as a sprite's are when it loads ---
void BM_BlitMasked(benchmark::State& st) {
    Screens& s = S();
    const MaskSpans spans = MeasureMask(s.spriteMask);
    for (auto _ : st) {
        BlitMasked(s.out, s.sprite, s.spriteMask, spans, 200, 0);
        benchmark::ClobberMemory();
    }
}
void BM_BlitMasked_memcpy(benchmark::State& st) { Memcpy(st, 400 * 600 * 3); }
void BM_BlitMasked_pixman(benchmark::State& st) {
    Screens& s = S();
    std::vector<uint32_t> store;
    pixman_image_t* src = Argb(s.sprite, s.spriteMask, store);
    pixman_image_t* dst = View(s.out);
    for (auto _ : st) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 200, 0, 400, 600);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
}

// --- CrossfadeScreen ---
void BM_CrossfadeScreen(benchmark::State& st) {
    Screens& s = S();
    for (auto _ : st) {
        CrossfadeScreen(s.a, s.b, 100, s.out);
        benchmark::ClobberMemory();
    }
}
void BM_CrossfadeScreen_memcpy(benchmark::State& st) { Memcpy(st, 800 * 600 * 3); }
void BM_CrossfadeScreen_pixman(benchmark::State& st) {
    // Copy the second picture, then lay the first over it at a constant
    // opacity: the same blend in pixman's terms.
    Screens& s = S();
    pixman_image_t* first = View(s.a);
    pixman_image_t* second = View(s.b);
    pixman_image_t* dst = View(s.out);
    pixman_color_t grey = {0, 0, 0, static_cast<uint16_t>(100 * 256)};
    pixman_image_t* weight = pixman_image_create_solid_fill(&grey);
    for (auto _ : st) {
        pixman_image_composite32(PIXMAN_OP_SRC, second, nullptr, dst, 0, 0, 0, 0, 0, 0, 800, 600);
        pixman_image_composite32(PIXMAN_OP_OVER, first, weight, dst, 0, 0, 0, 0, 0, 0, 800, 600);
        benchmark::ClobberMemory();
    }
    for (pixman_image_t* i : {first, second, dst, weight}) pixman_image_unref(i);
}

// --- DarkenScreen ---
void BM_DarkenScreen(benchmark::State& st) {
    Screens& s = S();
    for (auto _ : st) {
        DarkenScreen(s.a, s.out, 128);
        benchmark::ClobberMemory();
    }
}
void BM_DarkenScreen_memcpy(benchmark::State& st) { Memcpy(st, 800 * 600 * 3); }
void BM_DarkenScreen_pixman(benchmark::State& st) {
    Screens& s = S();
    pixman_image_t* src = View(s.a);
    pixman_image_t* dst = View(s.out);
    pixman_color_t half = {0, 0, 0, 0x8000};
    pixman_image_t* weight = pixman_image_create_solid_fill(&half);
    for (auto _ : st) {
        pixman_image_composite32(PIXMAN_OP_SRC, src, weight, dst, 0, 0, 0, 0, 0, 0, 800, 600);
        benchmark::ClobberMemory();
    }
    for (pixman_image_t* i : {src, dst, weight}) pixman_image_unref(i);
}

// --- ComposeScene: background, four 300 x 500 sprites and an overlay ---
struct SceneEngine {
    platform::HeadlessPlatform plat{std::make_unique<platform::IniSettingsStore>()};
    std::unique_ptr<TForm1> f = std::make_unique<TForm1>(plat);
    SceneEngine() {
        plat.Attach(f.get());
        CreateCompositionPictures(*f);
        GfxState& g = f->gfx;
        g.background = Make(800, 600, 3);
        for (int k = 0; k < 4; ++k) {
            g.spriteCache[k].colour = Make(300, 500, 10 * k);
            g.spriteCache[k].mask = SpriteMask(300, 500);
            g.spriteCache[k].spans = MeasureMask(g.spriteCache[k].mask);
            g.spriteCache[k].name = "B" + std::to_string(k);
            g.spriteNames[k] = g.spriteCache[k].name;
            g.spriteSlotOf[k] = k;
        }
        g.spriteCount = 4;
        g.overlay = Make(800, 200, 50);
        int32_t* S = f->vars.S;
        const int xs[4] = {100, 300, 500, 700};
        for (int k = 0; k < 4; ++k) {
            S[86 + k] = xs[k];
            S[96 + k] = 100;
        }
        S[35] = 1;
        S[20] = 1;
        S[23] = 96;
        S[21] = 0;
        S[22] = 400;
    }
};

// Bytes a plain copy of the same layers would move: the background, four
// sprites and the overlay.
constexpr size_t kSceneBytes = 800 * 600 * 3 + 4 * 300 * 500 * 3 + 800 * 200 * 3;

void BM_ComposeScene(benchmark::State& st) {
    static SceneEngine e;
    for (auto _ : st) {
        ComposeScene(*e.f);
        benchmark::ClobberMemory();
    }
}
void BM_ComposeScene_memcpy(benchmark::State& st) { Memcpy(st, kSceneBytes); }
void BM_ComposeScene_pixman(benchmark::State& st) {
    static SceneEngine e;
    GfxState& g = e.f->gfx;
    pixman_image_t* bg = View(g.background);
    pixman_image_t* dst = View(g.scene);
    pixman_image_t* ovr = View(g.overlay);
    std::vector<uint32_t> stores[4];
    pixman_image_t* sprites[4];
    for (int k = 0; k < 4; ++k) sprites[k] = Argb(g.spriteCache[k].colour, g.spriteCache[k].mask, stores[k]);
    pixman_color_t w = {0, 0, 0, static_cast<uint16_t>(96 * 256)};
    pixman_image_t* weight = pixman_image_create_solid_fill(&w);
    for (auto _ : st) {
        pixman_image_composite32(PIXMAN_OP_SRC, bg, nullptr, dst, 0, 0, 0, 0, 0, 0, 800, 600);
        for (int k = 0; k < 4; ++k)
            pixman_image_composite32(PIXMAN_OP_OVER, sprites[k], nullptr, dst, 0, 0, 0, 0, 200 * k - 50, 100, 300,
                                     500);
        pixman_image_composite32(PIXMAN_OP_OVER, ovr, weight, dst, 0, 0, 0, 0, 0, 400, 800, 200);
        benchmark::ClobberMemory();
    }
    for (pixman_image_t* i : {bg, dst, ovr, weight}) pixman_image_unref(i);
    for (pixman_image_t* i : sprites) pixman_image_unref(i);
}

// --- DecodePackedPicture against libpng on the same picture ---
// A background like the demo's: gradients, a disc and two hill lines.
Picture Landscape() {
    Picture p;
    p.Resize(800, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            uint8_t* d = p.Pixel(x, y);
            double hill = 420 + 40 * std::sin(x / 90.0), near = 480 + 30 * std::sin(x / 140.0 + 1);
            bool sun = (x - 560) * (x - 560) + (y - 240) * (y - 240) < 46 * 46;
            if (y > near) {
                d[0] = 60, d[1] = static_cast<uint8_t>(110 - (y - 480) / 6), d[2] = 60;
            } else if (y > hill) {
                d[0] = 170, d[1] = 120, d[2] = 110;
            } else if (sun) {
                d[0] = 200, d[1] = 240, d[2] = 255;
            } else {
                d[0] = static_cast<uint8_t>(190 - y / 4), d[1] = static_cast<uint8_t>(110 + y / 5),
                d[2] = static_cast<uint8_t>(60 + y / 3);
            }
        }
    return p;
}

struct Encoded {
    Picture picture = Landscape();
    std::vector<uint8_t> packed, png;
    Encoded() {
        std::string error;
        tools::EncodePackedPicture(picture, {}, packed, error);
        png_image img;
        std::memset(&img, 0, sizeof img);
        img.version = PNG_IMAGE_VERSION;
        img.width = 800;
        img.height = 600;
        img.format = PNG_FORMAT_BGR;
        png_alloc_size_t size = 0;
        png_image_write_to_memory(&img, nullptr, &size, 0, picture.bytes.data(), 0, nullptr);
        png.resize(size);
        png_image_write_to_memory(&img, png.data(), &size, 0, picture.bytes.data(), 0, nullptr);
        png.resize(size);
    }
};

Encoded& E() {
    static Encoded e;
    return e;
}

void BM_DecodePacked(benchmark::State& st) {
    Encoded& e = E();
    Picture out;
    for (auto _ : st) {
        DecodePackedPicture(e.packed.data(), e.packed.size(), out);
        benchmark::ClobberMemory();
    }
    if (out.bytes != e.picture.bytes) st.SkipWithError("decoded picture differs");
}
void BM_DecodePacked_libpng(benchmark::State& st) {
    Encoded& e = E();
    std::vector<uint8_t> out(800 * 600 * 3);
    for (auto _ : st) {
        png_image img;
        std::memset(&img, 0, sizeof img);
        img.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&img, e.png.data(), e.png.size());
        img.format = PNG_FORMAT_BGR;
        png_image_finish_read(&img, nullptr, out.data(), 0, nullptr);
        benchmark::ClobberMemory();
    }
}
void BM_DecodePacked_memcpy(benchmark::State& st) { Memcpy(st, 800 * 600 * 3); }

BENCHMARK(BM_MaskRows);
BENCHMARK(BM_MaskRows_memcpy);
BENCHMARK(BM_MaskRows_traffic);
BENCHMARK(BM_MaskRows_pixman);
BENCHMARK(BM_BlitMasked);
BENCHMARK(BM_BlitMasked_memcpy);
BENCHMARK(BM_BlitMasked_pixman);
BENCHMARK(BM_CrossfadeScreen);
BENCHMARK(BM_CrossfadeScreen_memcpy);
BENCHMARK(BM_CrossfadeScreen_pixman);
BENCHMARK(BM_DarkenScreen);
BENCHMARK(BM_DarkenScreen_memcpy);
BENCHMARK(BM_DarkenScreen_pixman);
BENCHMARK(BM_ComposeScene);
BENCHMARK(BM_ComposeScene_memcpy);
BENCHMARK(BM_ComposeScene_pixman);
BENCHMARK(BM_DecodePacked);
BENCHMARK(BM_DecodePacked_memcpy);
BENCHMARK(BM_DecodePacked_libpng);


}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // --path=plain|sse2 times a lower instruction set than the processor's best.
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--path=", 0) != 0) continue;
        const std::string name = a.substr(7);
        const PixelPath path = name == "plain" ? PixelPath::Plain : name == "sse2" ? PixelPath::Sse2 : PixelPath::Avx2;
        if (!UsePixelPath(path)) {
            std::fprintf(stderr, "this processor cannot run the %s path\n", name.c_str());
            return 1;
        }
    }
    const PixelPath used = CurrentPixelPath();
    std::printf("pixel path: %s\n", used == PixelPath::Avx2 ? "avx2" : used == PixelPath::Sse2 ? "sse2" : "plain");
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Real-time ratios, and the same from processor time, which other
    // programs on a busy machine disturb less.
    std::printf("\n%-22s %10s %12s %12s %12s\n", "operation", "/ memcpy", "/ reference", "cpu/memcpy",
                "cpu/ref");
    for (const char* name : {"MaskRows", "BlitMasked", "CrossfadeScreen", "DarkenScreen", "ComposeScene", "DecodePacked"}) {
        const std::string base = std::string("BM_") + name;
        const bool png = std::string(name) == "DecodePacked";
        const std::string ref = base + (png ? "_libpng" : "_pixman");
        auto ratio = [](std::map<std::string, double>& m, const std::string& a, const std::string& b) {
            return m.count(a) && m.count(b) && m[b] > 0 ? m[a] / m[b] : 0.0;
        };
        if (!reporter.times.count(base)) continue;
        std::printf("%-22s %10.2f %12.2f %12.2f %12.2f  (%s)\n", name, ratio(reporter.times, base, base + "_memcpy"),
                    ratio(reporter.times, base, ref), ratio(reporter.cpuTimes, base, base + "_memcpy"),
                    ratio(reporter.cpuTimes, base, ref), png ? "libpng" : "pixman");
    }
    if (reporter.cpuTimes.count("BM_MaskRows_traffic") && reporter.cpuTimes.count("BM_MaskRows_memcpy"))
        std::printf("\nMaskRows against the least traffic it must move (mask and one picture in, one out): "
                    "%.2f; that traffic against memcpy: %.2f (processor time)\n",
                    reporter.cpuTimes["BM_MaskRows"] / reporter.cpuTimes["BM_MaskRows_traffic"],
                    reporter.cpuTimes["BM_MaskRows_traffic"] / reporter.cpuTimes["BM_MaskRows_memcpy"]);
    const Encoded& e = E();
    std::printf("\npacked landscape: %zu bytes, PNG %zu bytes (raw %zu)\n", e.packed.size(), e.png.size(),
                e.picture.bytes.size());
    return 0;
}
