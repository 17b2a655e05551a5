// The two WADY codings against hand-built codes.
#include "audio/wady.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace velmora {
namespace {

// A run-coded block: four unread bytes, N, the first sample, the codes.
std::vector<uint8_t> Block(uint32_t n, int16_t first, const std::vector<uint8_t>& codes) {
    std::vector<uint8_t> b(10);
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(n >> (8 * i));
    b[8] = static_cast<uint8_t>(first);
    b[9] = static_cast<uint8_t>(static_cast<uint16_t>(first) >> 8);
    b.insert(b.end(), codes.begin(), codes.end());
    return b;
}

std::vector<int16_t> Decode(const std::vector<uint8_t>& block, size_t capacity = 1024, long* written = nullptr) {
    std::vector<int16_t> out(capacity, 0x5555);
    long n = DecodeRunBlock(block.data(), block.size(), out.data(), capacity, 1);
    if (written) *written = n;
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
}

TEST(RunCoding, OneByteCodes) {
    // 0x81 sets 0, 0xFF sets -1024, 0x7F adds S[63] = -8000, 0x03 adds S[1] = 4.
    auto out = Decode(Block(4, 5000, {0x81, 0xFF, 0x7F, 0x03}));
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0], 5000);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], -1024);
    EXPECT_EQ(out[3], -9024);
    EXPECT_EQ(out[4], -9020);
    // Absolute codes 0x20 ... 0x3F of v's low six bits are negative.
    auto neg = Decode(Block(2, 0, {static_cast<uint8_t>(((0x40 | 0x20) << 1) | 1), static_cast<uint8_t>(((0x40 | 0x1F) << 1) | 1)}));
    EXPECT_EQ(neg[1], -32768);
    EXPECT_EQ(neg[2], 31 * 1024);
}

TEST(RunCoding, DeltaWrapsToSixteenBits) {
    // 32000 + 8000 wraps as the format does.
    auto out = Decode(Block(1, 32000, {static_cast<uint8_t>((31 << 1) | 1)}));
    EXPECT_EQ(out[1], static_cast<int16_t>(static_cast<uint16_t>(40000)));
}

TEST(RunCoding, RampOf256EndsAtTarget) {
    // Run index 7 (256 samples) from 0 to 0x1230 & 0xFFF0 = 4656; whatever
    // the rounding of the ramp, the next delta starts from the target.
    const uint8_t b0 = static_cast<uint8_t>(0x30 | (7 << 1));
    auto out = Decode(Block(2, 1, {b0, 0x12, 0x01 /* +S[0] */}));
    ASSERT_EQ(out.size(), 1u + 256 + 1);
    EXPECT_EQ(out[256], 4656);
    EXPECT_EQ(out[257], 4656);
    // The ramp rises steadily in single precision.
    float step = static_cast<float>(4656 - 1) / 256.0f, x = 1.0f;
    for (int k = 0; k < 256; ++k) {
        x = x + step;
        EXPECT_EQ(out[1 + k], static_cast<int16_t>(static_cast<int>(x))) << k;
    }
    // A ramp towards a negative target truncates toward zero.
    auto down = Decode(Block(1, 0, {static_cast<uint8_t>(0xF0 | (0 << 1)), 0xFF}));  // -16 in 3 steps
    ASSERT_EQ(down.size(), 4u);
    EXPECT_EQ(down[1], -5);
    EXPECT_EQ(down[2], -10);
    EXPECT_EQ(down[3], -16);
}

TEST(RunCoding, ResetAtThreeHundredFromTheEnd) {
    // With N = 300 the predictor is 0 before the first code.
    std::vector<uint8_t> codes(300, 0x03);  // +4 each
    auto out = Decode(Block(300, 1000, codes));
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[1], 4);
    EXPECT_EQ(out[300], 1200);
    // With N = 301 the reset comes before the second code.
    codes.push_back(0x03);
    out = Decode(Block(301, 1000, codes));
    EXPECT_EQ(out[1], 1004);
    EXPECT_EQ(out[2], 4);
    // With N < 300 it never comes.
    out = Decode(Block(299, 1000, std::vector<uint8_t>(299, 0x03)));
    EXPECT_EQ(out[299], 1000 + 299 * 4);
}

TEST(RunCoding, HostileBlocksAreRefused) {
    long n = 0;
    Decode(Block(3, 0, {0x03, 0x03}), 1024, &n);  // N larger than the codes
    EXPECT_EQ(n, -1);
    Decode(Block(1, 0, {0x0E}), 1024, &n);  // two-byte code cut off
    EXPECT_EQ(n, -1);
    Decode(Block(1, 0, {0x0E, 0x00}), 100, &n);  // 256 samples into 100
    EXPECT_EQ(n, -1);
    Decode(Block(0xFFFFFFFF, 0, {}), 1024, &n);
    EXPECT_EQ(n, -1);
}

std::vector<uint8_t> Entry(uint16_t channels, uint32_t decodedSize, const std::vector<uint8_t>& blocks) {
    WadyHeader h;
    h.decodedSize = decodedSize;
    h.format.channels = channels;
    h.format.blockAlign = static_cast<uint16_t>(channels * 2);
    std::vector<uint8_t> e(48);
    WriteWadyHeader(h, e.data());
    e.insert(e.end(), blocks.begin(), blocks.end());
    return e;
}

TEST(RunCoding, StereoEntryInterleaves) {
    auto left = Block(1, 100, {0x03});
    auto right = Block(1, -100, {0x81});
    std::vector<uint8_t> blocks;
    const uint32_t x = static_cast<uint32_t>(left.size()) - 4;  // the right block starts at 56 + x
    for (int i = 0; i < 4; ++i) blocks.push_back(static_cast<uint8_t>(x >> (8 * i)));
    blocks.insert(blocks.end(), left.begin(), left.end());
    blocks.insert(blocks.end(), right.begin(), right.end());
    auto e = Entry(2, 8, blocks);
    WadyHeader h;
    ASSERT_TRUE(ParseWadyHeader(e.data(), e.size(), h));
    int16_t pcm[4];
    ASSERT_TRUE(DecodeRunCoded(e.data(), e.size(), h, pcm, sizeof pcm));
    EXPECT_EQ(pcm[0], 100);
    EXPECT_EQ(pcm[1], -100);
    EXPECT_EQ(pcm[2], 104);
    EXPECT_EQ(pcm[3], 0);
    // A right-block offset beyond the entry is damage, not a read.
    blocks[0] = 0xF0;
    e = Entry(2, 8, blocks);
    EXPECT_FALSE(DecodeRunCoded(e.data(), e.size(), h, pcm, sizeof pcm));
}

TEST(ByteCoding, TableValues) {
    const uint8_t codes[] = {0x80, 0xC0, 0xFF, 0x40, 0x01, 0x3F, 0x41, 0x7F};
    int16_t pred[2] = {1234, 0};
    int16_t out[8];
    DecodeByteCoded(codes, 8, 1, 3, pred, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(out[2], -512);
    EXPECT_EQ(out[3], -512);             // B[64] = 0
    EXPECT_EQ(out[4], -512 + 3 * 2);     // B[1]
    EXPECT_EQ(out[5], -506 + 3 * 1000);  // B[63]
    EXPECT_EQ(out[6], 2494 - 3 * 2);     // B[65] = -E[1]
    EXPECT_EQ(out[7], 2488 - 3 * 1000);  // B[127] = -E[63]
    EXPECT_EQ(pred[0], out[7]);
}

TEST(ByteCoding, StereoChannelsKeepTheirPredictors) {
    const uint8_t codes[] = {0x01, 0x41, 0x01, 0x41};
    int16_t pred[2] = {0, 0};
    int16_t out[4];
    DecodeByteCoded(codes, 2, 2, 1, pred, out);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], -2);
    EXPECT_EQ(out[2], 4);
    EXPECT_EQ(out[3], -4);
}

TEST(Wady, HeaderRoundTripAndMagic) {
    WadyHeader h;
    h.scale = 7;
    h.channelsField = 2;
    h.framesPerQuarter = 5512;
    h.codedLength = 123456;
    h.loopStart = 4000;
    h.loopPredictor[0] = -300;
    h.loopPredictor[1] = 299;
    h.format.samplesPerSec = 22050;
    uint8_t b[48];
    WriteWadyHeader(h, b);
    WadyHeader g;
    ASSERT_TRUE(ParseWadyHeader(b, 48, g));
    EXPECT_EQ(g.scale, 7);
    EXPECT_EQ(g.framesPerQuarter, 5512u);
    EXPECT_EQ(g.loopPredictor[0], -300);
    EXPECT_EQ(g.loopPredictor[1], 299);
    EXPECT_EQ(g.format.samplesPerSec, 22050u);
    EXPECT_FALSE(ParseWadyHeader(b, 47, g));
    b[0] = 'X';
    EXPECT_FALSE(ParseWadyHeader(b, 48, g));
}

}  // namespace
}  // namespace velmora
