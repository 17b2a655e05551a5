// The tests run inside a scratch folder made for the run, so that what an
// engine writes into its working folder (global data, screenshots named
// without a folder) never lands in the build or source tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class ScratchDir : public ::testing::Environment {
public:
    void SetUp() override {
        char name[] = "/tmp/velmora-tests-XXXXXX";
        if (!::mkdtemp(name) || ::chdir(name) != 0) return;
        dir_ = name;
    }
    void TearDown() override {
        if (dir_.empty()) return;
        if (::chdir("/") == 0) std::filesystem::remove_all(dir_);
    }

private:
    std::string dir_;
};

[[maybe_unused]] ::testing::Environment* const kScratch = ::testing::AddGlobalTestEnvironment(new ScratchDir);

}  // namespace
