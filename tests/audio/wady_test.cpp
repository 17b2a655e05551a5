// The two WADY codings against hand-built codes.
#include "audio/wady.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
    // No room at all (an empty vector's null buffer) is refused, not cleared.
    EXPECT_FALSE(DecodeRunCoded(e.data(), e.size(), h, nullptr, 0));
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

// The codings decoded the slow, obvious way, one sample at a time with
// every check, to hold the decoders to on long random streams.
long RunBlockByTheBook(const std::vector<uint8_t>& b, std::vector<int16_t>& out, size_t capacity, int step) {
    if (b.size() < 10) return -1;
    const uint32_t n = b[4] | b[5] << 8 | b[6] << 16 | static_cast<uint32_t>(b[7]) << 24;
    int32_t p = static_cast<int16_t>(b[8] | b[9] << 8);
    size_t pos = 10, w = 0;
    auto put = [&](int32_t v) {
        if (w >= capacity) return false;
        out[w++ * step] = static_cast<int16_t>(v);
        return true;
    };
    if (!put(p)) return -1;
    for (uint32_t i = 0; i < n; ++i) {
        if (n >= 300 && i == n - 300) p = 0;
        if (pos >= b.size()) return -1;
        const uint8_t b0 = b[pos];
        if (b0 & 1) {
            const int v = b0 >> 1;
            if (v & 0x40) p = ((v & 0x3F) - ((v & 0x20) ? 64 : 0)) * 1024;
            else p = static_cast<int16_t>(p + RunDeltaTable()[v]);
            if (!put(p)) return -1;
            pos += 1;
        } else {
            if (pos + 1 >= b.size()) return -1;
            const int run = RunLengthTable()[(b0 >> 1) & 7];
            const int32_t target = static_cast<int16_t>((b[pos + 1] * 256 + b0) & 0xFFF0);
            const float stepSize = static_cast<float>(target - p) / static_cast<float>(run);
            float x = static_cast<float>(p);
            for (int k = 0; k < run; ++k) {
                x = x + stepSize;
                if (!put(static_cast<int32_t>(std::clamp(std::trunc(x), -32768.0f, 32767.0f)))) return -1;
            }
            p = target;
            pos += 2;
        }
    }
    return static_cast<long>(w);
}

// Codes of every kind: deltas, absolute values, ramps of every length
// towards anywhere (the far ones overshoot and clamp).
std::vector<uint8_t> RandomCodes(size_t count, uint32_t seed) {
    std::vector<uint8_t> c;
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const uint8_t r = static_cast<uint8_t>(seed >> 24), r2 = static_cast<uint8_t>(seed >> 16);
        if ((r & 7) == 0) {
            c.push_back(static_cast<uint8_t>(r2 & 0xFE));
            c.push_back(static_cast<uint8_t>(seed >> 8));
        } else {
            c.push_back(static_cast<uint8_t>(r2 | 1));
        }
    }
    return c;
}

TEST(RunCoding, AgreesWithTheObviousDecoderOnRandomStreams) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        const auto codes = RandomCodes(seed * 97, seed);
        size_t count = 0;  // codes in the stream
        for (size_t pos = 0; pos < codes.size(); pos += (codes[pos] & 1) ? 1 : 2) ++count;
        for (uint32_t n : {static_cast<uint32_t>(count), static_cast<uint32_t>(count + 1), 299u, 300u, 301u}) {
            const auto block = Block(n, static_cast<int16_t>(seed * 4001), codes);
            // Room for everything, then too little (the cut is reported).
            for (size_t capacity : {size_t{40000}, size_t{seed * 50}}) {
                for (int step : {1, 2}) {
                    std::vector<int16_t> want(capacity * step, 0x5555), got(want);
                    const long w = RunBlockByTheBook(block, want, capacity, step);
                    const long g = DecodeRunBlock(block.data(), block.size(), got.data(), capacity, step);
                    ASSERT_EQ(g, w) << "seed " << seed << " n " << n << " capacity " << capacity;
                    ASSERT_EQ(got, want) << "seed " << seed << " n " << n << " capacity " << capacity;
                }
            }
        }
    }
}

TEST(ByteCoding, AgreesWithTheObviousDecoderInPieces) {
    for (int channels : {1, 2}) {
        for (int scale : {1, 7, 255}) {
            std::vector<uint8_t> coded(6001 * channels);
            uint32_t seed = static_cast<uint32_t>(scale * 31 + channels);
            for (auto& c : coded) {
                seed = seed * 1664525u + 1013904223u;
                c = static_cast<uint8_t>(seed >> 24);
            }
            const size_t frames = coded.size() / channels;
            std::vector<int16_t> want(coded.size());
            int32_t p[2] = {-7, 12345};
            for (size_t i = 0; i < coded.size(); ++i) {
                const uint8_t v = coded[i];
                int32_t& q = p[i % channels];
                if (v & 0x80) q = ((v & 0x7F) - ((v & 0x40) ? 128 : 0)) * 512;
                else q = static_cast<int16_t>(static_cast<uint16_t>(q + scale * ByteDeltaTable()[v]));
                want[i] = static_cast<int16_t>(q);
            }
            // Decoded in two calls, the predictors carrying over.
            std::vector<int16_t> got(coded.size());
            int16_t pred[2] = {-7, 12345};
            const size_t first = frames / 3;
            DecodeByteCoded(coded.data(), first, channels, scale, pred, got.data());
            DecodeByteCoded(coded.data() + first * channels, frames - first, channels, scale, pred,
                            got.data() + first * channels);
            ASSERT_EQ(got, want) << channels << " channels, scale " << scale;
            EXPECT_EQ(pred[channels - 1], want.back());
        }
    }
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
