#pragma once
// A tiny game for the gallery and the recollection: scripts, tables and
// pictures in plain colours, started headless and restarted on the same
// folder, with the trace captured.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "platform/headless/events.h"
#include "platform/headless/ini_store.h"
#include "save/slots.h"
#include "support/test_game.h"
#include "tools/picture_encoder.h"

namespace velmora::test {

inline Picture Filled(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    Picture p;
    p.Resize(w, h);
    for (size_t i = 0; i < p.bytes.size(); i += 3) p.bytes[i] = b, p.bytes[i + 1] = g, p.bytes[i + 2] = r;
    return p;
}

// Colour on the left, an opaque mask on the right.
inline Picture Plate(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
    Picture p = Filled(2 * w, h, 255, 255, 255);
    CopyPicture(p, Filled(w, h, b, g, r));
    return p;
}

inline bool PixelIs(const Picture& p, int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    const uint8_t* d = p.Pixel(x, y);
    return d[0] == b && d[1] == g && d[2] == r;
}

class ExtrasGame {
public:
    ExtrasGame() {
        sink_ = open_memstream(&buf_, &len_);
        SetTraceSink(sink_);
        game_.Script("_config",
                     "TITLE:Extras\nMAKER_REG:Software\\Test\\Extras\nGAME_ID:extras\nDEFAULT_NAME:a\n"
                     "DEFAULT_NAME2:b\n");
    }
    ExtrasGame(const ExtrasGame&) = delete;
    ExtrasGame& operator=(const ExtrasGame&) = delete;
    ~ExtrasGame() {
        e_.reset();
        SetTraceSink(nullptr);
        std::fclose(sink_);
        std::free(buf_);
    }
    ExtrasGame& Script(const std::string& name, const std::string& utf8) {
        game_.Script(name, utf8);
        return *this;
    }
    ExtrasGame& Pic(const std::string& name, const Picture& p) {
        std::vector<uint8_t> out;
        std::string error;
        EXPECT_TRUE(tools::EncodePackedPicture(p, {}, out, error)) << error;
        game_.Entry("vk_gra.vrk", name, out);
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
        e_ = std::make_unique<HeadlessEngine>(game_.path(), 1920, 1080, std::move(store));
    }
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
    void Move(int x, int y) { f().PBMouseMove(0, x, y); }
    void Press(platform::MouseButton b, int x, int y) {
        f().PBMouseMove(0, x, y);
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
    bool Events(const std::string& text) {
        platform::Timeline t;
        std::string error;
        if (!platform::ParseTimeline(text, t, error)) return false;
        const uint32_t now = plat().Now();
        for (platform::TimelineEvent& e : t.events) e.time += now;
        t.endTime += now;
        plat().SetTimeline(std::move(t));
        return true;
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
    bool Traced(const std::string& utf8) { return Trace().find(utf8) != std::string::npos; }
    bool BacklogHas(const std::string& utf8) {
        const std::string want = ToCp932(utf8);
        for (const auto& line : f().backlog.BacklogLines)
            if (std::string(line).find(want) != std::string::npos) return true;
        return false;
    }

private:
    TestGame game_;
    bool built_ = false;
    std::unique_ptr<HeadlessEngine> e_;
    char* buf_ = nullptr;
    size_t len_ = 0;
    std::FILE* sink_ = nullptr;
};

inline int Count(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + needle.size())) ++n;
    return n;
}

}  // namespace velmora::test
