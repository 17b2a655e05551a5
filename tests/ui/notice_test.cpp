// The notice band: it fades in and out over the window in 20 ms frames,
// holds for its time, and leaves the window and the screen picture as they
// were.
#include <gtest/gtest.h>

#include "app/engine.h"
#include "data/encoding.h"
#include "script/story.h"
#include "ui/notice.h"

using namespace velmora;

TEST(Notice, FadesHoldsAndLeavesEverythingAsItWas) {
    test::Story s({{"main", "一ページ目\n\\\n"}});
    TForm1& f = s.f();
    // Drawn as a picture, the notice is also told to the text outlets, once.
    struct Told : platform::TextOutlets {
        std::vector<std::string> notices;
        void Apply(const platform::TextOutSwitches&) override {}
        void Put(platform::TextKind, const std::string&, bool) override {}
        void Notice(const std::string& utf8) override { notices.push_back(utf8); }
    } told;
    s.plat().textOutletsImpl = &told;
    s.ToWait();
    Picture before;
    s.plat().ReadBack(before);
    const PictureBytes screen = f.gfx.screen.bytes;
    const uint32_t start = f.plat.clock().Now();
    ShowNotice(f, ToCp932("セーブしました"), 500);
    // Sixteen frames in, the hold, sixteen frames out.
    EXPECT_EQ(f.plat.clock().Now() - start, 16u * 20 + 500 + 16u * 20);
    EXPECT_FALSE(f.ui.OverlayActive);
    Picture after;
    s.plat().ReadBack(after);
    EXPECT_EQ(after.bytes, before.bytes);
    EXPECT_EQ(f.gfx.screen.bytes, screen);
    EXPECT_EQ(told.notices, std::vector<std::string>{"セーブしました"});
    s.plat().textOutletsImpl = nullptr;
}
