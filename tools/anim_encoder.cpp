#include "tools/anim_encoder.h"

#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "gfx/anim.h"
#include "gfx/pixel_ops.h"

namespace velmora::tools {

namespace {

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, int16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(static_cast<uint16_t>(x) >> 8));
}

// The box of the pixels where a and b differ; false when none does.
bool ChangedBox(const Picture& a, const Picture& b, int& x0, int& y0, int& x1, int& y1) {
    x0 = a.width, y0 = a.height, x1 = -1, y1 = -1;
    for (int y = 0; y < a.height; ++y) {
        const uint8_t* p = a.Row(y);
        const uint8_t* q = b.Row(y);
        if (std::memcmp(p, q, static_cast<size_t>(a.Stride())) == 0) continue;
        y0 = std::min(y0, y), y1 = y;
        for (int x = 0; x < a.width; ++x)
            if (std::memcmp(p + 3 * x, q + 3 * x, 3) != 0) x0 = std::min(x0, x), x1 = std::max(x1, x);
    }
    return x1 >= 0;
}

}  // namespace

bool EncodeJpeg(const Picture& picture, int quality, std::vector<uint8_t>& out, std::string& error) {
    if (picture.Empty()) {
        error = "an empty picture has no JPEG form";
        return false;
    }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(picture.width);
    c.image_height = static_cast<JDIMENSION>(picture.height);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, std::clamp(quality, 1, 100), TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(picture.Row(static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    out.assign(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return true;
}

std::vector<uint8_t> LayoutAnimEntry(uint32_t frameTime, uint32_t width, uint32_t height,
                                     const std::vector<AnimFrame>& frames, const std::vector<uint8_t>& sound) {
    const uint32_t n = static_cast<uint32_t>(frames.size());
    std::vector<uint8_t> out;
    uint32_t at = static_cast<uint32_t>(kAnimHeaderSize + kAnimBytesPerFrame * n);
    std::vector<uint32_t> offsets;
    for (const AnimFrame& fr : frames) {
        offsets.push_back(fr.jpeg.empty() ? 0 : at);
        at += static_cast<uint32_t>(fr.jpeg.size());
    }
    Put32(out, n);
    Put32(out, frameTime);
    Put32(out, width);
    Put32(out, height);
    Put32(out, static_cast<uint32_t>(sound.size()));
    Put32(out, sound.empty() ? 0 : at);
    for (const AnimFrame& fr : frames) Put16(out, fr.kind);
    for (const AnimFrame& fr : frames) Put16(out, fr.x);
    for (const AnimFrame& fr : frames) Put16(out, fr.y);
    for (uint32_t o : offsets) Put32(out, o);
    for (const AnimFrame& fr : frames) Put32(out, static_cast<uint32_t>(fr.jpeg.size()));
    for (const AnimFrame& fr : frames) out.insert(out.end(), fr.jpeg.begin(), fr.jpeg.end());
    out.insert(out.end(), sound.begin(), sound.end());
    return out;
}

bool BuildAnimEntry(const std::vector<Picture>& pictures, const std::vector<AnimFrameChoice>& choices,
                    const AnimEncodeOptions& o, const std::vector<uint8_t>& sound, std::vector<uint8_t>& out,
                    std::vector<AnimFrame>& frames, std::string& error) {
    frames.clear();
    if (pictures.empty()) {
        error = "an animation needs at least one frame";
        return false;
    }
    const int w = pictures[0].width, h = pictures[0].height;
    if (w > 32767 || h > 32767) {
        error = "frames are at most 32767 pixels on a side";
        return false;
    }
    if (o.quality && (w < 2 || h < 2 || w > static_cast<int>(kAnimqMaxWidth) || h > static_cast<int>(kAnimqMaxHeight))) {
        error = "animq frames are 2 x 2 to " + std::to_string(kAnimqMaxWidth) + " x " +
                std::to_string(kAnimqMaxHeight) + " pixels (half the size shown)";
        return false;
    }
    const size_t n = pictures.size();
    int sinceKey = 0;
    for (size_t i = 0; i < n; ++i) {
        const Picture& p = pictures[i];
        if (p.width != w || p.height != h) {
            error = "frame " + std::to_string(i) + " is " + std::to_string(p.width) + "x" + std::to_string(p.height) +
                    ", the first " + std::to_string(w) + "x" + std::to_string(h);
            return false;
        }
        AnimFrameChoice c = i < choices.size() ? choices[i] : AnimFrameChoice{};
        int x0 = 0, y0 = 0, x1 = w - 1, y1 = h - 1;
        bool changed = i == 0 || ChangedBox(pictures[i - 1], p, x0, y0, x1, y1);
        if (c.kind < 0) {
            const double share = changed ? double(x1 - x0 + 1) * (y1 - y0 + 1) / (double(w) * h) : 0.0;
            c.kind = !changed ? kAnimHold : share > o.keyShare ? kAnimKey : kAnimPatch;
            if (o.keyEvery > 0 && sinceKey + 1 >= o.keyEvery) c.kind = kAnimKey;
        }
        // The first frame has nothing to patch or hold; the last stays on the screen.
        if (i == 0 || i + 1 == n) c.kind = kAnimKey;
        AnimFrame fr;
        fr.kind = static_cast<int16_t>(c.kind);
        if (c.kind == kAnimPatch) {
            if (c.w > 0 && c.h > 0) x0 = c.x, y0 = c.y, x1 = c.x + c.w - 1, y1 = c.y + c.h - 1;
            else if (!changed) x0 = y0 = x1 = y1 = 0;  // a patch of nothing: one pixel
            x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, w - 1), y1 = std::min(y1, h - 1);
            if (x1 < x0 || y1 < y0) {
                error = "frame " + std::to_string(i) + ": the patch box lies outside the frame";
                return false;
            }
            Picture box;
            box.Resize(x1 - x0 + 1, y1 - y0 + 1);
            CopyRect(box, 0, 0, p, x0, y0, box.width, box.height);
            fr.x = static_cast<int16_t>(x0), fr.y = static_cast<int16_t>(y0);
            if (!EncodeJpeg(box, o.jpegQuality, fr.jpeg, error)) return false;
        } else if (c.kind == kAnimKey) {
            if (!EncodeJpeg(p, o.jpegQuality, fr.jpeg, error)) return false;
        }
        sinceKey = c.kind == kAnimKey ? 0 : sinceKey + 1;
        frames.push_back(std::move(fr));
    }
    out = LayoutAnimEntry(o.frameTime, o.quality ? static_cast<uint32_t>(w) : 0,
                          o.quality ? static_cast<uint32_t>(h) : 0, frames, sound);
    return true;
}

bool ReadFrameList(const std::string& text, std::vector<std::string>& files, std::vector<AnimFrameChoice>& choices,
                   std::string& error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string file, kind;
        if (!(words >> file) || file[0] == '#') continue;
        AnimFrameChoice c;
        if (words >> kind) {
            if (kind == "key") c.kind = kAnimKey;
            else if (kind == "hold") c.kind = kAnimHold;
            else if (kind == "patch") c.kind = kAnimPatch;
            else {
                error = "line " + std::to_string(number) + ": \"" + kind + "\" is not key, patch or hold";
                return false;
            }
            if (c.kind == kAnimPatch && (words >> c.x)) {
                if (!(words >> c.y >> c.w >> c.h) || c.w <= 0 || c.h <= 0) {
                    error = "line " + std::to_string(number) + ": a patch box is X Y W H with W and H above 0";
                    return false;
                }
            }
        }
        files.push_back(file);
        choices.push_back(c);
    }
    if (files.empty()) {
        error = "the frame list names no frame";
        return false;
    }
    return true;
}

std::string DescribeAnim(const std::vector<uint8_t>& entry) {
    AnimEntry e;
    if (!ParseAnimHeader(entry.data(), entry.size(), e)) return "not an animation entry\n";
    std::string why;
    const uint8_t* arrays = entry.data() + kAnimHeaderSize;
    if (!ParseAnimArrays(arrays, entry.size() - kAnimHeaderSize, static_cast<uint32_t>(entry.size()), e, why))
        return "not an animation entry: " + why + "\n";
    char buf[256];
    std::string s;
    std::snprintf(buf, sizeof buf,
                  "animation, %zu bytes\n  frames            %u\n  frame time        %u ms\n"
                  "  frame size        %ux%u%s\n  sound             %u bytes at %u%s\n",
                  entry.size(), e.frameCount, e.frameTime, e.width, e.height,
                  e.width ? " (animq: shown doubled)" : " (anim)", e.soundSize, e.soundOffset,
                  e.soundSize >= kAnimStreamedSound ? " (streamed)" : e.soundSize ? " (decoded whole)" : "");
    s += buf;
    s += "  frame  kind   x      y      offset     size\n";
    static const char* const kKinds[] = {"key", "patch", "hold"};
    for (uint32_t i = 0; i < e.frameCount; ++i) {
        const char* kind = e.kind[i] >= 0 && e.kind[i] <= 2 ? kKinds[e.kind[i]] : "?";
        std::snprintf(buf, sizeof buf, "  %5u  %-5s  %-5d  %-5d  %-9u  %u\n", i, kind, e.patchX[i], e.patchY[i],
                      e.offset[i], e.size[i]);
        s += buf;
    }
    return s;
}

}  // namespace velmora::tools
