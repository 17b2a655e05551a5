// A translated game as a player and a translator meet it: an English page
// that survives a save, a load and a rewind, a choice list of long English
// options, the checker's layout report, and the demo's English patch beside
// the untouched Japanese demo.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gfx/composition.h"
#include "gfx/png_file.h"
#include "support/test_game.h"
#include "text/message_window.h"
#include "text/text_layout.h"
#include "tools/archive_writer.h"
#include "tools/game_check.h"
#include "tools/layout_check.h"
#include "ui/input.h"

namespace velmora {
namespace {

using test::ReadText;

// The demo's configuration block with the proportional layout and a Latin face.
std::string EnglishConfig(const std::string& extra = "") {
    std::string c = ReadText(VELMORA_SOURCE_DIR "/demo/config.txt");
    const size_t end = c.rfind("END");
    return c.substr(0, end) + "TEXT_LAYOUT:proportional\nFONT_LATIN:Arial\n" + extra + "END\n";
}

void BuildGame(test::TestGame& g, const std::string& script) {
    g.Script("_config", EnglishConfig()).Script("main", script);
    g.Build();
    std::filesystem::copy_file(VELMORA_DEMO_DIR "/vk_gra.vrk", g.dir().File("vk_gra.vrk"));
}

Picture Png(const std::string& path) {
    Picture p;
    EXPECT_TRUE(ReadPng(path, p)) << path;
    return p;
}

// Pixels where two screenshots differ, inside a rectangle.
std::vector<bool> Differs(const Picture& a, const Picture& b, int x0, int y0, int x1, int y1) {
    std::vector<bool> out;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) out.push_back(!std::equal(a.Pixel(x, y), a.Pixel(x, y) + 3, b.Pixel(x, y)));
    return out;
}

TEST(Translation, SaveLoadAndRewindSetTheEnglishPageAsItWasTyped) {
    test::TestGame g;
    BuildGame(g, "!S028=1\n*gra S448 0\n"
                 "The quick brown fox jumps over the lazy dog while the rain keeps falling on the old roof of "
                 "the station, and nobody waits for the last train.\n\\\n"
                 ".\n\\\nThird.\n\\\n");
    const test::TempDir& d = g.dir();
    d.Write("settings.ini", "[Software/Velmora/demo]\nDelay=1\n");
    const std::string at = "\nscreenshot " + d.path() + "/";
    d.Write("e.txt", "wait 2000" + at + "a.png\nsave 1\nclick 400 300\nwait 1500" + at + "b.png\nload 1\nwait 1500" +
                         at + "c.png\nclick 400 300\nwait 1500\nwheel 120\nwait 1500" + at + "d.png\n");
    std::string out;
    ASSERT_EQ(test::RunVelmora("--headless --game " + g.path() + " --settings " + d.File("settings.ini") +
                                   " --events " + d.File("e.txt") + " --trace " + d.File("t.txt"),
                               &out),
              0)
        << out;
    const std::string t = ReadText(d.File("t.txt"));
    // Three lines, each broken at a space.
    EXPECT_NE(t.find("char 3,2 "), std::string::npos) << t;
    const Picture a = Png(d.File("a.png")), b = Png(d.File("b.png")), c = Png(d.File("c.png")),
                  rewound = Png(d.File("d.png"));
    // Loaded: the same page, pixel for pixel, above the click-wait icon.
    EXPECT_TRUE(Differs(a, c, 0, 340, 800, 530) == std::vector<bool>(800 * 190, false));
    // Rewound: the same places inked (in the rewind's yellow), the second
    // page's lone "." aside.
    std::vector<bool> typed = Differs(a, b, 120, 380, 800, 530), again = Differs(rewound, b, 120, 380, 800, 530);
    size_t inked = 0, mismatched = 0;
    for (size_t i = 0; i < typed.size(); ++i) inked += typed[i], mismatched += typed[i] != again[i];
    EXPECT_GT(inked, 3000u);
    EXPECT_EQ(mismatched, 0u);
}

TEST(Translation, LongEnglishOptionsAreCentredOnTheirButtons) {
    test::TestGame g;
    const std::string longest = "Go up the hill to see the whole town below, then wait for night";
    BuildGame(g, "*gra S448 0\n*select\n{" + longest + "\n{Stay\n}\n");
    test::HeadlessEngine e(g.path());
    TForm1& f = *e.f;
    for (int i = 0; i < 300 && f.ui.choiceKind == 0; ++i) {
        e.plat.ProcessMessages();
        bool done = false;
        f.AppIdle(done);
    }
    ASSERT_EQ(f.ui.choiceKind, kChoiceList);
    const ChoiceDisplay& ch = f.ui.choice;
    const int w = ch.buttonWidth, bx = ch.buttonLeft;
    for (int i = 0; i < 2; ++i) {
        Picture bare = f.gfx.previous;
        BlitStacked(bare, bx, ch.listTop + 50 * i, f.ui.sysSw);
        int left = 800, right = -1;
        for (int y = ch.listTop + 50 * i; y < ch.listTop + 50 * i + 40; ++y)
            for (int x = 0; x < 800; ++x)
                if (!std::equal(bare.Pixel(x, y), bare.Pixel(x, y) + 3, f.gfx.screen.Pixel(x, y))) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_GE(right, left) << "option " << i;
        // Centred on the button to within a few pixels of side bearing.
        EXPECT_NEAR(left - bx, bx + w - 1 - right, 8) << "option " << i << ": " << left << ".." << right;
        // Set by its glyphs' widths: the long label is narrower than its grid.
        if (i == 0) {
            EXPECT_LT(right - left, 12 * static_cast<int>(longest.size()) - 60);
        }
    }
}

TEST(Translation, TheCheckerNamesTheLinesThatWillNotFit) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.File("game/scripts"));
    dir.Write("game/config.txt", EnglishConfig());
    dir.Write("game/scripts/main.txt",
              "; line 1\n"
              "A short line that fits.▼\n"
              "Here comes Pneumonoultramicroscopicsilicovolcanoconiosisisalongwordindeed, too long.▼\n"
              "One.\nTwo.\nThree.\nFour.\nFive is one too many.▼\n"
              "*mode 1\n"
              "In the novel mode the page holds fourteen lines and this one fits.▼\n");
    tools::GameContents game;
    std::string why;
    ASSERT_TRUE(tools::ReadGameContents(dir.File("game"), game, why)) << why;
    std::vector<tools::CheckFinding> found = tools::CheckLayout(game);
    std::string all;
    for (const tools::CheckFinding& x : found) all += tools::FormatFinding(x) + "\n";
    ASSERT_EQ(found.size(), 2u) << all;
    EXPECT_EQ(found[0].line, 3);
    EXPECT_NE(found[0].text.find("Pneumono"), std::string::npos) << all;
    EXPECT_NE(found[0].file.find("scripts/main.txt"), std::string::npos) << all;
    EXPECT_FALSE(found[0].error);
    EXPECT_EQ(found[1].line, 8);
    EXPECT_NE(found[1].text.find("window's last line"), std::string::npos) << all;

    // velmora-pack names the character Shift-JIS cannot hold.
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(tools::ScriptTextToCp932("Fine.\nA café.\n", "en/main.txt", bytes, error));
    EXPECT_EQ(error, "en/main.txt:2: text has no CP932 form (character 6 \"é\", U+00E9): A café.");
}

TEST(Translation, TheDemoStaysOnItsGridAndItsEnglishPatchReadsLikeABook) {
    test::TempDir dir;
    {
        test::HeadlessEngine ja(test::CopyDemo(dir));
        EXPECT_TRUE(ja.f->config.TEXT_LAYOUT.empty());
        EXPECT_TRUE(ja.f->config.FONT_LATIN.empty());
        EXPECT_FALSE(ProportionalText(*ja.f));
    }
    const std::string en = dir.File("demo-en");
    std::filesystem::copy(VELMORA_DEMO_EN_DIR, en, std::filesystem::copy_options::recursive);
    {
        test::HeadlessEngine e(en);
        EXPECT_TRUE(ProportionalText(*e.f));
        EXPECT_EQ(e.f->config.GAME_ID, "demo-en");
        EXPECT_TRUE(e.f->text.glyphs.latin.IsOpen());
    }
    dir.Write("e.txt", "wait 2500\nmove 400 159\nclick 400 159\nwait 4000\nscreenshot " + dir.File("page.png") + "\n");
    ASSERT_EQ(test::RunVelmora("--headless --game " + en + " --events " + dir.File("e.txt") + " --trace " +
                               dir.File("t.txt")),
              0);
    // Every line of the first page breaks after a space, never inside a word.
    std::istringstream t(ReadText(dir.File("t.txt")));
    std::string l;
    int lastLine = -1, lines = 0;
    char last = ' ';
    while (std::getline(t, l)) {
        int line, col;
        if (std::sscanf(l.c_str(), "char %d,%d", &line, &col) != 2) continue;
        const char ch = l.back();  // the character, or the last byte of a two-byte one
        if (line != lastLine && lastLine >= 0 && line == lastLine + 1) {
            ++lines;
            EXPECT_FALSE(std::isalpha(static_cast<unsigned char>(last)) && std::isalpha(static_cast<unsigned char>(ch)))
                << l;
        }
        lastLine = line;
        last = ch;
    }
    EXPECT_GE(lines, 2);
}

}  // namespace
}  // namespace velmora
