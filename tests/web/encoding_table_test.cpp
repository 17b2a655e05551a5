// The browser's CP932 tables convert exactly as iconv does: every character,
// and what becomes '?' in text CP932 or UTF-8 cannot carry.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <random>
#include <string>

#include "data/encoding.h"

namespace {

// The desktop build's conversion, straight from iconv.
std::string Iconv(const char* to, const char* from, const std::string& in, bool& ok) {
    std::string out;
    ok = true;
    iconv_t cd = iconv_open(to, from);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[256];
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            ok = false;
            out.push_back('?');
            ++src;
            --left;
        }
    }
    iconv_close(cd);
    return out;
}

void ExpectSame(const std::string& cp932) {
    bool iconvOk = false;
    const std::string want = Iconv("UTF-8", "CP932", cp932, iconvOk);
    std::string got;
    const bool ok = velmora::Cp932ToUtf8(cp932, got);
    ASSERT_EQ(got, want) << "bytes " << std::hex << (cp932.size() > 1 ? (unsigned char)cp932[0] * 256 + (unsigned char)cp932[1] : (unsigned char)cp932[0]);
    ASSERT_EQ(ok, iconvOk);
}

TEST(Cp932Table, EveryCharacterDecodesAsIconvDoes) {
    for (int b = 1; b < 256; ++b) ExpectSame(std::string(1, static_cast<char>(b)) + "a");
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0; trail < 256; ++trail)
            ExpectSame({static_cast<char>(lead), static_cast<char>(trail), 'x'});
}

TEST(Cp932Table, EncodingBackAgreesWithIconvForEveryCodePoint) {
    for (uint32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp < 0xE000) continue;
        std::string utf8;
        if (cp < 0x80) utf8 = {static_cast<char>(cp)};
        else if (cp < 0x800) utf8 = {static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))};
        else
            utf8 = {static_cast<char>(0xE0 | cp >> 12), static_cast<char>(0x80 | (cp >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (cp & 0x3F))};
        bool iconvOk = false;
        const std::string want = Iconv("CP932", "UTF-8", utf8, iconvOk);
        std::string got;
        const bool ok = velmora::Utf8ToCp932(utf8, got);
        ASSERT_EQ(got, want) << "U+" << std::hex << cp;
        ASSERT_EQ(ok, iconvOk) << "U+" << std::hex << cp;
    }
}

// Damaged text: stray and cut lead bytes, broken UTF-8, characters outside
// the table, embedded NULs, in random mixtures.
TEST(Cp932Table, DamagedTextBecomesWhatIconvMakesOfIt) {
    std::mt19937 rng(7);
    const std::string pieces[] = {"\x82", "\xa0", "\x82\xa0", "\x81\x40", "\xfc", "\xef\x40", "\x80",
                                  "\xfd", "a", std::string("\0", 1), "\xe0\x7f", "\x87\x40"};
    const char* utf8Pieces[] = {"あ", "\xe3\x81", "\xff", "😀", "€", "\xc0\xaf", "\xed\xa0\x80", "a", "①", "\x80"};
    for (int round = 0; round < 3000; ++round) {
        std::string s, u;
        for (int k = 0; k < 6; ++k) {
            s += pieces[rng() % std::size(pieces)];
            u += utf8Pieces[rng() % std::size(utf8Pieces)];
        }
        ExpectSame(s);
        bool iconvOk = false;
        const std::string want = Iconv("CP932", "UTF-8", u, iconvOk);
        std::string got;
        EXPECT_EQ(velmora::Utf8ToCp932(u, got), iconvOk) << u;
        ASSERT_EQ(got, want) << u;
    }
}

}  // namespace

TEST(Utf8, AppendUtf8WritesWhatIconvWritesAtEveryLength) {
    for (uint32_t cp : {0x24u, 0x7Fu, 0x80u, 0xE9u, 0x7FFu, 0x800u, 0x3042u, 0xFF5Eu, 0xFFFFu, 0x10000u, 0x1F600u,
                        0x10FFFFu}) {
        std::string utf32(reinterpret_cast<const char*>(&cp), 4);  // little-endian, as the machine
        bool ok = false;
        const std::string want = Iconv("UTF-8", "UTF-32LE", utf32, ok);
        ASSERT_TRUE(ok) << std::hex << cp;
        std::string got = "x";
        velmora::AppendUtf8(cp, got);
        EXPECT_EQ(got, "x" + want) << std::hex << cp;
    }
}
