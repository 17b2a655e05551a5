// Reading and writing files in a folder that came from anywhere: planted
// links at the temporary names, links and special files where a file is
// expected, files far larger than any reader takes.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "data/file_io.h"
#include "support/test_game.h"

using namespace velmora;
using test::ReadText;
using test::TempDir;

namespace {

// A file outside the folder under attack, and whether it is as it was.
struct Victim {
    explicit Victim(const TempDir& outside, const std::string& name) : path(outside.File(name)) {
        outside.Write(name, std::string("precious ") + name);
    }
    bool Untouched() const { return ReadText(path) == "precious " + path.substr(path.rfind('/') + 1); }
    std::string path;
};

}  // namespace

TEST(FileIoSafety, WritesPastLinksPlantedAtEveryLikelyTemporaryName) {
    TempDir game, outside;
    Victim victim(outside, "profile");
    // The names older writers used, for the process ids around ours.
    const int pid = static_cast<int>(::getpid());
    for (int p = pid - 20; p <= pid + 200; ++p) {
        ASSERT_EQ(::symlink(victim.path.c_str(), game.File("save0.dat.tmp." + std::to_string(p)).c_str()), 0);
    }
    const std::string data(10884, 'x');
    ASSERT_TRUE(WriteFileAtomic(game.File("save0.dat"), data.data(), data.size(), true));
    EXPECT_EQ(ReadText(game.File("save0.dat")), data);
    EXPECT_TRUE(victim.Untouched());
    // Our own temporary file is gone after the rename; the planted links stay.
    int links = 0, others = 0;
    for (const auto& e : std::filesystem::directory_iterator(game.path()))
        (std::filesystem::is_symlink(e.symlink_status()) ? links : others)++;
    EXPECT_EQ(links, 221);
    EXPECT_EQ(others, 1);
}

TEST(FileIoSafety, RefusesToWriteThroughALinkedTargetOrIntoALinkedFolder) {
    TempDir game, outside;
    Victim victim(outside, "rc");
    ASSERT_EQ(::symlink(victim.path.c_str(), game.File("kaiso.dat").c_str()), 0);
    EXPECT_FALSE(WriteFileAtomic(game.File("kaiso.dat"), "evil", 4, true));
    EXPECT_TRUE(victim.Untouched());
    EXPECT_TRUE(IsLink(game.File("kaiso.dat")));

    ASSERT_EQ(::symlink(outside.path().c_str(), game.File("save").c_str()), 0);
    EXPECT_FALSE(WriteFileAtomic(game.File("save/save01.dat"), "evil", 4, true));
    EXPECT_FALSE(IsRegularFile(outside.File("save01.dat")));
    // A tool's output folder may be a link of the author's own choosing.
    EXPECT_TRUE(WriteFileAtomic(game.File("save/out.txt"), "ok", 2));
    EXPECT_EQ(ReadText(outside.File("out.txt")), "ok");

    ASSERT_EQ(::mkfifo(game.File("save0.dat").c_str(), 0600), 0);
    EXPECT_FALSE(WriteFileAtomic(game.File("save0.dat"), "x", 1, true));
}

TEST(FileIoSafety, ReadsOnlyRegularFilesAndNeverMoreThanOnePastTheLimit) {
    TempDir dir;
    std::vector<uint8_t> bytes;
    // A FIFO with no writer would block an ordinary open for ever.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(dir.File("fifo"), bytes, 100));
    EXPECT_EQ(OpenRegularStream(dir.File("fifo")), nullptr);
    EXPECT_FALSE(ReadWholeFile("/dev/zero", bytes, 100));
    EXPECT_FALSE(ReadWholeFile(dir.path(), bytes, 100));

    // A sparse file of 4 GiB costs nothing on disk and must cost nothing to read.
    const int fd = ::open(dir.File("huge").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(4) << 30), 0);
    ::close(fd);
    ASSERT_TRUE(ReadWholeFile(dir.File("huge"), bytes, 2640));
    EXPECT_EQ(bytes.size(), 2641u);
    dir.Write("exact", std::string(2640, 'a'));
    ASSERT_TRUE(ReadWholeFile(dir.File("exact"), bytes, 2640));
    EXPECT_EQ(bytes.size(), 2640u);

    ASSERT_EQ(::symlink(dir.File("exact").c_str(), dir.File("link").c_str()), 0);
    EXPECT_FALSE(ReadWholeFile(dir.File("link"), bytes, 2640, true));
    EXPECT_TRUE(ReadWholeFile(dir.File("link"), bytes, 2640));
}

TEST(FileIoSafety, StartUpCleanUpRemovesDeadWritersFilesOnly) {
    TempDir dir, outside;
    // A process id that is surely gone: a child that has exited and been reaped.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string dead = std::to_string(child), live = std::to_string(::getpid());
    for (const std::string& n : {"save0.dat.tmp." + dead, "kaiso.dat.tmp." + dead + ".Ab3xYz",
                                 "settings.ini.tmp." + dead + ".q1w2e3", "save0.dat.tmp." + live, "notes.txt.tmp." + dead,
                                 "save0.dat.tmp." + dead + "x"})
        dir.Write(n, "debris");
    Victim victim(outside, "target");
    ASSERT_EQ(::symlink(victim.path.c_str(), dir.File("kaiso.dat.tmp." + dead).c_str()), 0);

    EXPECT_EQ(RemoveStaleTemporaries(dir.path(), "other.ini"), 0);
    EXPECT_EQ(RemoveStaleTemporaries(dir.path(), "settings.ini"), 1);
    EXPECT_EQ(RemoveStaleTemporaries(dir.path()), 2);
    EXPECT_FALSE(IsRegularFile(dir.File("save0.dat.tmp." + dead)));
    EXPECT_FALSE(IsRegularFile(dir.File("settings.ini.tmp." + dead + ".q1w2e3")));
    // A live writer's file, another kind of file, a name that only looks alike, and a planted link stay.
    EXPECT_TRUE(IsRegularFile(dir.File("save0.dat.tmp." + live)));
    EXPECT_TRUE(IsRegularFile(dir.File("notes.txt.tmp." + dead)));
    EXPECT_TRUE(IsRegularFile(dir.File("save0.dat.tmp." + dead + "x")));
    EXPECT_TRUE(IsLink(dir.File("kaiso.dat.tmp." + dead)));
    EXPECT_TRUE(victim.Untouched());
}
