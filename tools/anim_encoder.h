#pragma once
// Authoring animations: pictures in, one animation entry out. Each frame is
// a key frame (a whole JPEG), a patch (a JPEG of the box that changed since
// the frame before) or a hold (nothing changed), found by comparing the
// frames or named in a frame list; an optional byte-coded sound track goes
// at the end of the entry.
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/picture.h"

namespace velmora::tools {

// A JPEG stream of a picture at quality 1 ... 100.
bool EncodeJpeg(const Picture& picture, int quality, std::vector<uint8_t>& out, std::string& error);

// A frame as it is stored.
struct AnimFrame {
    int16_t kind = 0;  // 0 key, 1 patch, 2 hold
    int16_t x = 0, y = 0;  // a patch's place in the frame
    std::vector<uint8_t> jpeg;
};

// The entry's bytes from its frames: header, the five arrays, the frame
// data in order, then the sound. W and H are animq's frame size (0 for anim).
std::vector<uint8_t> LayoutAnimEntry(uint32_t frameTime, uint32_t width, uint32_t height,
                                     const std::vector<AnimFrame>& frames, const std::vector<uint8_t>& sound);

// What the frame list (or the comparison) asks of one frame: kind -1 lets
// the comparison decide; a patch without a box (w = 0) gets the box of the
// pixels that changed.
struct AnimFrameChoice {
    int kind = -1;
    int x = 0, y = 0, w = 0, h = 0;
};

struct AnimEncodeOptions {
    uint32_t frameTime = 100;
    bool quality = false;  // animq: the frames are stored at half size and W, H set
    int jpegQuality = 90;
    int keyEvery = 10;        // a key frame at least every so many frames (0: never forced)
    double keyShare = 0.5;    // a changed box larger than this share of the frame becomes a key frame
};

// Builds an entry from frames of one size. The first and the last frame
// are always key frames: the last one stays on the screen after anim.
bool BuildAnimEntry(const std::vector<Picture>& pictures, const std::vector<AnimFrameChoice>& choices,
                    const AnimEncodeOptions& options, const std::vector<uint8_t>& sound, std::vector<uint8_t>& out,
                    std::vector<AnimFrame>& frames, std::string& error);

// Reads a frame list: one frame a line, "FILE key", "FILE hold", "FILE
// patch" or "FILE patch X Y W H"; "FILE" alone lets the comparison decide.
// Blank lines and lines starting with # are skipped.
bool ReadFrameList(const std::string& text, std::vector<std::string>& files, std::vector<AnimFrameChoice>& choices,
                   std::string& error);

// A readable account of an entry: header and frame table.
std::string DescribeAnim(const std::vector<uint8_t>& entry);

}  // namespace velmora::tools
