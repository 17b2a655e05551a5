// Archive indexes: both layouts, lookups, the disc fallback and hostile files.
#include <gtest/gtest.h>

#include <cstring>

#include "data/archive.h"
#include "data/file_io.h"
#include "support/test_game.h"

using namespace velmora;
using velmora::test::HeadlessEngine;
using velmora::test::TempDir;
using velmora::test::TestGame;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void PutLE32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

std::vector<uint8_t> Volume(const std::vector<tools::PackEntry>& entries, int width) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(tools::BuildVolume(entries, width, out, error)) << error;
    return out;
}

}  // namespace

TEST(Archive, ScriptArchiveRoundTripWithNegatedBytesAnd15CharacterNames) {
    TempDir dir;
    std::vector<tools::PackEntry> entries = {{"abcdefghijklmno", Bytes("line\0")}, {"second", Bytes("\x01\xff\x80")}};
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(tools::BuildScriptArchive(entries, out, error)) << error;
    // The stored bytes are negated; 0 stays 0.
    EXPECT_EQ(out[4 + 48], static_cast<uint8_t>(256 - 'l'));
    dir.Write("vk_data.vrk", out);

    ArchiveIndex index;
    index.path = dir.File("vk_data.vrk");
    ReadScriptIndex(index.path, index);
    ASSERT_EQ(index.count, 2);
    EXPECT_EQ(index.names[0], "ABCDEFGHIJKLMNO");
    EXPECT_EQ(FindEntry(index, "abcdefghijklmno"), 0);
    EXPECT_EQ(FindEntry(index, "Second"), 1);
    EXPECT_EQ(FindEntry(index, "missing"), -1);

    std::vector<uint8_t> data;
    ASSERT_EQ(ReadEntry(index, 1, data), 3);
    NegateBytes(data.data(), data.size());
    EXPECT_EQ(data, Bytes("\x01\xff\x80"));

    // Sixteen characters do not fit the 16-byte field with its terminator.
    entries.push_back({"abcdefghijklmnop", {}});
    EXPECT_FALSE(tools::BuildScriptArchive(entries, out, error));
}

TEST(Archive, VolumeIndexReadsAnyWidthAndTheFirstOfTwoNamesWins) {
    TempDir dir;
    dir.Write("v.vrk", Volume({{"bg01", Bytes("one")}, {"BG01", Bytes("two!")}, {"x", Bytes("")}}, 40));
    ArchiveIndex index;
    index.path = dir.File("v.vrk");
    ReadVolumeIndex(index.path, index);
    ASSERT_EQ(index.count, 3);
    EXPECT_EQ(index.width, 40);
    EXPECT_EQ(FindEntry(index, "bg01"), 0);
    std::vector<uint8_t> data;
    EXPECT_EQ(ReadEntry(index, 0, data), 3);
    EXPECT_EQ(ReadEntry(index, 2, data), 0);
    // A caller's fixed buffer that is too small is refused.
    uint8_t small[2];
    EXPECT_EQ(ReadEntry(index, 0, small, 2), -1);
    EXPECT_EQ(ReadEntry(index, 7, data), -1);
}

TEST(Archive, EmptyAndHostileFilesGiveEmptyIndexes) {
    TempDir dir;
    auto count = [&](const std::vector<uint8_t>& file, bool script) {
        dir.Write("a.vrk", file);
        ArchiveIndex index;
        index.path = dir.File("a.vrk");
        if (script) ReadScriptIndex(index.path, index);
        else ReadVolumeIndex(index.path, index);
        EXPECT_EQ(index.names.size(), static_cast<size_t>(index.count));
        return index.count;
    };
    for (bool script : {true, false}) {
        SCOPED_TRACE(script ? "script" : "volume");
        EXPECT_EQ(count({}, script), 0);
        EXPECT_EQ(count({0, 0, 0, 0}, script), 0);
        EXPECT_EQ(count({0xff, 0xff, 0xff, 0xff}, script), 0);  // negative count
        EXPECT_EQ(count({5, 0}, script), 0);                      // shorter than its count
    }
    // A script index whose count claims more records than the file holds.
    std::vector<uint8_t> s(4 + 24, 0);
    PutLE32(s, 0, 1000000);
    EXPECT_EQ(count(s, true), 0);
    // A volume whose record block does not fit, or with a silly width.
    std::vector<uint8_t> v = Volume({{"A", Bytes("x")}}, 16);
    std::vector<uint8_t> big = v;
    PutLE32(big, 0, 0x10000000);
    EXPECT_EQ(count(big, false), 0);
    std::vector<uint8_t> wide = v;
    PutLE32(wide, 4, -8);
    EXPECT_EQ(count(wide, false), 0);
    EXPECT_EQ(count(v, false), 1);
}

TEST(Archive, OneDamagedEntryIsLeftOutAndTheRestKept) {
    // A half-copied volume: the last entry's data runs past the end, an
    // earlier one has a negative offset, another a name without terminator.
    TempDir dir;
    std::vector<uint8_t> v = Volume({{"A", Bytes("aaaa")}, {"B", Bytes("bbbb")}, {"C", Bytes("cccc")},
                                     {"D", Bytes("dddd")}},
                                    16);
    const size_t rec = 16 + 8;
    PutLE32(v, 8 + 3 * rec + 16 + 4, 1000);  // D: size past the end
    PutLE32(v, 8 + 1 * rec + 16, -4);        // B: offset before the start
    std::memset(v.data() + 8 + 2 * rec, 'N', 16);  // C: unterminated name
    dir.Write("v.vrk", v);
    ArchiveIndex index;
    index.path = dir.File("v.vrk");
    ReadVolumeIndex(index.path, index);
    ASSERT_EQ(index.count, 1);
    EXPECT_EQ(FindEntry(index, "a"), 0);
    EXPECT_EQ(FindEntry(index, "d"), -1);
    std::vector<uint8_t> got;
    ASSERT_EQ(ReadEntry(index, 0, got), 4);
    EXPECT_EQ(got, Bytes("aaaa"));
    // The same for a script archive, truncated inside its last entry.
    TestGame game;
    game.Script("main", "text\n").Script("second", "more text\n");
    game.Build();
    std::vector<uint8_t> file;
    ASSERT_TRUE(ReadWholeFile(game.dir().File("vk_data.vrk"), file));
    file.resize(file.size() - 3);
    dir.Write("s.vrk", file);
    ArchiveIndex scripts;
    ReadScriptIndex(dir.File("s.vrk"), scripts);
    EXPECT_EQ(scripts.count, 1);
    EXPECT_EQ(FindEntry(scripts, "main"), 0);
}

TEST(Archive, BrokenStructureStillRefusesTheWholeIndex) {
    TempDir dir;
    std::vector<uint8_t> v = Volume({{"A", Bytes("x")}, {"B", Bytes("y")}}, 16);
    std::vector<uint8_t> cut(v.begin(), v.begin() + 8 + 24 + 10);  // record block past the end
    dir.Write("a.vrk", cut);
    ArchiveIndex index;
    ReadVolumeIndex(dir.File("a.vrk"), index);
    EXPECT_EQ(index.count, 0);
}

TEST(Archive, SecondScriptArchiveOverridesAndVolumesFallBackToTheDisc) {
    TestGame game;
    game.Script("_config", "VKD_GRA:2\nVKD_SE:1\n")
        .Script("main", "from vk_data\n")
        .Script("main", "from vk_data2\n", true)
        .Script("only1", "x\n");
    game.Build();
    TempDir disc;
    for (const char* name : {"vk_gra2.vrk", "vk_gra3.vrk", "vk_se0.vrk", "vk_se1.vrk", "vk_bgm.vrk"})
        disc.Write(name, Volume({{"ON_DISC", Bytes("d")}}, 16));
    // The game folder's own copy wins over the disc.
    game.dir().Write("vk_gra.vrk", Volume({{"LOCAL", Bytes("l")}}, 16));

    HeadlessEngine e(game.path(), 1920, 1080, nullptr, false);
    e.plat.settings().WriteString("", "", "CDDir", disc.path() + "/");
    e.f->FormCreate();
    DataState& d = e.f->data;
    EXPECT_EQ(d.cdDir, disc.path() + "/");

    ASSERT_TRUE(LoadScript(*e.f, "MAIN", 1));
    EXPECT_STREQ(reinterpret_cast<const char*>(e.f->stepper.script), "from vk_data2");
    EXPECT_TRUE(LoadScript(*e.f, "only1", 1));
    EXPECT_FALSE(LoadScript(*e.f, "nothing", 1));
    EXPECT_STREQ(reinterpret_cast<const char*>(e.f->stepper.script), "x");

    EXPECT_EQ(d.gra[0].path, "vk_gra.vrk");
    EXPECT_EQ(FindEntry(d.gra[0], "local"), 0);
    EXPECT_EQ(d.gra[1].path, disc.path() + "/vk_gra2.vrk");  // slot 1 < VKD_GRA
    EXPECT_EQ(d.gra[1].count, 1);
    EXPECT_EQ(d.gra[2].path, "vk_gra3.vrk");  // slot 2 is not looked for on the disc
    EXPECT_EQ(d.gra[2].count, 0);
    EXPECT_EQ(d.se[0].count, 1);
    EXPECT_EQ(d.se[1].count, 0);
    EXPECT_EQ(d.bgm.count, 1);  // music always falls back
    EXPECT_EQ(d.anim[0].count, 0);
}
