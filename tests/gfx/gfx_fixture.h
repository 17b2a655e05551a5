#pragma once
// An engine on the headless platform with only the composition pictures:
// old and new screens filled with known patterns, and a timeline of clicks
// and screenshots at chosen virtual times.
#include <string>

#include "gfx/png_file.h"
#include "gfx/transitions.h"
#include "platform/headless/events.h"
#include "support/engine_fixture.h"
#include "support/test_game.h"

namespace velmora::test {

class GfxFixture : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        OldPattern(f->gfx.previous);
        NewPattern(f->gfx.screen);
        plat->surface().BlitWhole(f->gfx.previous);
        f->vars.S[20] = 400;
        f->vars.S[21] = 300;
    }

    // Distinct values in every channel, so shifted or mixed pixels show.
    static void OldPattern(Picture& p) {
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                uint8_t* d = p.Pixel(x, y);
                d[0] = static_cast<uint8_t>(x), d[1] = static_cast<uint8_t>(y), d[2] = static_cast<uint8_t>(x + y);
            }
    }
    static void NewPattern(Picture& p) {
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                uint8_t* d = p.Pixel(x, y);
                d[0] = static_cast<uint8_t>(255 - y), d[1] = static_cast<uint8_t>(3 * x),
                d[2] = static_cast<uint8_t>(200 - x / 8);
            }
    }

    // Events file lines; "shot NAME" lines become screenshots in the temp dir.
    void Events(const std::string& text) {
        platform::Timeline t;
        std::string error;
        ASSERT_TRUE(platform::ParseTimeline(text, t, error)) << error;
        for (auto& e : t.events)
            if (e.kind == platform::EventKind::Screenshot) e.path = dir.File(e.path.substr(e.path.rfind('/') + 1));
        plat->SetTimeline(t);
    }
    Picture Shot(const std::string& name) {
        Picture p;
        EXPECT_TRUE(ReadPng(dir.File(name), p)) << name;
        return p;
    }
    Picture Canvas() {
        Picture p;
        plat->surface().ReadBack(p);
        return p;
    }
    // Runs transition n from virtual time 0 and returns how long it took.
    uint32_t Run(int n) {
        uint32_t t0 = plat->Now();
        RunTransition(*f, n);
        return plat->Now() - t0;
    }

    TempDir dir;
};

inline bool SamePixels(const Picture& a, const Picture& b) {
    return a.width == b.width && a.height == b.height && a.bytes == b.bytes;
}

}  // namespace velmora::test
