// velmora-pack anim: numbered frames in, an entry the player reads out;
// key frames, patches and holds found by comparing or named in a list.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

#include "data/file_io.h"
#include "gfx/anim.h"
#include "gfx/png_file.h"
#include "support/test_game.h"
#include "tools/anim_encoder.h"
#include "tools/sound_encoder.h"

using namespace velmora;

namespace {

int Pack(const std::string& args, std::string* out) {
    std::string cmd = std::string(VELMORA_PACK_EXE) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    out->clear();
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 64 x 48 frames: a grey field with a 10 x 8 red square that moves right,
// stays, jumps back, and then a darker field (frame 6).
Picture Scene(int i) {
    Picture p;
    p.Resize(64, 48);
    std::fill(p.bytes.begin(), p.bytes.end(), static_cast<uint8_t>(i == 6 ? 30 : 128));
    static const int kAt[8] = {4, 10, 16, 22, 22, 4, 4, 4};
    const int at = kAt[i];
    for (int y = 20; y < 28; ++y)
        for (int x = at; x < at + 10; ++x) p.Pixel(x, y)[2] = 255;
    return p;
}

AnimEntry Parse(const std::vector<uint8_t>& bytes) {
    AnimEntry e;
    std::string why;
    EXPECT_TRUE(ParseAnimHeader(bytes.data(), bytes.size(), e));
    EXPECT_TRUE(ParseAnimArrays(bytes.data() + kAnimHeaderSize, bytes.size() - kAnimHeaderSize,
                                static_cast<uint32_t>(bytes.size()), e, why))
        << why;
    return e;
}

TEST(PackAnim, ComparingFramesFindsKeyFramesPatchesAndHolds) {
    test::TempDir dir;
    ::mkdir(dir.File("frames").c_str(), 0755);
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(WritePng(dir.File("frames/f" + std::to_string(10 + i) + ".png"), Scene(i)));
    tools::PcmSound s;
    s.samples.assign(2205, 300);
    dir.Write("t.wav", tools::WriteWav(s));
    std::string out;
    ASSERT_EQ(Pack("anim --frame-time 66 --sound " + dir.File("t.wav") + " " + dir.File("frames") + " " +
                       dir.File("OP"),
                   &out),
              0)
        << out;
    EXPECT_NE(out.find("8 frames of 64x48 (3 key, 4 patch, 1 hold)"), std::string::npos) << out;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dir.File("OP"), bytes));
    AnimEntry e = Parse(bytes);
    EXPECT_EQ(e.frameTime, 66u);
    EXPECT_EQ(e.width, 0u);
    // 0 first; 1 ... 3 the moved square; 4 unchanged; 5 the square back
    // at its place (a patch); 6 all new; 7 the last.
    EXPECT_EQ(e.kind, (std::vector<int16_t>{0, 1, 1, 1, 2, 1, 0, 0}));
    EXPECT_EQ(e.patchX[1], 4);  // the box from the old square's left to the new one's right
    EXPECT_EQ(e.patchY[1], 20);
    ASSERT_GT(e.soundSize, 48u);
    EXPECT_EQ(std::string(bytes.begin() + e.soundOffset, bytes.begin() + e.soundOffset + 4), "WADY");
    // The patch decodes to the box it covers.
    Picture patch;
    ASSERT_TRUE(DecodeJpegPicture(bytes.data() + e.offset[1], e.size[1], patch));
    EXPECT_EQ(patch.width, 16);
    EXPECT_EQ(patch.height, 8);

    ASSERT_EQ(Pack("info " + dir.File("OP"), &out), 0) << out;
    EXPECT_NE(out.find("frames            8"), std::string::npos) << out;
    EXPECT_NE(out.find("    4  hold"), std::string::npos) << out;
    EXPECT_NE(out.find("(decoded whole)"), std::string::npos) << out;
}

TEST(PackAnim, AFrameListNamesTheKindsAndAnimqKeepsTheFrameSize) {
    test::TempDir dir;
    ::mkdir(dir.File("f").c_str(), 0755);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(WritePng(dir.File("f/" + std::to_string(i) + ".png"), Scene(i)));
    dir.Write("list.txt", "# frames\n0.png\n1.png patch 0 0 32 48\n1.png hold\n2.png key\n");
    std::string out;
    ASSERT_EQ(Pack("anim --animq --frame-time 33 --list " + dir.File("list.txt") + " " + dir.File("f") + " " +
                       dir.File("Q"),
                   &out),
              0)
        << out;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(dir.File("Q"), bytes));
    AnimEntry e = Parse(bytes);
    EXPECT_EQ(e.kind, (std::vector<int16_t>{0, 1, 2, 0}));
    EXPECT_EQ(e.width, 64u);
    EXPECT_EQ(e.height, 48u);
    EXPECT_EQ(e.size[2], 0u);
    Picture patch;
    ASSERT_TRUE(DecodeJpegPicture(bytes.data() + e.offset[1], e.size[1], patch));
    EXPECT_EQ(patch.width, 32);

    dir.Write("bad.txt", "0.png sideways\n");
    EXPECT_EQ(Pack("anim --list " + dir.File("bad.txt") + " " + dir.File("f") + " " + dir.File("X"), &out), 1);
    EXPECT_NE(out.find("line 1: \"sideways\" is not key, patch or hold"), std::string::npos) << out;
    Picture odd;
    odd.Resize(10, 10);
    ASSERT_TRUE(WritePng(dir.File("f/4.png"), odd));
    EXPECT_EQ(Pack("anim " + dir.File("f") + " " + dir.File("X"), &out), 1);
    EXPECT_NE(out.find("is 10x10, the first 64x48"), std::string::npos) << out;
}

}  // namespace
