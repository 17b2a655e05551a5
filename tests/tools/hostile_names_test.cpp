// Authoring tools on hostile games: an archive whose entry names climb out
// of the output folder, a script that loops without a wait, a script larger
// than the engine loads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "data/file_io.h"
#include "support/test_game.h"
#include "tools/archive_writer.h"
#include "tools/game_build.h"
#include "tools/game_check.h"

using namespace velmora;
using namespace velmora::tools;

TEST(HostileArchive, ExtractKeepsEveryEntryInsideTheOutputFolder) {
    test::TempDir root;
    std::vector<PackEntry> entries(5);
    const char* const names[] = {"../../ESCAPE", "..", "a/b", "C\\D", "PLAIN"};
    for (int i = 0; i < 5; ++i) {
        entries[i].name = names[i];
        entries[i].data = {'O', 'g', 'g', static_cast<uint8_t>('0' + i)};
    }
    std::vector<uint8_t> archive;
    std::string error;
    ASSERT_TRUE(BuildVolume(entries, 16, archive, error)) << error;
    root.Write("vk_ogg1.vrk", archive);
    const std::string out = root.File("deep/er/out");
    ASSERT_TRUE(ExtractArchive(root.File("vk_ogg1.vrk"), {}, out, nullptr, error)) << error;
    // Every file written lies under the output folder, each entry once.
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root.path())) {
        if (!e.is_regular_file() || e.path().filename() == "vk_ogg1.vrk") continue;
        ++files;
        EXPECT_EQ(e.path().string().rfind(out + "/voices/", 0), 0u) << e.path();
    }
    EXPECT_EQ(files, 5);
    EXPECT_TRUE(IsRegularFile(out + "/voices/PLAIN.ogg"));
    EXPECT_TRUE(IsRegularFile(out + "/voices/.._.._ESCAPE.ogg"));
}

TEST(HostileScripts, CheckWarnsOfALoopWithNoWaitAndRefusesAnOversizedScript) {
    GameContents g;
    CheckScript main;
    main.name = "MAIN";
    main.file = "main.txt";
    main.lines = {":SPIN", "; nothing here waits", "!V001=V001+1", "*go SPIN",   // 1-4: stalls
                  ":TALK", "こんにちは", "*go TALK",                             // 5-7: a page each time
                  ":MAYBE", "*if (V001=3) *go TALK", "*go MAYBE"};               // 8-10: may leave
    for (const std::string& l : main.lines) main.bytes += l.size() + 1;
    g.scripts.push_back(main);
    CheckScript big;
    big.name = "BIG";
    big.file = "big.txt";
    big.lines.assign(30000, std::string(9, 'a'));
    big.bytes = 300000;
    g.scripts.push_back(big);
    const CheckReport r = CheckGame(g);
    int loops = 0, oversized = 0;
    for (const CheckFinding& f : r.findings) {
        if (f.text.find("nothing that waits") != std::string::npos) {
            ++loops;
            EXPECT_EQ(f.line, 4);
            EXPECT_FALSE(f.error);
        }
        if (f.text.find("the engine loads at most 262144") != std::string::npos) {
            ++oversized;
            EXPECT_EQ(f.file, "big.txt");
            EXPECT_TRUE(f.error);
        }
    }
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(oversized, 1);
}
