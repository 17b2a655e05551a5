#pragma once
// The one picture type of the engine: 24 bits per pixel, bytes blue, green,
// red, rows top to bottom, stride = width * 3.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;

    void Resize(int w, int h) {
        if (w < 0) w = 0;
        if (h < 0) h = 0;
        width = w;
        height = h;
        bytes.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
    }
    int Stride() const { return width * 3; }
    uint8_t* Row(int y) { return bytes.data() + static_cast<size_t>(y) * Stride(); }
    const uint8_t* Row(int y) const { return bytes.data() + static_cast<size_t>(y) * Stride(); }
    uint8_t* Pixel(int x, int y) { return Row(y) + x * 3; }
    const uint8_t* Pixel(int x, int y) const { return Row(y) + x * 3; }
    bool Empty() const { return width == 0 || height == 0; }
};

}  // namespace velmora
