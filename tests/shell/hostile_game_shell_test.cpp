// The desktop platform against a hostile game and a stuck speech daemon: a
// maker's key that climbs out of the settings folder keeps no file, and a
// daemon that never accepts does not hold the window.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFileInfo>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/qt/speech_worker.h"
#include "shell/shell_support.h"

using namespace velmora;

TEST(HostileGameShell, AKeyPathThatClimbsOutKeepsNoSettingsFile) {
    test::ScratchConfig config;
    platform::QtSettingsStore store;
    const std::string climb = "Software\\..\\..\\..\\escaped";
    store.WriteInteger(climb, "id", "SMode", 1);
    store.WriteString(climb, "id", "FontName", "x");
    EXPECT_EQ(store.ReadInteger(climb, "id", "SMode", -1), -1);
    // Nothing was made anywhere near the settings folder.
    const std::filesystem::path root(config.dir.path());
    EXPECT_FALSE(std::filesystem::exists(root.parent_path() / "escaped"));
    EXPECT_FALSE(std::filesystem::exists(root / "escaped"));
    EXPECT_FALSE(std::filesystem::exists(root / "velmora"));
    // An ordinary key still works.
    store.WriteInteger("Software\\Maker", "id", "SMode", 1);
    EXPECT_EQ(store.ReadInteger("Software\\Maker", "id", "SMode", -1), 1);
}

TEST(HostileGameShell, ASpeechDaemonThatNeverAcceptsDoesNotHoldTheWindow) {
    test::TempDir dir;
    const std::string path = dir.File("speechd.sock");
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(server, 0), 0);
    // Fill the backlog: from here on a blocking connect would wait for ever.
    std::vector<int> waiting;
    for (int i = 0; i < 8; ++i) {
        const int c = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        waiting.push_back(c);
    }
    const std::string before = std::getenv("SPEECHD_ADDRESS") ? std::getenv("SPEECHD_ADDRESS") : "";
    ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + path).c_str(), 1);
    const auto start = std::chrono::steady_clock::now();
    std::string why;
    EXPECT_FALSE(platform::SpeechWorker::Reachable(&why));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(why.empty());
    {
        // Switched on all the same: the speech thread's connect hangs, the window's calls do not.
        platform::SpeechWorker speech;
        const auto asked = std::chrono::steady_clock::now();
        speech.Configure(0, 0);
        speech.Say("こんにちは", false);
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(500));
        std::string failure;
        while (!speech.Failed(&failure) && std::chrono::steady_clock::now() - asked < std::chrono::seconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_NE(failure.find("did not answer"), std::string::npos) << failure;
        speech.Say("もう一度", true);  // dropped at once
    }
    if (before.empty()) ::unsetenv("SPEECHD_ADDRESS");
    else ::setenv("SPEECHD_ADDRESS", before.c_str(), 1);
    for (int c : waiting) ::close(c);
    ::close(server);
}
