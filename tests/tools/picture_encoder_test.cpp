#include <gtest/gtest.h>

#include <cmath>

#include "data/archive.h"
#include "data/file_io.h"
#include "gfx/image_files.h"
#include "gfx/png_file.h"
#include "support/test_game.h"
#include "tools/picture_encoder.h"

using namespace velmora;

namespace {

using Bytes = std::vector<uint8_t>;

Picture Generated(int w, int h, int kind) {
    Picture p;
    p.Resize(w, h);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* d = p.Pixel(x, y);
            seed = seed * 1103515245u + 12345u;
            switch (kind) {
            case 0:  // smooth gradient: delta coding pays
                d[0] = static_cast<uint8_t>(x + y);
                d[1] = static_cast<uint8_t>(2 * x);
                d[2] = static_cast<uint8_t>(y * 3);
                break;
            case 1:  // flat areas: runs and long matches
                d[0] = d[1] = static_cast<uint8_t>((x / 37 + y / 23) % 2 ? 200 : 30);
                d[2] = 90;
                break;
            case 2:  // noise: literals and literal runs
                d[0] = static_cast<uint8_t>(seed >> 24);
                d[1] = static_cast<uint8_t>(seed >> 16);
                d[2] = static_cast<uint8_t>(seed >> 8);
                break;
            default:  // shapes over noise-free stripes with small repeats
                d[0] = static_cast<uint8_t>((x * x + y) % 7 * 30);
                d[1] = static_cast<uint8_t>(std::hypot(x - w / 2, y - h / 2) < w / 3 ? 255 : x % 5);
                d[2] = static_cast<uint8_t>(y % 3);
            }
        }
    }
    return p;
}

bool RoundTrips(const Picture& p, const tools::PictureEncodeOptions& options, uint8_t* stages = nullptr,
                size_t* size = nullptr) {
    Bytes entry;
    std::string error;
    if (!tools::EncodePackedPicture(p, options, entry, error, stages)) return false;
    if (size) *size = entry.size();
    Picture back;
    return DecodePackedPicture(entry.data(), entry.size(), back) && back.width == p.width &&
           back.height == p.height && back.bytes == p.bytes;
}

}  // namespace

TEST(PictureEncoder, GeneratedPicturesRoundTripUnderEveryStageChoice) {
    for (int kind = 0; kind < 4; ++kind) {
        for (auto [w, h] : {std::pair{1, 1}, {7, 3}, {64, 48}, {301, 97}}) {
            Picture p = Generated(w, h, kind);
            for (int mode = 0; mode < 4; ++mode) {
                tools::PictureEncodeOptions o;
                o.allowRun = mode & 1;
                o.allowDelta = mode & 2;
                EXPECT_TRUE(RoundTrips(p, o)) << "kind " << kind << " size " << w << "x" << h << " mode " << mode;
            }
        }
    }
    Picture empty;
    EXPECT_TRUE(RoundTrips(empty, {}));
}

TEST(PictureEncoder, StagesAreKeptOnlyWhereTheyPay) {
    uint8_t stages = 0;
    size_t plain = 0, chosen = 0;
    Picture gradient = Generated(320, 200, 0);
    tools::PictureEncodeOptions none;
    none.allowDelta = none.allowRun = false;
    ASSERT_TRUE(RoundTrips(gradient, none, nullptr, &plain));
    ASSERT_TRUE(RoundTrips(gradient, {}, &stages, &chosen));
    EXPECT_TRUE(stages & kPackedDeltaStage);
    EXPECT_LT(chosen, plain);
    // Whatever is chosen is never larger than any single choice.
    for (int kind = 1; kind < 4; ++kind) {
        Picture p = Generated(200, 120, kind);
        ASSERT_TRUE(RoundTrips(p, {}, &stages, &chosen));
        for (int mode = 0; mode < 4; ++mode) {
            tools::PictureEncodeOptions o;
            o.allowRun = mode & 1;
            o.allowDelta = mode & 2;
            ASSERT_TRUE(RoundTrips(p, o, nullptr, &plain));
            EXPECT_LE(chosen, plain) << kind << " " << mode;
        }
    }
}

TEST(PictureEncoder, DictionaryUsesEveryCodeForm) {
    // Noise, a short repeat, a medium one, a far one and a long flat run.
    Bytes data;
    uint32_t seed = 99;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        data.push_back(static_cast<uint8_t>(seed >> 24));
    }
    data.insert(data.end(), data.begin() + 2990, data.begin() + 2993);   // short: 3 bytes 10 back
    data.insert(data.end(), data.begin() + 2500, data.begin() + 2512);   // medium: 12 bytes ~500 back
    data.insert(data.end(), data.begin() + 100, data.begin() + 400);     // long: 300 bytes ~2900 back
    data.insert(data.end(), 5000, 7);                                    // 4096 at distance 1
    data.push_back(1);
    tools::DictionaryStats st;
    Bytes packed = tools::DictionaryEncode(data.data(), data.size(), 96, &st);
    EXPECT_GT(st.literals, 0u);
    EXPECT_GT(st.literalRuns, 0u);
    EXPECT_GT(st.shortMatches, 0u);
    EXPECT_GT(st.matches, 0u);
    EXPECT_GT(st.longMatches, 0u);
    Bytes back(data.size());
    ASSERT_TRUE(DictionaryDecode(packed.data(), packed.size(), back.data(), back.size()));
    EXPECT_EQ(back, data);
    Bytes run = tools::RunEncode(data.data(), data.size());
    Bytes runBack(data.size());
    ASSERT_TRUE(RunDecode(run.data(), run.size(), runBack.data(), runBack.size()));
    EXPECT_EQ(runBack, data);
}

TEST(PictureEncoder, RgbaBecomesAMaskedPicture) {
    Picture colour = Generated(5, 4, 3), alpha;
    alpha.Resize(5, 4);
    for (int x = 0; x < 5; ++x) std::fill_n(alpha.Pixel(x, 1), 3, static_cast<uint8_t>(x * 60));
    Picture side = tools::MakeMaskedPicture(colour, alpha, tools::MaskLayout::SideBySide);
    ASSERT_EQ(side.width, 10);
    EXPECT_EQ(side.Pixel(7, 1)[1], 120);
    EXPECT_EQ(side.Pixel(2, 1)[0], colour.Pixel(2, 1)[0]);
    EXPECT_EQ(side.Pixel(0, 0)[0], 0);  // transparent colour is cleared
    Picture stacked = tools::MakeMaskedPicture(colour, alpha, tools::MaskLayout::Stacked);
    ASSERT_EQ(stacked.height, 8);
    EXPECT_EQ(stacked.Pixel(4, 5)[2], 240);
}

TEST(PictureEncoder, PackCommandRoundTripsThroughTheVolume) {
    test::TempDir dir;
    ASSERT_TRUE(MakeDirectories(dir.File("in")));
    Picture p = Generated(33, 21, 0);
    ASSERT_TRUE(WritePng(dir.File("in/bg_one.png"), p));
    std::string cmd = std::string(VELMORA_PACK_EXE) + " pictures " + dir.File("in") + " " + dir.File("vk_gra.vrk") +
                      " > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ArchiveIndex index;
    index.path = dir.File("vk_gra.vrk");
    ReadVolumeIndex(index.path, index);
    int pos = FindEntry(index, "BG_ONE");
    ASSERT_GE(pos, 0);
    Bytes entry;
    ASSERT_GT(ReadEntry(index, pos, entry), 0);
    Picture back;
    ASSERT_TRUE(DecodePackedPicture(entry.data(), entry.size(), back));
    EXPECT_EQ(back.bytes, p.bytes);
    std::string help = std::string(VELMORA_PACK_EXE) + " --help > /dev/null";
    EXPECT_EQ(std::system(help.c_str()), 0);
}
