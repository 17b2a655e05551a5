// The script checker on small broken games: each finding with its file and
// line, a clean game passing, a packed game read through its archives.
#include <gtest/gtest.h>

#include <string>

#include "data/file_io.h"
#include "support/test_game.h"
#include "tools/game_check.h"

using namespace velmora;
using namespace velmora::tools;

namespace {

// An author's folder with the scripts given and a few named resources.
struct SourceGame {
    test::TempDir dir;
    SourceGame() {
        Put("config.txt", "TITLE:テスト\nEND\n");
        Put("scripts/title.txt", ":TOP\n*gra A_HALL\n");
        for (const char* f : {"pictures/A_HALL.png", "pictures/B_MINA.png", "sounds/SE01.wav", "voices/V0001.ogg",
                              "music/M01.wav", "anim/SUN/f000.png", "anim/MOONRISE.anim"})
            Put(f, "x");
    }
    void Put(const std::string& name, const std::string& text) {
        MakeDirectories(dir.File(name.substr(0, name.rfind('/') == std::string::npos ? 0 : name.rfind('/'))));
        dir.Write(name, text);
    }
    void Script(const std::string& name, const std::string& text) { Put("scripts/" + name + ".txt", text); }
    CheckReport Check() {
        GameContents g;
        std::string why;
        EXPECT_TRUE(ReadGameContents(dir.path(), g, why)) << why;
        return CheckGame(g);
    }
};

// The finding at file:line whose text contains `part`.
bool Has(const CheckReport& r, const std::string& file, int line, const std::string& part, bool error = true) {
    for (const CheckFinding& f : r.findings)
        if (f.line == line && f.error == error && f.file.size() >= file.size() &&
            f.file.compare(f.file.size() - file.size(), file.size(), file) == 0 && f.text.find(part) != std::string::npos)
            return true;
    return false;
}

std::string All(const CheckReport& r) {
    std::string out;
    for (const CheckFinding& f : r.findings) out += FormatFinding(f) + "\n";
    return out;
}

}  // namespace

TEST(GameCheck, ACleanGamePasses) {
    SourceGame g;
    g.Script("main", "*gra A_HALL 9\n*gra B_MINA\n*spr B_MINA,-,3\n*se SE01\n*voice V0001\n*music 1\n*anim SUN,0,0\n"
                     ">ミナ\nこんにちは[wait 3]。[?V001]▼\n*select\n{はい\n*go YES\n{(V001=1)いいえ\n*call title:TOP\n}\n"
                     ":YES\n*switch\n{(V001=1)\nA\n{\nB\n}\n*chain title\n");
    CheckReport r = g.Check();
    EXPECT_EQ(r.errors, 0) << All(r);
    EXPECT_EQ(r.warnings, 0) << All(r);
    EXPECT_EQ(r.scripts, 3);
}

TEST(GameCheck, NamesWhatIsMissingWithItsLine) {
    SourceGame g;
    g.Script("main",
             "*gra A_GONE\n"           // 1: picture
             "*gra MYBG\n"             // 2: not A, B or S
             "*se SE99\n"              // 3: sound
             "*voice V0404\n"          // 4: voice
             "*music 7\n"              // 5: track M07
             "*anim MOON,0,0\n"        // 6: animation
             "*go NOWHERE\n"           // 7: label
             "*chain ghost\n"          // 8: script
             "*call title:BOTTOM\n"    // 9: label in another script
             "*if (V001=1) *bg A_X\n"  // 10: the command after if
             "text [voice V0001]\n");  // 11: the tag takes the "]" into the name
    CheckReport r = g.Check();
    const std::string m = "scripts/main.txt";
    EXPECT_TRUE(Has(r, m, 1, "A_GONE: picture is not in pictures/")) << All(r);
    EXPECT_TRUE(Has(r, m, 2, "MYBG: shows nothing")) << All(r);
    EXPECT_TRUE(Has(r, m, 3, "SE99: sound")) << All(r);
    EXPECT_TRUE(Has(r, m, 4, "V0404: voice")) << All(r);
    EXPECT_TRUE(Has(r, m, 5, "track M07")) << All(r);
    EXPECT_TRUE(Has(r, m, 6, "MOON: animation")) << All(r);
    EXPECT_TRUE(Has(r, m, 7, "no label \":NOWHERE\"")) << All(r);
    EXPECT_TRUE(Has(r, m, 8, "ghost: no such script")) << All(r);
    EXPECT_TRUE(Has(r, m, 9, "no label \":BOTTOM\" in script \"title\"")) << All(r);
    EXPECT_TRUE(Has(r, m, 10, "bg A_X")) << All(r);
    EXPECT_TRUE(Has(r, m, 11, "\"]\" included")) << All(r);
    EXPECT_EQ(r.errors, 11) << All(r);
}

TEST(GameCheck, UnknownCommandsTagsAndTooLongLines) {
    SourceGame g;
    g.Script("main", "*gra A_HALL\n*grafix 3\nおはよう[blink]。[wait 2]\n" + std::string(2048, 'a') + "\n" +
                         "<" + std::string(64, 'r') + ">\n*exitnow\n");
    CheckReport r = g.Check();
    const std::string m = "scripts/main.txt";
    EXPECT_TRUE(Has(r, m, 2, "unknown command \"grafix\"")) << All(r);
    EXPECT_TRUE(Has(r, m, 3, "unknown tag \"[blink]\"")) << All(r);
    EXPECT_TRUE(Has(r, m, 4, "a line of 2048 bytes (at most 2047)")) << All(r);
    EXPECT_TRUE(Has(r, m, 5, "ruby text of 64 bytes")) << All(r);
    // A keyword without a trailing space matches longer words: exitnow runs exit.
    EXPECT_EQ(r.errors, 4) << All(r);
}

TEST(GameCheck, BlocksAndOptionBlocks) {
    SourceGame g;
    std::string many = "*select\n";
    for (int i = 0; i < 33; ++i) many += "{option " + std::to_string(i) + "\n";
    many += "}\n";
    g.Script("main", many + "*select\n{" + std::string(64, 'x') + "\n}\n*switch KEY\n{:KEY(V001=1)\n");
    g.Script("open", "{\nnever closed\n");
    g.Script("lost", "*select\n{yes\n");
    CheckReport r = g.Check();
    EXPECT_TRUE(Has(r, "scripts/main.txt", 34, "more than 32 options")) << All(r);
    EXPECT_TRUE(Has(r, "scripts/main.txt", 37, "an option of 64 bytes")) << All(r);
    EXPECT_TRUE(Has(r, "scripts/main.txt", 40, "\"{:KEY\" has no end \"}:KEY\"")) << All(r);
    EXPECT_TRUE(Has(r, "scripts/open.txt", 1, "has no \"}\" line after it")) << All(r);
    EXPECT_TRUE(Has(r, "scripts/lost.txt", 1, "option block has no \"}\" line")) << All(r);
}

TEST(GameCheck, TextWithoutAShiftJisFormAndAMissingMain) {
    SourceGame g;
    g.Script("start", "ok\nsmile \xF0\x9F\x98\x80\n");
    g.Put("config.txt", "TITLE:x\nTXW_OFS_X:left\nCOLOUR:1\nEND\n");
    CheckReport r = g.Check();
    EXPECT_TRUE(Has(r, "scripts/start.txt", 2, "no CP932 form")) << All(r);
    EXPECT_TRUE(Has(r, "", 0, "no script \"main\"")) << All(r);
    // The configuration block is read by the engine's own reader, line by line.
    EXPECT_TRUE(Has(r, "config.txt", 2, "TXW_OFS_X value \"left\" is not a decimal integer", false)) << All(r);
    EXPECT_TRUE(Has(r, "config.txt", 3, "unknown key COLOUR", false)) << All(r);
}

TEST(GameCheck, APackedGameIsReadThroughItsArchives) {
    test::TestGame game;
    game.Script("main", "*gra A_HALL\n*gra A_NONE\n*se SE01\n").Script("_config", "END\n");
    game.Entry("vk_gra.vrk", "A_HALL", {1, 2, 3});
    game.Entry("vk_se0.vrk", "SE01", {1});
    game.Build();
    GameContents g;
    std::string why;
    ASSERT_TRUE(ReadGameContents(game.path(), g, why)) << why;
    CheckReport r = CheckGame(g);
    EXPECT_TRUE(Has(r, "MAIN", 2, "A_NONE: picture is in no pictures archive")) << All(r);
    EXPECT_EQ(r.errors, 1) << All(r);
    // The program: findings on standard output, exit 1 on an error, 2 for no game.
    std::string out;
    EXPECT_EQ(test::RunVelmora("--check " + game.path(), &out), 1) << out;
    EXPECT_NE(out.find("MAIN:2: error: gra A_NONE"), std::string::npos) << out;
    test::TempDir empty;
    EXPECT_EQ(test::RunVelmora("--check " + empty.path(), &out), 2) << out;
}

TEST(GameCheck, TheDemoPassesCleanFromItsArchivesAndFromTheGameFolderTheyAreBuiltFrom) {
    for (const char* where : {VELMORA_DEMO_DIR, VELMORA_DEMO_GAME}) {
        GameContents g;
        std::string why;
        ASSERT_TRUE(ReadGameContents(where, g, why)) << why;
        CheckReport r = CheckGame(g);
        EXPECT_EQ(r.errors + r.warnings, 0) << where << "\n" << All(r);
        EXPECT_GT(r.scripts, 10);
    }
}

TEST(GameCheck, TablesAreReadByTheCommandsThatUseThem) {
    SourceGame g;
    // The effect and click-map tables, and a roll script whose own commands
    // are no script commands: none of them is checked as a script.
    g.Script("effect", ":FLASH\n*SHOW\n");
    g.Script("map", ":ROOM\n1\n10,10,100,100,door\n");
    g.Script("credits", "*RESET\n*WAIT 30\nThanks\n");
    g.Script("main",
             "*effect FLASH\n"
             "*effect GLOW\n"   // 2: not defined
             "*clickmap ROOM\n"
             "{\n}\n"
             "*clickmap HALL\n"  // 6: no such map
             "{\n}\n"
             "*roll credits\n"
             "*roll nothing\n"   // 10: no roll script
             "*viewer VIEW_1\n"  // 11: no table "view"
             "*mark 12\n");
    CheckReport r = g.Check();
    const std::string m = "scripts/main.txt";
    EXPECT_TRUE(Has(r, m, 2, "effect GLOW: not defined")) << All(r);
    EXPECT_TRUE(Has(r, m, 6, "clickmap HALL: no such map")) << All(r);
    EXPECT_TRUE(Has(r, m, 10, "roll nothing: no such roll script")) << All(r);
    EXPECT_TRUE(Has(r, m, 11, "no table \"view\"")) << All(r);
    EXPECT_EQ(r.errors, 4) << All(r);
    // Warnings alone do not fail the check.
    SourceGame w;
    w.Script("main", "}\n");
    CheckReport rw = w.Check();
    EXPECT_EQ(rw.errors, 0) << All(rw);
    EXPECT_TRUE(Has(rw, "scripts/main.txt", 1, "without a \"{\" line before it", false)) << All(rw);
    std::string out;
    EXPECT_EQ(test::RunVelmora("--check " + w.dir.path(), &out), 0) << out;
}

TEST(GameCheck, WarnsOfAClrbWhoseSideLetterIsNotLast) {
    SourceGame g;
    g.Script("main", "*clrb L 6\n*clrb 6L\n*clrb r\n*clrb 3\n*clrb\n");
    CheckReport r = g.Check();
    EXPECT_TRUE(Has(r, "scripts/main.txt", 1, "clrb L 6: the side letter must come last (\"clrb 6L\")", false))
        << All(r);
    EXPECT_EQ(r.warnings, 1) << All(r);
    EXPECT_EQ(r.errors, 0) << All(r);
}
