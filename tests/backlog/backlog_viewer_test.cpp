// The backlog viewer played on a tiny game: rows and thumb where they
// belong for short and long logs, the scroll bar's zones and dragging, the
// wheel, the voice marks, and closing back to the story as it stood.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "backlog_game.h"
#include "text/glyphs.h"

using namespace velmora;
using namespace velmora::platform;
using test::BacklogGame;
using test::Is;

namespace {

const char kStory[] = "!S028=1\n*gra S880\nいま読んでいるページ▼\n";

// Line k of a test log: 1 ... 8 full-width squares, so every row's length
// tells which line it shows.
int LengthOf(int k) { return 1 + k % 8; }

void Fill(TForm1& f, int from, int n) {
    for (int k = from; k < from + n; ++k) {
        std::string line;
        for (int i = 0; i < LengthOf(k); ++i) line += "\x81\xA1";  // ■
        AppendBacklog(f, line.data(), static_cast<int>(line.size()));
        CommitBacklogLine(f);
    }
}

// The right end of the white text in row i, or 0 when the row is empty.
int RightEdge(const Picture& p, int row) {
    int right = 0;
    for (int y = 10 + 19 * row; y < 10 + 19 * row + 18; ++y)
        for (int x = 80; x < 670; ++x)
            if (p.Pixel(x, y)[0] > 150 && p.Pixel(x, y)[1] > 150 && p.Pixel(x, y)[2] > 150) right = std::max(right, x);
    return right;
}


// The top row of the thumb on the track (the first thumb-coloured pixel).
int ThumbTop(const Picture& p) {
    for (int y = 0; y < 600; ++y)
        if (Is(p, 690, y, test::Opaque(test::kThumbColour))) return y;
    return -1;
}

// The lines the rows show, checked by their lengths: rows 0 ... n - 1 show
// lines first ... first + n - 1 and the rest are empty.
void ExpectRows(const Picture& p, int first, int n) {
    std::vector<int> edges;
    for (int i = 0; i < kBacklogRows; ++i) edges.push_back(RightEdge(p, i));
    // One square's advance, from two rows whose lengths differ.
    int advance = 0;
    for (int i = 0; i + 1 < n && advance == 0; ++i)
        if (LengthOf(first + i + 1) == LengthOf(first + i) + 1) advance = edges[i + 1] - edges[i];
    ASSERT_GT(advance, 8);
    for (int i = 0; i < kBacklogRows; ++i) {
        if (i >= n) {
            EXPECT_EQ(edges[i], 0) << "row " << i;
            continue;
        }
        const int squares = static_cast<int>(std::lround(double(edges[i] - edges[0]) / advance)) + LengthOf(first);
        EXPECT_EQ(squares, LengthOf(first + i)) << "row " << i;
    }
}

}  // namespace

TEST(BacklogViewer, RowsAndThumbFollowTheLengthOfTheLog) {
    struct Case {
        int lines;
        int firstShown, shown;  // at scroll 0
    } const cases[] = {{10, 0, 10}, {29, 0, 29}, {30, 1, 29}, {200, 171, 29}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        BacklogGame g(kStory);
        g.ToWait();
        TForm1& f = g.f();
        f.backlog.count = 0;
        f.backlog.writeOffset = 0;
        Fill(f, 0, c.lines);
        g.Type('\b');
        ASSERT_TRUE(f.backlog.open);
        Picture p = g.Canvas();
        // The scene darkened to 40/256 behind the rows: 128 * 40 >> 8.
        const uint8_t* bg = p.Pixel(500, 300);
        EXPECT_EQ(bg[0], 0);
        EXPECT_EQ(bg[1], 20);
        EXPECT_EQ(bg[2], 20);
        EXPECT_TRUE(Is(p, 690, 300, test::Opaque(test::kBarColour)));
        EXPECT_TRUE(Is(p, 681, 10, test::Opaque(test::kBarColour)));
        EXPECT_FALSE(Is(p, 681, 9, test::Opaque(test::kBarColour)));
        ExpectRows(p, c.firstShown, c.shown);
        if (c.lines < 30) {
            EXPECT_EQ(ThumbTop(p), -1);
            // The wheel has nowhere to go.
            g.Wheel(120);
            EXPECT_EQ(f.backlog.viewer.scroll, 0);
            EXPECT_EQ(g.Canvas().bytes, p.bytes);
            continue;
        }
        EXPECT_EQ(ThumbTop(p), 508);
        // The top button: the oldest lines, the thumb at the top of the track.
        g.Press(mbLeft, 690, 20);
        p = g.Canvas();
        ExpectRows(p, 0, 29);
        EXPECT_EQ(ThumbTop(p), 48);
        // Four lines newer per turn toward the player.
        g.Wheel(-120);
        EXPECT_EQ(f.backlog.viewer.scroll, c.lines - 29 - std::min(4, c.lines - 29));
        EXPECT_EQ(ThumbTop(g.Canvas()), 508 - f.backlog.viewer.scroll * 460 / (c.lines - 29));
        g.Press(mbLeft, 690, 560);  // the newest end
        EXPECT_EQ(f.backlog.viewer.scroll, 0);
        ExpectRows(g.Canvas(), c.firstShown, 29);
    }
}

TEST(BacklogViewer, AFullLogDropsTheOldestAndScrollsToBothEnds) {
    BacklogGame g(kStory);
    g.ToWait();
    TForm1& f = g.f();
    f.backlog.count = 0;
    f.backlog.writeOffset = 0;
    Fill(f, 0, 205);  // lines 0 ... 4 are dropped
    ASSERT_EQ(f.backlog.count, 200);
    g.Type('\b');
    ExpectRows(g.Canvas(), 5 + 171, 29);
    g.Press(mbLeft, 690, 10);
    EXPECT_EQ(f.backlog.viewer.scroll, 171);
    ExpectRows(g.Canvas(), 5, 29);
    // The arrows move two lines and stop at the ends.
    g.Press(mbLeft, 690, 33);
    EXPECT_EQ(f.backlog.viewer.scroll, 171);
    g.Press(mbLeft, 690, 554);
    g.Press(mbLeft, 690, 540);
    EXPECT_EQ(f.backlog.viewer.scroll, 167);
    g.Press(mbLeft, 690, 48);
    EXPECT_EQ(f.backlog.viewer.scroll, 169);
    g.Wheel(120);
    EXPECT_EQ(f.backlog.viewer.scroll, 171);
    // Outside the bar's columns the zones are not there.
    g.Press(mbLeft, 704, 560);
    EXPECT_EQ(f.backlog.viewer.scroll, 171);
}

TEST(BacklogViewer, DraggingTheThumb) {
    BacklogGame g(kStory);
    g.ToWait();
    TForm1& f = g.f();
    Fill(f, 0, 250);
    g.Type('\b');
    BacklogViewer& v = f.backlog.viewer;
    // A press at y = 300 on the track: p = 260.
    f.PBMouseDown(mbLeft, 0, 690, 300);
    EXPECT_EQ(v.drag, 3);
    EXPECT_EQ(v.scroll, 171 * (460 - 260) / 460);
    EXPECT_EQ(ThumbTop(g.Canvas()), 508 - v.scroll * 460 / 171);
    // The first move, not even vertical: p = 250. Off the bar it still drags.
    f.PBMouseMove(0, 695, 300);
    EXPECT_EQ(v.scroll, 171 * (460 - 250) / 460);
    f.PBMouseMove(0, 300, 20);
    EXPECT_EQ(v.scroll, 171);
    f.PBMouseMove(0, 300, 590);
    EXPECT_EQ(v.scroll, 0);
    f.PBMouseUp(mbLeft, 0, 300, 590);
    EXPECT_EQ(v.drag, 0);
    f.PBMouseMove(0, 690, 100);
    EXPECT_EQ(v.scroll, 0);

    // Over the buttons the part under the pointer lights up on the window
    // only, and its neighbour goes back to normal.
    g.Move(690, 20);
    Picture p = g.Canvas();
    EXPECT_TRUE(Is(p, 690, 20, test::Opaque(test::kBarHighlight)));
    EXPECT_TRUE(Is(p, 690, 40, test::Opaque(test::kBarColour)));
    g.Move(690, 40);
    p = g.Canvas();
    EXPECT_TRUE(Is(p, 690, 20, test::Opaque(test::kBarColour)));
    EXPECT_TRUE(Is(p, 690, 40, test::Opaque(test::kBarHighlight)));
    EXPECT_TRUE(Is(f.gfx.screen, 690, 40, test::Opaque(test::kBarColour)));
    g.Move(600, 40);
    EXPECT_TRUE(Is(g.Canvas(), 690, 40, test::Opaque(test::kBarColour)));
}

TEST(BacklogViewer, VoiceMarksReplayTheirVoice) {
    BacklogGame g("!S028=1\n*voice V1\n最初の声▼\n*voice V2\n二つ目の声▼\n");
    g.ToWait();
    const size_t v1 = g.VoiceBytes();
    g.NextWait();
    const size_t v2 = g.VoiceBytes();
    ASSERT_GT(v1, 0u);
    ASSERT_GT(v2, v1);
    TForm1& f = g.f();
    // @V1, the first line, @V2, the second line.
    ASSERT_EQ(f.backlog.count, 4);
    StopVoice(f);
    g.Type('\b');
    // The top row's mark stands for a voice whose line is gone: none there.
    Picture p = g.Canvas();
    EXPECT_FALSE(Is(p, 100, 10, test::Opaque(test::kMarkColour)));
    EXPECT_TRUE(Is(p, 100, 6 + 19 * 2, test::Opaque(test::kMarkColour)));
    g.Press(mbLeft, 100, 12);
    EXPECT_EQ(g.VoiceBytes(), 0u);
    // Under the pointer the mark changes; a click plays its voice again.
    g.Move(100, 10 + 19 * 2 + 5);
    EXPECT_TRUE(Is(g.Canvas(), 100, 6 + 19 * 2, test::Opaque(test::kMarkHoverColour)));
    g.Press(mbLeft, 100, 10 + 19 * 2 + 5);
    EXPECT_EQ(g.VoiceBytes(), v2);
    EXPECT_TRUE(g.Traced("backlog: voice V2 again"));
    // A mark only counts over its own width; text rows play nothing.
    StopVoice(f);
    g.Press(mbLeft, 80 + 256, 10 + 19 * 2 + 5);
    g.Press(mbLeft, 100, 10 + 19 * 3 + 5);
    EXPECT_EQ(g.VoiceBytes(), 0u);
    // A voice that is no longer in the archives plays nothing.
    std::strcpy(f.backlog.BacklogLines[2], "@GONE");
    g.Wheel(120);
    g.Press(mbLeft, 100, 10 + 19 * 2 + 5);
    EXPECT_EQ(g.VoiceBytes(), 0u);
    EXPECT_TRUE(g.Traced("sound GONE: not found"));
}

TEST(BacklogViewer, ClosingLeavesTheStoryWhereItWas) {
    BacklogGame g("!S028=1\n*gra S880\n一行目▼\n二行目▼\n");
    g.ToWait();
    TForm1& f = g.f();
    const Picture before = g.Canvas();
    const Picture screen = f.gfx.screen;
    // Backspace opens it with its sound; the story stands still meanwhile.
    g.Type('\b');
    ASSERT_TRUE(f.backlog.open);
    EXPECT_EQ(g.mixer().Count(MixerEvent::Create, kSlotEffect), 1);
    EXPECT_NE(g.Canvas().bytes, before.bytes);
    g.Pass(20);
    EXPECT_EQ(f.backlog.count, 1);
    EXPECT_EQ(f.stepper.PendingWait, 1);
    // Right click closes it.
    g.Press(mbRight, 400, 300);
    EXPECT_FALSE(f.backlog.open);
    EXPECT_EQ(f.gfx.screen.bytes, screen.bytes);
    EXPECT_EQ(f.vars.S[65], 0);
    // The wheel with the backlog as its action, and Backspace to close.
    f.settings.WHEEL_MODE = 1;
    g.Wheel(120);
    ASSERT_TRUE(f.backlog.open);
    g.Type('x');  // other characters do nothing
    EXPECT_TRUE(f.backlog.open);
    g.Type('\b');
    EXPECT_FALSE(f.backlog.open);
    EXPECT_EQ(f.gfx.screen.bytes, screen.bytes);
    EXPECT_EQ(f.backlog.viewer.kept.bytes.size(), 0u);  // released
    // A middle press closes it as well; the page goes on after that.
    g.Type('\b');
    g.Press(mbMiddle, 400, 300);
    EXPECT_FALSE(f.backlog.open);
    g.Pass(6);
    g.NextWait();
    EXPECT_EQ(f.backlog.count, 2);
}

TEST(BacklogViewer, RefusedOutsideTheStoryAndSafeWhenEmptyOrBare) {
    {
        BacklogGame g("*gra S880\n一行目▼\n");
        g.ToWait();
        g.Type('\b');
        EXPECT_FALSE(g.f().backlog.open);
        EXPECT_TRUE(g.Traced("the viewer stays closed, S028 is 0"));
        EXPECT_EQ(g.mixer().Count(MixerEvent::Create, kSlotEffect), 0);
    }
    // No lines and none of the viewer's pictures: an empty dark screen, and
    // every input does no harm.
    BacklogGame g("!S028=1\n*gra S880\n▼\n", /*withPictures=*/false);
    g.ToWait();
    TForm1& f = g.f();
    f.backlog.count = 0;
    f.backlog.writeOffset = 0;
    const Picture screen = f.gfx.screen;
    g.Type('\b');
    ASSERT_TRUE(f.backlog.open);
    EXPECT_TRUE(g.Traced("system picture sys_bl_bar missing"));
    const Picture p = g.Canvas();
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 800; x += 7) ASSERT_TRUE(Is(p, x, y, {0, 20, 20})) << x << "," << y;
    for (int y : {5, 20, 40, 300, 545, 560, 580}) {
        g.Press(mbLeft, 690, y);
        g.Move(690, y);
        g.Move(90, y);
        g.Press(mbLeft, 90, y);
    }
    g.Wheel(120);
    g.Wheel(-120);
    EXPECT_EQ(f.backlog.viewer.scroll, 0);
    g.Press(mbRight, 400, 300);
    EXPECT_FALSE(f.backlog.open);
    EXPECT_EQ(f.gfx.screen.bytes, screen.bytes);
}

TEST(BacklogViewer, ALineCutInsideACharacterShowsOnlyWholeCharacters) {
    BacklogGame g(kStory);
    g.ToWait();
    TForm1& f = g.f();
    f.backlog.count = 0;
    f.backlog.writeOffset = 0;
    Fill(f, 0, 2);
    // 34 squares and the first byte of a 35th, as a damaged or foreign
    // slot file may hold it; and the same line without that byte.
    char* cut = f.backlog.BacklogLines[0];
    char* whole = f.backlog.BacklogLines[1];
    for (int i = 0; i < 34; ++i) std::memcpy(cut + 2 * i, "\x81\xA1", 2);
    cut[68] = '\x81';
    cut[69] = '\0';
    std::memcpy(whole, cut, 68);
    whole[68] = '\0';
    g.Type('\b');
    const Picture p = g.Canvas();
    for (int y = 0; y < 18; ++y)
        ASSERT_EQ(std::memcmp(p.Pixel(80, 10 + y), p.Pixel(80, 29 + y), 590 * 3), 0) << y;
    EXPECT_GT(RightEdge(p, 0), 80);
}

TEST(BacklogViewer, KeptGlyphsDrawWhatTheTextOutputDraws) {
    BacklogGame g(kStory);
    g.ToWait();
    TForm1& f = g.f();
    BacklogViewer& v = f.backlog.viewer;
    OutlineFont& font = RegularGlyphFace(f, v.font, 18, 0);
    ASSERT_TRUE(font.IsOpen());
    ResetViewerGlyphs(v);
    // Kana, kanji, ASCII with spaces, a half-width kana, a code the font
    // has no glyph for, and a line's characters over a busy background.
    const std::string texts[] = {ToCp932("あいうえお漢字の行です。"), "Hello, world  (42)", "\xB1\xB2\xB3",
                                 std::string("\x85\x40") + ToCp932("外字の後"), ToCp932("ミナ「雨が降ってきたね。」")};
    for (const std::string& text : texts) {
        for (int pass = 0; pass < 2; ++pass) {  // rasterised, then from the cache
            Picture a, b;
            a.Resize(800, 40);
            for (size_t i = 0; i < a.bytes.size(); ++i) a.bytes[i] = static_cast<uint8_t>(i * 7 % 251);
            b = a;
            font.DrawText(a, 75, 11, text, 0xFFFFFF);
            DrawViewerText(f, b, 75, 11, text);
            EXPECT_EQ(a.bytes, b.bytes) << ToUtf8(text) << " pass " << pass;
        }
    }
    // Clipped at the picture's edges like the text output.
    Picture a, b;
    a.Resize(100, 10);
    b = a;
    font.DrawText(a, -7, -6, texts[0], 0xFFFFFF);
    DrawViewerText(f, b, -7, -6, texts[0]);
    EXPECT_EQ(a.bytes, b.bytes);
}

// Up and Down put the reader one line older or newer, the rows scrolling
// only when it leaves them; the wheel or the bar hands the reader back to
// the top row. The story's own keys stay as they were.
TEST(BacklogViewer, UpAndDownMoveTheReaderLineByLine) {
    BacklogGame g(kStory);
    g.ToWait();
    TForm1& f = g.f();
    f.backlog.count = 0;
    f.backlog.writeOffset = 0;
    Fill(f, 0, 40);
    g.Type('\b');
    const BacklogViewer& v = f.backlog.viewer;
    EXPECT_EQ(BacklogReadingLine(f.backlog), 11);  // the top row
    g.KeyDown(VK_UP);
    EXPECT_EQ(BacklogReadingLine(f.backlog), 10);
    EXPECT_EQ(v.scroll, 1);
    ExpectRows(g.Canvas(), 10, 29);
    for (int i = 0; i < 28; ++i) g.KeyDown(VK_DOWN);
    EXPECT_EQ(BacklogReadingLine(f.backlog), 38);
    EXPECT_EQ(v.scroll, 1);  // still in sight
    g.KeyDown(VK_DOWN);
    g.KeyDown(VK_DOWN);  // the newest: no further
    EXPECT_EQ(BacklogReadingLine(f.backlog), 39);
    EXPECT_EQ(v.scroll, 0);
    ExpectRows(g.Canvas(), 11, 29);
    g.Wheel(120);
    EXPECT_EQ(v.scroll, 4);
    EXPECT_EQ(BacklogReadingLine(f.backlog), 7);
    for (int i = 0; i < 10; ++i) g.KeyDown(VK_UP);
    EXPECT_EQ(BacklogReadingLine(f.backlog), 0);
    EXPECT_EQ(v.scroll, 11);
    // Left does not start the rewind behind the viewer; Backspace closes it.
    g.KeyDown(VK_LEFT);
    EXPECT_EQ(f.app.playMode, 0);
    g.Type('\b');
    EXPECT_FALSE(f.backlog.open);
}

// The reader counts lines as the outlets get them: a name goes with the
// line after it (voice marks between them belong to neither), empty lines
// and a name with no line after it stand as they are sent.
TEST(BacklogViewer, ReadingLinesAreTheLinesTheOutletsGet) {
    BacklogGame g(kStory);
    g.ToWait();
    TForm1& f = g.f();
    BacklogState& b = f.backlog;
    const char* const lines[] = {"\x83\x7e\x83\x69", "@V1", "\x81\x75\x82\xa8\x81\x76", "", "\x92\x6e", "\x83\x4a\x83\x43"};
    b.count = 6;
    for (int i = 0; i < 6; ++i) {
        std::snprintf(b.BacklogLines[i], kBacklogLineSize, "%s", lines[i]);
        b.speakerLine[i] = i == 0 || i == 5;
    }
    int32_t feedOf[kBacklogLines + 1];
    std::vector<std::string> texts;
    ASSERT_EQ(BacklogFeedLines(b, feedOf, &texts), 3);
    EXPECT_EQ(std::vector<int32_t>(feedOf, feedOf + 6), (std::vector<int32_t>{0, -1, 0, -1, 1, 2}));
    EXPECT_EQ(ToUtf8(texts[0]), "「ミナ」「お」");
    EXPECT_EQ(ToUtf8(texts[2]), "「カイ」");
    g.Type('\b');
    EXPECT_EQ(BacklogReadingLine(b), 0);
    g.KeyDown(VK_DOWN);
    g.KeyDown(VK_DOWN);
    g.KeyDown(VK_DOWN);
    EXPECT_EQ(BacklogReadingLine(b), 2);
}
