// The demo's window pictures against its layout: every picture the text
// machinery loads is there in the size it is read with, the name plate sits
// over the scene above the panel, and every place a character or the
// click-wait icon can go lies inside the panel.
#include <gtest/gtest.h>

#include "support/test_game.h"
#include "text/glyph_cell.h"
#include "text/glyphs.h"

namespace velmora {
namespace {

// The tint mask is full where the panel's inside is.
bool InsidePanel(const TextState& t, int x, int y) {
    return x >= 0 && y >= 0 && x < t.tw1.width && y < t.tw1.height && t.tw1.Pixel(x, y)[0] == 255;
}

TEST(DemoWindow, PicturesFitTheLayoutAndTheTextStaysInThePanel) {
    test::TempDir dir;
    test::HeadlessEngine e(test::CopyDemo(dir));
    const TForm1& f = *e.f;
    const ConfigValues& c = f.config;
    const TextState& t = f.text;
    EXPECT_EQ(t.twLoaded.width, c.TXW_SIZE_X);
    EXPECT_EQ(t.twLoaded.height, 2 * c.TXW_SIZE_Y);
    EXPECT_EQ(t.tw1.width, c.TXW_SIZE_X);
    EXPECT_EQ(t.tw1.height, c.TXW_SIZE_Y);
    EXPECT_EQ(t.twzLoaded.width, 800);
    EXPECT_EQ(t.twzLoaded.height, 1200);
    EXPECT_EQ(t.twz1.width, 800);
    EXPECT_EQ(t.twz1.height, 600);
    EXPECT_EQ(t.clickSheet.width, c.CLICK_WAIT_PAT * c.CLICK_WAIT_SIZE_X);
    EXPECT_EQ(t.clickSheet.height, 2 * c.CLICK_WAIT_SIZE_Y);
    EXPECT_EQ(t.glyphs.defaultPlate.width, kPlateWidth);
    EXPECT_EQ(t.glyphs.defaultPlate.height, 2 * kPlateHeight);
    EXPECT_EQ(t.glyphs.gaiji.width, kGaijiCount * kGaijiTile);
    EXPECT_EQ(t.glyphs.gaiji.height, kGaijiTile);

    // The plate is drawn over the scene, so the window must be clear under it.
    for (int y = kPlateY; y < kPlateY + kPlateHeight; ++y)
        for (int x = kPlateX; x < kPlateX + kPlateWidth; ++x) {
            const int wx = x - c.TXW_OFS_X, wy = y - c.TXW_OFS_Y;
            if (wy < 0 || wy >= c.TXW_SIZE_Y) continue;
            ASSERT_EQ(t.twLoaded.Pixel(wx, c.TXW_SIZE_Y + wy)[0], 0) << x << "," << y;
        }

    // Every cell of the page, the hanging columns included, and the icon.
    for (int line = 1; line < c.MOJI_MAX_Y; ++line)
        for (int col = 0; col <= c.MOJI_MAX_X + 1; ++col) {
            const int x = col * c.TX_PITCH_X + c.TX_OFS_X, y = line * c.TX_PITCH_Y + c.TX_OFS_Y;
            ASSERT_TRUE(InsidePanel(t, x, y) && InsidePanel(t, x + kCellWidth - 1, y + kCellHeight - 1))
                << "line " << line << " column " << col;
        }
    const int ix = c.CLICK_WAIT_OFS_X - c.TXW_OFS_X, iy = c.CLICK_WAIT_OFS_Y - c.TXW_OFS_Y;
    EXPECT_TRUE(InsidePanel(t, ix, iy));
    EXPECT_TRUE(InsidePanel(t, ix + c.CLICK_WAIT_SIZE_X - 1, iy + c.CLICK_WAIT_SIZE_Y - 1));
}

}  // namespace
}  // namespace velmora
