#include "gfx/picture_cache.h"

#include <algorithm>

namespace velmora {

const Picture* PictureCache::Find(const void* volume, int entry) {
    for (Item& item : items_)
        if (item.volume == volume && item.entry == entry) {
            item.lastUse = ++clock_;
            return &item.picture;
        }
    return nullptr;
}

void PictureCache::Keep(const void* volume, int entry, const Picture& picture, size_t memoryCap) {
    const size_t size = picture.bytes.size();
    if (size == 0 || size > budget_ / 4) return;
    for (const Item& item : items_)
        if (item.volume == volume && item.entry == entry) return;
    while (!items_.empty() && (bytes_ + size > budget_ ||
                               pictureBytesHeld.load(std::memory_order_relaxed) + size > memoryCap))
        DropOldest();
    if (pictureBytesHeld.load(std::memory_order_relaxed) + size > memoryCap) return;
    items_.push_back(Item{volume, entry, ++clock_, picture});
    bytes_ += size;
}

void PictureCache::Clear() {
    items_.clear();
    bytes_ = 0;
}

void PictureCache::DropOldest() {
    auto oldest = std::min_element(items_.begin(), items_.end(),
                                   [](const Item& a, const Item& b) { return a.lastUse < b.lastUse; });
    bytes_ -= oldest->picture.bytes.size();
    items_.erase(oldest);
}

}  // namespace velmora
