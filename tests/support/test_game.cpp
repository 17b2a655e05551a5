#include "support/test_game.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "data/file_io.h"
#include "platform/headless/ini_store.h"

namespace velmora::test {

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return std::string();
    return std::string(bytes.begin(), bytes.end());
}

TempDir::TempDir() {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/velmora-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& bytes) const {
    WriteFileAtomic(File(name), bytes.data(), bytes.size());
}

void TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    WriteFileAtomic(File(name), bytes);
}

TestGame::TestGame() = default;

TestGame& TestGame::Script(const std::string& name, const std::string& utf8, bool second) {
    tools::PackEntry e;
    e.name = name;
    std::string error;
    if (!tools::ScriptTextToCp932(utf8, name, e.data, error)) throw std::runtime_error(error);
    scripts_[second ? 1 : 0].push_back(std::move(e));
    return *this;
}

TestGame& TestGame::Entry(const std::string& file, const std::string& name, const std::vector<uint8_t>& data,
                          int width) {
    auto& v = volumes_[file];
    v.first = width;
    v.second.push_back(tools::PackEntry{name, data});
    return *this;
}

void TestGame::Build() {
    static const char* const kFiles[2] = {"vk_data.vrk", "vk_data2.vrk"};
    std::string error;
    for (int i = 0; i < 2; ++i) {
        if (i == 1 && scripts_[1].empty()) continue;
        std::vector<uint8_t> out;
        if (!tools::BuildScriptArchive(scripts_[i], out, error)) throw std::runtime_error(error);
        dir_.Write(kFiles[i], out);
    }
    for (auto& [file, v] : volumes_) {
        std::vector<uint8_t> out;
        if (!tools::BuildVolume(v.second, v.first, out, error)) throw std::runtime_error(error);
        dir_.Write(file, out);
    }
}

HeadlessEngine::HeadlessEngine(const std::string& gameDir, int screenWidth, int screenHeight,
                               std::unique_ptr<platform::SettingsStore> store, bool create)
    : plat(store ? std::move(store) : std::make_unique<platform::IniSettingsStore>()) {
    char cwd[4096];
    oldCwd = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
    plat.screenWidth = screenWidth;
    plat.screenHeight = screenHeight;
    f = std::make_unique<TForm1>(plat);
    f->app.gameDir = gameDir;
    f->app.seed = 1;
    plat.Attach(f.get());
    if (create) f->FormCreate();
}

HeadlessEngine::~HeadlessEngine() {
    f.reset();
    if (::chdir(oldCwd.c_str()) != 0) std::perror("chdir");
}

std::string CopyDemo(const TempDir& dir) {
    const std::string to = dir.File("demo");
    std::filesystem::copy(VELMORA_DEMO_DIR, to, std::filesystem::copy_options::recursive);
    for (const char* name : kPlayerFiles) std::filesystem::remove_all(to + "/" + name);
    return to;
}

int RunVelmora(const std::string& args, std::string* output, int timeoutSeconds) {
    const std::string limit = timeoutSeconds > 0 ? "timeout -k 5 " + std::to_string(timeoutSeconds) + " " : "";
    std::string cmd = limit + VELMORA_EXE + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    std::string out;
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = ::pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace velmora::test
