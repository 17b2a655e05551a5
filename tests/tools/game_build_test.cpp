// velmora-pack new, build and extract: a starter game that packs and plays
// at once under --strict, builds that code only what changed, and archives
// that come back byte for byte through extract and build.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/wady.h"
#include "data/archive.h"
#include "data/file_io.h"
#include "gfx/anim.h"
#include "gfx/image_files.h"
#include "gfx/png_file.h"
#include "support/test_game.h"
#include "tools/game_build.h"
#include "tools/game_check.h"
#include "tools/game_layout.h"
#include "tools/picture_encoder.h"
#include "tools/sound_encoder.h"

using namespace velmora;
using namespace velmora::tools;

namespace {

std::vector<uint8_t> Bytes(const std::string& path) {
    std::vector<uint8_t> b;
    ReadWholeFile(path, b);
    return b;
}

int RunTool(const std::string& cmd, std::string* out = nullptr) {
    std::string all = cmd + " 2>&1";
    FILE* p = ::popen(all.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    std::string text;
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    const int status = ::pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const char* const kArchives[] = {"vk_data.vrk", "vk_gra.vrk", "vk_se0.vrk", "vk_ogg1.vrk", "vk_bgm.vrk"};

}  // namespace

TEST(GameBuild, TheStarterGameBuildsChecksCleanAndPlaysToItsChoicesUnderStrict) {
    test::TempDir dir;
    const std::string game = dir.File("mygame");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    EXPECT_FALSE(NewGame(game, error)) << "new must not write over a game";
    BuildSummary s;
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    for (const char* a : kArchives) EXPECT_TRUE(IsRegularFile(game + "/dist/" + a)) << a;
    EXPECT_EQ(s.coded, s.entries);

    // The checker passes it, from its sources and from its archives.
    for (const std::string& where : {game, game + "/dist"}) {
        GameContents g;
        ASSERT_TRUE(ReadGameContents(where, g, error)) << error;
        CheckReport r = CheckGame(g);
        std::string all;
        for (const CheckFinding& f : r.findings) all += FormatFinding(f) + "\n";
        EXPECT_EQ(r.errors + r.warnings, 0) << where << "\n" << all;
    }

    // The title's menu, then the first scene up to its choice: no content error.
    dir.Write("play.events",
              "wait 2000\nscreenshot " + dir.File("title.png") + "\nmove 400 184\nwait 100\nclick 400 184\nwait 3000\n"
              "click 400 300\nwait 1000\nclick 400 300\nwait 1000\nclick 400 300\nwait 2000\n"
              "screenshot " + dir.File("choice.png") + "\n");
    std::string out;
    const int rc = test::RunVelmora("--headless --strict --game " + game + "/dist --events " + dir.File("play.events") +
                                        " --trace " + dir.File("t.txt"),
                                    &out);
    std::vector<uint8_t> trace = Bytes(dir.File("t.txt"));
    const std::string t(trace.begin(), trace.end());
    EXPECT_EQ(rc, 0) << out << t.substr(t.size() > 4000 ? t.size() - 4000 : 0);
    EXPECT_NE(t.find("content errors: none"), std::string::npos);
    EXPECT_NE(t.find("chain scene1: loaded"), std::string::npos) << "the title's first option starts the scene";
    EXPECT_NE(t.find("select: 2 options"), std::string::npos) << "the scene reaches its choice";
}

TEST(GameBuild, TheStartersQuickBarAndPlateShowWhereTheyAct) {
    test::TempDir dir;
    const std::string game = dir.File("mygame");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    // The plate is opaque all over: it lies over the scene, inside the window.
    Picture plate;
    ASSERT_TRUE(ReadPng(game + "/pictures/sys_np.png", plate));
    ASSERT_EQ(plate.height, 88);
    for (int y = 44; y < 88; ++y)
        for (int x = 0; x < 224; ++x) ASSERT_EQ(plate.Pixel(x, y)[0], 255) << x << "," << y;
    BuildSummary s;
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;

    // The first page, then the pointer on the quick-save button.
    dir.Write("look.events", "wait 2000\nmove 400 184\nwait 100\nclick 400 184\nwait 3000\nscreenshot " +
                                 dir.File("page.png") + "\nmove 138 577\nwait 300\nscreenshot " + dir.File("hover.png") +
                                 "\n");
    std::string out;
    ASSERT_EQ(test::RunVelmora("--headless --strict --game " + game + "/dist --events " + dir.File("look.events"), &out),
              0)
        << out;
    Picture page, hover;
    ASSERT_TRUE(ReadPng(dir.File("page.png"), page));
    ASSERT_TRUE(ReadPng(dir.File("hover.png"), hover));
    auto differs = [](const uint8_t* a, const uint8_t* b) {
        return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 60;
    };
    // Each button's face stands out from the window beside it, and changes under the pointer.
    const int barY = 340 + 224;
    for (int x : {90, 194, 308, 380, 474}) {
        EXPECT_TRUE(differs(page.Pixel(x + 20, barY + 17), page.Pixel(40, barY + 17))) << "button at " << x;
        EXPECT_TRUE(differs(page.Pixel(x, barY + 4), page.Pixel(x, barY + 1))) << "the rim of the button at " << x;
    }
    EXPECT_TRUE(differs(hover.Pixel(110, barY + 17), page.Pixel(110, barY + 17)));
    EXPECT_FALSE(differs(hover.Pixel(210, barY + 17), page.Pixel(210, barY + 17)));  // the next one stays
    if (std::getenv("VELMORA_SHOTS")) {
        std::filesystem::copy_file(dir.File("page.png"), std::string(std::getenv("VELMORA_SHOTS")) + "/starter-page.png",
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(dir.File("hover.png"), std::string(std::getenv("VELMORA_SHOTS")) + "/starter-hover.png",
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

TEST(GameBuild, ABuildWithNothingChangedCodesNothingAndOneChangeRebuildsOneArchive) {
    test::TempDir dir;
    const std::string game = dir.File("g");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    BuildSummary s;
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    const std::vector<uint8_t> pictures = Bytes(game + "/dist/vk_gra.vrk");
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.coded, 0);
    EXPECT_EQ(s.unchanged, s.archives);
    // A script changes: its archive alone is built again, and only it is coded.
    dir.Write("g/scripts/scene1.txt", "ようこそ。▼\n*chain title\n");
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.unchanged, s.archives - 1);
    EXPECT_EQ(s.coded, 1);
    EXPECT_EQ(Bytes(game + "/dist/vk_gra.vrk"), pictures);
    // What was coded before and is lost from the cache is coded again.
    const std::vector<uint8_t> scripts = Bytes(game + "/dist/vk_data.vrk");
    std::remove((game + "/dist/.cache/vk_data.vrk/TITLE").c_str());
    dir.Write("g/scripts/scene1.txt", "ようこそ。▼\n*chain title\n");
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.coded, 2);
    EXPECT_EQ(Bytes(game + "/dist/vk_data.vrk"), scripts);
    // Every voice taken out: the voice archive goes with them, but one the
    // author changed by hand since is kept.
    std::filesystem::remove_all(game + "/voices");
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.removed, 1);
    EXPECT_FALSE(IsRegularFile(game + "/dist/vk_ogg1.vrk"));
    EXPECT_TRUE(IsRegularFile(game + "/dist/vk_gra.vrk"));
    ASSERT_TRUE(NewGame(dir.File("g2"), error)) << error;
    std::filesystem::rename(dir.File("g2/voices"), game + "/voices");
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    std::filesystem::remove_all(game + "/voices");
    dir.Write("g/dist/vk_ogg1.vrk", std::string("made by hand"));
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.removed, 0);
    EXPECT_EQ(Bytes(game + "/dist/vk_ogg1.vrk").size(), 12u);
    // A script that has no Shift-JIS form stops the build with its file and line.
    dir.Write("g/scripts/scene1.txt", "ok\n\xF0\x9F\x98\x80\n");
    EXPECT_FALSE(BuildGame(game, "", nullptr, s, error));
    EXPECT_NE(error.find("scene1.txt:2:"), std::string::npos) << error;
}

TEST(GameBuild, ACacheFolderOfItsOwnLeavesTheOutputHoldingTheArchivesAlone) {
    test::TempDir dir;
    const std::string game = dir.File("g");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    // As a build system runs it: the output is the folder a player runs.
    std::string out;
    const std::string pack = std::string(VELMORA_PACK_EXE) + " build --cache " + dir.File("cache") + " " + game + " ";
    ASSERT_EQ(RunTool(pack + dir.File("play"), &out), 0) << out;
    std::vector<std::string> files = ListFolder(dir.File("play"), false);
    EXPECT_EQ(files.size(), std::size(kArchives));
    for (const std::string& f : files) EXPECT_EQ(f.substr(f.size() - 4), ".vrk") << f;
    EXPECT_FALSE(IsDirectory(dir.File("play/.cache")));
    EXPECT_FALSE(IsDirectory(game + "/dist"));
    EXPECT_TRUE(IsDirectory(dir.File("cache/vk_gra.vrk")));
    const std::vector<uint8_t> pictures = Bytes(dir.File("play/vk_gra.vrk"));

    // The same folders named another way: nothing is coded again.
    BuildSummary s;
    const std::string viaDot = dir.File("g/../g/.");
    ASSERT_TRUE(BuildGame(viaDot, dir.File("./play"), nullptr, s, error, dir.File("cache/"))) << error;
    EXPECT_EQ(s.coded, 0);
    EXPECT_EQ(s.unchanged, s.archives);
    // A second output from the same cache: its archives are made, not coded.
    ASSERT_TRUE(BuildGame(game, dir.File("copy"), nullptr, s, error, dir.File("cache"))) << error;
    EXPECT_EQ(s.coded, 0);
    EXPECT_EQ(s.unchanged, 0);
    EXPECT_EQ(Bytes(dir.File("copy/vk_gra.vrk")), pictures);

    EXPECT_EQ(RunTool(std::string(VELMORA_PACK_EXE) + " build " + game + " --cache", &out), 2) << out;
    EXPECT_EQ(RunTool(std::string(VELMORA_PACK_EXE) + " build --cash x " + game, &out), 2) << out;
}

TEST(GameBuild, PlayingFromTheRunFolderKeepsTheShippedFolderClean) {
    test::TempDir dir;
    const std::string game = dir.File("g");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    // run: built, then played from g/run with the engine beside the tool;
    // the save of that play lands in g/run, not in g/dist.
    dir.Write("play.events", "wait 2000\nsave 3\n");
    std::string out;
    ASSERT_EQ(RunTool(std::string(VELMORA_PACK_EXE) + " run " + game + " -- --headless --events " +
                          dir.File("play.events") + " --game",
                      &out),
              0)
        << out;
    EXPECT_NE(out.find("playing " + game + "/run"), std::string::npos) << out;
    EXPECT_TRUE(IsRegularFile(game + "/run/save/save03.dat")) << out;
    EXPECT_TRUE(PlayDataIn(game + "/dist").empty());
    EXPECT_EQ(PlayDataIn(game + "/run").size(), 3u);  // save/, save0.dat and kaiso.dat
    for (const char* a : kArchives) EXPECT_TRUE(std::filesystem::is_symlink(game + "/run/" + a)) << a;

    // Played from dist itself: build says so, and what to do instead.
    ASSERT_TRUE(MakeDirectories(game + "/dist/save"));
    dir.Write("g/dist/save0.dat", "x");
    ASSERT_EQ(RunTool(std::string(VELMORA_PACK_EXE) + " build " + game, &out), 0) << out;
    EXPECT_NE(out.find("warning: " + game + "/dist holds saved play (save/, save0.dat)"), std::string::npos) << out;
    EXPECT_NE(out.find("velmora-pack run " + game), std::string::npos) << out;
    // A file the author put in the way of a link is not overwritten.
    std::filesystem::remove(game + "/run/vk_gra.vrk");
    dir.Write("g/run/vk_gra.vrk", "mine");
    EXPECT_FALSE(PrepareRunFolder(game + "/dist", game + "/run", error));
    EXPECT_NE(error.find("in the way"), std::string::npos) << error;
}

TEST(GameBuild, TheDemoIsBuiltIntoAFolderOfItsArchivesAlone) {
    // Built from its game folder like any game, without build's own state
    // beside the archives (a player's saves may be there).
    std::set<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(VELMORA_DEMO_DIR)) {
        const std::string name = e.path().filename().string();
        if (std::find(std::begin(test::kPlayerFiles), std::end(test::kPlayerFiles), name) ==
            std::end(test::kPlayerFiles))
            found.insert(name);
    }
    const std::set<std::string> archives = {"vk_anim.vrk", "vk_bgm.vrk", "vk_data.vrk", "vk_gra.vrk",
                                            "vk_ogg1.vrk", "vk_se0.vrk", "vk_se2.vrk"};
    EXPECT_EQ(found, archives);
    for (const char* folder : {"scripts", "pictures", "sounds", "loops", "voices", "music", "anim"})
        EXPECT_TRUE(IsDirectory(std::string(VELMORA_DEMO_GAME) + "/" + folder)) << folder;
}

TEST(GameBuild, ExtractThenBuildGivesTheSameArchives) {
    test::TempDir dir;
    const std::string game = dir.File("g");
    std::string error;
    ASSERT_TRUE(NewGame(game, error)) << error;
    BuildSummary s;
    ASSERT_TRUE(BuildGame(game, "", nullptr, s, error)) << error;
    const std::string back = dir.File("back");
    for (const char* a : kArchives) ASSERT_TRUE(ExtractArchive(game + "/dist/" + a, {}, back, nullptr, error)) << error;
    EXPECT_TRUE(IsRegularFile(back + "/config.txt"));
    EXPECT_TRUE(IsRegularFile(back + "/pictures/B_GUIDE.png"));  // the sprite with its mask as alpha
    EXPECT_TRUE(IsRegularFile(back + "/music/M01.wav"));
    ASSERT_TRUE(BuildGame(back, "", nullptr, s, error)) << error;
    for (const char* a : kArchives)
        EXPECT_EQ(Bytes(back + "/dist/" + a), Bytes(game + "/dist/" + a)) << a << " differs after extract and build";
    // Named entries alone, and the program's refusals.
    const std::string one = dir.File("one");
    ASSERT_TRUE(ExtractArchive(game + "/dist/vk_gra.vrk", {"a_title"}, one, nullptr, error)) << error;
    EXPECT_EQ(ListFolder(one + "/pictures", false), std::vector<std::string>{"A_TITLE.png"});
    EXPECT_FALSE(ExtractArchive(game + "/dist/vk_gra.vrk", {"NOPE"}, one, nullptr, error));
    dir.Write("vk_gra.vrk", std::string("not an archive at all"));
    std::string out;
    EXPECT_EQ(RunTool(std::string(VELMORA_PACK_EXE) + " list " + dir.File("vk_gra.vrk"), &out), 1) << out;
    EXPECT_NE(out.find("not an archive"), std::string::npos) << out;
    MakeDirectories(dir.File("loose"));
    dir.Write("loose/intro.txt", "hello\n");
    EXPECT_EQ(RunTool(std::string(VELMORA_PACK_EXE) + " script " + dir.File("loose") + " " + dir.File("x.vrk"), &out), 0);
    EXPECT_NE(out.find("warning: " + dir.File("loose") + " has no script \"main\""), std::string::npos) << out;
    EXPECT_NE(out.find("has no script \"_config\""), std::string::npos) << out;
}

namespace {

// The entry `name` of the archive at path, or empty.
std::vector<uint8_t> EntryOf(const std::string& path, const std::string& name, bool script = false) {
    ArchiveIndex index;
    index.path = path;
    if (script) ReadScriptIndex(path, index);
    else ReadVolumeIndex(path, index);
    std::vector<uint8_t> out;
    const int pos = FindEntry(index, name);
    if (pos >= 0) ReadEntry(index, pos, out);
    return out;
}

PcmSound Tone(size_t frames) {
    PcmSound s;
    for (size_t i = 0; i < frames; ++i) s.samples.push_back(static_cast<int16_t>((i * 97) % 2000 - 1000));
    return s;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    MakeDirectories(path.substr(0, path.rfind('/')));
    WriteFileAtomic(path, bytes);
}

Picture Solid(int w, int h, uint8_t v) {
    Picture p;
    p.Resize(w, h);
    for (int y = 0; y < h; ++y) std::memset(p.Row(y), v, static_cast<size_t>(p.Stride()));
    return p;
}

}  // namespace

TEST(GameBuild, EachFolderIsCodedByItsOwnRules) {
    test::TempDir dir;
    const std::string g = dir.File("g");
    MakeDirectories(g + "/scripts");
    dir.Write("g/scripts/main.txt", "こんにちは\n");
    // An RGBA PNG becomes a masked picture beside its colour, or below it.
    const Picture colour = Solid(10, 6, 200), alpha = Solid(10, 6, 128);
    MakeDirectories(g + "/pictures");
    ASSERT_TRUE(WritePngWithAlpha(g + "/pictures/b_side.png", colour, &alpha));
    ASSERT_TRUE(WritePngWithAlpha(g + "/pictures/ovl.stacked.png", colour, &alpha));
    ASSERT_TRUE(WritePng(g + "/pictures/a_plain.png", Solid(8, 4, 50)));
    WriteFile(g + "/music/m01.wav", WriteWav(Tone(22050)));
    dir.Write("g/music/loops.txt", "# tracks\nM01 loop=1000 quarter=2205\n");
    // An animation from its frames, its sound and its options.
    for (int k = 0; k < 3; ++k) {
        MakeDirectories(g + "/anim/glow");
        ASSERT_TRUE(WritePng(g + "/anim/glow/f" + std::to_string(k) + ".png", Solid(16, 16, static_cast<uint8_t>(40 * k))));
    }
    dir.Write("g/anim/glow/anim.txt", "frame-time 80\n");
    WriteFile(g + "/anim/glow/sound.wav", WriteWav(Tone(4000)));
    BuildSummary s;
    std::string error;
    ASSERT_TRUE(BuildGame(g, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.entries, 6);

    Picture p;
    std::vector<uint8_t> e = EntryOf(g + "/dist/vk_gra.vrk", "B_SIDE");
    ASSERT_TRUE(DecodePackedPicture(e.data(), e.size(), p));
    EXPECT_EQ(p.width, 20);
    EXPECT_EQ(p.height, 6);
    EXPECT_EQ(p.Pixel(15, 3)[0], 128);  // the mask, right of the colour
    e = EntryOf(g + "/dist/vk_gra.vrk", "OVL");
    ASSERT_TRUE(DecodePackedPicture(e.data(), e.size(), p));
    EXPECT_EQ(p.width, 10);
    EXPECT_EQ(p.height, 12);
    e = EntryOf(g + "/dist/vk_gra.vrk", "A_PLAIN");
    ASSERT_TRUE(DecodePackedPicture(e.data(), e.size(), p));
    EXPECT_EQ(p.width, 8);

    WadyHeader h;
    e = EntryOf(g + "/dist/vk_bgm.vrk", "M01");
    ASSERT_TRUE(ParseWadyHeader(e.data(), e.size(), h));
    EXPECT_EQ(h.framesPerQuarter, 2205u);
    EXPECT_EQ(h.loopStart, 1000u);  // mono: one coded byte a frame

    AnimEntry a;
    e = EntryOf(g + "/dist/vk_anim.vrk", "GLOW");
    ASSERT_TRUE(ParseAnimHeader(e.data(), e.size(), a));
    EXPECT_EQ(a.frameTime, 80u);
    EXPECT_EQ(a.frameCount, 3u);
    EXPECT_NE(a.soundSize, 0u);

    std::vector<uint8_t> script = EntryOf(g + "/dist/vk_data.vrk", "MAIN", true);
    NegateBytes(script.data(), script.size());
    EXPECT_EQ(std::string(script.begin(), script.end()), std::string("\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\0", 11));
}

TEST(GameBuild, RefusesWhatTheEngineCouldNotFind) {
    test::TempDir dir;
    const std::string g = dir.File("g");
    MakeDirectories(g + "/scripts");
    MakeDirectories(g + "/pictures");
    dir.Write("g/scripts/main.txt", "x\n");
    BuildSummary s;
    std::string error;
    // Two files that would be one entry.
    ASSERT_TRUE(WritePng(g + "/pictures/a_sky.png", Solid(4, 4, 1)));
    ASSERT_TRUE(WritePng(g + "/pictures/A_SKY.stacked.png", Solid(4, 4, 1)));
    EXPECT_FALSE(BuildGame(g, "", nullptr, s, error));
    EXPECT_NE(error.find("\"A_SKY\" is taken by"), std::string::npos) << error;
    std::remove((g + "/pictures/A_SKY.stacked.png").c_str());
    // A name the archive cannot hold.
    ASSERT_TRUE(WritePng(g + "/pictures/a_very_long_name_x.png", Solid(4, 4, 1)));
    EXPECT_FALSE(BuildGame(g, "", nullptr, s, error));
    EXPECT_NE(error.find("longer than 15 characters"), std::string::npos) << error;
    std::remove((g + "/pictures/a_very_long_name_x.png").c_str());
    // A loop point past the end of its track, named with the track.
    WriteFile(g + "/music/M02.wav", WriteWav(Tone(100)));
    dir.Write("g/music/loops.txt", "M02 loop=5000\n");
    EXPECT_FALSE(BuildGame(g, "", nullptr, s, error));
    EXPECT_NE(error.find("M02"), std::string::npos) << error;
    dir.Write("g/music/loops.txt", "M02 lop=5\n");
    EXPECT_FALSE(BuildGame(g, "", nullptr, s, error));
    EXPECT_NE(error.find("unknown option \"lop\""), std::string::npos) << error;
    std::remove((g + "/music/M02.wav").c_str());
    // An animation with two sound tracks.
    MakeDirectories(g + "/anim/glow");
    ASSERT_TRUE(WritePng(g + "/anim/glow/f0.png", Solid(4, 4, 1)));
    WriteFile(g + "/anim/glow/sound.wav", WriteWav(Tone(100)));
    WriteFile(g + "/anim/glow/chime.wav", WriteWav(Tone(100)));
    EXPECT_FALSE(BuildGame(g, "", nullptr, s, error));
    EXPECT_NE(error.find("a second sound"), std::string::npos) << error;
    // No scripts folder: not a game folder.
    EXPECT_FALSE(BuildGame(dir.File("nothing"), "", nullptr, s, error));
}

TEST(GameBuild, FilesCodedSideBySideGiveTheEntriesOfOneByOneAndTheFirstFaultIsNamed) {
    test::TempDir dir;
    const std::string g = dir.File("g");
    MakeDirectories(g + "/scripts");
    MakeDirectories(g + "/pictures");
    dir.Write("g/scripts/main.txt", "x\n");
    for (int k = 0; k < 24; ++k)
        ASSERT_TRUE(WritePng(g + "/pictures/p" + std::to_string(k) + ".png",
                             Solid(8 + 3 * k, 4 + k, static_cast<uint8_t>(10 * k))));
    BuildSummary s;
    std::string error;
    ASSERT_TRUE(BuildGame(g, "", nullptr, s, error)) << error;
    EXPECT_EQ(s.coded, 25);
    for (int k = 0; k < 24; ++k) {
        PackedPictureFile alone;
        const std::string name = "p" + std::to_string(k);
        ASSERT_TRUE(PackPngPicture(g + "/pictures/" + name + ".png", MaskLayout::SideBySide, PictureEncodeOptions{},
                                   alone, error));
        EXPECT_EQ(EntryOf(g + "/dist/vk_gra.vrk", name), alone.entry) << name;
    }
    // Two scripts that cannot be coded, among many files: the first one by
    // name is reported, whichever was met first.
    for (int k = 0; k < 24; ++k) ASSERT_TRUE(WritePng(g + "/pictures/p" + std::to_string(k) + ".png", Solid(9, 9, 1)));
    dir.Write("g/scripts/a_first.txt", "ok\n\xF0\x9F\x98\x80\n");
    dir.Write("g/scripts/z_last.txt", "\xF0\x9F\x98\x80\n");
    for (int run = 0; run < 3; ++run) {
        EXPECT_FALSE(BuildGame(g, "", nullptr, s, error));
        EXPECT_NE(error.find("a_first.txt:2:"), std::string::npos) << error;
    }
}

TEST(GameBuild, AnExtractedSoundThatWasEditedIsCodedAfresh) {
    test::TempDir dir;
    const std::string g = dir.File("g");
    MakeDirectories(g + "/scripts");
    dir.Write("g/scripts/main.txt", "x\n");
    WriteFile(g + "/sounds/SE01.wav", WriteWav(Tone(3000)));
    BuildSummary s;
    std::string error;
    ASSERT_TRUE(BuildGame(g, "", nullptr, s, error)) << error;
    const std::string back = dir.File("back");
    ASSERT_TRUE(ExtractArchive(g + "/dist/vk_se0.vrk", {}, back, nullptr, error)) << error;
    // The extracted WAV reads as the sound it holds, without the coder's silence.
    PcmSound pcm;
    std::vector<uint8_t> wav = Bytes(back + "/sounds/SE01.wav");
    ASSERT_TRUE(ReadWav(wav, pcm, error)) << error;
    EXPECT_EQ(pcm.Frames(), 3000u);
    // Edited (the same samples written anew, one changed): coded from the samples.
    pcm.samples[10] = 12345;
    MakeDirectories(back + "/scripts");
    dir.Write("back/scripts/main.txt", "x\n");
    WriteFile(back + "/sounds/SE01.wav", WriteWav(pcm));
    ASSERT_TRUE(BuildGame(back, "", nullptr, s, error)) << error;
    EXPECT_EQ(EntryOf(back + "/dist/vk_se0.vrk", "SE01"), EncodeSoundEffect(pcm));
}
