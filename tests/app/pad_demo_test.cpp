// The demo from its title to its end with a game controller alone: every
// screen and dialog reached and left by the pad's buttons and stick.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_game.h"

using namespace velmora;
using test::ReadText;
using test::RunVelmora;
using test::TempDir;

namespace {

// Finds each text after the one before, so the screens are seen in order.
struct InOrder {
    const std::string& t;
    size_t at = 0;
    bool Then(const std::string& what) {
        const size_t p = t.find(what, at);
        if (p == std::string::npos) {
            ADD_FAILURE() << "not seen after offset " << at << ": " << what;
            return false;
        }
        at = p + what.size();
        return true;
    }
};

bool SameFile(const std::string& a, const std::string& b) { return ReadText(a) == ReadText(b); }

}  // namespace

TEST(PadDemo, PlaysFromTheTitleToTheEndWithThePadAlone) {
    TempDir out;
    const std::string demo = test::CopyDemo(out);
    // The events file uses nothing but the pad, the clock and screenshots;
    // the screenshots go to the scratch folder.
    std::ifstream in(std::string(VELMORA_SOURCE_DIR) + "/tests/app/pad_demo.events");
    ASSERT_TRUE(in.good());
    std::ostringstream events;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string word = line.substr(0, line.find(' '));
        if (word == "screenshot") line = "screenshot " + out.File(line.substr(11));
        else
            EXPECT_TRUE(line.empty() || word == "#" || word.rfind("#", 0) == 0 || word == "pad" ||
                        word == "paddown" || word == "padup" || word == "stick" || word == "wait")
                << "line " << lineNo << " is no pad input: " << line;
        events << line << '\n';
    }
    out.Write("pad.events", events.str());
    const std::string trace = out.File("trace.txt");
    std::string output;
    // Strict: a content error on the way fails the run.
    const int rc = RunVelmora("--headless --strict --game " + demo + " --events " + out.File("pad.events") +
                                  " --trace " + trace,
                              &output);
    ASSERT_EQ(rc, 0) << output;
    const std::string t = ReadText(trace);
    EXPECT_NE(t.find("content errors: none"), std::string::npos);
    EXPECT_EQ(t.find("dropped"), std::string::npos) << "a pad event missed its menu or dialog";

    InOrder o{t};
    // The title, the story, the message window hidden and shown, auto on and off.
    o.Then("chain STITLE: loaded");
    o.Then("chain opening: loaded");
    o.Then("window hidden");
    o.Then("auto level 9");
    o.Then("auto level 0");
    // The menu's quick save, the save dialog, the load dialog.
    o.Then("menu PopupMenu3: pad picks N8");
    o.Then("save 99: written");
    o.Then("dialog TForm9 \"セーブ\" opened");
    o.Then("save 3: written");
    o.Then("dialog TForm9 \"ロード\" opened");
    o.Then("load 3: resumed");
    // The name by the kana grid, the settings in and out.
    o.Then("dialog TFormKana \"かな入力\" opened");
    o.Then("name entry: 遠野あい");
    o.Then("dialog TForm11 \"設定\" opened");
    o.Then("dialog TForm11 closed");
    // The backlog, the rewind and back.
    o.Then("backlog opened");
    o.Then("backlog closed");
    o.Then("rewind: page 2 of 4");
    o.Then("rewind ended");
    // Both visits of the branching scene: list, novel style, click map.
    o.Then("call choices: loaded");
    o.Then("choice 1 picked");
    o.Then("line 丘の上は風が強かった。");
    o.Then("choice 1 picked");
    o.Then("line 本を読んで過ごした。");
    o.Then("choice 1 picked");
    o.Then("line 扉を開けて外に出た。");
    o.Then("wait 1 released by skipping");
    o.Then("choice 2 picked");
    o.Then("line 町はにぎやかだった。");
    o.Then("choice 2 picked");
    o.Then("line すぐに眠ってしまった。");
    // The choice tree's branch, the credits, the last page.
    o.Then("seltree: picked treeback:BOOK, called");
    o.Then("roll staff: ended");
    o.Then("special 5: ending roll done");
    o.Then("save 99: written");
    o.Then("save 4: written");
    o.Then("prompt 3 answered yes");
    o.Then("return to the title");
    o.Then("load 4: resumed in choices");
    o.Then("chain STITLE: loaded");
    // The gallery, its scene page, the music room.
    o.Then("view VIEW_1: full view of A_HILLS");
    o.Then("view VIEW_2: replaying v_hills from slot 1");
    o.Then("replay: back to the gallery page VIEW_2");
    o.Then("view VIEW_3: open");
    // The track, then "止める" and "もう一度", which starts it again.
    o.Then("music M01: start");
    o.Then("music M01: start");
    o.Then("view VIEW_3: closed");
    // The recollection: preview, both scenes carried into the list in order,
    // renamed by the kana grid, replayed, left; then the game ends.
    o.Then("recollection: preview of OPENING");
    o.Then("dialog TForm6 \"回想スロット\" opened");
    o.Then("kana grid: \"あい\"");
    o.Then("recollection: record list 1 is named \"あい\"");
    o.Then("recollection: replaying scene 2 (k_OPENING), 1 of 2");
    o.Then("recollection: replaying scene 3 (k_ENDING), 2 of 2");
    o.Then("recollection: closed");
    o.Then("command *exitgame");

    for (const char* slot : {"save03.dat", "save04.dat", "save99.dat"})
        EXPECT_TRUE(std::filesystem::exists(demo + "/save/" + slot)) << slot;
    EXPECT_TRUE(std::filesystem::exists(demo + "/kaiso.dat"));
    // What the screens showed changed where the pad moved on.
    const std::pair<const char*, const char*> changed[] = {
        {"01-title.png", "01a-first-page.png"},
        {"01a-window-hidden.png", "01a-first-page.png"},
        {"08d-backlog.png", "08d2-backlog-scrolled.png"},
        {"09e-choice-tree.png", "09f-choice-tree-column.png"},
        {"12-gallery.png", "12a-gallery-picture.png"},
        {"12b-scene-gallery.png", "12e-music-room.png"},
        {"13-recollection.png", "13a-record-list.png"},
    };
    for (const auto& [a, b] : changed) {
        ASSERT_TRUE(std::filesystem::exists(out.File(a))) << a;
        ASSERT_TRUE(std::filesystem::exists(out.File(b))) << b;
        EXPECT_FALSE(SameFile(out.File(a), out.File(b))) << a << " and " << b;
    }
}
