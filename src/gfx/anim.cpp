// anim and animq: JPEG key frames, patches and holds played straight onto
// the window on a fixed schedule, with the entry's sound track. Late frames
// are passed over rather than slowing the animation down; a hold after
// such a skip catches up with the key frame it passed.
#include "gfx/anim.h"

#include "data/file_io.h"

#include <cstdio>
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "gfx/composition.h"
#include "gfx/graphics_commands.h"
#include "gfx/image_files.h"
#include "gfx/pixel_ops.h"
#include "script/commands.h"
#include "script/variables.h"
#include "ui/input.h"

namespace velmora {

namespace {

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
int16_t S16(const uint8_t* p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8)); }

}  // namespace

bool ParseAnimHeader(const uint8_t* b, size_t available, AnimEntry& e) {
    if (available < kAnimHeaderSize) return false;
    e.frameCount = U32(b);
    e.frameTime = U32(b + 4);
    e.width = U32(b + 8);
    e.height = U32(b + 12);
    e.soundSize = U32(b + 16);
    e.soundOffset = U32(b + 20);
    return true;
}

uint64_t AnimArraysSize(uint32_t frameCount) { return kAnimBytesPerFrame * static_cast<uint64_t>(frameCount); }

bool ParseAnimArrays(const uint8_t* arrays, size_t available, uint32_t entrySize, AnimEntry& e, std::string& why) {
    const uint64_t n = e.frameCount;
    char text[160];
    if (kAnimHeaderSize + AnimArraysSize(e.frameCount) > entrySize || available < AnimArraysSize(e.frameCount)) {
        std::snprintf(text, sizeof text, "the arrays of %u frames run past the entry of %u bytes", e.frameCount,
                      entrySize);
        why = text;
        return false;
    }
    e.kind.resize(n), e.patchX.resize(n), e.patchY.resize(n), e.offset.resize(n), e.size.resize(n);
    for (uint64_t i = 0; i < n; ++i) {
        e.kind[i] = S16(arrays + 2 * i);
        e.patchX[i] = S16(arrays + 2 * n + 2 * i);
        e.patchY[i] = S16(arrays + 4 * n + 2 * i);
        e.offset[i] = U32(arrays + 6 * n + 4 * i);
        e.size[i] = U32(arrays + 10 * n + 4 * i);
    }
    // Only key frames and patches are read; a hold's data fields mean nothing.
    for (uint64_t i = 0; i < n; ++i) {
        if (e.kind[i] != kAnimKey && e.kind[i] != kAnimPatch) continue;
        if (static_cast<uint64_t>(e.offset[i]) + e.size[i] > entrySize) {
            std::snprintf(text, sizeof text, "frame %llu (%u bytes at %u) runs past the entry of %u bytes",
                          static_cast<unsigned long long>(i), e.size[i], e.offset[i], entrySize);
            why = text;
            return false;
        }
    }
    if (e.soundSize != 0 && static_cast<uint64_t>(e.soundOffset) + e.soundSize > entrySize) {
        std::snprintf(text, sizeof text, "the sound (%u bytes at %u) runs past the entry of %u bytes", e.soundSize,
                      e.soundOffset, entrySize);
        why = text;
        return false;
    }
    return true;
}

AnimArgs ReadAnimArgs(const char* text) {
    AnimArgs a;
    const char* comma = std::strchr(text, ',');
    a.name = comma ? std::string(text, static_cast<size_t>(comma - text)) : std::string(text);
    size_t start[4] = {0, 0, 0, 0};
    for (int k = 1; k < 4; ++k) {
        const char* c = std::strchr(text + start[k - 1], ',');
        start[k] = c ? static_cast<size_t>(c - text) + 1 : start[k - 1];
    }
    a.x = ReadInt(text + start[1]);
    a.y = ReadInt(text + start[2]);
    a.cutShort = start[3];
    return a;
}

int64_t AnimFrameStart(uint32_t frameTime, int64_t i, bool quality) {
    if (!quality) return i * frameTime;
    int64_t micro = static_cast<int64_t>(frameTime) * 1000;
    if (frameTime == 33) micro = 33333;
    else if (frameTime == 15) micro = 66666;
    return i * micro / 1000;
}

AnimStep AnimTimingStep(int64_t late, uint32_t frameTime) {
    AnimStep st;
    // A frame time of 0 cannot be divided into: every frame, no waiting.
    if (frameTime == 0) return st;
    const int64_t ft = frameTime;
    if (late > ft) {
        st.skipped = late / ft;
        const int64_t rest = late % ft;
        st.sleep = rest ? static_cast<uint32_t>(ft - rest) : 0;
    } else if (late != ft) {
        const int64_t sleep = ft - late;
        st.sleep = sleep > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<uint32_t>(sleep);
    }
    return st;
}

namespace {

// One run of the player: the volume file stays open for the whole run
// because a long sound track is streamed from it.
struct AnimRun {
    TForm1& f;
    bool quality = false;
    std::string name;
    std::FILE* file = nullptr;
    int64_t base = 0;  // the entry's offset in the volume
    AnimEntry e;
    int32_t x = 0, y = 0;
    JpegDecoder decoder;
    Picture frame;          // the frame just decoded
    Picture work, display;  // animq: the half-size picture and its doubling
    bool sound = false, stream = false;

    explicit AnimRun(TForm1& form) : f(form) {}
    AnimRun(const AnimRun&) = delete;
    AnimRun& operator=(const AnimRun&) = delete;
    // Also when the run is left by the end of a headless timeline.
    ~AnimRun() {
        StopSound();
        if (file) std::fclose(file);
        f.gfx.pictureBuffer.clear();
    }
    void StopSound() {
        if (sound) StopAnimationSound(f);
        if (stream) StopAnimationStream(f);
        sound = stream = false;
    }
};

// Reads frame c into the shared buffer and decodes it; a frame that cannot
// be read or decoded is passed over and the previous picture stays.
bool DecodeFrame(AnimRun& r, int64_t c) {
    std::vector<uint8_t>& buffer = r.f.gfx.pictureBuffer;
    buffer.resize(r.e.size[c]);
    const bool read = std::fseek(r.file, static_cast<long>(r.base + r.e.offset[c]), SEEK_SET) == 0 &&
                      std::fread(buffer.data(), 1, buffer.size(), r.file) == buffer.size();
    char what[96];
    std::snprintf(what, sizeof what, "%s frame %lld", TraceText(r.name).c_str(), static_cast<long long>(c));
    if (!read) {
        ContentError("damaged", "anim %s: cannot be read; skipped", what);
        return false;
    }
    if (!r.decoder.Decode(buffer.data(), buffer.size(), r.frame, what)) {
        ContentError("damaged", "anim %s: cannot be decoded; skipped", what);
        return false;
    }
    return true;
}

void ShowFrame(AnimRun& r, int64_t c) {
    if (!DecodeFrame(r, c)) return;
    const bool patch = r.e.kind[c] == kAnimPatch;
    const int dx = patch ? r.e.patchX[c] : 0, dy = patch ? r.e.patchY[c] : 0;
    platform::Surface& win = r.f.plat.surface();
    if (r.quality) {
        CopyPicture(r.work, r.frame, dx, dy);
        DoubleFrame(r.work, r.display);
        win.BlitWhole(r.display, r.x, r.y);
    } else {
        win.BlitWhole(r.frame, r.x + dx, r.y + dy);
    }
    win.Update();
}

// anim's last picture goes into the screen picture too, so a repaint keeps
// it until the next ShowScene. A closing hold shows the frame before it.
void KeepLastFrame(AnimRun& r) {
    int64_t c = static_cast<int64_t>(r.e.frameCount) - 1;
    while (c >= 0 && r.e.kind[c] != kAnimKey && r.e.kind[c] != kAnimPatch) --c;
    if (c < 0 || !DecodeFrame(r, c)) return;
    const bool patch = r.e.kind[c] == kAnimPatch;
    const int px = r.x + (patch ? r.e.patchX[c] : 0), py = r.y + (patch ? r.e.patchY[c] : 0);
    CopyPicture(r.f.gfx.screen, r.frame, px, py);
    r.f.plat.surface().BlitWhole(r.frame, px, py);
    r.f.plat.surface().Update();
}

// Finds the entry, opens its volume and reads and checks the header and
// arrays; false (traced) when the animation cannot be played at all.
bool OpenAnimation(AnimRun& r) {
    const ArchiveIndex* index = nullptr;
    int pos = -1;
    for (const ArchiveIndex& v : r.f.data.anim) {
        pos = FindEntry(v, r.name);
        if (pos >= 0) {
            index = &v;
            break;
        }
    }
    const std::string name = TraceText(r.name);
    const char* cmd = r.quality ? "animq" : "anim";
    if (!index) {
        ContentError("animation", "%s %s: in neither animation volume", cmd, name.c_str());
        return false;
    }
    const uint32_t entrySize = index->sizes[pos] < 0 ? 0 : static_cast<uint32_t>(index->sizes[pos]);
    r.base = index->offsets[pos];
    r.file = OpenRegularStream(index->path);
    uint8_t head[kAnimHeaderSize];
    if (!r.file || std::fseek(r.file, static_cast<long>(r.base), SEEK_SET) != 0 ||
        entrySize < kAnimHeaderSize || std::fread(head, 1, sizeof head, r.file) != sizeof head) {
        ContentError("damaged", "%s %s: the entry's header cannot be read from \"%s\"", cmd, name.c_str(),
                     index->path.c_str());
        return false;
    }
    AnimEntry& e = r.e;
    ParseAnimHeader(head, sizeof head, e);
    if (e.frameCount == 0) {
        ContentError("damaged", "%s %s: no frames", cmd, name.c_str());
        return false;
    }
    if (r.quality && (e.width < 2 || e.height < 2 || e.width > kAnimqMaxWidth || e.height > kAnimqMaxHeight)) {
        Trace("%s %s: a frame size of %ux%u cannot be doubled", cmd, name.c_str(), e.width, e.height);
        return false;
    }
    std::string why;
    std::vector<uint8_t> arrays;
    const uint64_t need = AnimArraysSize(e.frameCount);
    if (kAnimHeaderSize + need <= entrySize) {
        arrays.resize(static_cast<size_t>(need));
        if (std::fread(arrays.data(), 1, arrays.size(), r.file) != arrays.size()) arrays.clear();
    }
    if (!ParseAnimArrays(arrays.data(), arrays.size(), entrySize, e, why)) {
        Trace("%s %s: refused: %s", cmd, name.c_str(), why.c_str());
        return false;
    }
    // A streamed track is read as far as its own header says.
    if (e.soundSize >= kAnimStreamedSound) {
        uint8_t wady[kWadyHeaderSize];
        WadyHeader h;
        if (std::fseek(r.file, static_cast<long>(r.base + e.soundOffset), SEEK_SET) == 0 &&
            std::fread(wady, 1, sizeof wady, r.file) == sizeof wady && ParseWadyHeader(wady, sizeof wady, h) &&
            h.codedLength > e.soundSize - kWadyHeaderSize) {
            Trace("%s %s: refused: the sound's %u coded bytes run past its %u bytes", cmd, name.c_str(),
                  h.codedLength, e.soundSize);
            return false;
        }
    }
    return true;
}

void StartSound(AnimRun& r) {
    const AnimEntry& e = r.e;
    if (e.soundSize == 0) return;
    const long at = static_cast<long>(r.base + e.soundOffset);
    if (e.soundSize >= kAnimStreamedSound) {
        PlayAnimationStream(r.f, r.file, at);
        r.stream = true;
    } else if (std::fseek(r.file, at, SEEK_SET) == 0) {
        PlayAnimationSound(r.f, r.file, static_cast<int32_t>(e.soundSize));
        r.sound = true;
    }
}

void SetToolButtons(TForm1& f, bool on) {
    for (int b : {kButtonQuit, kButtonSettings, kButtonSave}) f.plat.window().SetToolBarEnabled(b, on);
}

void PlayFrames(AnimRun& r, bool cutShort) {
    TForm1& f = r.f;
    platform::Clock& clock = f.plat.clock();
    const AnimEntry& e = r.e;
    const int64_t n = e.frameCount;
    int64_t i = 0, s = 0;
    const uint32_t t0 = clock.Now();
    while (i < n) {
        switch (e.kind[i]) {
            case kAnimKey: ShowFrame(r, i), s = 0; break;
            case kAnimPatch:
                // A patch only fits the frame right before it.
                if (s == 0) ShowFrame(r, i);
                break;
            case kAnimHold:
                // Frames were passed over: the latest key frame among them
                // brings the picture up to date; a patch after it would be
                // needed too, so the walk gives up there.
                for (int64_t c = i - 1; s > 0 && c >= i - s && c >= 0; --c) {
                    if (e.kind[c] == kAnimPatch) break;
                    if (e.kind[c] == kAnimKey) {
                        ShowFrame(r, c);
                        break;
                    }
                }
                break;
            default: break;
        }
        f.plat.ProcessMessages();
        const int64_t late = static_cast<int64_t>(static_cast<uint32_t>(clock.Now() - t0)) -
                             AnimFrameStart(e.frameTime, i, r.quality);
        const AnimStep step = AnimTimingStep(late, e.frameTime);
        if (step.sleep) clock.Sleep(step.sleep);
        i += step.skipped + 1;
        s = step.skipped;
        if (f.flags.interruptRequest != 0 && cutShort) {
            f.vars.S[36] = 1;
            break;
        }
    }
}

}  // namespace

void AnimCommand(TForm1& f, const char* args, bool quality) {
    const AnimArgs a = ReadAnimArgs(args);
    AnimRun r(f);
    r.quality = quality;
    r.name = a.name;
    r.x = a.x;
    r.y = a.y;
    if (!OpenAnimation(r)) return;
    const bool cutShort = EvalExpression(f, args + a.cutShort) != 0;
    Trace("%s %s: %u frames of %u ms at %d,%d%s", quality ? "animq" : "anim", TraceText(r.name).c_str(),
          r.e.frameCount, r.e.frameTime, r.x, r.y, cutShort ? ", a click cuts it short" : "");
    SetToolButtons(f, false);
    StartSound(r);
    f.ui.OverlayActive = true;
    UpdateMenuStates(f);
    f.flags.busy = true;
    f.flags.interruptibleEffect = true;
    f.flags.interruptRequest = 0;
    if (quality) {
        r.work.Resize(static_cast<int>(r.e.width), static_cast<int>(r.e.height));
        r.display.Resize(2 * r.work.width, 2 * r.work.height);
        FillPicture(f.gfx.screen, 0xFFFFFF);
    }
    PlayFrames(r, cutShort);
    if (!quality) KeepLastFrame(r);
    r.StopSound();
    f.flags.interruptibleEffect = false;
    f.flags.busy = false;
    f.ui.OverlayActive = false;
    // The buttons come back first so that the menu states have the last
    // word (no save button where the script forbids saving).
    SetToolButtons(f, true);
    UpdateMenuStates(f);
}

}  // namespace velmora
