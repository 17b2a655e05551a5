// Saving and loading a game: the slot file read back from the layout table,
// the state after a load, the rules for sounds, names and slots, and the
// failures that must leave everything as it was.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "app/engine.h"
#include "data/encoding.h"
#include "backlog/backlog.h"
#include "data/file_io.h"
#include "gfx/png_file.h"
#include "gfx/scene_restore.h"
#include "save/slot_reader.h"
#include "save/slots.h"
#include "script/story.h"
#include "script/variables.h"
#include "text/glyphs.h"
#include "ui/input.h"

using namespace velmora;
using test::Story;

namespace {

const char kMain[] =
    "!V001=7\n"
    "*string 9,第一話\n"
    "一ページ目\n\\\n"
    "二ページ目\n\\\n"
    "三ページ目\n\\\n";

test::SlotReader ReadSlotFile(const std::string& path) {
    test::SlotReader r;
    ReadWholeFile(path, r.b);
    return r;
}

std::string SlotFile(Story& s, int slot) { return SlotPath(s.f(), slot); }

}  // namespace

TEST(Slots, SaveWritesEveryBlockWhereTheLayoutHasIt) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    SetBit(f.vars.F, kFBits, 1023, true);
    SetBit(f.vars.T, kTBits, 9999, true);
    SetBit(f.ui.ReadMarks, 81920, 80000, true);
    f.save.slotExtra[1000] = 0x77;
    f.vars.V[999] = -123456;
    f.vars.S[199] = 42;
    f.audio.requestedTrack = 4;
    f.gfx.backgroundName = "BG01";
    f.gfx.spriteList = "CH01,CH02";
    f.audio.loopSoundName = "SELOOP";
    std::strcpy(f.stepper.LastVoice, "V0001");
    f.text.speakerName = ToCp932("遠野");
    f.text.PageText[3][4] = 0x41;
    ASSERT_TRUE(SaveGame(f, 7, true));

    test::SlotReader r = ReadSlotFile(SlotFile(s, 7));
    ASSERT_TRUE(r.Ok());
    std::string header = r.Header();
    ASSERT_GE(header.size(), 21u);
    EXPECT_EQ(header[4], '/');
    EXPECT_EQ(header.substr(19), "  " + ToCp932("第一話"));
    EXPECT_EQ(r.Comment(), "");
    EXPECT_TRUE(r.F(1023));
    EXPECT_EQ(r.Reserved(1000), 0x77);
    EXPECT_EQ(r.V(1), 7);
    EXPECT_EQ(r.V(999), -123456);
    EXPECT_EQ(r.S(199), 42);
    EXPECT_EQ(r.S(5), 4);  // the track to start again
    EXPECT_TRUE(r.ReadMark(80000));
    EXPECT_TRUE(r.T(9999));
    EXPECT_EQ(r.Stepper(0), 0);
    EXPECT_EQ(r.Stepper(13), 1);  // a page wait
    EXPECT_EQ(r.Stepper(23), 1);  // running
    EXPECT_EQ(r.Stepper(26), f.stepper.readPos);
    EXPECT_EQ(r.Stepper(27), f.stepper.scriptLength);
    EXPECT_EQ(r.Stepper(21), f.backlog.count);
    EXPECT_EQ(r.Backlog(0), f.backlog.BacklogLines[0]);
    EXPECT_EQ(r.Line(), f.stepper.line);
    EXPECT_EQ(r.CurrentScript(), "main");
    EXPECT_EQ(r.LastLoaded(), "main");
    EXPECT_EQ(r.Background(), "BG01");
    EXPECT_EQ(r.Sprites(), "CH01,CH02");
    EXPECT_EQ(r.LoopSound(), "SELOOP");
    EXPECT_EQ(r.LastVoice(), "V0001");
    EXPECT_EQ(r.Speaker(), ToCp932("遠野"));
    EXPECT_EQ(r.Str(0), ToCp932("遠野"));
    EXPECT_EQ(r.Str(9), ToCp932("第一話"));
    EXPECT_EQ(r.PageText(3, 4), 0x41);
    EXPECT_EQ(r.HistoryMode(19), 0);
    // The thumbnail is the scene picture scaled down.
    const uint8_t* scene = f.gfx.scene.Pixel(2, 2);
    EXPECT_EQ(r.Thumb(0, 0)[0], scene[0]);
}

TEST(Slots, TitleCommandNamesTheSlot) {
    // The title goes into $9, so the slot list shows it and a load brings it back.
    Story s({{"main", "*title 第二話\n一ページ目\n\\\n二ページ目\n\\\n"}});
    s.ToWait();
    TForm1& f = s.f();
    EXPECT_EQ(std::string(f.vars.str[9]), ToCp932("第二話"));
    ASSERT_TRUE(SaveGame(f, 3, true));
    std::string header = ReadSlotFile(SlotFile(s, 3)).Header();
    ASSERT_GE(header.size(), 19u);
    EXPECT_EQ(header.substr(19), "  " + ToCp932("第二話"));
    SetStringVar(f.vars, 9, "");
    ASSERT_TRUE(LoadGame(f, 3, true));
    EXPECT_EQ(std::string(f.vars.str[9]), ToCp932("第二話"));
}

TEST(Slots, LoadResumesWhereTheGameWasSaved) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    // What a bg command leaves: the name remembered and the scene shown.
    f.gfx.backgroundName = "S048";
    RestoreSceneFromNames(f);
    f.audio.requestedTrack = 3;
    f.save.carriedNames[0][0] = 'P';
    ASSERT_TRUE(SaveGame(f, 2, true));
    const int32_t readPos = f.stepper.readPos;
    const std::string backlog0 = f.backlog.BacklogLines[0];
    const int32_t backlogCount = f.backlog.count;
    uint8_t page[20][100];
    std::memcpy(page, f.text.PageText, sizeof page);
    Picture shown;
    s.plat().ReadBack(shown);
    auto history = std::make_unique<PageHistoryBlocks>(f.backlog.history);
    ASSERT_EQ(f.backlog.pageHistoryCount, 1);

    // Play on and change what a load must put back.
    s.NextWait();
    s.NextWait();
    ASSERT_NE(f.stepper.readPos, readPos);
    f.vars.V[1] = 99;
    SetBit(f.vars.F, kFBits, 3, true);
    SetStringVar(f.vars, 9, "other");
    f.save.carriedNames[0][0] = 0;
    f.gfx.backgroundName = "S800";
    RestoreSceneFromNames(f);

    size_t mark = s.Mark();
    ASSERT_TRUE(LoadGame(f, 2, true));
    EXPECT_EQ(f.vars.V[1], 7);
    EXPECT_FALSE(TestBit(f.vars.F, kFBits, 3));
    EXPECT_EQ(std::string(f.vars.str[9]), ToCp932("第一話"));
    EXPECT_EQ(f.stepper.readPos, readPos);
    EXPECT_TRUE(f.stepper.ScriptRunning);
    EXPECT_EQ(f.stepper.PendingWait, 1);
    EXPECT_EQ(f.backlog.count, backlogCount);
    EXPECT_EQ(std::string(f.backlog.BacklogLines[0]), backlog0);
    EXPECT_EQ(std::memcmp(page, f.text.PageText, sizeof page), 0);
    EXPECT_EQ(f.backlog.pageHistoryCount, 1);
    EXPECT_EQ(std::memcmp(history.get(), &f.backlog.history, sizeof *history), 0);
    EXPECT_EQ(f.save.carriedNames[0][0], 'P');
    EXPECT_FALSE(f.flags.busy);
    // The music starts again from its beginning.
    EXPECT_EQ(f.vars.S[5], 0);
    EXPECT_EQ(f.audio.requestedTrack, 3);
    // The screen comes back as it was.
    Picture after;
    s.plat().ReadBack(after);
    EXPECT_EQ(after.bytes, shown.bytes);
    EXPECT_NE(s.TraceSince(mark).find("load 2: resumed in main"), std::string::npos);

    // And the game goes on from there: the next click shows page two again.
    s.NextWait();
    EXPECT_NE(s.TraceSince(mark).find(ToUtf8(ToCp932("二ページ目"))), std::string::npos);
}

TEST(Slots, ALoadOrTheTitleLeavesNoWaitOfThePositionLeft) {
    Story s({{"main", "一ページ目\n\\\n二ページ目\n\\\n*sleep 60000\n三ページ目\n\\\n"},
             {"STITLE", "タイトル画面\n\\\n"}});
    s.ToWait();
    TForm1& f = s.f();
    ASSERT_TRUE(SaveGame(f, 2, true));
    s.NextWait();
    s.Click();
    s.Pass(3);
    ASSERT_GT(f.stepper.SleepCountdown, 0);
    // What else may hang on the old position when the load comes.
    f.stepper.voiceEndWait = true;
    f.stepper.FinishMessage = true;
    f.ui.choice.timeoutCountdown = 40;
    f.stepper.TypingCountdown = 7;
    size_t mark = s.Mark();
    ASSERT_TRUE(LoadGame(f, 2, true));
    EXPECT_EQ(f.stepper.SleepCountdown, 0);
    EXPECT_FALSE(f.stepper.voiceEndWait);
    EXPECT_FALSE(f.stepper.FinishMessage);
    EXPECT_EQ(f.ui.choice.timeoutCountdown, 0);
    EXPECT_EQ(f.stepper.TypingCountdown, 0);  // what the slot holds
    // The first click goes to the loaded page, not to the old sleep.
    s.NextWait();
    EXPECT_NE(s.TraceSince(mark).find(ToUtf8(ToCp932("二ページ目"))), std::string::npos);

    // The title likewise starts at once, not after the sleep.
    s.Click();
    s.Pass(3);
    ASSERT_GT(f.stepper.SleepCountdown, 0);
    mark = s.Mark();
    ReturnToTitle(f);
    EXPECT_EQ(f.stepper.SleepCountdown, 0);
    s.ToWait(50);
    EXPECT_NE(s.TraceSince(mark).find(ToUtf8(ToCp932("タイトル画面"))), std::string::npos);
}

// The loaded page reaches the window through the load's transition alone:
// nothing of it (its text, its name plate) is put over the page left
// behind before the transition gets there, to be wiped away again by it.
TEST(Slots, TheLoadedPageComesOnlyThroughTheLoadsTransition) {
    Story s({{"main", "!S028=1\n>ミナ\nこれが保存したページです。\n\\\n>カイ\n二ページ目\n\\\n"}});
    s.ToWait();
    TForm1& f = s.f();
    f.gfx.backgroundName = "S800";
    RestoreSceneFromNames(f);
    ASSERT_TRUE(SaveGame(f, 2, true));
    s.NextWait();
    f.gfx.backgroundName = "S008";
    RestoreSceneFromNames(f);
    Picture left;
    s.plat().ReadBack(left);

    // The load's transition (rows from the top and the bottom, five pairs a
    // step) is caught after its first step.
    test::TempDir out;
    ASSERT_TRUE(s.Events("wait 1\nscreenshot " + out.File("step.png") + "\n"));
    ASSERT_TRUE(LoadGame(f, 2, true));
    Picture step;
    ASSERT_TRUE(ReadPng(out.File("step.png"), step));
    ASSERT_EQ(step.height, 600);
    int changed = 0;
    for (int y = 10; y < 590; ++y)
        changed += std::memcmp(step.Row(y), left.Row(y), static_cast<size_t>(left.width) * 3) != 0;
    EXPECT_EQ(changed, 0) << "rows the transition had not reached yet showed something of the loaded page";

    // It ends on the loaded page.
    Picture shown;
    s.plat().ReadBack(shown);
    EXPECT_EQ(shown.bytes, f.gfx.screen.bytes);
    EXPECT_NE(shown.bytes, left.bytes);
}

TEST(Slots, ALoadedPageTypesInItsOwnColour) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    ASSERT_TRUE(SaveGame(f, 2, true));
    // A speaker's colour on the page shown when the narration page is loaded.
    f.vars.S[37] = 0x00FF00;
    SetGlyphColour(f, 0);
    ASSERT_TRUE(LoadGame(f, 2, true));
    EXPECT_EQ(f.text.glyphs.currentColour, 0xFFFFFFu);
    EXPECT_EQ(f.text.glyphs.textColour.bytes[1], 255);
}

TEST(Slots, SlotNumbersSoundsAndTheLastSaveSlot) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    EXPECT_FALSE(SaveGame(f, 0, true));
    EXPECT_FALSE(SaveGame(f, 100, true));
    EXPECT_FALSE(LoadGame(f, 0, true));
    EXPECT_FALSE(LoadGame(f, -1, true));
    EXPECT_FALSE(IsRegularFile(SlotFile(s, 0)));

    size_t mark = s.Mark();
    ASSERT_TRUE(SaveGame(f, 20, false));
    EXPECT_NE(s.TraceSince(mark).find("sound SSE05"), std::string::npos);
    EXPECT_EQ(f.settings.LastSaveSlot, 20);
    mark = s.Mark();
    ASSERT_TRUE(SaveGame(f, 21, false));
    EXPECT_EQ(s.TraceSince(mark).find("sound SSE05"), std::string::npos);
    EXPECT_EQ(f.settings.LastSaveSlot, 21);
    ASSERT_TRUE(SaveGame(f, 61, false));
    QuickSave(f);
    EXPECT_EQ(f.settings.LastSaveSlot, 21);
    auto& st = static_cast<platform::IniSettingsStore&>(s.plat().settings());
    ASSERT_NE(st.Find("Software/Test/Story/story", "LastSaveSlot"), nullptr);
    EXPECT_EQ(*st.Find("Software/Test/Story/story", "LastSaveSlot"), "21");
    EXPECT_EQ(ReadSlotFile(SlotFile(s, 99)).Comment(), "Quick Save");

    // Loading a low slot plays the load sound, quiet or not.
    mark = s.Mark();
    ASSERT_TRUE(LoadGame(f, 20, true));
    EXPECT_NE(s.TraceSince(mark).find("sound SSE06"), std::string::npos);
    mark = s.Mark();
    ASSERT_TRUE(LoadGame(f, 21, true));
    EXPECT_EQ(s.TraceSince(mark).find("sound SSE06"), std::string::npos);
    // A slot that was never saved does nothing.
    EXPECT_FALSE(LoadGame(f, 50, true));
    EXPECT_TRUE(s.plat().Shown().empty());
}

TEST(Slots, TodaysNamesSpeakerAndLoopingSoundRules) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    f.text.speakerName = ToCp932("遠野");
    f.vars.S[80] = 2;
    f.audio.loopSoundName = "SEH1RAIN";
    ASSERT_TRUE(SaveGame(f, 4, true));
    f.audio.loopSoundName = "SEH2WIND";
    ASSERT_TRUE(SaveGame(f, 5, true));

    // Since the save the player renamed the hero and switched category 1 off.
    f.settings.PlayerName = ToCp932("山田");
    f.settings.PlayerName2 = ToCp932("花子");
    f.settings.SE[1] = 0;
    size_t mark = s.Mark();
    ASSERT_TRUE(LoadGame(f, 4, true));
    EXPECT_EQ(std::string(f.vars.str[0]), ToCp932("山田"));
    EXPECT_EQ(std::string(f.vars.str[1]), ToCp932("花子"));
    EXPECT_EQ(f.vars.S[6], 1);
    EXPECT_EQ(f.text.speakerName, ToCp932("花子"));
    EXPECT_EQ(s.TraceSince(mark).find("SEH1RAIN"), std::string::npos);
    mark = s.Mark();
    ASSERT_TRUE(LoadGame(f, 5, true));
    EXPECT_NE(s.TraceSince(mark).find("sound SEH2WIND"), std::string::npos);

    // Back to the default names: S006 falls to 0.
    f.settings.PlayerName = f.config.DEFAULT_NAME;
    f.settings.PlayerName2 = f.config.DEFAULT_NAME2;
    ASSERT_TRUE(LoadGame(f, 5, true));
    EXPECT_EQ(f.vars.S[6], 0);
}

TEST(Slots, ReadMarkOfTheCurrentTextDecidesTheReadFlag) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    f.vars.S[25] = 300;
    SetBit(f.ui.ReadMarks, 81920, 300, true);
    ASSERT_TRUE(SaveGame(f, 8, true));
    f.vars.S[25] = 301;
    ASSERT_TRUE(SaveGame(f, 9, true));
    f.ui.TextRead = false;
    ASSERT_TRUE(LoadGame(f, 8, true));
    EXPECT_TRUE(f.ui.TextRead);
    f.ui.SkipActive = true;
    ASSERT_TRUE(LoadGame(f, 9, true));
    EXPECT_FALSE(f.ui.TextRead);
    EXPECT_FALSE(f.ui.SkipActive);
}

TEST(Slots, ShortOrLongSlotIsRefusedAndNothingChanges) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    ASSERT_TRUE(SaveGame(f, 6, true));
    s.NextWait();
    f.vars.V[1] = 55;
    const int32_t readPos = f.stepper.readPos;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(SlotFile(s, 6), bytes));
    for (size_t size : {bytes.size() - 1, size_t(128), size_t(0), bytes.size() + 1}) {
        std::vector<uint8_t> damaged(bytes);
        damaged.resize(size);
        ASSERT_TRUE(WriteFileAtomic(SlotFile(s, 6), damaged));
        EXPECT_FALSE(LoadGame(f, 6, false));
        EXPECT_EQ(f.vars.V[1], 55);
        EXPECT_EQ(f.stepper.readPos, readPos);
        EXPECT_TRUE(f.stepper.ScriptRunning);
        EXPECT_FALSE(f.flags.busy);
    }
    ASSERT_EQ(s.plat().Shown().size(), 4u);
    EXPECT_NE(s.plat().Shown().back().find("セーブデータを読み込めません。"), std::string::npos);
    // The game goes on.
    s.NextWait();
    EXPECT_TRUE(f.stepper.ScriptRunning);
}

TEST(Slots, WriteFailingHalfWayLeavesTheOldSlotByteForByte) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    ASSERT_TRUE(SaveGame(f, 11, true));
    std::vector<uint8_t> before;
    ASSERT_TRUE(ReadWholeFile(SlotFile(s, 11), before));
    s.NextWait();
    f.vars.V[1] = 1234;

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Writes beyond 100,000 bytes fail: the disk fills up half-way.
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(SaveGame(f, 11, true) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed save was reported as written";
    std::vector<uint8_t> after;
    ASSERT_TRUE(ReadWholeFile(SlotFile(s, 11), after));
    EXPECT_EQ(after, before);
    // No half-written file stays beside it.
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(std::filesystem::path(SlotFile(s, 11)).parent_path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(Slots, QuickSaveWithQAndBackThroughTheQuickLoadPrompt) {
    Story s({{"main", std::string("!S000=0\n") + kMain}});
    s.ToWait();
    TForm1& f = s.f();
    char key = 'q';
    f.FormKeyPress(key);
    test::SlotReader r = ReadSlotFile(SlotFile(s, 99));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.Comment(), "Quick Save");
    const int32_t readPos = f.stepper.readPos;
    s.NextWait();
    ASSERT_NE(f.stepper.readPos, readPos);

    // The quick-load entries of the menu and the quick bar ask first.
    const std::string question = ToCp932("クイックロードしますか？");
    ShowPrompt(f, question, kPromptQuickLoad);
    ASSERT_EQ(f.ui.promptKind, kPromptQuickLoad);
    // "No" (or the right button) leaves the game where it is.
    f.PBMouseDown(platform::mbRight, 0, 330, 210);
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    EXPECT_NE(f.stepper.readPos, readPos);
    ShowPrompt(f, question, kPromptQuickLoad);
    f.PBMouseMove(0, 330, 210);
    f.PBMouseDown(platform::mbLeft, 0, 330, 210);
    EXPECT_EQ(f.ui.promptKind, kPromptNone);
    EXPECT_EQ(f.stepper.readPos, readPos);
    EXPECT_FALSE(f.ui.OverlayActive);
}

TEST(Slots, CommentGoesOnlyIntoARealSlotFile) {
    Story s({{"main", kMain}});
    s.ToWait();
    TForm1& f = s.f();
    EXPECT_FALSE(SetSlotComment(f, 12, "none"));
    EXPECT_FALSE(IsRegularFile(SlotFile(s, 12)));
    ASSERT_TRUE(SaveGame(f, 12, true));
    std::string longText = ToCp932("とても長いコメントはここで切られます");
    ASSERT_TRUE(SetSlotComment(f, 12, longText));
    test::SlotReader r = ReadSlotFile(SlotFile(s, 12));
    EXPECT_EQ(r.Comment(), longText.substr(0, 30));
    ASSERT_TRUE(SetSlotComment(f, 12, "short"));
    r = ReadSlotFile(SlotFile(s, 12));
    EXPECT_EQ(r.Comment(), "short");
    EXPECT_EQ(r.b[96 + 6], 0);  // the rest of the field is cleared
    EXPECT_EQ(r.V(1), 7);

    // A file of another size is left alone.
    std::filesystem::resize_file(SlotFile(s, 12), 500);
    EXPECT_FALSE(SetSlotComment(f, 12, "x"));
    EXPECT_EQ(std::filesystem::file_size(SlotFile(s, 12)), 500u);
}

TEST(Slots, HeadlessRunnerSavesAndLoads) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.File("scripts"));
    // A window and text layout, so that the text typed before the save is
    // what the load draws again.
    dir.Write("scripts/_config.txt", std::string("TITLE:t\nMAKER_REG:Software\\T\nGAME_ID:t\nTXW_OFS_Y:430\n"
                                                 "TXW_SIZE_X:800\nTXW_SIZE_Y:170\nTX_OFS_X:40\nTX_OFS_Y:40\n"
                                                 "TX_PITCH_X:12\nTX_PITCH_Y:30\nMOJI_MAX_X:58\nMOJI_MAX_Y:4\n"));
    dir.Write("scripts/main.txt", std::string("*win_open\n!E005=1\n*mark 12\none▼\n!V001=5\ntwo▼\nthree▼\n"));
    std::string pack = std::string(VELMORA_PACK_EXE) + " script " + dir.File("scripts") + " " +
                       dir.File("vk_data.vrk") + " > /dev/null";
    ASSERT_EQ(std::system(pack.c_str()), 0);
    // The load shows the scene with transition 7 (900 ms) before the shot.
    dir.Write("events.txt", "wait 500\nsave 3\nscreenshot " + dir.File("a.png") +
                                "\nkey Enter\nwait 500\nkey Enter\nwait 500\nload 3\nwait 1500\nscreenshot " + dir.File("b.png") +
                                "\nkey Enter\nwait 500\nload 40\n");
    std::string trace = dir.File("trace.txt");
    std::string out;
    ASSERT_EQ(test::RunVelmora("--headless --game " + dir.path() + " --events " + dir.File("events.txt") + " --trace " +
                             trace,
                         &out),
              0)
        << out;
    std::vector<uint8_t> t, a, b;
    ASSERT_TRUE(ReadWholeFile(trace, t));
    std::string text(t.begin(), t.end());
    EXPECT_NE(text.find("save 3: written"), std::string::npos);
    EXPECT_NE(text.find("load 3: resumed in main"), std::string::npos);
    EXPECT_NE(text.find("load 40 failed"), std::string::npos);
    // After the load the next click shows page two again.
    size_t loaded = text.find("load 3: resumed");
    EXPECT_NE(text.find("line two", loaded), std::string::npos);
    test::SlotReader r = ReadSlotFile(dir.File("save/save03.dat"));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.V(1), 0);
    EXPECT_TRUE(r.ReadMark(12));
    ASSERT_TRUE(ReadWholeFile(dir.File("a.png"), a));
    ASSERT_TRUE(ReadWholeFile(dir.File("b.png"), b));
    EXPECT_EQ(a, b);
    // The global flag is in save0.dat.
    std::vector<uint8_t> global;
    ASSERT_TRUE(ReadWholeFile(dir.File("save0.dat"), global));
    ASSERT_EQ(global.size(), 10884u);
    EXPECT_TRUE(global[0] & 0x20);
}
