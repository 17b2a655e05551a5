#pragma once
// Pictures lately decoded, kept so that one that comes back (a scene that
// returns to its background, a skip through pages that change pictures) is
// copied instead of decoded again. The archives do not change while the
// game runs, so an entry of a volume always decodes to the same picture.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/picture.h"

namespace velmora {

class PictureCache {
public:
    // About twenty full-screen pictures.
    static constexpr size_t kDefaultBudget = size_t{32} << 20;

    explicit PictureCache(size_t budget = kDefaultBudget) : budget_(budget) {}

    // The picture held for entry `entry` of `volume`, or null.
    const Picture* Find(const void* volume, int entry);
    // Keeps a copy of what entry `entry` of `volume` decoded to, letting the
    // least recently used go to stay within the budget. A picture larger
    // than a quarter of the budget is not kept, nor one whose copy would
    // take the pictures' memory past `memoryCap`.
    void Keep(const void* volume, int entry, const Picture& picture, size_t memoryCap);
    // Lets every picture go (when the pictures' memory runs short).
    void Clear();
    size_t Bytes() const { return bytes_; }
    size_t Count() const { return items_.size(); }

private:
    struct Item {
        const void* volume;
        int entry;
        uint64_t lastUse;
        Picture picture;
    };
    void DropOldest();

    std::vector<Item> items_;
    size_t bytes_ = 0;
    size_t budget_;
    uint64_t clock_ = 0;
};

}  // namespace velmora
