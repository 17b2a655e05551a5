#pragma once
// A tiny game for the extras (gallery, recollection, choice tree, credits):
// scripts, tables and pictures in plain colours, started headless (and
// restarted on the same folder), with the trace captured and screenshots
// taken at chosen virtual times.
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
#include "save/slots.h"
#include "support/test_game.h"
#include "support/trace_capture.h"
#include "tools/picture_encoder.h"

namespace velmora::test {

struct Bgr {
    uint8_t b, g, r;
    bool operator==(const Bgr&) const = default;
};

inline Picture Solid(int w, int h, Bgr c) {
    Picture p;
    p.Resize(w, h);
    for (size_t i = 0; i < p.bytes.size(); i += 3) p.bytes[i] = c.b, p.bytes[i + 1] = c.g, p.bytes[i + 2] = c.r;
    return p;
}
inline Picture Filled(int w, int h, uint8_t b, uint8_t g, uint8_t r) { return Solid(w, h, {b, g, r}); }

// Colour above, an opaque mask below.
inline Picture Stacked(int w, int h, Bgr c) {
    Picture p = Solid(w, 2 * h, {255, 255, 255});
    CopyPicture(p, Solid(w, h, c));
    return p;
}

// Colour on the left, an opaque mask on the right.
inline Picture Plate(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    Picture p = Solid(2 * w, h, {255, 255, 255});
    CopyPicture(p, Solid(w, h, {b, g, r}));
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
inline bool PixelIs(const Picture& p, int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    return At(p, x, y) == Bgr{b, g, r};
}

// What the engine hands the text outlets, by kind, and the page breaks as
// "<page>".
struct HeardText : platform::TextOutlets {
    std::vector<std::pair<platform::TextKind, std::string>> items;
    std::vector<uint32_t> times;  // of each item, on the clock given
    platform::Clock* clock = nullptr;
    void Apply(const platform::TextOutSwitches&) override {}
    void Put(platform::TextKind kind, const std::string& utf8, bool) override {
        items.emplace_back(kind, utf8);
        times.push_back(clock ? clock->Now() : 0);
    }
    void NewPage() override {
        items.emplace_back(platform::TextKind::Menu, "<page>");
        times.push_back(clock ? clock->Now() : 0);
    }
    // The texts of one kind, with the page breaks when asked for.
    std::vector<std::string> Of(platform::TextKind kind, bool pages = false) const {
        std::vector<std::string> out;
        for (const auto& [k, text] : items)
            if (text == "<page>" ? pages : k == kind) out.push_back(text);
        return out;
    }
};

class ExtrasGame {
public:
    using Scripts = std::initializer_list<std::pair<std::string, std::string>>;
    using Pictures = std::vector<std::pair<std::string, Picture>>;
    // Scripts, tables and pictures are added with Script/Pic/Entry, then Start().
    ExtrasGame() {
        game_.Script("_config",
                     "TITLE:Extras\nMAKER_REG:Software\\Test\\Extras\nGAME_ID:extras\nDEFAULT_NAME:a\n"
                     "DEFAULT_NAME2:b\nTXW_OFS_X:0\nTXW_OFS_Y:430\nTXW_SIZE_X:800\nTXW_SIZE_Y:170\nTX_OFS_X:40\n"
                     "TX_OFS_Y:40\nTX_PITCH_X:12\nTX_PITCH_Y:30\nMOJI_MAX_X:58\nMOJI_MAX_Y:4\n");
    }
    // Started at once: scripts (name, UTF-8 text; "main" starts), pictures into vk_gra.vrk.
    ExtrasGame(Scripts scripts, Pictures pictures) : ExtrasGame() {
        for (auto& [name, text] : scripts) Script(name, text);
        for (auto& [name, picture] : pictures) Pic(name, picture);
        Start();
    }
    ExtrasGame(const ExtrasGame&) = delete;
    ExtrasGame& operator=(const ExtrasGame&) = delete;
    ExtrasGame& Script(const std::string& name, const std::string& utf8) {
        game_.Script(name, utf8);
        return *this;
    }
    ExtrasGame& Pic(const std::string& name, const Picture& p) {
        game_.Entry("vk_gra.vrk", name, Packed(p));
        return *this;
    }
    ExtrasGame& Entry(const std::string& file, const std::string& name, const std::vector<uint8_t>& data) {
        game_.Entry(file, name, data);
        return *this;
    }
    // Builds the folder the first time and starts an engine on it; a later
    // call stores the global data, as a close does, and starts again.
    void Start() {
        if (!built_) {
            game_.Build();
            built_ = true;
        }
        if (e_) StoreGlobalData(f());
        e_.reset();
        auto store = std::make_unique<platform::IniSettingsStore>();
        store->Set("Software/Test/Extras/extras", "Delay", "1");
        for (auto& [key, value] : settings) store->Set("Software/Test/Extras/extras", key, value);
        e_ = std::make_unique<HeadlessEngine>(game_.path(), 1920, 1080, std::move(store));
    }
    // Stored settings (key, value) the next Start() begins with.
    std::vector<std::pair<std::string, std::string>> settings;
    TForm1& f() { return *e_->f; }
    platform::HeadlessPlatform& plat() { return e_->plat; }
    std::string path() const { return game_.path(); }
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
    // Past the page wait to the next one.
    void NextWait() {
        Press(platform::mbLeft, 400, 300);
        Pass(6);
        ToWait();
    }
    // A pointer move or a press and release, as the window delivers them.
    void Move(int x, int y) {
        plat().SetCursorPos(x, y);
        f().PBMouseMove(0, x, y);
    }
    void Press(platform::MouseButton b, int x, int y) {
        Move(x, y);
        f().PBMouseDown(b, 0, x, y);
        f().PBMouseUp(b, 0, x, y);
    }
    // Timer ticks of virtual time.
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            plat().Sleep(55);
            f().Timer1Timer();
        }
    }
    // Events-file lines from now on; "screenshot NAME" lands in the game
    // folder, the engine's working directory.
    bool Events(const std::string& text) {
        platform::Timeline t;
        std::string error;
        if (!platform::ParseTimeline(text, t, error)) {
            ADD_FAILURE() << error;
            return false;
        }
        const uint32_t now = plat().Now();
        for (platform::TimelineEvent& e : t.events) e.time += now;
        t.endTime += now;
        plat().SetTimeline(std::move(t));
        return true;
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
        return trace_.Text();
    }
    bool Traced(const std::string& utf8) { return Trace().find(utf8) != std::string::npos; }
    bool BacklogHas(const std::string& utf8) {
        const std::string want = ToCp932(utf8);
        for (const auto& line : f().backlog.BacklogLines)
            if (std::string(line).find(want) != std::string::npos) return true;
        return false;
    }
    std::string Backlog(int i) { return ToUtf8(f().backlog.BacklogLines[i]); }
    std::string LastLine() { return Backlog(f().backlog.count - 1); }

private:
    // First, so that it outlives the engine and the game.
    TraceCapture trace_;
    TestGame game_;
    bool built_ = false;
    std::unique_ptr<HeadlessEngine> e_;
};

inline int Count(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + needle.size())) ++n;
    return n;
}

}  // namespace velmora::test
