#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <sys/resource.h>

#include "app/engine.h"
#include "gfx/image_files.h"
#include "gfx/picture_cache.h"
#include "support/test_game.h"
#include "support/trace_capture.h"
#include "tools/picture_encoder.h"

using namespace velmora;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Header(int w, int h, uint8_t flags, size_t packed, size_t intermediate = 0, uint8_t bpp = 3) {
    Bytes b(16, 0);
    b[2] = flags;
    b[3] = bpp;
    for (int k = 0; k < 4; ++k) {
        b[4 + k] = static_cast<uint8_t>(packed >> (8 * k));
        b[8 + k] = static_cast<uint8_t>(intermediate >> (8 * k));
    }
    b[12] = static_cast<uint8_t>(w);
    b[13] = static_cast<uint8_t>(w >> 8);
    b[14] = static_cast<uint8_t>(h);
    b[15] = static_cast<uint8_t>(h >> 8);
    return b;
}

Bytes Entry(int w, int h, uint8_t flags, const Bytes& data, size_t intermediate = 0) {
    Bytes e = Header(w, h, flags, data.size(), intermediate);
    e.insert(e.end(), data.begin(), data.end());
    return e;
}

Bytes Dict(const Bytes& in, size_t target, bool* ok = nullptr, size_t* used = nullptr) {
    Bytes out(target, 0xCD);
    bool r = DictionaryDecode(in.data(), in.size(), out.data(), target, used);
    if (ok) *ok = r;
    return out;
}

Bytes EncodeJpeg(int w, int h) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(w * 3);
    for (int x = 0; x < w; ++x) {
        row[x * 3] = 240;  // red
        row[x * 3 + 1] = 20;
        row[x * 3 + 2] = 30;
    }
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

Picture Filled(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    Picture p;
    p.Resize(w, h);
    for (size_t i = 0; i < p.bytes.size(); i += 3) {
        p.bytes[i] = b;
        p.bytes[i + 1] = g;
        p.bytes[i + 2] = r;
    }
    return p;
}

Bytes Packed(const Picture& p) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(tools::EncodePackedPicture(p, {}, out, error)) << error;
    return out;
}

}  // namespace

TEST(PackedDictionary, MatchesRepeatAndReachBackByTheirDistance) {
    // Literal 'A', then a match at distance 1 of length 18: all copies of
    // the previous byte.
    {
        Bytes out = Dict({0x40, 'A', 0x80, 0x0F}, 19);
        EXPECT_EQ(out, Bytes(19, 'A'));
    }
    // A short match (distance 2, length 4) over an overlapping pair, and a
    // middle match (distance 2, length 3 + 2).
    {
        Bytes out = Dict({0x30, 'x', 'y', (1 << 2) | 2, 0x80, 0x12}, 11);
        EXPECT_EQ(std::string(out.begin(), out.end()), "xyxyxyxyxyx");
    }
    // A literal run of 9: code 3.
    {
        Bytes in = {0x80, 0x03, '1', '2', '3', '4', '5', '6', '7', '8', '9'};
        Bytes out = Dict(in, 9);
        EXPECT_EQ(std::string(out.begin(), out.end()), "123456789");
    }
    // The long match's special lengths.
    for (auto [c, len] : {std::pair{0xFF, 4096}, {0xFE, 1024}, {0xFD, 256}, {0xFC, 255}}) {
        Bytes out = Dict({0x40, 'z', 0xC0, 0x00, static_cast<uint8_t>(c)}, 1 + len);
        EXPECT_EQ(out, Bytes(1 + len, 'z')) << len;
    }
}

TEST(PackedDictionary, FlagByteFollowsTheEighthItemEvenAtTheEnd) {
    // Eight literals fill the target; the reader still takes the next byte
    // as a flag byte. A ninth item needs the second flag byte.
    Bytes eight = {0x00, 1, 2, 3, 4, 5, 6, 7, 8, 0x00};
    size_t used = 0;
    bool ok = false;
    Bytes out = Dict(eight, 8, &ok, &used);
    EXPECT_TRUE(ok);
    EXPECT_EQ(used, 10u);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    Bytes nine = {0x00, 1, 2, 3, 4, 5, 6, 7, 8, 0x80, 0x00};  // then a short match of 2
    out = Dict(nine, 10, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(out[8], 8);
    EXPECT_EQ(out[9], 8);
}

TEST(PackedDictionary, MalformedStreamsAreRefused) {
    bool ok = true;
    Dict({0x00, 1, 2}, 5, &ok);  // ends early
    EXPECT_FALSE(ok);
    Dict({0x80, 0x04}, 4, &ok);  // distance 2 with nothing written
    EXPECT_FALSE(ok);
    Dict({0x80, 0x7F, 1, 2}, 40, &ok);  // literal run of 40 with 2 bytes
    EXPECT_FALSE(ok);
    Dict({}, 1, &ok);
    EXPECT_FALSE(ok);
    Dict({0x80, 0xC5}, 3, &ok);  // long code cut short
    EXPECT_FALSE(ok);
}

TEST(PackedStages, RunRepeatsUnitsAndCutsTheLastRepeat) {
    // Unit 3, count 4: one colour over four pixels; then unit 4 with a
    // count that overruns the target and is cut to one whole unit, and the
    // last two bytes copied.
    Bytes in = {0x80 | (2 << 5), 3, 10, 20, 30, 0x80 | (3 << 5), 9, 1, 2, 3, 4, 0x01, 7, 8};
    Bytes out(18, 0);
    size_t used = 0;
    ASSERT_TRUE(RunDecode(in.data(), in.size(), out.data(), out.size(), &used));
    EXPECT_EQ(used, in.size());
    EXPECT_EQ(out, (Bytes{10, 20, 30, 10, 20, 30, 10, 20, 30, 10, 20, 30, 1, 2, 3, 4, 7, 8}));
    // A repeat that ends the input.
    Bytes cut = {0x80, 0x02};
    EXPECT_FALSE(RunDecode(cut.data(), cut.size(), out.data(), 4));
}

TEST(PackedStages, DeltaRunsAcrossRowEnds) {
    // Two rows of one pixel: the second pixel adds to the first, channel by
    // channel, modulo 256.
    Bytes raw = {10, 200, 3, 5, 100, 255};
    DeltaDecode(raw.data(), raw.size());
    EXPECT_EQ(raw, (Bytes{10, 200, 3, 15, 44, 2}));
    // Through the whole decoder: a 1 x 2 picture with the delta stage.
    Bytes data = {0x00, 10, 200, 3, 5, 100, 255, 0x00};
    Picture p;
    ASSERT_TRUE(DecodePackedPicture(Entry(1, 2, kPackedDeltaStage, data).data(), 24, p));
    EXPECT_EQ(p.Pixel(0, 1)[1], 44);
}

TEST(PackedPicture, AllStagesTogether) {
    // 2 x 1 picture: run stage makes 6 bytes from a unit-3 repeat, delta
    // then sums them: pixel 1 = 2 x pixel 0.
    Bytes run = {0x80 | (2 << 5), 1, 1, 2, 3};
    Bytes dict = {0x00, 0x80 | (2 << 5), 1, 1, 2, 3, 0x00};
    Picture p;
    Bytes e = Entry(2, 1, kPackedRunStage | kPackedDeltaStage, dict, run.size());
    ASSERT_TRUE(DecodePackedPicture(e.data(), e.size(), p));
    EXPECT_EQ(p.bytes, (Bytes{1, 2, 3, 2, 4, 6}));
}

TEST(PackedPicture, MalformedEntriesLeaveThePictureAlone) {
    const Picture before = Filled(3, 2, 9, 8, 7);
    Bytes good = Packed(Filled(4, 4, 1, 2, 3));
    std::vector<Bytes> bad;
    bad.push_back(Bytes(good.begin(), good.begin() + 10));           // no full header
    Bytes bpp = good;
    bpp[3] = 4;
    bad.push_back(bpp);
    bad.push_back(Entry(20000, 2, 0, {0x00, 1}));                    // absurd size
    bad.push_back(Entry(4, 4, 0, {0x00, 1, 2, 3}));                  // ends early
    bad.push_back(Entry(4, 4, 0, {0x80, 0x7C}));                     // reaches before the start
    bad.push_back(Entry(4, 4, kPackedRunStage, {0x00, 0x00}, 1));    // run stage short of input
    bad.push_back(Entry(4, 4, kPackedRunStage, {0x00, 0x00}, 1u << 30));  // intermediate absurd
    bad.push_back(Entry(4, 4, kPackedRunStage, Bytes(2000, 0), 48 * 3 + 257));  // more than a run stage reads
    for (size_t i = 0; i < bad.size(); ++i) {
        Picture p = before;
        EXPECT_FALSE(DecodePackedPicture(bad[i].data(), bad[i].size(), p)) << i;
        EXPECT_EQ(p.width, 3) << i;
        EXPECT_EQ(p.bytes, before.bytes) << i;
    }
    // A picture of the size the entry claims is decoded into in place: a
    // damaged entry must leave it alone all the same.
    const Picture same = Filled(4, 4, 9, 8, 7);
    for (size_t i = 0; i < bad.size(); ++i) {
        Picture p = same;
        EXPECT_FALSE(DecodePackedPicture(bad[i].data(), bad[i].size(), p)) << i;
        EXPECT_EQ(p.bytes, same.bytes) << i;
    }
    // Every truncation of a real entry is refused without reading outside
    // it (run under AddressSanitizer).
    for (size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + n);
        Picture p = before;
        DecodePackedPicture(cut.data(), cut.size(), p);
    }
}

namespace {

// A dictionary stream of literal items alone.
Bytes Literals(const Bytes& raw) {
    Bytes out;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (i % 8 == 0) out.push_back(0x00);
        out.push_back(raw[i]);
    }
    out.push_back(0x00);
    return out;
}

}  // namespace

TEST(PackedPicture, LastItemsPastTheTargetAreCutNotRefused) {
    // Dictionary: a last match of 4096 into 99 bytes, and a last literal run
    // of 9 of which three are wanted and only those are present.
    bool ok = false;
    EXPECT_EQ(Dict({0x40, 'a', 0xC0, 0x00, 0xFF}, 100, &ok), Bytes(100, 'a'));
    EXPECT_TRUE(ok);
    EXPECT_EQ(Dict({0x80, 0x03, 'a', 'b', 'c'}, 3, &ok), (Bytes{'a', 'b', 'c'}));
    EXPECT_TRUE(ok);
    // Run stage: a last copy of six bytes into four.
    Bytes over = {0x05, 1, 2, 3, 4, 5, 6};
    Bytes out(4, 0);
    ASSERT_TRUE(RunDecode(over.data(), over.size(), out.data(), 4));
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4}));
    // Both through the whole decoder.
    Picture p;
    Bytes e = Entry(2, 1, 0, {0x40, 7, 0xC0, 0x00, 0xFF});
    ASSERT_TRUE(DecodePackedPicture(e.data(), e.size(), p));
    EXPECT_EQ(p.bytes, Bytes(6, 7));
    e = Entry(1, 1, kPackedRunStage, Literals(over), over.size());
    ASSERT_TRUE(DecodePackedPicture(e.data(), e.size(), p));
    EXPECT_EQ(p.bytes, (Bytes{1, 2, 3}));
}

TEST(PackedPicture, RunStreamsOfSingleBytesDecode) {
    // 4 x 4 pixels as one-byte copies (twice the raw size) and as one-byte
    // repeats of count 1 (three times): both are well-formed run streams.
    Picture want = Filled(4, 4, 0, 0, 0);
    for (size_t i = 0; i < want.bytes.size(); ++i) want.bytes[i] = static_cast<uint8_t>(i * 37);
    Bytes copies, repeats;
    for (uint8_t b : want.bytes) {
        copies.insert(copies.end(), {0x00, b});
        repeats.insert(repeats.end(), {0x80, 0x00, b});
    }
    for (const Bytes* run : {&copies, &repeats}) {
        Picture p;
        Bytes e = Entry(4, 4, kPackedRunStage, Literals(*run), run->size());
        ASSERT_TRUE(DecodePackedPicture(e.data(), e.size(), p)) << run->size();
        EXPECT_EQ(p.bytes, want.bytes);
    }
}

TEST(PackedPicture, TheHeadersPackedSizeGovernsTheRead) {
    // An entry shorter than its header's packed size gives what it holds: a
    // cut byte the stream does not need costs nothing, cut pixels are refused.
    Bytes e = Entry(1, 1, 0, {0x00, 4, 5, 6, 0x00});
    Picture p;
    ASSERT_TRUE(DecodePackedPicture(e.data(), e.size() - 1, p));
    EXPECT_EQ(p.bytes, (Bytes{4, 5, 6}));
    EXPECT_FALSE(DecodePackedPicture(e.data(), e.size() - 2, p));
    // The engine reads past the index's size of the entry: here the index
    // gives the first entry the header and half its data, the rest being
    // the next entry's bytes.
    Picture big = Filled(40, 30, 0, 0, 0);
    for (size_t i = 0; i < big.bytes.size(); ++i) big.bytes[i] = static_cast<uint8_t>(i * 7919 >> 3);
    Bytes whole = Packed(big);
    test::TestGame game;
    game.Script("main", "; nothing\n");
    game.Entry("vk_gra.vrk", "HEAD", Bytes(whole.begin(), whole.begin() + whole.size() / 2));
    game.Entry("vk_gra.vrk", "TAIL", Bytes(whole.begin() + whole.size() / 2, whole.end()));
    game.Build();
    test::HeadlessEngine engine(game.path());
    Picture q;
    ASSERT_TRUE(LoadPicture(*engine.f, "head", q));
    EXPECT_EQ(q.bytes, big.bytes);
}

TEST(PackedPicture, ATallPictureLoadsUnderTheMemoryCap) {
    // 800 x 17000 (41 MB) of one colour: three literals, then matches of
    // 4096 at distance 3.
    const int w = 800, h = 17000;
    const size_t raw = size_t{w} * h * 3;
    Bytes data;
    size_t made = 0;
    int items = 0;
    size_t flagAt = 0;
    auto item = [&](bool code) {
        if (items % 8 == 0) {
            flagAt = data.size();
            data.push_back(0);
        }
        if (code) data[flagAt] |= static_cast<uint8_t>(0x80 >> (items % 8));
        ++items;
    };
    for (uint8_t b : {10, 20, 30}) {
        item(false);
        data.push_back(b);
        ++made;
    }
    while (made < raw) {
        item(true);
        data.insert(data.end(), {0xC0, 0x02, 0xFF});
        made += 4096;
    }
    data.push_back(0);
    test::TestGame game;
    game.Script("main", "; nothing\n");
    game.Entry("vk_gra.vrk", "TALL", Entry(w, h, 0, data));
    game.Build();
    test::HeadlessEngine engine(game.path());
    Picture p;
    ASSERT_TRUE(LoadPicture(*engine.f, "tall", p));
    ASSERT_EQ(p.height, h);
    EXPECT_EQ(p.Pixel(w - 1, h - 1)[2], 30);
}

namespace {
long PeakKilobytes() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}
}  // namespace

TEST(PackedPicture, AHugeClaimOnAShortEntryAllocatesNothing) {
    // 23 KB of real packed data under a header claiming the largest side:
    // the data cannot make that picture, so no buffer of that size appears.
    Picture small = Filled(100, 80, 3, 2, 1);
    for (size_t i = 0; i < small.bytes.size(); ++i) small.bytes[i] = static_cast<uint8_t>(i * 7919 >> 3);
    Bytes e = Packed(small);
    e[12] = e[14] = 0x00;
    e[13] = e[15] = 0x40;  // 16384 x 16384
    Bytes inside = e;
    inside[13] = inside[15] = 0x10;  // 4096 x 4096, within the memory cap
    const long before = PeakKilobytes();
    for (const Bytes* claim : {&e, &inside}) {
        Picture p;
        EXPECT_FALSE(DecodePackedPicture(claim->data(), claim->size(), p));
        EXPECT_TRUE(p.Empty());
    }
    EXPECT_LT(PeakKilobytes() - before, 16 * 1024);
    // Pictures that the data does make still decode, at any stage mix.
    for (bool run : {false, true}) {
        tools::PictureEncodeOptions o;
        o.allowRun = run;
        Bytes good;
        std::string error;
        ASSERT_TRUE(tools::EncodePackedPicture(small, o, good, error)) << error;
        Picture p;
        ASSERT_TRUE(DecodePackedPicture(good.data(), good.size(), p));
        EXPECT_EQ(p.bytes, small.bytes);
    }
}

TEST(PackedPicture, AReloadHoldsNoMoreThanThePictureItReplaces) {
    // The decoder makes the new picture beside the old one and then lets
    // the old one go: nothing of it is kept afterwards, whatever the sizes.
    Picture p = Filled(64, 48, 0, 0, 0);
    for (int w : {64, 32, 100}) {
        Bytes e = Packed(Filled(w, 48, 5, 6, 7));
        const size_t before = pictureBytesHeld.load();
        const size_t old = p.bytes.capacity();
        ASSERT_TRUE(DecodePackedPicture(e.data(), e.size(), p));
        EXPECT_EQ(pictureBytesHeld.load(), before - old + static_cast<size_t>(w) * 48 * 3) << w;
        EXPECT_EQ(p.bytes.capacity(), p.bytes.size());
        EXPECT_EQ(p.Pixel(w - 1, 47)[2], 7);
    }
}

TEST(JpegPicture, DecodesIntoBlueGreenRedAndRefusesDamage) {
    Bytes jpeg = EncodeJpeg(17, 9);
    Picture p = Filled(2, 2, 1, 1, 1);
    ASSERT_TRUE(DecodeJpegPicture(jpeg.data(), jpeg.size(), p));
    EXPECT_EQ(p.width, 17);
    EXPECT_EQ(p.height, 9);
    EXPECT_NEAR(p.Pixel(8, 4)[2], 240, 6);  // red is the third byte
    EXPECT_NEAR(p.Pixel(8, 4)[0], 30, 6);
    const Picture before = Filled(2, 2, 1, 1, 1);
    for (size_t n : {size_t{0}, size_t{2}, size_t{20}, jpeg.size() / 3}) {
        Picture q = before;
        EXPECT_FALSE(DecodeJpegPicture(jpeg.data(), n, q)) << n;
        EXPECT_EQ(q.width, 2);
        EXPECT_EQ(q.bytes, before.bytes);
    }
    Bytes garbage(500, 0x55);
    Picture q = before;
    EXPECT_FALSE(DecodeJpegPicture(garbage.data(), garbage.size(), q));
    EXPECT_EQ(q.bytes, before.bytes);
}

TEST(LoadPicture, LooksInTheJpegVolumeThenTheLastPictureVolumeFirst) {
    test::TestGame game;
    game.Script("main", "; nothing\n");
    game.Entry("vk_gra.vrk", "BOTH", Packed(Filled(2, 2, 1, 1, 1)));
    game.Entry("vk_gra.vrk", "ONLY1", Packed(Filled(2, 2, 2, 2, 2)));
    game.Entry("vk_gra.vrk", "GRA3", Packed(Filled(2, 2, 6, 6, 6)));
    game.Entry("vk_gra2.vrk", "BOTH", Packed(Filled(3, 3, 4, 4, 4)));
    game.Entry("vk_gra3.vrk", "GRA3", Packed(Filled(2, 2, 3, 3, 3)));
    game.Entry("vk_gra3.vrk", "PHOTO", Packed(Filled(2, 2, 3, 3, 3)));
    game.Entry("vk_gjp.vrk", "PHOTO", EncodeJpeg(16, 8));
    game.Entry("vk_gra.vrk", "BROKEN", Entry(4, 4, 0, {0x00, 1}));
    game.Build();
    test::HeadlessEngine e(game.path());
    TForm1& f = *e.f;
    Picture p;
    ASSERT_TRUE(LoadPicture(f, "photo", p));  // lower case finds PHOTO
    EXPECT_EQ(p.width, 16);
    ASSERT_TRUE(LoadPicture(f, "Gra3", p));
    EXPECT_EQ(p.bytes[0], 3);
    ASSERT_TRUE(LoadPicture(f, "both", p));
    EXPECT_EQ(p.width, 3);
    ASSERT_TRUE(LoadPicture(f, "only1", p));
    EXPECT_EQ(p.bytes[0], 2);
    EXPECT_TRUE(PictureExists(f, "Only1"));
    EXPECT_FALSE(PictureExists(f, "nothing"));
    EXPECT_FALSE(LoadPicture(f, "nothing", p));
    {
        // A damaged entry is told once, however often a script asks for it.
        test::TraceCapture trace;
        for (int i = 0; i < 5; ++i) EXPECT_FALSE(LoadPicture(f, "broken", p));
        EXPECT_EQ(trace.Count("picture BROKEN"), 2) << trace.Text();  // the fault and the refusal
    }
    EXPECT_EQ(p.width, 2);
    EXPECT_EQ(p.bytes[0], 2);
}

TEST(PictureMemory, EveryPictureCopyIsCountedUntilItIsFreed) {
    const size_t start = pictureBytesHeld.load();
    {
        Picture a;
        a.Resize(100, 10);
        EXPECT_EQ(pictureBytesHeld.load() - start, 3000u);
        Picture b = a;
        EXPECT_EQ(pictureBytesHeld.load() - start, 6000u);
        Picture c = std::move(b);
        EXPECT_EQ(pictureBytesHeld.load() - start, 6000u);
        a.Resize(0, 0);  // the storage is kept, and so still counted
        EXPECT_EQ(pictureBytesHeld.load() - start, 6000u);
        a = Picture();
        EXPECT_EQ(pictureBytesHeld.load() - start, 3000u);
        EXPECT_GE(pictureBytesPeak.load(), pictureBytesHeld.load());
    }
    EXPECT_EQ(pictureBytesHeld.load(), start);
}

TEST(PictureMemory, LoadsStayUnderTheCapAndARefusalIsToldOnce) {
    test::TestGame game;
    game.Script("main", "; nothing\n");
    // 256 x 256 is 192 KiB a picture.
    const Bytes big = Packed(Filled(256, 256, 9, 9, 9));
    for (int i = 0; i < 10; ++i) game.Entry("vk_gra.vrk", "BIG" + std::to_string(i), big);
    game.Entry("vk_gra.vrk", "SPA", big);
    game.Entry("vk_gra.vrk", "SPB", big);
    game.Entry("vk_gjp.vrk", "PHOTO", EncodeJpeg(256, 256));
    game.Build();
    test::HeadlessEngine e(game.path());
    TForm1& f = *e.f;
    const size_t one = 256 * 256 * 3;
    {
        unsigned w = 0, h = 0;
        const Bytes jpeg = EncodeJpeg(300, 40);
        ASSERT_TRUE(ClaimedPictureSize(jpeg.data(), jpeg.size(), true, w, h));
        EXPECT_EQ(w, 300u);
        EXPECT_EQ(h, 40u);
        EXPECT_FALSE(ClaimedPictureSize(big.data(), big.size(), true, w, h));
    }
    f.gfx.pictureMemoryCap = pictureBytesHeld.load() + 4 * one + one / 2;
    std::vector<Picture> held(10);
    test::TraceCapture trace;
    int loaded = 0;
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 10; ++i) {
            if (LoadPicture(f, "big" + std::to_string(i), held[i])) ++loaded;
            EXPECT_LE(pictureBytesHeld.load(), f.gfx.pictureMemoryCap);
        }
    // The first four fit; they load again into their own storage, the rest
    // never do, and each refusal is told once however often it is asked for.
    EXPECT_EQ(loaded, 3 * 4);
    for (int i = 4; i < 10; ++i) EXPECT_EQ(trace.Count("picture BIG" + std::to_string(i) + ":"), 1) << trace.Text();
    EXPECT_EQ(trace.Count("refused"), 6);
    EXPECT_TRUE(held[9].Empty());
    // Past the cap, a picture that fits the storage it has still loads: it
    // adds nothing.
    const size_t cap = f.gfx.pictureMemoryCap;
    f.gfx.pictureMemoryCap = pictureBytesHeld.load() - 1;
    EXPECT_TRUE(LoadPicture(f, "big1", held[1]));
    EXPECT_FALSE(LoadPicture(f, "big5", held[5]));
    f.gfx.pictureMemoryCap = cap;
    Picture photo;
    EXPECT_FALSE(LoadPicture(f, "photo", photo));
    EXPECT_EQ(trace.Count("picture PHOTO: 256x256"), 1) << trace.Text();

    // Letting go of a picture makes room again: the refusal is not kept.
    held[0] = Picture();
    EXPECT_TRUE(LoadPicture(f, "photo", photo));
    EXPECT_EQ(photo.width, 256);
}

TEST(PictureMemory, SpritesOffScreenAreLetGoBeforeAPictureIsRefused) {
    test::TestGame game;
    game.Script("main", "; nothing\n");
    const Bytes sprite = Packed(Filled(256, 256, 9, 9, 9));
    game.Entry("vk_gra.vrk", "SPA", sprite);
    game.Entry("vk_gra.vrk", "SPB", sprite);
    game.Entry("vk_gra.vrk", "SPC", sprite);
    game.Entry("vk_gra.vrk", "BACK", Packed(Filled(256, 256, 1, 2, 3)));
    game.Entry("vk_gra.vrk", "WIDE", Packed(Filled(512, 256, 1, 2, 3)));
    game.Build();
    test::HeadlessEngine e(game.path());
    TForm1& f = *e.f;
    GfxState& g = f.gfx;
    SetSprites(f, "spa,spb,spc");
    ASSERT_EQ(g.spriteCount, 3);
    SetSprites(f, "spc");
    // SPA and SPB stay cached: four sprite halves of 96 KiB. The decoded
    // pictures kept beside them are let go first and are not room enough.
    const size_t one = 256 * 256 * 3;
    g.pictureMemoryCap = pictureBytesHeld.load() - g.decoded.Bytes() + one / 2;
    ASSERT_TRUE(LoadPicture(f, "back", g.overlay));
    EXPECT_LE(pictureBytesHeld.load(), g.pictureMemoryCap);
    int cached = 0;
    for (const SpriteSlot& slot : g.spriteCache) cached += !slot.name.empty();
    EXPECT_EQ(cached, 1);
    // The sprite on screen is kept and still drawn from its slot.
    EXPECT_EQ(g.spriteCache[g.spriteSlotOf[0]].name, "SPC");
    EXPECT_EQ(g.spriteCache[g.spriteSlotOf[0]].colour.width, 128);
    // With nothing left to let go, the next picture is refused and the
    // scene keeps what it had.
    Picture more;
    EXPECT_FALSE(LoadPicture(f, "wide", more));
    EXPECT_TRUE(more.Empty());
}

namespace {

// A sprite picture: colour on the left, an opaque mask on the right.
Picture SpritePicture(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    Picture p = Filled(2 * w, h, 255, 255, 255);
    const Picture colour = Filled(w, h, b, g, r);
    CopyRect(p, 0, 0, colour, 0, 0, w, h);
    return p;
}

}  // namespace

TEST(PictureMemory, ASpritesHalvesAreHeldToTheCapAndItsLoadPictureLetsGo) {
    test::TestGame game;
    game.Script("main", "; nothing\n");
    game.Entry("vk_gra.vrk", "SPA", Packed(SpritePicture(128, 256, 1, 2, 3)));
    game.Entry("vk_gra.vrk", "SPB", Packed(SpritePicture(256, 256, 4, 5, 6)));
    game.Entry("vk_gra.vrk", "SPC", Packed(SpritePicture(128, 256, 7, 8, 9)));
    game.Build();
    test::HeadlessEngine e(game.path());
    TForm1& f = *e.f;
    GfxState& g = f.gfx;
    const size_t one = 256 * 256 * 3;
    SetSprites(f, "spa");
    EXPECT_EQ(g.spriteLoad.bytes.capacity(), 0u);  // cut, and nothing needs it
    EXPECT_EQ(g.spriteCache[g.spriteSlotOf[0]].colour.width, 128);

    // SPB's load (2 x one) fits, its halves (2 x one more) do not, and the
    // sprite on screen is not let go for them.
    g.pictureMemoryCap = pictureBytesHeld.load() + 2 * one + one / 2;
    pictureBytesPeak.store(pictureBytesHeld.load());
    {
        test::TraceCapture trace;
        SetSprites(f, "spa,spb");
        EXPECT_EQ(trace.Count("picture SPB: 256x256 would take"), 1) << trace.Text();
    }
    EXPECT_LE(pictureBytesPeak.load(), g.pictureMemoryCap);
    ASSERT_EQ(g.spriteCount, 2);
    const SpriteSlot& refused = g.spriteCache[g.spriteSlotOf[1]];
    EXPECT_EQ(refused.name, "SPB");  // known, so not loaded again at every scan
    EXPECT_TRUE(refused.colour.Empty());
    EXPECT_TRUE(refused.mask.Empty());
    EXPECT_EQ(g.spriteCache[g.spriteSlotOf[0]].colour.width, 128);
    EXPECT_EQ(g.spriteLoad.bytes.capacity(), 0u);

    // With SPA and SPB off screen, SPC's halves make room by letting them go.
    g.pictureMemoryCap = pictureBytesHeld.load() + one + one / 2;
    pictureBytesPeak.store(pictureBytesHeld.load());
    SetSprites(f, "spc");
    EXPECT_LE(pictureBytesPeak.load(), g.pictureMemoryCap);
    const SpriteSlot& shown = g.spriteCache[g.spriteSlotOf[0]];
    EXPECT_EQ(shown.name, "SPC");
    ASSERT_EQ(shown.colour.width, 128);
    EXPECT_EQ(shown.colour.bytes[0], 7);
    int cached = 0;
    for (const SpriteSlot& slot : g.spriteCache) cached += !slot.name.empty();
    EXPECT_EQ(cached, 1);
}

TEST(PictureMemory, AMissingSpriteStillShowsTheLastSpriteLoaded) {
    test::TestGame game;
    game.Script("main", "; nothing\n");
    game.Entry("vk_gra.vrk", "SPA", Packed(SpritePicture(64, 32, 10, 20, 30)));
    game.Build();
    test::HeadlessEngine e(game.path());
    TForm1& f = *e.f;
    GfxState& g = f.gfx;
    // Before any sprite was loaded there is nothing to show.
    SetSprites(f, "nosuch");
    EXPECT_TRUE(g.spriteCache[g.spriteSlotOf[0]].colour.Empty());
    SetSprites(f, "spa");
    EXPECT_EQ(g.spriteLoad.bytes.capacity(), 0u);
    test::TraceCapture trace;
    SetSprites(f, "spa,other");
    EXPECT_EQ(trace.Count("sprite OTHER: no such picture"), 1) << trace.Text();
    const SpriteSlot& slot = g.spriteCache[g.spriteSlotOf[1]];
    EXPECT_EQ(slot.name, "OTHER");
    ASSERT_EQ(slot.colour.width, 64);
    ASSERT_EQ(slot.colour.height, 32);
    EXPECT_EQ(slot.colour.bytes[0], 10);
    EXPECT_EQ(slot.colour.bytes[2], 30);
    EXPECT_EQ(slot.mask.bytes[0], 255);
    EXPECT_EQ(g.spriteLoad.bytes.capacity(), 0u);
}

namespace {

// A byte-at-a-time dictionary stream of random literals and matches (every
// code form, distances from 1 up, lengths up to 4096), the bytes it makes
// worked out one by one beside it.
struct RandomStream {
    Bytes packed, made;
};

RandomStream MakeStream(uint32_t seed, size_t target) {
    RandomStream s;
    uint32_t r = seed;
    auto next = [&r] {
        r = r * 1103515245u + 12345u;
        return r >> 8;
    };
    size_t flagAt = 0;
    int items = 0;
    while (s.made.size() < target) {
        if (items % 8 == 0) {
            flagAt = s.packed.size();
            s.packed.push_back(0);
        }
        const size_t op = s.made.size();
        const uint32_t kind = next() % 7;
        if (op == 0 || kind < 2 || (kind == 2 && next() % 2)) {
            // A literal, or a stretch of them under a zero flag.
            const uint8_t b = static_cast<uint8_t>(next());
            s.packed.push_back(b);
            s.made.push_back(b);
        } else {
            s.packed[flagAt] |= static_cast<uint8_t>(0x80 >> (items % 8));
            size_t distance, length;
            if (kind == 3 && op >= 1) {
                distance = 1 + next() % std::min<size_t>(op, 32);
                length = 2 + next() % 4;
                s.packed.push_back(static_cast<uint8_t>((distance - 1) << 2 | (length - 2)));
                if ((length - 2) == 3) {
                    // That code is a literal run instead: nine to forty bytes.
                    s.packed.pop_back();
                    const size_t n = 9 + (distance - 1);
                    s.packed.push_back(static_cast<uint8_t>((n - 9) << 2 | 3));
                    for (size_t k = 0; k < n; ++k) {
                        const uint8_t b = static_cast<uint8_t>(next());
                        s.packed.push_back(b);
                        s.made.push_back(b);
                    }
                    ++items;
                    continue;
                }
            } else if (kind == 4) {
                distance = 1 + next() % std::min<size_t>(op, 1024);
                length = 3 + next() % 16;
                s.packed.push_back(static_cast<uint8_t>(0x80 | (distance - 1) >> 4));
                s.packed.push_back(static_cast<uint8_t>(((distance - 1) & 15) << 4 | (length - 3)));
            } else {
                distance = 1 + next() % std::min<size_t>(op, 16384);
                const uint32_t c = next() % 256;
                length = c == 255 ? 4096 : c == 254 ? 1024 : c == 253 ? 256 : c + 3;
                s.packed.push_back(static_cast<uint8_t>(0xC0 | (distance - 1) >> 8));
                s.packed.push_back(static_cast<uint8_t>(distance - 1));
                s.packed.push_back(static_cast<uint8_t>(c));
            }
            for (size_t k = 0; k < length; ++k) s.made.push_back(s.made[op - distance + k]);
        }
        ++items;
    }
    s.packed.push_back(0);
    s.made.resize(target);
    return s;
}

}  // namespace

TEST(PackedPicture, MatchesOfEveryFormCopyAsByteByByte) {
    // Overlapping and apart, short and long, near the end of the output
    // and cut by it: the decoder's copies give what byte-by-byte copying gives.
    for (uint32_t seed = 1; seed <= 40; ++seed)
        for (size_t target : {size_t{1}, size_t{17}, size_t{300}, size_t{5000}, size_t{70001}}) {
            const RandomStream s = MakeStream(seed, target);
            bool ok = false;
            size_t used = 0;
            EXPECT_EQ(Dict(s.packed, target, &ok, &used), s.made) << seed << " " << target;
            EXPECT_TRUE(ok) << seed << " " << target;
            // Cut short anywhere, the stream is refused and nothing past the target is touched.
            Bytes cut(s.packed.begin(), s.packed.begin() + used / 2);
            Dict(cut, target, &ok);
            if (used > 80) {
                EXPECT_FALSE(ok) << seed << " " << target;
            }
        }
}

namespace {

// Dictionary items written out one at a time, flag bytes included, with
// the bytes they make worked out byte by byte beside them.
struct StreamWriter {
    Bytes packed, made;
    size_t flagAt = 0;
    int items = 0;
    void Item(bool match) {
        if (items % 8 == 0) {
            flagAt = packed.size();
            packed.push_back(0);
        }
        if (match) packed[flagAt] |= static_cast<uint8_t>(0x80 >> (items % 8));
        ++items;
    }
    void Literal(uint8_t b) {
        Item(false);
        packed.push_back(b);
        made.push_back(b);
    }
    // The medium form for lengths up to 18 and distances up to 1024, the
    // long form otherwise.
    void Match(size_t distance, size_t length) {
        Item(true);
        if (length <= 18 && length >= 3 && distance <= 1024) {
            packed.push_back(static_cast<uint8_t>(0x80 | (distance - 1) >> 4));
            packed.push_back(static_cast<uint8_t>(((distance - 1) & 15) << 4 | (length - 3)));
        } else {
            const uint8_t c = length == 4096 ? 0xFF : length == 1024 ? 0xFE : length == 256 ? 0xFD
                                                                                          : static_cast<uint8_t>(length - 3);
            packed.push_back(static_cast<uint8_t>(0xC0 | (distance - 1) >> 8));
            packed.push_back(static_cast<uint8_t>(distance - 1));
            packed.push_back(c);
        }
        const size_t op = made.size();
        for (size_t k = 0; k < length; ++k) made.push_back(made[op - distance + k]);
    }
};

}  // namespace

TEST(PackedPicture, OverlappingMatchesAtEveryDistanceAndEdgeCopyAsByteByByte) {
    // Each near distance with lengths across every copy step, the match
    // ending exactly at the target, a byte or a step before it, cut by it,
    // and followed by plenty: the repeated stretch must come out as
    // copying one byte at a time makes it.
    uint32_t r = 99;
    auto next = [&r] { return static_cast<uint8_t>((r = r * 1103515245u + 12345u) >> 16); };
    for (size_t distance = 1; distance <= 40; ++distance)
        for (size_t length : {size_t{3}, size_t{4}, size_t{7}, size_t{8}, size_t{9}, size_t{15}, size_t{16},
                              size_t{17}, size_t{18}, size_t{31}, size_t{32}, size_t{33}, size_t{47}, size_t{64},
                              size_t{100}, size_t{256}, size_t{1024}})
            for (size_t after : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{40}}) {
                StreamWriter w;
                for (size_t k = 0; k < distance + 3; ++k) w.Literal(next());
                w.Match(distance, length);
                for (size_t k = 0; k < after; ++k) w.Literal(next());
                // A last match from far back, which the quick loop takes.
                if (after == 40) w.Match(distance + 20, 12);
                w.packed.push_back(0);
                for (size_t cut : {size_t{0}, size_t{1}, size_t{5}}) {
                    if (cut >= w.made.size()) continue;
                    const size_t target = w.made.size() - cut;
                    bool ok = false;
                    const Bytes want(w.made.begin(), w.made.begin() + static_cast<std::ptrdiff_t>(target));
                    EXPECT_EQ(Dict(w.packed, target, &ok), want) << distance << " " << length << " " << after << " " << cut;
                    EXPECT_TRUE(ok) << distance << " " << length << " " << after << " " << cut;
                }
            }
}

TEST(PackedPicture, LongStreamsOfNearAndFarMatchesDecodeAsByteByByte) {
    // Pictures' streams: mostly short matches from one to sixteen thousand
    // bytes back between single literals, long enough that the whole of
    // them but the end is read by the quick loop, each one checked against
    // the byte-by-byte result and refused when a match reaches before the start.
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        uint32_t r = seed;
        auto next = [&r] { return (r = r * 1103515245u + 12345u) >> 8; };
        StreamWriter w;
        for (int k = 0; k < 20; ++k) w.Literal(static_cast<uint8_t>(next()));
        while (w.made.size() < 60000) {
            const uint32_t kind = next() % 10;
            if (kind < 3) {
                w.Literal(static_cast<uint8_t>(next()));
                continue;
            }
            const size_t op = w.made.size();
            const size_t distance = kind == 3 ? 1 + next() % std::min<size_t>(op, 20)
                                              : 1 + next() % std::min<size_t>(op, kind < 6 ? 1024 : 16384);
            const size_t length = kind == 9 ? 3 + next() % 80 : 3 + next() % 16;
            w.Match(distance, length);
        }
        w.packed.push_back(0);
        bool ok = false;
        EXPECT_EQ(Dict(w.packed, w.made.size(), &ok), w.made) << seed;
        EXPECT_TRUE(ok) << seed;
        // A match reaching one byte before the start, with plenty after it.
        StreamWriter bad;
        for (int k = 0; k < 20; ++k) bad.Literal(static_cast<uint8_t>(next()));
        bad.Item(true);
        bad.packed.push_back(0x80 | (20 >> 4));
        bad.packed.push_back(static_cast<uint8_t>((20 & 15) << 4 | 2));
        for (int k = 0; k < 100; ++k) bad.Literal(static_cast<uint8_t>(next()));
        bad.packed.push_back(0);
        Dict(bad.packed, 125, &ok);
        EXPECT_FALSE(ok) << seed;
    }
}

TEST(PackedPicture, DeltaSumsRunPerChannelAcrossEveryLength) {
    // The running sums of the three channels, whatever the length and
    // wherever a vector of them ends: as one byte at a time gives them.
    Bytes noise(1000);
    uint32_t r = 7;
    for (uint8_t& b : noise) b = static_cast<uint8_t>((r = r * 1103515245u + 12345u) >> 16);
    for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{15}, size_t{16}, size_t{17}, size_t{31},
                     size_t{32}, size_t{47}, size_t{48}, size_t{49}, size_t{50}, size_t{999}, size_t{1000}}) {
        Bytes want(noise.begin(), noise.begin() + n), got = want;
        uint8_t sum[3] = {0, 0, 0};
        for (size_t i = 0; i < n; ++i) want[i] = sum[i % 3] = static_cast<uint8_t>(sum[i % 3] + want[i]);
        DeltaDecode(got.data(), got.size());
        EXPECT_EQ(got, want) << n;
    }
}

namespace {

// A picture whose every byte says where it is, so a wrong copy shows.
Picture Patterned(int w, int h, int seed) {
    Picture p;
    p.Resize(w, h);
    for (size_t i = 0; i < p.bytes.size(); ++i) p.bytes[i] = static_cast<uint8_t>(i * 7 + i / 97 + seed);
    return p;
}

}  // namespace

TEST(PictureCache, APictureThatComesBackIsTheSamePictureInAnyTarget) {
    test::TestGame game;
    game.Script("main", "; nothing\n");
    const Bytes wide = Packed(Patterned(300, 40, 1)), small = Packed(Patterned(5, 3, 2)), photo = EncodeJpeg(32, 16);
    game.Entry("vk_gra.vrk", "WIDE", wide);
    game.Entry("vk_gra2.vrk", "SMALL", small);
    game.Entry("vk_gjp.vrk", "PHOTO", photo);
    game.Build();
    test::HeadlessEngine e(game.path());
    TForm1& f = *e.f;
    Picture want[3];
    ASSERT_TRUE(DecodePackedPicture(wide.data(), wide.size(), want[0]));
    ASSERT_TRUE(DecodePackedPicture(small.data(), small.size(), want[1]));
    ASSERT_TRUE(DecodeJpegPicture(photo.data(), photo.size(), want[2]));
    const char* names[3] = {"wide", "small", "photo"};
    // Loaded in turn into one target (growing and shrinking it) and into
    // fresh ones: the second and third rounds come from what was kept.
    Picture shared;
    for (int round = 0; round < 3; ++round)
        for (int k = 0; k < 3; ++k) {
            Picture fresh;
            for (Picture* p : {&shared, &fresh}) {
                ASSERT_TRUE(LoadPicture(f, names[k], *p)) << names[k];
                EXPECT_EQ(p->width, want[k].width) << names[k] << " round " << round;
                EXPECT_EQ(p->height, want[k].height);
                EXPECT_TRUE(p->bytes == want[k].bytes) << names[k] << " round " << round;
            }
        }
    EXPECT_EQ(f.gfx.decoded.Count(), 3u);
    // What is kept is a copy: drawing into a loaded picture changes nothing kept.
    std::fill(shared.bytes.begin(), shared.bytes.end(), 0);
    ASSERT_TRUE(LoadPicture(f, "photo", shared));
    EXPECT_TRUE(shared.bytes == want[2].bytes);
}

TEST(PictureCache, KeptPicturesGiveWayToTheBudgetAndToThePicturesMemory) {
    const Picture one = Patterned(10, 100, 3);  // 3,000 bytes
    int volume = 0;
    PictureCache c(4 * 3000 + 100);
    for (int i = 0; i < 4; ++i) c.Keep(&volume, i, one, SIZE_MAX);
    EXPECT_EQ(c.Bytes(), 12000u);
    ASSERT_NE(c.Find(&volume, 0), nullptr);  // used lately: kept over entry 1
    c.Keep(&volume, 4, one, SIZE_MAX);
    EXPECT_EQ(c.Count(), 4u);
    EXPECT_EQ(c.Find(&volume, 1), nullptr);
    EXPECT_NE(c.Find(&volume, 0), nullptr);
    EXPECT_NE(c.Find(&volume, 4), nullptr);
    // More than a quarter of the budget is not kept at all.
    c.Keep(&volume, 9, Patterned(10, 101, 3), SIZE_MAX);
    EXPECT_EQ(c.Find(&volume, 9), nullptr);
    // With no room under the pictures' cap, what is held goes and nothing is added.
    c.Keep(&volume, 5, one, pictureBytesHeld.load() - c.Bytes() + 100);
    EXPECT_EQ(c.Count(), 0u);
    EXPECT_EQ(c.Bytes(), 0u);

    // In the engine: pictures kept to save decoding are let go before any
    // picture is refused for the cap, and the cap holds throughout.
    test::TestGame game;
    game.Script("main", "; nothing\n");
    for (int i = 0; i < 4; ++i) game.Entry("vk_gra.vrk", "P" + std::to_string(i), Packed(Patterned(256, 256, i)));
    game.Build();
    test::HeadlessEngine e(game.path());
    TForm1& f = *e.f;
    const size_t bytes = 256 * 256 * 3;
    Picture a, b;
    ASSERT_TRUE(LoadPicture(f, "p0", a));
    ASSERT_TRUE(LoadPicture(f, "p1", a));
    ASSERT_EQ(f.gfx.decoded.Bytes(), 2 * bytes);
    f.gfx.pictureMemoryCap = pictureBytesHeld.load() - f.gfx.decoded.Bytes() + bytes + bytes / 2;
    test::TraceCapture trace;
    ASSERT_TRUE(LoadPicture(f, "p2", b));
    EXPECT_EQ(b.bytes[5], Patterned(256, 256, 2).bytes[5]);
    EXPECT_LE(pictureBytesHeld.load(), f.gfx.pictureMemoryCap);
    EXPECT_EQ(trace.Count("refused"), 0) << trace.Text();
    // P1 was let go with the rest: it decodes again, the same picture.
    ASSERT_TRUE(LoadPicture(f, "p1", b));
    EXPECT_TRUE(b.bytes == Patterned(256, 256, 1).bytes);
    EXPECT_LE(pictureBytesHeld.load(), f.gfx.pictureMemoryCap);
}
