// The notice band of saving and loading: a tinted strip across the window
// with a shadowed text, faded in and out over what the window shows.
#include "ui/notice.h"

#include <algorithm>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "gfx/frame_clock.h"
#include "gfx/pixel_ops.h"
#include "text/glyphs.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kBandTop = 214, kBandHeight = 52;
constexpr int kFadeStep = 16;
constexpr uint32_t kFrameMs = 20;

void ShowBand(TForm1& f, const Picture& band) {
    f.plat.surface().BlitWhole(band, 0, kBandTop);
    f.plat.surface().Update();
}

// out = notice at weight w over the clean copy, w from 0 to 256.
void BlendBand(const Picture& notice, const Picture& clean, int w, Picture& out) {
    BlendBytes(notice.bytes.data(), clean.bytes.data(), std::clamp(w, 0, 256), out.bytes.data(), out.bytes.size());
}

}  // namespace

void ShowNotice(TForm1& f, const std::string& text, int ms) {
    Trace("notice \"%s\" for %d ms", TraceText(text).c_str(), ms);
    // Drawn as a picture: said for those who cannot see it.
    if (platform::TextOutlets* out = f.plat.textOutlets()) out->Notice(ToUtf8(text));
    f.ui.OverlayActive = true;
    UpdateMenuStates(f);

    Picture notice, clean, out;
    {
        Picture shown;
        f.plat.surface().ReadBack(shown);
        notice.Resize(kScreenWidth, kBandHeight);
        CopyRect(notice, 0, 0, shown, 0, kBandTop, kScreenWidth, kBandHeight);
    }
    clean = notice;
    out.Resize(kScreenWidth, kBandHeight);
    FillPicture(out, 0x804000);  // red 0, green 64, blue 128
    // The edges fade into the tint over eight rows.
    for (int i = 0; i < 8; ++i) {
        for (int row : {i, kBandHeight - 1 - i})
            BlendBytes(out.Row(row), notice.Row(row), 20 * i, notice.Row(row), kScreenWidth * 3);
    }
    for (int row = 8; row < kBandHeight - 8; ++row)
        BlendBytes(out.Row(row), notice.Row(row), 160, notice.Row(row), kScreenWidth * 3);

    OutlineFont& font = RegularGlyphFace(f, f.ui.noticeFont, 48, 0);
    Picture scratch;
    const int x = (kScreenWidth - font.DrawText(scratch, 0, 0, text, 0xFFFFFF)) / 2;
    font.DrawText(notice, x + 3, 6, text, 0x000000);
    font.DrawText(notice, x, 3, text, 0xFFFFFF);

    StartFrameClock(f);
    for (int w = 0; w < 256; w += kFadeStep * WaitFrame(f, kFrameMs)) {
        BlendBand(notice, clean, w, out);
        ShowBand(f, out);
    }
    ShowBand(f, notice);
    // The hold lets the window repaint and take its messages.
    WaitUntil(f, f.plat.clock().Now() + static_cast<uint32_t>(std::max(ms, 0)));
    StartFrameClock(f);
    for (int w = 256 - kFadeStep; w >= 0; w -= kFadeStep * WaitFrame(f, kFrameMs)) {
        BlendBand(notice, clean, w, out);
        ShowBand(f, out);
    }
    ShowBand(f, clean);

    f.ui.OverlayActive = false;
    UpdateMenuStates(f);
}

}  // namespace velmora
