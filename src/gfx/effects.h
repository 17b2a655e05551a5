#pragma once
// Full-screen effects beside the numbered transitions: the timed
// cross-fades, the mosaic, the effect script's flashes and shakes, and the
// animated background that keeps running while the story goes on.
#include <cstdint>
#include <string>

#include "gfx/picture.h"

namespace velmora {

class TForm1;

constexpr int kBgAnimFrames = 32;
constexpr int kBgAnimSequenceMax = 128;
constexpr int kEffectStepsMax = 200;

// One frame of the animated background. The clean piece is the frame's
// area under the message window; the window piece is that area with the
// message window blended over it (built by the message window).
struct BgAnimFrame {
    Picture picture;
    Picture windowPiece;
    Picture cleanPiece;
    std::string name;  // empty for offset frames
};

struct BgAnimState {
    BgAnimFrame frames[kBgAnimFrames];
    int32_t frameCount = 0;  // 0: no animation runs
    uint8_t sequence[kBgAnimSequenceMax] = {};
    int32_t sequenceLength = 0;
    int32_t position = 0;
    int32_t currentFrame = 0;
    int32_t delay = 1;  // idle passes per frame, at least 1
};

// One step of an effect definition.
enum class EffectKind : uint8_t { ShowScreen, Fill, Tint, Negative, Move };
struct EffectStep {
    EffectKind kind = EffectKind::ShowScreen;
    int32_t duration = 0;
    int32_t a = 0;  // colour, or x
    int32_t b = 0;  // weight, or y
};

// The channel value of one colour character: a hexadecimal digit d gives
// 16 * d, g (either case) 255, anything else 0.
int ColourChannel(char c);
// The colour of an S name (S followed by r, g, b), red in the low byte.
uint32_t ColourFromName(const char* name);

// Reads the definition of effect `name` from the lines of an effect script
// (each NUL-terminated, `length` bytes in all); false when it is not there.
// At most kEffectStepsMax steps are kept.
bool ParseEffectDefinition(const char* script, int32_t length, const char* name, EffectStep* steps, int& count);

// Cross-fade from the previous-screen picture to the screen picture; kind 1
// to 4 pick the speed. Cut short by the interrupt request.
void TimedCrossfade(TForm1& f, int kind);
// The frame loop of every cross-fade on the window, through the work
// picture: the weight of `to` over `from` starts at `weight` and rises by
// `step` per frame of `interval` ms while it is below `end`. When
// `stoppable`, an interrupt request ends it after the frame on show. The
// caller shows the final picture.
void CrossfadeFrames(TForm1& f, const Picture& to, const Picture& from, int weight, int step, uint32_t interval,
                     int end, bool stoppable);
// Shows source as size x size blocks (through the work picture).
void Mosaic(TForm1& f, const Picture& source, int size);

// Even-odd fill of the polygon (xs[i], ys[i]) at pixel centres, clipped.
void FillPolygon(Picture& dst, const int* xs, const int* ys, int n, uint32_t colour);
// Runs the body of transition n (0 ... 24; anything else draws nothing).
void PlayTransition(TForm1& f, int n);

// Makes sure a screen-sized scratch picture really is 800 x 600.
void EnsureScreenSize(Picture& p);

}  // namespace velmora
