// velmora-pack web: what goes into a published site, and what must not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_game.h"
#include "tools/web_publish.h"

namespace fs = std::filesystem;
using velmora::tools::GameFilesToPublish;
using velmora::tools::JsonString;
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

namespace {

// The cache name the site's service worker keeps its files under.
std::string CacheName(const fs::path& site) {
    const std::string worker = Slurp(site / "service-worker.js");
    const size_t at = worker.find("'velmora-");
    return at == std::string::npos ? std::string() : worker.substr(at, worker.find('\'', at + 1) - at);
}

}  // namespace

// The site installs as an app and keeps every file it plays from; a changed
// file makes a new cache (the worker never serves an old build for ever),
// an unchanged site the same one.
TEST(WebPublish, AppManifestIconsAndAWorkerThatKeepsEveryFile) {
    velmora::test::TempDir dir;
    const fs::path root(dir.path());
    velmora::test::TestGame game;
    game.Script("_config", "TITLE:月の\"夜\"\nGAME_ID:moon\n");
    game.Build();
    Touch(fs::path(game.path()) / "movie/op ning.bin", "movie");
    Touch(root / "font/face.ttf", "face");
    for (const char* f : {"velmora.js", "velmora.wasm", "index.html", "velmora-page.js", "velmora-page.css"})
        Touch(root / "engine" / f, f);
    WebPublishOptions o;
    o.gameDir = game.path();
    o.outDir = (root / "site").string();
    o.engineDir = (root / "engine").string();
    o.fonts = {(root / "font/face.ttf").string()};
    std::string error;
    ASSERT_TRUE(PublishWebSite(o, error)) << error;

    const std::string manifest = Slurp(root / "site/velmora.webmanifest");
    EXPECT_NE(manifest.find("\"name\": \"月の\\\"夜\\\"\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("icon-512.png"), std::string::npos);
    for (int n : {192, 512}) {
        const std::string png = Slurp(root / "site" / ("icon-" + std::to_string(n) + ".png"));
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(static_cast<unsigned char>(png[18]) * 256 + static_cast<unsigned char>(png[19]), n);
    }
    const std::string worker = Slurp(root / "site/service-worker.js");
    for (const char* f : {"\"./\"", "\"index.html\"", "\"velmora.wasm\"", "\"fonts/face.ttf\"",
                          "\"game/manifest.txt\"", "\"game/vk_data.vrk\"", "\"game/movie/op%20ning.bin\"",
                          "\"icon-192.png\"", "\"velmora.webmanifest\""})
        EXPECT_NE(worker.find(f), std::string::npos) << f;
    const std::string first = CacheName(root / "site");
    ASSERT_EQ(first.size(), std::string("'velmora-").size() + 16) << first;

    ASSERT_TRUE(PublishWebSite(o, error)) << error;
    EXPECT_EQ(CacheName(root / "site"), first);
    Touch(root / "engine/velmora.wasm", "a new build");
    ASSERT_TRUE(PublishWebSite(o, error)) << error;
    EXPECT_NE(CacheName(root / "site"), first);
}

TEST(WebPublish, JsonStringsEscapeQuotesBackslashesAndControls) {
    EXPECT_EQ(JsonString("a\"b\\c\n\x01夜"), "\"a\\\"b\\\\c\\u000a\\u0001夜\"");
}
