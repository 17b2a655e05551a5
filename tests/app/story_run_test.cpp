// Whole stories through the velmora executable: the demo plays to its end,
// and a tiny game built with velmora-pack runs its waits as the events file
// drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_game.h"

using namespace velmora;
using test::ReadText;
using test::RunVelmora;
using test::TempDir;

TEST(StoryRun, DemoPlaysToItsEnd) {
    // A copy of the demo: its saves must not land in the built game.
    TempDir out;
    const std::string demo = test::CopyDemo(out);
    std::string trace = out.File("trace.txt");
    std::string output;
    // Strict: any content error the demo meets fails the run (exit 3).
    int rc = RunVelmora("--headless --strict --game " + demo + " --events " + VELMORA_SOURCE_DIR +
                            "/demo/demo.events --trace " + trace,
                        &output);
    ASSERT_EQ(rc, 0) << output;
    std::string t = ReadText(trace);
    EXPECT_NE(t.find("content errors: none"), std::string::npos);
    // The game starts at its title, and "はじめから" starts the story.
    const size_t title = t.find("chain STITLE: loaded");
    const size_t story = t.find("chain opening: loaded");
    ASSERT_NE(title, std::string::npos);
    EXPECT_LT(title, t.find("select: 4 options"));
    EXPECT_LT(t.find("select: 4 options"), story);
    EXPECT_NE(t.find("call chapter1: loaded, depth 1"), std::string::npos);
    EXPECT_NE(t.find("return to opening"), std::string::npos);
    // The quick bar's auto button on and off again before the page went on.
    const size_t autoOn = t.find("auto level 9 from the quick bar");
    ASSERT_NE(autoOn, std::string::npos);
    EXPECT_LT(t.find("auto level 0 from the quick bar", autoOn), t.find("wait 1 released by a click", autoOn));
    EXPECT_NE(t.find("status meter 3 -> 7"), std::string::npos);
    EXPECT_NE(t.find("switch : case chosen"), std::string::npos);
    EXPECT_NE(t.find("line フラグも立っています。"), std::string::npos);
    EXPECT_NE(t.find("sleep ended by a click"), std::string::npos);
    EXPECT_NE(t.find("script sound: end reached, returning"), std::string::npos);
    EXPECT_EQ(t.find("ここには来ません"), std::string::npos);
    EXPECT_EQ(t.find("これは表示されません"), std::string::npos);
    EXPECT_EQ(t.find("system picture"), std::string::npos) << "the demo lacks a window picture";
    // Saved and loaded through the dialogs, and named.
    EXPECT_NE(t.find("save 3: written"), std::string::npos);
    EXPECT_NE(t.find("dialog TForm9: row 3: 03 | 20"), std::string::npos);
    EXPECT_NE(t.find("load 3: resumed"), std::string::npos);
    EXPECT_NE(t.find("name entry: 空 明"), std::string::npos);
    // The backlog opens on the scene's voiced page, with its own sound; the
    // click on the last line's voice mark plays that voice again before a
    // right click closes it.
    const size_t voicedPage = t.find("line いまの声は、バックログから聞き直せるよ。");
    ASSERT_NE(voicedPage, std::string::npos);
    const size_t opened = t.find("backlog opened", voicedPage);
    ASSERT_NE(opened, std::string::npos);
    EXPECT_EQ(t.find("sound SSE09: not found"), std::string::npos);
    const size_t again = t.find("backlog: voice V0001 again", opened);
    ASSERT_NE(again, std::string::npos);
    const size_t closed = t.find("backlog closed", again);
    ASSERT_NE(closed, std::string::npos);
    // Then the wheel: the page before, the one before that, forward again,
    // and back to the page that waits (before the screenshot taken there),
    // which the next click releases.
    const size_t back1 = t.find("rewind: page 3 of 4", closed);
    const size_t back2 = t.find("rewind: page 2 of 4", back1);
    const size_t forward = t.find("rewind: page 3 of 4", back2);
    const size_t ended = t.find("rewind ended", forward);
    ASSERT_NE(ended, std::string::npos);
    EXPECT_GT(t.find("rewind: ", forward + 1), ended);
    EXPECT_LT(ended, t.find("08f-rewind-returned.png", closed));
    EXPECT_LT(ended, t.find("wait 1 released by a click", closed));
    // The sunrise is cut short by a click, then played through; the stars
    // are stamped and built off-screen.
    const size_t cut = t.find("anim sunrise: 30 frames of 100 ms at 240,100, a click cuts it short");
    ASSERT_NE(cut, std::string::npos);
    EXPECT_NE(t.find("anim sunrise: 30 frames of 100 ms at 240,100\n", cut), std::string::npos);
    EXPECT_NE(t.find("command *obj_b_show", cut), std::string::npos);
    // Read marks: the second visit of the branching scene finds its first
    // page read, and Ctrl skips it.
    const size_t read = t.find("mark 120: read before");
    ASSERT_NE(read, std::string::npos);
    EXPECT_NE(t.find("wait 1 released by skipping", read), std::string::npos);
    // After both visits the choice tree shows the reached branching points;
    // a pick replays one and comes back, then the credits roll to their end
    // before the last page.
    const size_t tree = t.find("seltree 0: 4 row(s) shown", read);
    ASSERT_NE(tree, std::string::npos);
    const size_t picked = t.find("seltree: picked treeback:BOOK, called", tree);
    ASSERT_NE(picked, std::string::npos);
    const size_t rolled = t.find("roll staff: ended", t.find("return to finale", picked));
    ASSERT_NE(rolled, std::string::npos);
    const size_t ending = t.find("special 5: ending roll done", rolled);
    ASSERT_NE(ending, std::string::npos);
    EXPECT_LT(ending, t.find("line どちらの道も歩きました。", ending));
    // The right-click menu quick-saves the last page, then goes back to the
    // title through its question; from there the quick save is loaded, and
    // past the last page the story goes back to the title by itself.
    const size_t quickSave = t.find("menu PopupMenu3: picked N8 \"クイックセーブ\"");
    ASSERT_NE(quickSave, std::string::npos);
    EXPECT_NE(t.find("save 99: written", quickSave), std::string::npos);
    const size_t back = t.find("prompt 3 answered yes", quickSave);
    ASSERT_NE(back, std::string::npos);
    EXPECT_LT(back, t.find("return to the title", back));
    EXPECT_LT(t.find("return to the title", back), t.find("script STITLE: loaded", back));
    const size_t resumed = t.find("load 99: resumed in choices", back);
    ASSERT_NE(resumed, std::string::npos);
    EXPECT_NE(t.find("chain STITLE: loaded", resumed), std::string::npos);
    EXPECT_NE(t.find("command *exitgame", resumed), std::string::npos);
    // The extras from the title at the end: every picture of the gallery
    // page seen, the scene page's replay back on its page, the music room,
    // and a named record list of both story scenes replayed in order.
    const size_t gallery = t.find("view VIEW_1: open, type 0, 1 sets, 3 of 3 pictures seen", resumed);
    ASSERT_NE(gallery, std::string::npos);
    const size_t replayed = t.find("view VIEW_2: replaying v_hills from slot 1", gallery);
    EXPECT_LT(replayed, t.find("replay: back to the gallery page VIEW_2", replayed));
    EXPECT_NE(t.find("view VIEW_3: closed", gallery), std::string::npos);
    EXPECT_NE(t.find("recollection: preview of OPENING", gallery), std::string::npos);
    EXPECT_NE(t.find("recollection: record list 1 is named \"思い出\"", gallery), std::string::npos);
    const size_t first = t.find("recollection: replaying scene 2 (k_OPENING), 1 of 2", gallery);
    ASSERT_NE(first, std::string::npos);
    const size_t second = t.find("recollection: replaying scene 3 (k_ENDING), 2 of 2", first);
    EXPECT_LT(second, t.find("recollection: back to the menu", first));
    EXPECT_LT(t.find("recollection: closed", first), t.find("command *exitgame", first));
    EXPECT_EQ(t.find("dropped"), std::string::npos) << "an event of the demo missed its dialog";
    EXPECT_TRUE(std::filesystem::exists(demo + "/save/save03.dat"));
}

TEST(StoryRun, PackedGameFollowsItsEventsFile) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("scripts"));
    dir.Write("scripts/_config.txt", std::string("TITLE:t\nMAKER_REG:Software\\T\nGAME_ID:t\n"));
    dir.Write("scripts/main.txt", std::string("one▼\n!V001=5\n*if (V001=5) *calc V002=V001*2\ntwo[?V002]▼\n"));
    std::string pack = std::string(VELMORA_PACK_EXE) + " script " + dir.File("scripts") + " " +
                       dir.File("vk_data.vrk") + " > /dev/null";
    ASSERT_EQ(std::system(pack.c_str()), 0);
    dir.Write("events.txt", std::string("wait 500\nkey Enter\nwait 500\n"));  // Enter acts as a click
    std::string trace = dir.File("trace.txt");
    ASSERT_EQ(RunVelmora("--headless --game " + dir.path() + " --events " + dir.File("events.txt") + " --trace " +
                         trace),
              0);
    std::string t = ReadText(trace);
    size_t first = t.find("line one");
    size_t click = t.find("wait 1 released by a click");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(click, std::string::npos);
    EXPECT_NE(t.find("assign V002 = 10"), std::string::npos);
    EXPECT_LT(first, click);
    EXPECT_LT(click, t.find("assign V001 = 5"));
    EXPECT_NE(t.find("line two[?V002]"), std::string::npos);
}
