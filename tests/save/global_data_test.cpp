// The global data: check value, merge by OR across runs, damaged files,
// the counter in the picture-seen block, GV values, "kaiso.dat", and two
// processes storing at once.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "app/engine.h"
#include "data/file_io.h"
#include "platform/headless/ini_store.h"
#include "save/global_data.h"
#include "script/variables.h"
#include "support/test_game.h"

using namespace velmora;
using test::HeadlessEngine;
using test::TestGame;

namespace {

const char kConfig[] = "TITLE:Global\nMAKER_REG:Software\\Test\\Global\nGAME_ID:glob\n";

// "save0.dat" as the layout table has it, read without the engine.
struct GlobalFile {
    std::vector<uint8_t> bytes;
    bool Read(const std::string& path) { return ReadWholeFile(path, bytes) && bytes.size() == 10884; }
    bool Bit(int offset, int k) const { return (bytes[offset + k / 8] >> (k % 8)) & 1; }
    bool E(int k) const { return Bit(0, k); }
    bool Seen(int k) const { return Bit(128, k); }
    bool Recollection(int k) const { return Bit(384, k); }
    bool ReadMark(int k) const { return Bit(640, k); }
    uint32_t U32(int offset) const {
        return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | uint32_t(bytes[offset + 3]) << 24;
    }
    bool CheckMatches() const { return GlobalCheckValue(bytes.data(), 10880) == U32(10880); }
};

struct GlobalGame {
    GlobalGame() {
        game.Script("_config", kConfig).Script("main", "hello\n");
        game.Build();
    }
    std::string File(const char* name) const { return game.dir().File(name); }
    TestGame game;
};

}  // namespace

TEST(GlobalData, CheckValueStartsAt1234WithoutFinalInversion) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(GlobalCheckValue(abc, 3), 0x2004BC8Au);
    // With the usual start and inversion the same table gives the common CRC-32.
    EXPECT_EQ(GlobalCheckValue(abc, 3, 0xFFFFFFFFu) ^ 0xFFFFFFFFu, 0x352441C2u);
    EXPECT_EQ(GlobalCheckValue(abc, 0), 1234u);
}

TEST(GlobalData, FreshInstallWritesTheBitsInMemoryWithAMatchingCheck) {
    GlobalGame g;
    {
        HeadlessEngine e(g.game.path());
        GlobalFile file;
        ASSERT_TRUE(file.Read(g.File("save0.dat")));
        EXPECT_TRUE(file.CheckMatches());
        SetBit(e.f->vars.E, kEBits, 5, true);
        SetBit(e.f->extras.pictureSeen, kPictureSeenBits, 1999, true);
        SetBit(e.f->extras.recollectionBits, kRecollectionBits, 7, true);
        SetBit(e.f->ui.ReadMarks, 81920, 80000, true);
        e.f->vars.G[3] = -42;
        e.f->extras.recordLists[9][49] = 0x01020304;
        std::strcpy(e.f->extras.recordListNames[2], "list");
        StoreGlobalData(*e.f);
        ASSERT_TRUE(file.Read(g.File("save0.dat")));
        EXPECT_TRUE(file.CheckMatches());
        EXPECT_TRUE(file.E(5));
        EXPECT_FALSE(file.E(4));
        EXPECT_TRUE(file.Seen(1999));
        EXPECT_TRUE(file.Recollection(7));
        EXPECT_TRUE(file.ReadMark(80000));
        auto& st = static_cast<platform::IniSettingsStore&>(e.plat.settings());
        const std::string* gv = st.Find("Software/Test/Global/glob", "GV03");
        ASSERT_NE(gv, nullptr);
        EXPECT_EQ(*gv, "-42");
        std::vector<uint8_t> kaiso;
        ASSERT_TRUE(ReadWholeFile(g.File("kaiso.dat"), kaiso));
        ASSERT_EQ(kaiso.size(), 2640u);
        EXPECT_EQ(kaiso[1996], 4);
        EXPECT_EQ(kaiso[1999], 1);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(kaiso.data()) + 2000 + 128), "list");
    }
    // No temporary or stray file is left beside them.
    EXPECT_FALSE(IsRegularFile(g.game.dir().File("save0.dat.tmp." + std::to_string(::getpid()))));
}

TEST(GlobalData, BitsOfEveryRunAndTheCounterSurviveRestarts) {
    GlobalGame g;
    {
        HeadlessEngine e(g.game.path());
        SetBit(e.f->vars.E, kEBits, 5, true);
        SetBit(e.f->ui.ReadMarks, 81920, 12, true);
        e.f->gfx.spriteChangeCounter = 0x7F000003;
        StoreGlobalData(*e.f);
    }
    {
        HeadlessEngine e(g.game.path());
        EXPECT_TRUE(TestBit(e.f->vars.E, kEBits, 5));
        EXPECT_TRUE(TestBit(e.f->ui.ReadMarks, 81920, 12));
        EXPECT_EQ(e.f->gfx.spriteChangeCounter, 0x7F000003);
        SetBit(e.f->vars.E, kEBits, 6, true);
        // Later stores put the counter back instead of merging it.
        e.f->gfx.spriteChangeCounter = 4;
        StoreGlobalData(*e.f);
        GlobalFile file;
        ASSERT_TRUE(file.Read(g.File("save0.dat")));
        EXPECT_EQ(file.U32(380), 4u);
        EXPECT_TRUE(file.E(5));
        EXPECT_TRUE(file.E(6));
    }
    HeadlessEngine e(g.game.path());
    EXPECT_EQ(e.f->gfx.spriteChangeCounter, 4);
    EXPECT_TRUE(TestBit(e.f->vars.E, kEBits, 5));
    EXPECT_TRUE(TestBit(e.f->vars.E, kEBits, 6));
}

TEST(GlobalData, DamagedOrShortFileStartsAgainButKeepsWhatMemoryHolds) {
    GlobalGame g;
    {
        HeadlessEngine e(g.game.path());
        SetBit(e.f->vars.E, kEBits, 1, true);
        SetBit(e.f->ui.ReadMarks, 81920, 100, true);
        StoreGlobalData(*e.f);
    }
    // A flipped byte: the file's bits are gone at the next start.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(g.File("save0.dat"), bytes));
    bytes[5000] ^= 0x40;
    ASSERT_TRUE(WriteFileAtomic(g.File("save0.dat"), bytes));
    {
        HeadlessEngine e(g.game.path());
        EXPECT_FALSE(TestBit(e.f->vars.E, kEBits, 1));
        EXPECT_FALSE(TestBit(e.f->ui.ReadMarks, 81920, 100));
        GlobalFile file;
        ASSERT_TRUE(file.Read(g.File("save0.dat")));
        EXPECT_TRUE(file.CheckMatches());
        EXPECT_FALSE(file.ReadMark(100));

        // Damage during a run: this run's flags and read marks are written back.
        SetBit(e.f->vars.E, kEBits, 2, true);
        SetBit(e.f->ui.ReadMarks, 81920, 200, true);
        StoreGlobalData(*e.f);
        ASSERT_TRUE(ReadWholeFile(g.File("save0.dat"), bytes));
        bytes.resize(10883);
        ASSERT_TRUE(WriteFileAtomic(g.File("save0.dat"), bytes));
        StoreGlobalData(*e.f);
        ASSERT_TRUE(file.Read(g.File("save0.dat")));
        EXPECT_TRUE(file.CheckMatches());
        EXPECT_TRUE(file.E(2));
        EXPECT_TRUE(file.ReadMark(200));
    }
}

TEST(GlobalData, TwoProcessesStoringInALoopKeepEveryBit) {
    GlobalGame g;
    HeadlessEngine e(g.game.path());
    constexpr int kRounds = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            // Each child sets its own read marks, one per store, and checks
            // after every store that none of its earlier ones was lost.
            for (int i = 0; i < kRounds; ++i) {
                SetBit(e.f->ui.ReadMarks, 81920, 2 * i + c, true);
                StoreGlobalData(*e.f);
                GlobalFile file;
                if (!file.Read("save0.dat") || !file.CheckMatches()) ::_exit(2);
                for (int k = 0; k <= i; ++k)
                    if (!file.ReadMark(2 * k + c)) ::_exit(3);
            }
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    GlobalFile file;
    ASSERT_TRUE(file.Read(g.File("save0.dat")));
    for (int k = 0; k < 2 * kRounds; ++k) EXPECT_TRUE(file.ReadMark(k)) << k;
}

TEST(GlobalData, AGameThatCannotStartLeavesNoFiles) {
    test::TempDir empty;
    HeadlessEngine e(empty.path());
    EXPECT_TRUE(e.f->flags.quitRequest);
    EXPECT_FALSE(IsRegularFile(empty.File("save0.dat")));
    EXPECT_FALSE(IsRegularFile(empty.File("kaiso.dat")));
}

TEST(GlobalData, StartRemovesTemporariesOfRunsThatDiedMidWrite) {
    TestGame g;
    g.Script("_config", kConfig).Script("main", "hello\n");
    g.Build();
    // A process that has ended: its pid names no live process any more.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child), alive = std::to_string(::getppid());
    ASSERT_TRUE(MakeDirectories(g.dir().File("save")));
    const std::vector<std::string> stale = {"save/save01.dat.tmp." + dead, "save0.dat.tmp." + dead,
                                            "kaiso.dat.tmp." + dead};
    const std::vector<std::string> kept = {"save/save02.dat.tmp." + alive,  // its writer still runs
                                           "save/notes.txt.tmp." + dead,     // not ours
                                           "save/save03.dat.tmp.12ab", "save/save04.dat.tmp.", "save/save05.dat"};
    for (const std::string& n : stale) g.dir().Write(n, std::string(144978, 'x'));
    for (const std::string& n : kept) g.dir().Write(n, std::string(10, 'x'));
    {
        HeadlessEngine e(g.path());
    }
    for (const std::string& n : stale) EXPECT_FALSE(IsRegularFile(g.dir().File(n))) << n;
    for (const std::string& n : kept) EXPECT_TRUE(IsRegularFile(g.dir().File(n))) << n;
}
