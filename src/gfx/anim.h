#pragma once
// Animations: the entry layout of the animation volumes, the argument text
// of anim and animq, the schedule, and the doubling of animq's half-size
// frames. Pure functions; the player itself is AnimCommand.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/picture.h"

namespace velmora {

constexpr size_t kAnimHeaderSize = 24;
constexpr size_t kAnimBytesPerFrame = 14;  // kind, patch x, patch y, offset, size
// A sound track this large or larger is streamed from the volume.
constexpr uint32_t kAnimStreamedSound = 4000000;
// animq's half-size frames; a display picture past twice the screen is damage.
constexpr uint32_t kAnimqMaxWidth = 800;
constexpr uint32_t kAnimqMaxHeight = 600;

enum AnimFrameKind : int16_t { kAnimKey = 0, kAnimPatch = 1, kAnimHold = 2 };

struct AnimEntry {
    uint32_t frameCount = 0;
    uint32_t frameTime = 0;  // milliseconds per frame
    uint32_t width = 0, height = 0;  // animq's frame size
    uint32_t soundSize = 0, soundOffset = 0;
    std::vector<int16_t> kind, patchX, patchY;
    std::vector<uint32_t> offset, size;
};

// Reads the 24-byte header at the start of bytes; the frame count decides
// how many more bytes the arrays need (ArraysSize).
bool ParseAnimHeader(const uint8_t* bytes, size_t available, AnimEntry& e);
uint64_t AnimArraysSize(uint32_t frameCount);
// Reads the five frame arrays that follow the header (arrays points at
// byte 24 of the entry) and checks that every frame that is drawn and the
// sound lie inside an entry of entrySize bytes; false with `why` set.
bool ParseAnimArrays(const uint8_t* arrays, size_t available, uint32_t entrySize, AnimEntry& e, std::string& why);

// The argument text: name, x, y, cut-short expression. Each later field
// starts after the first comma that follows the start of the field before,
// or where that field started when there is none.
struct AnimArgs {
    std::string name;
    int32_t x = 0, y = 0;
    size_t cutShort = 0;  // offset of the cut-short expression in the text
};
AnimArgs ReadAnimArgs(const char* text);

// When frame i is due, in milliseconds after the start: i x frame time,
// except that animq runs a frame time of 33 at 30 and of 15 at 15 frames a
// second.
int64_t AnimFrameStart(uint32_t frameTime, int64_t i, bool quality);

// The timing step after frame i: how late it finished (now - its start)
// gives how long to sleep and how many frames to pass over.
struct AnimStep {
    uint32_t sleep = 0;
    int64_t skipped = 0;  // frames passed over before the next one visited
};
AnimStep AnimTimingStep(int64_t late, uint32_t frameTime);

// animq's doubling: src (W x H, both at least 2) into dst (2W x 2H):
// in-between pixels and rows are per-byte means with the halves truncated
// separately, and the last two columns and rows repeat the ones before.
void DoubleFrame(const Picture& src, Picture& dst);

}  // namespace velmora
