// velmora-pack web: what goes into a published site, and what must not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_game.h"
#include "tools/web_publish.h"

namespace fs = std::filesystem;
using velmora::tools::GameFilesToPublish;
using velmora::tools::PublishWebSite;
using velmora::tools::WebPublishOptions;

namespace {

void Touch(const fs::path& p, const std::string& text = "x") {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// A player's saves, global data, locks and leftovers stay at home; the
// game's archives and folders go.
TEST(WebPublish, GameFilesLeaveThePlayersDataOut) {
    velmora::test::TempDir dir;
    const fs::path game = fs::path(dir.path()) / "game";
    for (const char* f : {"vk_data.vrk", "vk_gra.vrk", "movie/op.bin", "save/save01.dat", "save0.dat", "kaiso.dat",
                          "save0.dat.lock", ".cache/x", "dist/vk_data.vrk", "vk_gra.vrk.tmp.123"})
        Touch(game / f);
    std::vector<std::string> files;
    std::string error;
    ASSERT_TRUE(GameFilesToPublish(game.string(), files, error)) << error;
    EXPECT_EQ(files, (std::vector<std::string>{"movie/op.bin", "vk_data.vrk", "vk_gra.vrk"}));
}

TEST(WebPublish, SiteHoldsEngineFontAndGameWithTheirManifests) {
    velmora::test::TempDir dir;
    const fs::path root(dir.path());
    Touch(root / "game/vk_data.vrk", "data");
    Touch(root / "game/save/save01.dat");
    Touch(root / "font/face.ttf", "face");
    WebPublishOptions o;
    o.gameDir = (root / "game").string();
    o.outDir = (root / "site").string();
    o.engineDir = (root / "engine").string();
    o.fonts = {(root / "font/face.ttf").string()};
    for (const char* f : {"velmora.js", "index.html", "velmora-page.js", "velmora-page.css"}) Touch(root / "engine" / f);
    std::string error;
    // An engine without its WebAssembly is refused by name, before anything is written.
    EXPECT_FALSE(PublishWebSite(o, error));
    EXPECT_NE(error.find("velmora.wasm"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(root / "site"));

    Touch(root / "engine/velmora.wasm", "wasm");
    int count = 0;
    ASSERT_TRUE(PublishWebSite(o, error, &count)) << error;
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Slurp(root / "site/game/manifest.txt"), "vk_data.vrk\n");
    EXPECT_EQ(Slurp(root / "site/game/vk_data.vrk"), "data");
    EXPECT_FALSE(fs::exists(root / "site/game/save"));
    EXPECT_EQ(Slurp(root / "site/fonts/manifest.txt"), "face.ttf\n");
    EXPECT_EQ(Slurp(root / "site/velmora.wasm"), "wasm");

    // A folder that is not a game is named in the message.
    o.gameDir = (root / "nowhere").string();
    EXPECT_FALSE(PublishWebSite(o, error));
    EXPECT_NE(error.find("nowhere"), std::string::npos) << error;
}
