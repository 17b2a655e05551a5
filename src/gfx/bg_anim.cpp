// The animated background: frames built from pictures or from offsets of
// the current screen, played once inside the command or looped by the idle
// loop while the story goes on.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/engine.h"
#include "app/trace.h"
#include "data/archive.h"
#include "gfx/composition.h"
#include "gfx/effects.h"
#include "gfx/frame_clock.h"
#include "gfx/graphics_commands.h"
#include "gfx/image_files.h"
#include "gfx/pixel_ops.h"
#include "gfx/transitions.h"
#include "script/commands.h"
#include "script/loader.h"
#include "text/message_window.h"
#include "ui/input.h"

namespace velmora {

namespace {

constexpr int kFieldsMax = 3 * kBgAnimFrames + 8;

// The upper-cased fields of the arguments; missing ones are empty.
void SplitUpperCommas(const char* args, std::string* out) {
    const int n = SplitTableFields(UpperName(args), out, kFieldsMax);
    for (int i = n; i < kFieldsMax; ++i) out[i].clear();
}

int32_t Number(const std::string& s) { return ReadInt(s.c_str()); }

// The frame's area under the message window.
void TakeCleanPiece(TForm1& f, BgAnimFrame& frame) {
    const ConfigValues& c = f.config;
    Picture& piece = frame.cleanPiece;
    if (piece.width != c.TXW_SIZE_X || piece.height != c.TXW_SIZE_Y) piece.Resize(c.TXW_SIZE_X, c.TXW_SIZE_Y);
    CopyRect(piece, 0, 0, frame.picture, c.TXW_OFS_X, c.TXW_OFS_Y, c.TXW_SIZE_X, c.TXW_SIZE_Y);
}

// out = src, shifted by (dx, dy) and blended with weight v.
void OffsetPicture(const Picture& src, Picture& out, int v, int dx, int dy) {
    EnsureScreenSize(out);
    CopyPicture(out, src);
    CopyPicture(out, src, dx, dy);
    const int adx = dx < 0 ? -dx : dx;
    if (v == 0 || adx >= kScreenWidth) return;
    v = std::clamp(v, 0, 256);
    const int groups = 3 * (kScreenWidth - adx) / 8;
    uint8_t line[kScreenWidth * 3 + 8];
    for (int y = 0; y < kScreenHeight; ++y) {
        int yy = y + dy;
        if (yy < 0 || yy >= kScreenHeight) continue;
        if (dx >= 0) {
            BlendRows(src.Row(yy), src.Row(y), v, out.Pixel(dx, y), groups);
        } else {
            // Pixels left of the row start read as black.
            std::memset(line, 0, static_cast<size_t>(adx) * 3);
            std::memcpy(line + 3 * adx, src.Row(yy), static_cast<size_t>(kScreenWidth - adx) * 3);
            BlendRows(line, src.Row(y), v, out.Row(y), groups);
        }
    }
}

// Frame = the screen, shifted by (dx, dy) and blended with weight v. Its
// clean piece is the scene's the same way: the screen already carries the
// message window (and the quick bar), which is blended over every frame
// again from the clean piece.
void BuildOffsetFrame(TForm1& f, BgAnimFrame& frame, int v, int dx, int dy) {
    frame.name.clear();
    OffsetPicture(f.gfx.screen, frame.picture, v, dx, dy);
    if (!f.text.windowOpen || f.vars.S[150] != 0 || f.gfx.scene.Empty()) {
        TakeCleanPiece(f, frame);
        return;
    }
    Picture& scene = f.gfx.work;  // free outside transitions
    OffsetPicture(f.gfx.scene, scene, v, dx, dy);
    const ConfigValues& c = f.config;
    Picture& piece = frame.cleanPiece;
    if (piece.width != c.TXW_SIZE_X || piece.height != c.TXW_SIZE_Y) piece.Resize(c.TXW_SIZE_X, c.TXW_SIZE_Y);
    CopyRect(piece, 0, 0, scene, c.TXW_OFS_X, c.TXW_OFS_Y, c.TXW_SIZE_X, c.TXW_SIZE_Y);
}

// Reads a sequence field ("#..." or ">...") into the state; entries that
// name frames that were not built are dropped.
void ReadSequence(BgAnimState& st, const std::string& field, int frames, bool lettersToo) {
    st.sequenceLength = 0;
    for (size_t i = 1; i < field.size() && st.sequenceLength < kBgAnimSequenceMax; ++i) {
        char c = field[i];
        int k;
        if (c >= '0' && c <= '9') k = c - '0';
        else if (lettersToo && c >= 'A' && c <= 'Z') k = c - 'A' + 10;
        else break;
        if (k >= frames) {
            Trace("bg_anim: sequence names frame %d of %d", k, frames);
            continue;
        }
        st.sequence[st.sequenceLength++] = static_cast<uint8_t>(k);
    }
}

// The window picture was built over the frames: build it again from the
// scene, on a fresh page.
void AfterAnimation(TForm1& f) {
    f.text.windowValid = false;
    BuildWindowBackground(f);
    NewPage(f);
    UpdateMenuStates(f);
}

}  // namespace

bool BackgroundAnimationRunning(TForm1& f) { return f.gfx.bgAnim.frameCount != 0; }

void RestoreFrameCleanPieces(TForm1& f) {
    BgAnimState& st = f.gfx.bgAnim;
    for (int i = 0; i < st.frameCount; ++i)
        CopyPicture(st.frames[i].picture, st.frames[i].cleanPiece, f.config.TXW_OFS_X, f.config.TXW_OFS_Y);
}

void CopyWindowPieceToFrames(TForm1& f) {
    BgAnimState& st = f.gfx.bgAnim;
    for (int i = 0; i < st.frameCount; ++i)
        CopyPicture(st.frames[i].picture, st.frames[i].windowPiece, f.config.TXW_OFS_X, f.config.TXW_OFS_Y);
}

void BgAnimCommand(TForm1& f, const char* args) {
    BgAnimState& st = f.gfx.bgAnim;
    const bool wasBusy = f.flags.busy;
    f.flags.busy = true;
    static std::string field[kFieldsMax];
    SplitUpperCommas(args, field);
    if (field[0] == "END") {
        BgAnimFrame& frame = st.frames[std::clamp(st.currentFrame, 0, kBgAnimFrames - 1)];
        // Without a frame to keep the background stays as it is.
        if (!frame.picture.Empty()) {
            f.gfx.backgroundName = frame.name;
            f.gfx.background = frame.picture;
            CopyPicture(f.gfx.background, frame.cleanPiece, f.config.TXW_OFS_X, f.config.TXW_OFS_Y);
            CopyPicture(f.gfx.scene, f.gfx.background);
        }
        st.frameCount = 0;
        AfterAnimation(f);
        f.flags.busy = wasBusy;
        return;
    }
    if (field[0] == "RELEASE") {
        st.frameCount = 0;
        if (f.settings.MemorySaveMode)
            for (BgAnimFrame& frame : st.frames) frame = BgAnimFrame();
        AfterAnimation(f);
        f.flags.busy = wasBusy;
        return;
    }
    if (field[1].empty()) {
        f.flags.busy = wasBusy;
        return;
    }
    int frames = 0;
    bool once = false;
    bool sequenced = false;
    st.frameCount = 0;
    if (field[0] == "OFS") {
        st.delay = Number(field[1]);
        for (int k = 0; k < kBgAnimFrames; ++k) {
            const std::string& v = field[3 * k + 2];
            if (v.empty()) break;
            if (v[0] == '#') {
                ReadSequence(st, v, frames, false);
                sequenced = true;
                break;
            }
            BuildOffsetFrame(f, st.frames[k], Number(v), Number(field[3 * k + 3]), Number(field[3 * k + 4]));
            ++frames;
        }
    } else {
        st.delay = Number(field[0]);
        for (int k = 0; k < kBgAnimFrames; ++k) {
            const std::string& name = field[k + 1];
            if (name.empty()) break;
            if (name[0] == '#' || name[0] == '>') {
                once = name[0] == '>';
                ReadSequence(st, name, frames, true);
                sequenced = true;
                break;
            }
            BgAnimFrame& frame = st.frames[k];
            if (!LoadPicture(f, name, frame.picture))
                ContentError("picture", "bg_anim %s: no such picture", TraceText(name).c_str());
            frame.name = name;
            TakeCleanPiece(f, frame);
            ++frames;
        }
    }
    // The idle loop and the play-once wait divide by the delay.
    if (st.delay <= 0) st.delay = 1;
    if (!sequenced) {
        st.sequenceLength = frames;
        for (int k = 0; k < frames; ++k) st.sequence[k] = static_cast<uint8_t>(k);
    }
    st.position = 0;
    st.currentFrame = st.sequenceLength ? st.sequence[0] : 0;
    if (frames == 0 || st.sequenceLength == 0) {
        Trace("bg_anim %s: nothing to play", TraceText(args).c_str());
        f.flags.busy = wasBusy;
        return;
    }
    if (once) {
        StartFrameClock(f);
        for (int j = 0; j < st.sequenceLength;) {
            st.currentFrame = st.sequence[j];
            f.plat.surface().BlitWhole(st.frames[st.currentFrame].picture);
            f.plat.surface().Update();
            j += WaitFrame(f, static_cast<uint32_t>(st.delay) * 30);
        }
        st.frameCount = 0;
        f.flags.busy = wasBusy;
        f.text.windowOpen = false;
        return;
    }
    st.frameCount = frames;
    UpdateMenuStates(f);
    ShowScene(f);
    f.flags.busy = wasBusy;
}

void AdvanceBackgroundAnimation(TForm1& f) {
    BgAnimState& st = f.gfx.bgAnim;
    if (st.frameCount == 0 || st.sequenceLength == 0) return;
    if (f.app.frameCounter % st.delay != 0) return;
    st.position = (st.position + 1) % st.sequenceLength;
    st.currentFrame = st.sequence[st.position];
    BgAnimFrame& frame = st.frames[st.currentFrame];
    if (f.app.playMode == 0) {
        f.plat.surface().BlitWhole(frame.picture);
    } else if (f.app.playMode == 1) {
        CopyPicture(f.gfx.screen, frame.picture);
        CopyPicture(f.gfx.screen, frame.cleanPiece, f.config.TXW_OFS_X, f.config.TXW_OFS_Y);
        f.plat.surface().BlitWhole(f.gfx.screen);
    }
    f.plat.surface().Update();
}

}  // namespace velmora
