#pragma once
// The one picture type of the engine: 24 bits per pixel, bytes blue, green,
// red, rows top to bottom, stride = width * 3.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace velmora {

// Bytes held by every picture of the process right now. Picture storage is
// counted as it is allocated and freed, so copies, layers, frames and
// script objects are all in the figure, whoever made them.
inline std::atomic<size_t> pictureBytesHeld{0};
// The most they held at once, for the trace at the end of a run.
inline std::atomic<size_t> pictureBytesPeak{0};

template <class T>
struct PictureAllocator {
    using value_type = T;
    PictureAllocator() = default;
    template <class U>
    PictureAllocator(const PictureAllocator<U>&) {}
    T* allocate(size_t n) {
        T* p = std::allocator<T>().allocate(n);
        const size_t held = pictureBytesHeld.fetch_add(n * sizeof(T), std::memory_order_relaxed) + n * sizeof(T);
        size_t peak = pictureBytesPeak.load(std::memory_order_relaxed);
        while (held > peak && !pictureBytesPeak.compare_exchange_weak(peak, held, std::memory_order_relaxed)) {
        }
        return p;
    }
    // resize() without a value leaves bytes as they were allocated: pictures
    // a decoder fills whole are not zero-filled first.
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    void deallocate(T* p, size_t n) {
        pictureBytesHeld.fetch_sub(n * sizeof(T), std::memory_order_relaxed);
        std::allocator<T>().deallocate(p, n);
    }
    template <class U>
    bool operator==(const PictureAllocator<U>&) const {
        return true;
    }
};

using PictureBytes = std::vector<uint8_t, PictureAllocator<uint8_t>>;

// Comparisons with plain byte vectors, for the places that keep a copy of
// a picture's bytes.
inline bool operator==(const PictureBytes& a, const std::vector<uint8_t>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}
inline bool operator==(const std::vector<uint8_t>& a, const PictureBytes& b) { return b == a; }

struct Picture {
    int width = 0;
    int height = 0;
    PictureBytes bytes;

    void Resize(int w, int h) {
        if (w < 0) w = 0;
        if (h < 0) h = 0;
        width = w;
        height = h;
        bytes.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
    }
    // For a picture every byte of which is written next (a decoder's
    // output): its bytes are left as allocated.
    void ResizeForOverwrite(int w, int h) {
        if (w < 0) w = 0;
        if (h < 0) h = 0;
        width = w;
        height = h;
        bytes.clear();
        bytes.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    }
    int Stride() const { return width * 3; }
    uint8_t* Row(int y) { return bytes.data() + static_cast<size_t>(y) * Stride(); }
    const uint8_t* Row(int y) const { return bytes.data() + static_cast<size_t>(y) * Stride(); }
    uint8_t* Pixel(int x, int y) { return Row(y) + x * 3; }
    const uint8_t* Pixel(int x, int y) const { return Row(y) + x * 3; }
    bool Empty() const { return width == 0 || height == 0; }
};

}  // namespace velmora
