#pragma once
// Building tiny games for tests: a temporary game folder, its archives made
// with the project's own writer, and an engine on the headless platform.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/engine.h"
#include "platform/headless/headless_platform.h"
#include "tools/archive_writer.h"

namespace velmora::test {

// A text file whole (empty when it cannot be read).
std::string ReadText(const std::string& path);

// A fresh directory under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    void Write(const std::string& name, const std::string& bytes) const;
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::string path_;
};

// A game under construction: scripts as UTF-8 text, volumes as entries.
class TestGame {
public:
    TestGame();
    // Adds a script (UTF-8 text) to "vk_data.vrk" or, with second, "vk_data2.vrk".
    TestGame& Script(const std::string& name, const std::string& utf8, bool second = false);
    // Adds a raw entry to a volume file of the given name width.
    TestGame& Entry(const std::string& file, const std::string& name, const std::vector<uint8_t>& data,
                    int width = 16);
    // Writes every archive into the folder.
    void Build();
    const TempDir& dir() const { return dir_; }
    std::string path() const { return dir_.path(); }

private:
    TempDir dir_;
    std::vector<tools::PackEntry> scripts_[2];
    std::map<std::string, std::pair<int, std::vector<tools::PackEntry>>> volumes_;
};

// An engine on the headless platform, created (FormCreate run) in dir.
struct HeadlessEngine {
    explicit HeadlessEngine(const std::string& gameDir, int screenWidth = 1920, int screenHeight = 1080,
                            std::unique_ptr<platform::SettingsStore> store = nullptr, bool create = true);
    ~HeadlessEngine();
    platform::HeadlessPlatform plat;
    std::unique_ptr<TForm1> f;
    std::string oldCwd;
};

// What a player's runs leave in a game folder beside its archives.
inline constexpr const char* kPlayerFiles[] = {"save", "save0.dat", "save0.dat.lock", "kaiso.dat"};

// A copy of the built demo game inside dir (its folder), without saves:
// tests play the copy, so nothing they do lands in the game a player runs.
std::string CopyDemo(const TempDir& dir);

// Runs the velmora executable and returns its exit status; output captured.
// With timeoutSeconds, a run that outlives it is killed and gives 124.
int RunVelmora(const std::string& args, std::string* output = nullptr, int timeoutSeconds = 0);

}  // namespace velmora::test
