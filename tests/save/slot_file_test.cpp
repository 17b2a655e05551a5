// The slot file layout against a reader written from the layout table, the
// header text and the thumbnail scale. The engine test checks every block
// of a real save; this one the byte order and the file's last corners.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "data/encoding.h"
#include "save/slot_file.h"
#include "save/slot_reader.h"

using namespace velmora;

namespace {

std::tm When(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

}  // namespace

TEST(SlotFile, EveryBlockLandsAtItsOffset) {
    auto im = std::make_unique<SlotImage>();
    std::memset(im.get(), 0, sizeof *im);
    std::strcpy(im->header, "head");
    std::strcpy(im->comment, "Quick Save");
    im->F[1023 / 8] = 0x80;
    im->reserved[1023] = 0x5A;
    im->V[0] = -1;
    im->V[999] = 0x12345678;
    im->S[199] = -7;
    im->readMarks[80000 / 8] = 1;
    im->T[9999 / 8] = 0x80;
    im->stepper[0] = 3;
    im->stepper[63] = 99;
    std::strcpy(im->backlog[199], "last line");
    std::strcpy(im->line, "the line");
    std::strcpy(im->names.callStack[8], "deep");
    std::strcpy(im->names.currentScript, "cur");
    std::strcpy(im->names.lastLoadedScript, "last");
    std::strcpy(im->names.background, "BG01");
    std::strcpy(im->names.sprites, "CH01,CH02");
    std::strcpy(im->names.loopSound, "LOOP");
    std::strcpy(im->names.lastVoice, "V001");
    std::strcpy(im->names.speaker, "speaker");
    std::strcpy(im->strings[9], "title");
    im->pageText[19][99] = 0x41;
    im->pageAttributes[19][99] = 0x42;
    std::strcpy(im->historyText[19], "page 19");
    im->historyS023[19] = 23;
    std::strcpy(im->historyPictures[19], "BG01,CH01");
    std::strcpy(im->historyVoices[19], "V001 V002 ");
    im->historyMode[19] = 1;
    im->thumbnail[119][159 * 3 + 2] = 0xEE;

    test::SlotReader r;
    r.b.assign(kSlotFileSize, 0xCC);
    EncodeSlot(*im, r.b.data());
    ASSERT_TRUE(r.Ok());
    // The integer blocks are little-endian at their offsets, the texts in place.
    EXPECT_EQ(r.V(999), 0x12345678);
    EXPECT_EQ(r.b[1280 + 3996], 0x78);
    EXPECT_EQ(r.S(199), -7);
    EXPECT_EQ(r.Stepper(63), 99);
    EXPECT_EQ(r.HistoryS023(19), 23);
    EXPECT_EQ(r.HistoryMode(19), 1);
    EXPECT_EQ(r.CallName(8), "deep");
    EXPECT_EQ(r.Speaker(), "speaker");
    EXPECT_EQ(r.HistoryVoices(19), "V001 V002 ");
    EXPECT_EQ(r.Thumb(159, 119)[2], 0xEE);
    // Nothing is left unwritten.
    for (size_t i = 0; i < r.b.size(); ++i) ASSERT_NE(r.b[i], 0xCC) << i;

    auto back = std::make_unique<SlotImage>();
    ASSERT_TRUE(DecodeSlot(r.b.data(), r.b.size(), *back));
    EXPECT_EQ(std::memcmp(back.get(), im.get(), sizeof *im), 0);
    // Any other size is refused without touching the image.
    back->V[0] = 5;
    EXPECT_FALSE(DecodeSlot(r.b.data(), r.b.size() - 1, *back));
    EXPECT_FALSE(DecodeSlot(r.b.data(), r.b.size() + 1, *back));
    EXPECT_EQ(back->V[0], 5);
}

TEST(SlotFile, HeaderTextWithTitleAndMap) {
    char h[96];
    std::string title = ToCp932("第一話");
    MakeSlotHeader(h, When(2024, 3, 5, 7, 8, 9), title.c_str(), false);
    EXPECT_EQ(std::string(h), "2024/03/05 07:08:09  " + title);
    MakeSlotHeader(h, When(2024, 3, 5, 7, 8, 9), title.c_str(), true);
    EXPECT_EQ(std::string(h), "2024/03/05 07:08:09  " + title + "(Map)");
    EXPECT_EQ(h[94], 0);
    EXPECT_EQ(h[95], 0);
}

TEST(SlotFile, LongHeaderIsCutAtACharacterBoundaryBeforeByte94) {
    char h[96];
    // 21 bytes of time, then two-byte characters: 36 of them reach byte 93,
    // so a cut must fall between characters.
    std::string title;
    for (int i = 0; i < 40; ++i) title += ToCp932("あ");
    MakeSlotHeader(h, When(2024, 3, 5, 7, 8, 9), title.c_str(), false);
    std::string text(h);
    EXPECT_EQ(text.size(), 21u + 72u);  // 93 bytes: the 37th character would end at byte 94
    EXPECT_EQ(h[94], 0);
    MakeSlotHeader(h, When(2024, 3, 5, 7, 8, 9), title.c_str(), true);
    text = h;
    ASSERT_GE(text.size(), 5u);
    EXPECT_LE(text.size(), 94u);
    EXPECT_EQ(text.substr(text.size() - 5), "(Map)");
    EXPECT_EQ(text.size(), 21u + 68u + 5u);
    // A one-byte title fills to exactly 94 bytes.
    std::string ascii(100, 'x');
    MakeSlotHeader(h, When(2024, 3, 5, 7, 8, 9), ascii.c_str(), true);
    EXPECT_EQ(std::strlen(h), 94u);
    EXPECT_EQ(h[94], 0);
    EXPECT_EQ(h[95], 0);
}

TEST(SlotFile, ThumbnailAveragesFiveByFiveBlocks) {
    Picture p;
    p.Resize(800, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            uint8_t* q = p.Pixel(x, y);
            q[0] = static_cast<uint8_t>((x % 5) * 5 + y % 5);  // 0 ... 24 in each block: mean 12
            q[1] = static_cast<uint8_t>(x / 5);
            q[2] = static_cast<uint8_t>(y / 5);
        }
    p.Pixel(799, 599)[0] = 255;  // 24 -> 255 raises the last block's mean by 231 / 25
    uint8_t t[120][480];
    ScaleThumbnail(p, t);
    EXPECT_EQ(t[0][0], 12);
    EXPECT_EQ(t[60][70 * 3 + 1], 70);
    EXPECT_EQ(t[60][70 * 3 + 2], 60);
    EXPECT_EQ(t[119][159 * 3], 21);  // (300 + 231) / 25 = 21.24
}

TEST(SlotFile, ThumbnailOfOtherSizesKeepsFlatColoursAndEmptyIsBlack) {
    Picture p;
    p.Resize(7, 3);
    for (size_t i = 0; i < p.bytes.size(); i += 3) p.bytes[i] = 10, p.bytes[i + 1] = 200, p.bytes[i + 2] = 255;
    uint8_t t[120][480];
    ScaleThumbnail(p, t);
    for (int y = 0; y < 120; y += 17)
        for (int x = 0; x < 160; x += 13) {
            EXPECT_EQ(t[y][x * 3], 10);
            EXPECT_EQ(t[y][x * 3 + 1], 200);
            EXPECT_EQ(t[y][x * 3 + 2], 255);
        }
    Picture none;
    ScaleThumbnail(none, t);
    EXPECT_EQ(t[50][50], 0);
}
