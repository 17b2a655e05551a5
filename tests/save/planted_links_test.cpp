// A game folder from the internet that ships links where the engine keeps
// its saves, its lock and its temporary files, or special files where it
// reads: the game plays and saves, and nothing outside its own save
// locations changes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "data/file_io.h"
#include "support/test_game.h"

using namespace velmora;
using test::ReadText;
using test::TempDir;
using test::TestGame;

namespace {

const char kConfig[] = "TITLE:Planted\nMAKER_REG:Software\\Test\\Planted\nGAME_ID:planted\n";

struct PlantedGame {
    PlantedGame() {
        game.Script("_config", kConfig).Script("main", "はじめの行\\\nつぎの行\\\n");
        game.Build();
        for (const char* name : {"a", "b", "c", "d"}) outside.Write(name, std::string("precious ") + name);
        ::mkdir(outside.File("folder").c_str(), 0755);
    }
    std::string File(const std::string& name) const { return game.dir().File(name); }
    void Link(const std::string& name, const std::string& target) const {
        ASSERT_EQ(::symlink(target.c_str(), File(name).c_str()), 0) << name;
    }
    // Plays a page, saves slot 1, plays on; the run's exit status.
    int Play(std::string* output = nullptr) const {
        events.Write("e.txt", "wait 600\nsave 1\nclick 400 300\nwait 600\n");
        return test::RunVelmora("--headless --game " + game.path() + " --events " + events.File("e.txt") + " --trace " +
                                    events.File("trace.txt"),
                                output, 120);
    }
    bool OutsideUntouched() const {
        for (const char* name : {"a", "b", "c", "d"})
            if (ReadText(outside.File(name)) != std::string("precious ") + name) return false;
        return std::filesystem::is_empty(outside.File("folder"));
    }
    std::string Trace() const { return ReadText(events.File("trace.txt")); }
    TestGame game;
    TempDir outside, events;
};

// The per-user data folder for the run, restored afterwards.
struct DataHome {
    DataHome() {
        if (const char* v = std::getenv("XDG_DATA_HOME")) before = v, had = true;
        ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    }
    ~DataHome() {
        if (had) ::setenv("XDG_DATA_HOME", before.c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
    }
    std::string File(const std::string& name) const { return dir.File("velmora/planted/" + name); }
    TempDir dir;
    std::string before;
    bool had = false;
};

}  // namespace

TEST(PlantedLinks, LinksAtTheTemporaryNamesOfManyProcessesAreNeverFollowed) {
    PlantedGame g;
    ASSERT_EQ(::mkdir(g.File("save").c_str(), 0755), 0);
    // The run's process id is not known ahead: cover the next few thousand.
    const int pid = static_cast<int>(::getpid());
    for (int p = pid; p < pid + 3000; ++p) {
        const std::string n = std::to_string(p);
        g.Link("save0.dat.tmp." + n, g.outside.File("a"));
        g.Link("kaiso.dat.tmp." + n, g.outside.File("b"));
        g.Link("save/save01.dat.tmp." + n, g.outside.File("c"));
    }
    std::string out;
    ASSERT_EQ(g.Play(&out), 0) << out;
    EXPECT_TRUE(g.OutsideUntouched());
    EXPECT_EQ(FileSize(g.File("save/save01.dat")), 144978);
    EXPECT_EQ(FileSize(g.File("save0.dat")), 10884);
    EXPECT_EQ(FileSize(g.File("kaiso.dat")), 2640);
    EXPECT_FALSE(IsLink(g.File("save0.dat")));
}

TEST(PlantedLinks, LinkedSaveFilesSendTheSavesToThePlayersDataFolder) {
    PlantedGame g;
    DataHome home;
    g.Link("save", g.outside.File("folder"));
    g.Link("save0.dat", g.outside.File("a"));
    g.Link("kaiso.dat", g.outside.File("b"));
    g.Link("save0.dat.lock", g.outside.File("c"));
    // Readers meet a link to an endless device and a FIFO where files belong.
    ASSERT_EQ(::mkdir(g.File("icon").c_str(), 0755), 0);
    g.Link("icon/MSCUR01.ani", "/dev/zero");
    ASSERT_EQ(::mkfifo(g.File("vk_gra.vrk").c_str(), 0644), 0);
    std::string out;
    ASSERT_EQ(g.Play(&out), 0) << out;  // a FIFO that blocked start-up would time out (124)
    EXPECT_TRUE(g.OutsideUntouched());
    EXPECT_EQ(FileSize(home.File("save/save01.dat")), 144978);
    EXPECT_EQ(FileSize(home.File("save0.dat")), 10884);
    EXPECT_EQ(FileSize(home.File("kaiso.dat")), 2640);
    const std::string trace = g.Trace();
    const size_t said = trace.find("is a link or not a plain file");
    ASSERT_NE(said, std::string::npos) << trace;
    EXPECT_EQ(trace.find("is a link or not a plain file", said + 1), std::string::npos);
}

TEST(PlantedLinks, AFifoAtTheGlobalDataFileCountsAsUnwritable) {
    PlantedGame g;
    DataHome home;
    ASSERT_EQ(::mkfifo(g.File("save0.dat").c_str(), 0644), 0);
    std::string out;
    ASSERT_EQ(g.Play(&out), 0) << out;
    EXPECT_EQ(FileSize(home.File("save0.dat")), 10884);
    EXPECT_EQ(FileSize(home.File("save/save01.dat")), 144978);
}
