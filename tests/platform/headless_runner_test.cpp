// The headless runner as an author's CI uses it: the command line, the
// events file, the clock, screenshots and the settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>

#include <fstream>

#include "data/file_io.h"
#include "gfx/png_file.h"
#include "platform/headless/events.h"
#include "platform/headless/ini_store.h"
#include "platform/input_codes.h"
#include "support/test_game.h"

using namespace velmora;
using namespace velmora::platform;

TEST(Events, TimesAddUpAndKeysMapToVirtualKeys) {
    Timeline t;
    std::string error;
    ASSERT_TRUE(ParseTimeline("# comment\n\nwait 100\nclick 10 20\nwait 55\nkey Enter\nkey a\nclick 1 2 right\n"
                              "wheel -120\nanswer cancel\nscreenshot x.png\nwait 5\n",
                              t, error))
        << error;
    ASSERT_EQ(t.events.size(), 7u);
    EXPECT_EQ(t.events[0].time, 100u);
    EXPECT_EQ(t.events[0].kind, EventKind::Click);
    EXPECT_EQ(t.events[1].time, 155u);
    EXPECT_EQ(t.events[1].vk, VK_RETURN);
    EXPECT_EQ(t.events[1].ch, '\r');
    EXPECT_EQ(t.events[2].vk, 'A');
    EXPECT_EQ(t.events[2].ch, 'a');
    EXPECT_EQ(t.events[3].button, mbRight);
    EXPECT_EQ(t.events[4].value, -120);
    EXPECT_EQ(t.events[5].value, 0);
    EXPECT_EQ(t.events[6].path[0], '/');
    EXPECT_EQ(t.endTime, 160u);
}

TEST(Events, ErrorsNameTheirLine) {
    Timeline t;
    std::string error;
    for (const char* bad : {"wait\n", "wait -5\n", "click 1\n", "click 1 2 sideways\n", "key Hyper\n", "jump 3\n",
                            "answer maybe\n", "save\n"}) {
        EXPECT_FALSE(ParseTimeline(std::string("wait 1\n") + bad, t, error)) << bad;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

TEST(HeadlessRunner, PlaysTheDemoAndWritesScreenshots) {
    test::TempDir dir;
    dir.Write("e.txt", "wait 300\nscreenshot " + dir.File("shot.png") + "\nclick 400 300\nwait 100\n");
    std::string out;
    int rc = test::RunVelmora("--headless --game " + test::CopyDemo(dir) + " --events " + dir.File("e.txt") +
                                  " --trace " + dir.File("t.txt") + " --settings " + dir.File("s.ini"),
                              &out);
    EXPECT_EQ(rc, 0) << out;
    Picture shot;
    ASSERT_TRUE(ReadPng(dir.File("shot.png"), shot));
    EXPECT_EQ(shot.width, 800);
    EXPECT_EQ(shot.height, 600);
    std::vector<uint8_t> trace;
    ASSERT_TRUE(ReadWholeFile(dir.File("t.txt"), trace));
    std::string text(trace.begin(), trace.end());
    EXPECT_NE(text.find("script main: loaded"), std::string::npos) << text;
    EXPECT_NE(text.find("run ended at 400 ms"), std::string::npos) << text;
}

// The demo that comes with the program belongs to the program (a build's
// output, an installation): a player's saves from it go to the data folder
// however the demo was reached, while a copy of it keeps its saves beside it.
TEST(HeadlessRunner, TheBundledDemoKeepsItsSavesInThePlayersDataFolder) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    // An installation in the scratch folder: the program beside share/velmora/demo.
    const std::string demo = dir.File("share/velmora/demo"), exe = dir.File("bin/velmora");
    fs::create_directories(dir.File("bin"));
    fs::create_directories(dir.File("share/velmora"));
    fs::rename(test::CopyDemo(dir), demo);
    std::error_code linked;
    fs::create_hard_link(VELMORA_EXE, exe, linked);
    if (linked) fs::copy_file(VELMORA_EXE, exe);
    dir.Write("e.txt", "wait 2500\nsave 3\nwait 100\n");
    auto play = [&](const std::string& game) {
        std::string out;
        const std::string cmd = "env XDG_DATA_HOME=" + dir.File("data") + " " + exe + " --headless" +
                                (game.empty() ? "" : " --game " + game) + " --events " + dir.File("e.txt") + " 2>&1";
        FILE* p = ::popen(cmd.c_str(), "r");
        char buf[4096];
        for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        const int status = p ? ::pclose(p) : -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    };
    const std::string saved = dir.File("data/velmora/demo/save/save03.dat");
    for (const std::string& game : {std::string(), demo + "/", dir.File("share/velmora/../velmora/demo")}) {
        play(game);
        EXPECT_TRUE(fs::exists(saved)) << "game " << game;
        EXPECT_FALSE(fs::exists(demo + "/save")) << "game " << game;
        EXPECT_FALSE(fs::exists(demo + "/save0.dat")) << "game " << game;
        fs::remove_all(dir.File("data"));
    }
    const std::string copy = test::CopyDemo(dir);
    play(copy);
    EXPECT_TRUE(fs::exists(copy + "/save/save03.dat"));
    EXPECT_FALSE(fs::exists(saved));
}

TEST(HeadlessRunner, BadCommandLinesAndEventsFilesExitWithTwo) {
    test::TempDir dir;
    dir.Write("bad.txt", "wait 10\nclick here\n");
    std::string out;
    EXPECT_EQ(test::RunVelmora("--headless --events " + dir.File("bad.txt"), &out), 2);
    EXPECT_NE(out.find("line 2"), std::string::npos) << out;
    EXPECT_EQ(test::RunVelmora("--headless --events " + dir.File("missing.txt"), &out), 2);
    EXPECT_EQ(test::RunVelmora("--headless --seed x", &out), 2);
    EXPECT_EQ(test::RunVelmora("--headless --frobnicate", &out), 2);
    EXPECT_EQ(test::RunVelmora("--headless --game " + dir.File("nowhere"), &out), 2);
    EXPECT_EQ(test::RunVelmora("--help", &out), 0);
    EXPECT_NE(out.find("--headless"), std::string::npos);
    // Every bad argument is refused with the usage lines, not the whole help.
    for (const char* bad : {"a b", "--quit-after xyz", "--quit-after 0", "--seed -1", "--game a b",
                            "--headless --quit-after 100"}) {
        EXPECT_EQ(test::RunVelmora(bad, &out), 2) << bad;
        EXPECT_NE(out.find("usage: velmora"), std::string::npos) << bad;
        EXPECT_EQ(out.find("--settings FILE "), std::string::npos) << bad << out;
    }
}

TEST(HeadlessRunner, AFolderThatIsNoGameOrAFailedEventExitsWithOne) {
    test::TempDir dir;
    std::string out;
    // Not a game: the player's box, and the folder and file named on stderr.
    EXPECT_EQ(test::RunVelmora("--headless --game " + dir.path(), &out), 1);
    EXPECT_NE(out.find(dir.path() + " is not a game: vk_data.vrk is missing"), std::string::npos) << out;
    EXPECT_NE(out.find("ゲームデータを読み込めません。"), std::string::npos) << out;
    // A damaged script archive.
    test::TempDir broken;
    broken.Write("vk_data.vrk", std::string(100, 'x'));
    EXPECT_EQ(test::RunVelmora("--headless --game " + broken.path(), &out), 1);
    EXPECT_NE(out.find("is not a playable game: its script archive vk_data.vrk is damaged"), std::string::npos)
        << out;
    // A screenshot that cannot be written.
    dir.Write("e.txt", "wait 100\nscreenshot /nonexistent/folder/shot.png\nwait 10\n");
    EXPECT_EQ(test::RunVelmora("--headless --game " + test::CopyDemo(dir) + " --events " + dir.File("e.txt"), &out),
              1);
    EXPECT_NE(out.find("1 event(s) of the events file could not be carried out"), std::string::npos) << out;
}

TEST(HeadlessRunner, TheWindowWithoutADisplaySaysSoInOneLine) {
    test::TempDir dir;
    std::string out;
    const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    const std::string cmd = env + VELMORA_EXE + " " + test::CopyDemo(dir) + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[512];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = ::pclose(p);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(out, "velmora: no display found; run with --headless to play without one\n");
}

namespace {

// What a command prints on its standard output and error.
std::string Output(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    ::pclose(p);
    return out;
}

}  // namespace

TEST(HeadlessRunner, VelmoraLoadsNoLibraryOfTheWindow) {
    // The toolkit, OpenAL, speech and SDL belong to the window program that
    // velmora starts for a window; a headless run maps none of them.
    const std::string exe = VELMORA_EXE;
    const std::string own = Output("ldd " + exe);
    ASSERT_NE(own.find("libc.so"), std::string::npos) << own;
    for (const char* lib : {"libQt6", "libopenal", "libspeechd", "libSDL2"})
        EXPECT_EQ(own.find(lib), std::string::npos) << lib << " in\n" << own;
    const std::string window = Output("ldd " + exe.substr(0, exe.rfind('/')) + "/velmora-window");
    for (const char* lib : {"libQt6Widgets", "libopenal", "libSDL2"})
        EXPECT_NE(window.find(lib), std::string::npos) << lib << " in\n" << window;
}

TEST(HeadlessRunner, AVelmoraWithoutItsWindowProgramStillPlaysHeadless) {
    // A copy of velmora alone: the window cannot open and says why in one
    // line, the headless run is untouched.
    test::TempDir dir;
    const std::string copy = dir.File("velmora");
    ASSERT_EQ(std::system(("cp " + std::string(VELMORA_EXE) + " " + copy).c_str()), 0);
    const std::string game = test::CopyDemo(dir);
    std::string out = Output("QT_QPA_PLATFORM=offscreen " + copy + " " + game + " 2>&1; echo status $?");
    EXPECT_EQ(out,
              "velmora: the window program velmora-window is not installed with velmora; run with --headless to play "
              "without a window\nstatus 2\n");
    dir.Write("e.txt", "wait 100\nscreenshot " + dir.File("shot.png") + "\n");
    out = Output(copy + " --headless --game " + game + " --events " + dir.File("e.txt") + " 2>&1; echo status $?");
    EXPECT_EQ(out, "status 0\n");
    EXPECT_TRUE(IsRegularFile(dir.File("shot.png")));
}

TEST(HeadlessRunner, CloseWithCancelKeepsPlayingAndOkEnds) {
    test::TempDir dir;
    dir.Write("e.txt", "wait 100\nanswer cancel\nclose\nwait 100\nclose\nwait 100000\n");
    std::string out;
    EXPECT_EQ(test::RunVelmora("--headless --game " + test::CopyDemo(dir) + " --events " + dir.File("e.txt") +
                                   " --trace " + dir.File("t.txt"),
                               &out),
              0);
    std::vector<uint8_t> trace;
    ASSERT_TRUE(ReadWholeFile(dir.File("t.txt"), trace));
    std::string text(trace.begin(), trace.end());
    EXPECT_NE(text.find("answered cancel"), std::string::npos) << text;
    EXPECT_NE(text.find("answered ok"), std::string::npos) << text;
    EXPECT_NE(text.find("run ended at 200 ms"), std::string::npos) << text;  // the window closed at once
}

TEST(HeadlessClock, TimerTicksAtEvery55msBoundary) {
    test::TestGame game;
    game.Script("main", "x\n");
    game.Build();
    test::HeadlessEngine e(game.path());
    e.plat.clock().Sleep(54);
    e.plat.ProcessMessages();
    EXPECT_EQ(e.f->app.timerTicks, 0);
    e.plat.clock().Sleep(1);
    e.plat.ProcessMessages();
    EXPECT_EQ(e.f->app.timerTicks, 1);
    e.plat.clock().Sleep(200);  // 255 ms: boundaries 110, 165, 220
    e.plat.ProcessMessages();
    EXPECT_EQ(e.f->app.timerTicks, 4);
}

TEST(IniStore, RegistrySemanticsInAFile) {
    test::TempDir dir;
    std::string path = dir.File("s.ini");
    {
        IniSettingsStore s(path);
        ASSERT_TRUE(s.Load());
        s.WriteInteger("Software\\Sablewood", "lumen", "Clear", 2);
        s.WriteString("Software\\Sablewood", "lumen", "PlayerName", "\x8e\x52\x93\x63");  // 山田 in CP932
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("[Software/Sablewood/lumen]\nClear=2\nPlayerName=山田\n"), std::string::npos) << text;
    IniSettingsStore again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.ReadInteger("software\\sablewood", "LUMEN", "clear", 0), 2);
    EXPECT_EQ(again.ReadString("Software\\Sablewood", "lumen", "playername", ""), "\x8e\x52\x93\x63");
    EXPECT_EQ(again.ReadInteger("Software\\Sablewood", "lumen", "Missing", 7), 7);
    again.Set("Software/Sablewood/lumen", "Broken", "12abc");
    EXPECT_EQ(again.ReadInteger("Software\\Sablewood", "lumen", "Broken", 5), 5);
}

namespace {
ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}
}  // namespace

// A write that changes nothing leaves the file alone; a changed value is on
// disk at once, or, inside a batch, all together when the batch ends.
TEST(IniStore, WritesOnlyChangesAndBatchesReachTheFileOnce) {
    test::TempDir dir;
    const std::string path = dir.File("s.ini");
    IniSettingsStore s(path);
    ASSERT_TRUE(s.Load());
    s.WriteInteger("K", "g", "A", 1);
    const ino_t first = InodeOf(path);
    ASSERT_NE(first, 0u);
    s.WriteInteger("K", "g", "a", 1);  // the same value under another spelling
    s.WriteString("K", "g", "A", "1");
    EXPECT_EQ(InodeOf(path), first);

    {
        SettingsBatch batch(s);
        s.WriteInteger("K", "g", "A", 2);
        {
            SettingsBatch inner(s);
            s.WriteInteger("K", "g", "B", 3);
        }
        // Still inside the outer batch: nothing written yet.
        IniSettingsStore disk(path);
        ASSERT_TRUE(disk.Load());
        EXPECT_EQ(disk.ReadInteger("K", "g", "A", 0), 1);
        EXPECT_EQ(disk.ReadInteger("K", "g", "B", 0), 0);
        EXPECT_EQ(InodeOf(path), first);
    }
    IniSettingsStore disk(path);
    ASSERT_TRUE(disk.Load());
    EXPECT_EQ(disk.ReadInteger("K", "g", "A", 0), 2);
    EXPECT_EQ(disk.ReadInteger("K", "g", "B", 0), 3);
    const ino_t second = InodeOf(path);
    EXPECT_NE(second, first);

    {  // a batch that changed nothing writes nothing
        SettingsBatch batch(s);
        s.WriteInteger("K", "g", "A", 2);
    }
    EXPECT_EQ(InodeOf(path), second);
    // Outside a batch each change is on disk before the call returns, as a crash would need.
    s.WriteInteger("K", "g", "A", 4);
    IniSettingsStore after(path);
    ASSERT_TRUE(after.Load());
    EXPECT_EQ(after.ReadInteger("K", "g", "A", 0), 4);
}
