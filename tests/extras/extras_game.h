#pragma once
// A tiny game for the choice tree and the credit sequences: scripts and
// tables, pictures of one colour each, played on the headless platform
// with the trace captured and screenshots taken at chosen virtual times.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/png_file.h"
#include "platform/headless/events.h"
#include "platform/headless/ini_store.h"
#include "support/test_game.h"
#include "tools/picture_encoder.h"

namespace velmora::test {

struct Bgr {
    uint8_t b, g, r;
    bool operator==(const Bgr&) const = default;
};

inline Picture Solid(int w, int h, Bgr c) {
    Picture p;
    p.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* d = p.Pixel(x, y);
            d[0] = c.b, d[1] = c.g, d[2] = c.r;
        }
    return p;
}

// Colour above, an opaque mask below.
inline Picture Stacked(int w, int h, Bgr c) {
    Picture p = Solid(w, 2 * h, {255, 255, 255});
    CopyPicture(p, Solid(w, h, c));
    return p;
}

inline std::vector<uint8_t> Packed(const Picture& p) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(tools::EncodePackedPicture(p, {}, out, error)) << error;
    return out;
}

inline Bgr At(const Picture& p, int x, int y) {
    const uint8_t* d = p.Pixel(x, y);
    return {d[0], d[1], d[2]};
}

class ExtrasGame {
public:
    using Scripts = std::initializer_list<std::pair<std::string, std::string>>;
    using Pictures = std::vector<std::pair<std::string, Picture>>;
    // scripts: (name, UTF-8 text), "main" starts; pictures go into vk_gra.vrk.
    ExtrasGame(Scripts scripts, Pictures pictures) {
        sink_ = open_memstream(&buf_, &len_);
        SetTraceSink(sink_);
        game_.Script("_config",
                     "TITLE:Extras\nMAKER_REG:Software\\Test\\Extras\nGAME_ID:extras\nTXW_OFS_X:0\nTXW_OFS_Y:430\n"
                     "TXW_SIZE_X:800\nTXW_SIZE_Y:170\nTX_OFS_X:40\nTX_OFS_Y:40\nTX_PITCH_X:12\nTX_PITCH_Y:30\n"
                     "MOJI_MAX_X:58\nMOJI_MAX_Y:4\n");
        for (auto& [name, text] : scripts) game_.Script(name, text);
        for (auto& [name, picture] : pictures) game_.Entry("vk_gra.vrk", name, Packed(picture));
        game_.Build();
        auto store = std::make_unique<platform::IniSettingsStore>();
        store->Set("Software/Test/Extras/extras", "Delay", "1");
        e_ = std::make_unique<HeadlessEngine>(game_.path(), 1920, 1080, std::move(store));
    }
    ExtrasGame(const ExtrasGame&) = delete;
    ExtrasGame& operator=(const ExtrasGame&) = delete;
    ~ExtrasGame() {
        e_.reset();
        SetTraceSink(nullptr);
        std::fclose(sink_);
        std::free(buf_);
    }
    TForm1& f() { return *e_->f; }
    platform::HeadlessPlatform& plat() { return e_->plat; }
    void Pass(int n = 1) {
        for (int i = 0; i < n; ++i) {
            plat().ProcessMessages();
            bool done = false;
            f().AppIdle(done);
        }
    }
    void ToWait(int passes = 300) {
        for (int i = 0; i < passes && f().stepper.PendingWait == 0; ++i) Pass();
    }
    // A pointer move or a press and release, as the window delivers them.
    void Move(int x, int y) {
        plat().SetCursorPos(x, y);
        f().PBMouseMove(0, x, y);
    }
    void Press(platform::MouseButton b, int x, int y) {
        plat().SetCursorPos(x, y);
        f().PBMouseDown(b, 0, x, y);
        f().PBMouseUp(b, 0, x, y);
    }
    // Events-file lines from now on; "screenshot NAME" lands in the game
    // folder, the engine's working directory.
    void Events(const std::string& text) {
        platform::Timeline t;
        std::string error;
        ASSERT_TRUE(platform::ParseTimeline(text, t, error)) << error;
        const uint32_t now = plat().Now();
        for (platform::TimelineEvent& e : t.events) e.time += now;
        t.endTime += now;
        plat().SetTimeline(std::move(t));
    }
    Picture Shot(const std::string& name) {
        Picture p;
        if (!ReadPng(game_.dir().File(name), p)) {
            ADD_FAILURE() << "no screenshot " << name;
            p.Resize(800, 600);
        }
        return p;
    }
    Picture Canvas() {
        Picture p;
        plat().surface().ReadBack(p);
        return p;
    }
    std::string Trace() {
        std::fflush(sink_);
        return std::string(buf_, len_);
    }
    bool Traced(const std::string& text) { return Trace().find(text) != std::string::npos; }
    std::string Backlog(int i) { return ToUtf8(f().backlog.BacklogLines[i]); }
    std::string LastLine() { return Backlog(f().backlog.count - 1); }

private:
    TestGame game_;
    std::unique_ptr<HeadlessEngine> e_;
    char* buf_ = nullptr;
    size_t len_ = 0;
    std::FILE* sink_ = nullptr;
};

}  // namespace velmora::test
