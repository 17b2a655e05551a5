#pragma once
// A tiny game for the backlog viewer and the scene rewind: the viewer's
// four pictures in colours that are easy to tell apart, two voices of
// different lengths and the opening sound, on the headless platform with
// the trace captured.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound_data.h"
#include "backlog/backlog.h"
#include "data/encoding.h"
#include "support/test_game.h"
#include "support/trace_capture.h"
#include "tools/picture_encoder.h"
#include "tools/sound_encoder.h"

namespace velmora::test {

// Colours of the viewer pictures (blue, green, red).
struct Bgr {
    uint8_t b, g, r;
};
inline constexpr Bgr kBarColour = {0, 0, 200}, kBarHighlight = {0, 200, 0}, kThumbColour = {200, 0, 0},
                     kMarkColour = {200, 0, 200}, kMarkHoverColour = {200, 200, 0};
inline constexpr int kThumbHeight = 20;

// What a side-by-side masked picture of one colour, fully opaque, shows.
inline Bgr Opaque(Bgr c) { return {uint8_t(c.b * 255 >> 8), uint8_t(c.g * 255 >> 8), uint8_t(c.r * 255 >> 8)}; }

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

// Colour on the left, an opaque mask on the right.
inline Picture SideBySide(int w, int h, Bgr c) {
    Picture p = Solid(2 * w, h, {255, 255, 255});
    CopyPicture(p, Solid(w, h, c));
    return p;
}

inline std::vector<uint8_t> Packed(const Picture& p) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(tools::EncodePackedPicture(p, {}, out, error)) << error;
    return out;
}

inline std::vector<uint8_t> Voice(double seconds) {
    tools::PcmSound s;
    s.channels = 1;
    s.rate = 22050;
    for (size_t i = 0; i < static_cast<size_t>(seconds * s.rate); ++i)
        s.samples.push_back(static_cast<int16_t>(6000 * std::sin(i * 0.1)));
    std::vector<uint8_t> ogg;
    std::string error;
    EXPECT_TRUE(tools::EncodeVoice(s, 0.4f, ogg, error)) << error;
    return ogg;
}

class BacklogGame {
public:
    // "main" (UTF-8) starts; withPictures false leaves out the viewer's pictures.
    explicit BacklogGame(const std::string& main, bool withPictures = true) {
        game_.Script("_config",
                     "TITLE:Backlog\nMAKER_REG:Software\\Test\\Backlog\nGAME_ID:backlog\n"
                     "TXW_OFS_X:0\nTXW_OFS_Y:340\nTXW_SIZE_X:800\nTXW_SIZE_Y:260\nTX_OFS_X:40\nTX_OFS_Y:50\n"
                     "TX_PITCH_X:12\nTX_PITCH_Y:30\nMOJI_MAX_X:58\nMOJI_MAX_Y:5\nTX2_OFS_X:40\nTX2_OFS_Y:40\n"
                     "TX2_PITCH_X:12\nTX2_PITCH_Y:36\nMOJI_MAX2_X:60\nMOJI_MAX2_Y:14\nNAME:1,ミナ,F8C\n");
        game_.Script("main", main);
        if (withPictures) {
            // The bar: normal colours, highlighted colours, opaque alpha.
            Picture bar = Solid(72, 561, {255, 255, 255});
            CopyPicture(bar, Solid(24, 561, kBarColour));
            CopyPicture(bar, Solid(24, 561, kBarHighlight), 24, 0);
            game_.Entry("vk_gra.vrk", "sys_bl_bar", Packed(bar));
            game_.Entry("vk_gra.vrk", "sys_bl_cur", Packed(SideBySide(16, kThumbHeight, kThumbColour)));
            game_.Entry("vk_gra.vrk", "sys_blVR", Packed(SideBySide(256, 23, kMarkColour)));
            game_.Entry("vk_gra.vrk", "sys_blVR2", Packed(SideBySide(256, 23, kMarkHoverColour)));
        }
        game_.Entry("vk_ogg1.vrk", "V1", Voice(0.5));
        game_.Entry("vk_ogg1.vrk", "V2", Voice(1.0));
        game_.Entry("vk_se0.vrk", "SSE09", EffectEntry(std::vector<uint8_t>(500, 0x03)));
        game_.Build();
        auto store = std::make_unique<platform::IniSettingsStore>();
        store->Set("Software/Test/Backlog/backlog", "Delay", "1");
        e_ = std::make_unique<HeadlessEngine>(game_.path(), 1920, 1080, std::move(store));
    }
    BacklogGame(const BacklogGame&) = delete;
    BacklogGame& operator=(const BacklogGame&) = delete;
    TForm1& f() { return *e_->f; }
    platform::HeadlessPlatform& plat() { return e_->plat; }
    platform::HeadlessMixer& mixer() { return e_->plat.headlessMixer; }
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
    void NextWait() {
        f().PBMouseDown(platform::mbLeft, 0, 400, 300);
        Pass(6);  // past the click debounce
        ToWait();
    }
    void Press(platform::MouseButton b, int x, int y) {
        f().PBMouseDown(b, 0, x, y);
        f().PBMouseUp(b, 0, x, y);
    }
    void Move(int x, int y) { f().PBMouseMove(0, x, y); }
    void Wheel(int delta) {
        bool handled = false;
        f().FormMouseWheel(0, delta, 400, 300, handled);
    }
    void Type(char c) { f().FormKeyPress(c); }
    void KeyDown(uint16_t key) { f().FormKeyDown(key, 0); }
    // What the window shows.
    Picture Canvas() {
        Picture p;
        plat().surface().ReadBack(p);
        return p;
    }
    std::string Trace() {
        return trace_.Text();
    }
    bool Traced(const std::string& text) { return Trace().find(text) != std::string::npos; }
    // Bytes of the voice the voice slot holds now (0: none).
    size_t VoiceBytes() { return mixer().HasBuffer(kSlotVoice) ? mixer().Data(kSlotVoice).size() : 0; }

private:
    // First, so that it outlives the engine and the game.
    TraceCapture trace_;
    TestGame game_;
    std::unique_ptr<HeadlessEngine> e_;
};

inline bool Is(const Picture& p, int x, int y, Bgr c) {
    const uint8_t* d = p.Pixel(x, y);
    return d[0] == c.b && d[1] == c.g && d[2] == c.r;
}

}  // namespace velmora::test
