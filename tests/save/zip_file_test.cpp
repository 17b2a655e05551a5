// The ZIP container of the save transfer: what the writer makes reads back
// byte for byte; damaged, truncated, hostile and oversized files are refused.
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "save/byte_order.h"
#include "save/zip_file.h"

using namespace velmora;

namespace {

long long AnyUpTo64K(const std::string& name) { return name == "refused.txt" ? -1 : 65536; }
long long TenBytes(const std::string&) { return 10; }

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<ZipEntry> Sample() {
    std::vector<uint8_t> binary(3000);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    return {ZipEntry{"save/", {}}, ZipEntry{"save/save01.dat", binary}, ZipEntry{"empty", {}},
            ZipEntry{"save0.dat", Bytes("global")}};
}

bool Read(const std::vector<uint8_t>& zip, std::vector<ZipEntry>& out, std::string& why,
          ZipNameLimit limit = AnyUpTo64K) {
    return ReadZip(zip.data(), zip.size(), limit, 16, out, why);
}

// A one-entry ZIP whose entry is deflated with zlib (raw stream).
std::vector<uint8_t> DeflatedZip(const std::vector<uint8_t>& plain, size_t claimedSize) {
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> packed(deflateBound(&z, plain.size()));
    z.next_in = const_cast<Bytef*>(plain.data());
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    // Written stored, then marked deflated with the plain data's CRC and size.
    std::vector<uint8_t> zip = WriteZip({ZipEntry{"data.bin", packed}}, 0, 0x21);
    const size_t central = GetLe32(zip.data() + zip.size() - 6);
    const uint32_t crc = ZipCrc32(plain.data(), plain.size());
    zip[8] = 8, zip[central + 10] = 8;
    PutLe32(zip.data() + 14, crc), PutLe32(zip.data() + central + 16, crc);
    PutLe32(zip.data() + 22, static_cast<uint32_t>(claimedSize));
    PutLe32(zip.data() + central + 24, static_cast<uint32_t>(claimedSize));
    return zip;
}

}  // namespace

TEST(ZipFile, StoredEntriesReadBackByteForByte) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(ZipCrc32(check, sizeof check), 0xCBF43926u);

    const std::vector<ZipEntry> in = Sample();
    const std::vector<uint8_t> zip = WriteZip(in, 0x6000, 0x5921);
    std::vector<ZipEntry> out;
    std::string why;
    ASSERT_TRUE(Read(zip, out, why)) << why;
    ASSERT_EQ(out.size(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(out[i].name, in[i].name);
        EXPECT_EQ(out[i].data, in[i].data);
    }
    // Every entry is stored: its bytes stand in the file as they are.
    const std::vector<uint8_t>& binary = in[1].data;
    EXPECT_NE(std::search(zip.begin(), zip.end(), binary.begin(), binary.end()), zip.end());
    // Writing the same entries again gives the same file.
    EXPECT_EQ(WriteZip(in, 0x6000, 0x5921), zip);
}

TEST(ZipFile, DosTimeOfALocalTime) {
    uint16_t t, d;
    DosTimeOf(2026, 12, 11, 9, 27, 31, t, d);
    EXPECT_EQ(t, 9 << 11 | 27 << 5 | 15);
    EXPECT_EQ(d, 46 << 9 | 12 << 5 | 11);
    DosTimeOf(1970, 1, 1, 0, 0, 0, t, d);  // before MS-DOS time: its first day
    EXPECT_EQ(d, 1 << 5 | 1);
}

TEST(ZipFile, DeflatedEntriesAreInflatedAndHeldToTheirSize) {
    std::vector<uint8_t> plain(5000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>("abcabd"[i % 6]);
    std::vector<ZipEntry> out;
    std::string why;
    ASSERT_TRUE(Read(DeflatedZip(plain, plain.size()), out, why)) << why;
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data, plain);
    // A stream that holds more than its entry claims, or less, is refused.
    EXPECT_FALSE(Read(DeflatedZip(plain, plain.size() - 1), out, why));
    EXPECT_FALSE(Read(DeflatedZip(plain, plain.size() + 1), out, why));
    // A small stream that claims to unpack beyond the caller's limit is refused before inflating.
    const std::vector<uint8_t> bomb(60000, 0);
    EXPECT_FALSE(Read(DeflatedZip(bomb, bomb.size()), out, why, TenBytes));
    EXPECT_NE(why.find("大きすぎます"), std::string::npos) << why;
    // A damaged stream.
    std::vector<uint8_t> zip = DeflatedZip(plain, plain.size());
    for (size_t i = 40; i < 60; ++i) zip[i] ^= 0x5A;
    EXPECT_FALSE(Read(zip, out, why));
    EXPECT_TRUE(out.empty());
}

TEST(ZipFile, DamagedAndTruncatedFilesAreRefused) {
    const std::vector<uint8_t> good = WriteZip(Sample(), 0, 0x21);
    std::vector<ZipEntry> out;
    std::string why;

    std::vector<uint8_t> bad = good;
    bad[30 + 5 + 30 + 15 + 100] ^= 1;  // inside save01.dat's data
    EXPECT_FALSE(Read(bad, out, why));
    EXPECT_NE(why.find("CRC"), std::string::npos) << why;
    EXPECT_TRUE(out.empty());

    // Cut anywhere: never read, never a crash.
    for (size_t n = 0; n < good.size(); n += (n < 64 || n > good.size() - 64) ? 1 : 97) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + n);
        EXPECT_FALSE(Read(cut, out, why)) << "cut at " << n;
    }
    std::vector<uint8_t> cut(good.begin(), good.begin() + good.size() / 2);
    Read(cut, out, why);
    EXPECT_NE(why.find("途中で切れています"), std::string::npos) << why;

    // Not a ZIP at all, and bytes after the end record.
    EXPECT_FALSE(Read(Bytes("[Software/Test]\nA=1\n"), out, why));
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(Read(longer, out, why));

    // The directory pointing outside the file.
    bad = good;
    PutLe32(bad.data() + bad.size() - 6, 0x7FFFFFF0u);
    EXPECT_FALSE(Read(bad, out, why));
    // An encrypted entry.
    bad = good;
    const size_t central = GetLe32(good.data() + good.size() - 6);
    bad[central + 8] |= 1;
    EXPECT_FALSE(Read(bad, out, why));
}

TEST(ZipFile, NamesOutsideTheArchiveForeignAndTwiceAreRefused) {
    std::vector<ZipEntry> out;
    std::string why;
    for (const char* name : {"../save0.dat", "/save0.dat", "save/../../save0.dat", "save\\save01.dat",
                             "C:save0.dat", "save//save01.dat", "./save0.dat", "save0.dat\n"}) {
        EXPECT_FALSE(Read(WriteZip({ZipEntry{name, Bytes("x")}}, 0, 0x21), out, why)) << name;
        EXPECT_NE(why.find("フォルダの外"), std::string::npos) << name << ": " << why;
    }
    EXPECT_FALSE(Read(WriteZip({ZipEntry{"save0.dat", Bytes("x")}, ZipEntry{"refused.txt", Bytes("y")}}, 0, 0x21),
                      out, why));
    EXPECT_NE(why.find("refused.txt"), std::string::npos) << why;
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(Read(WriteZip({ZipEntry{"a", Bytes("x")}, ZipEntry{"A", Bytes("y")}}, 0, 0x21), out, why));
    EXPECT_NE(why.find("二つ"), std::string::npos) << why;
    // Larger than the caller takes, and more entries than it takes.
    EXPECT_FALSE(Read(WriteZip({ZipEntry{"a", std::vector<uint8_t>(11)}}, 0, 0x21), out, why, TenBytes));
    EXPECT_TRUE(Read(WriteZip({ZipEntry{"a", std::vector<uint8_t>(10)}}, 0, 0x21), out, why, TenBytes));
    std::vector<ZipEntry> many;
    for (int i = 0; i < 17; ++i) many.push_back(ZipEntry{"f" + std::to_string(i), {}});
    EXPECT_FALSE(Read(WriteZip(many, 0, 0x21), out, why));
}
