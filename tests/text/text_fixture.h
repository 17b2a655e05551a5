#pragma once
// An engine with only the text machinery set up: the demo's window layout,
// composition pictures filled with a gradient, the glyph font and cache.
#include <string>

#include "data/encoding.h"
#include "support/engine_fixture.h"
#include "text/message_window.h"

namespace velmora::test {

class TextFixture : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        ConfigValues& c = f->config;
        c.TX_OFS_X = 40, c.TX_OFS_Y = 30, c.TX_PITCH_X = 12, c.TX_PITCH_Y = 28;
        c.MOJI_MAX_X = 40, c.MOJI_MAX_Y = 4;
        c.TX2_OFS_X = 40, c.TX2_OFS_Y = 40, c.TX2_PITCH_X = 12, c.TX2_PITCH_Y = 32;
        c.MOJI_MAX2_X = 60, c.MOJI_MAX2_Y = 16;
        c.CLICK_WAIT_OFS_X = 740, c.CLICK_WAIT_OFS_Y = 560, c.CLICK_WAIT_SIZE_X = 24, c.CLICK_WAIT_SIZE_Y = 24;
        c.CLICK_WAIT_PAT = 4, c.CLICK_WAIT_TIMING = 2;
        f->settings.FontName = ToCp932("ＭＳ ゴシック");
        f->settings.FONTSIZE = 19;
        f->vars.S[37] = 0xFFFFFF;
        Gradient(f->gfx.scene);
        f->gfx.screen = f->gfx.scene;
        InitGlyphs(*f);
    }

    static void Gradient(Picture& p) {
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                uint8_t* d = p.Pixel(x, y);
                d[0] = static_cast<uint8_t>(x / 4), d[1] = static_cast<uint8_t>(y / 3), d[2] = 90;
            }
    }

    // Puts UTF-8 text through PutChar as the stepper would.
    void Type(const std::string& utf8) {
        std::string s = ToCp932(utf8);
        for (size_t i = 0; i < s.size();) {
            int w = (static_cast<unsigned char>(s[i]) < 0x20 || static_cast<unsigned char>(s[i]) >= 0x7F) ? 2 : 1;
            PutChar(*f, s.data() + i, w);
            i += w;
        }
    }

};

}  // namespace velmora::test
