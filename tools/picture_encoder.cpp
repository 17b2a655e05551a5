#include "tools/picture_encoder.h"

#include <algorithm>
#include <cstring>

#include "data/archive.h"
#include "data/file_io.h"
#include "gfx/image_files.h"
#include "gfx/png_file.h"
#include "tools/archive_writer.h"

namespace velmora::tools {

namespace {

constexpr size_t kWindow = 16384;  // farthest distance a code reaches
constexpr size_t kMaxMatch = 4096;
constexpr int kHashBits = 16;

// The flag-byte writer: one bit per item, most significant first, and a
// fresh flag byte after every eighth item (also after the last one, where
// the reader takes it all the same). Item() comes before the item's bytes.
struct ItemWriter {
    std::vector<uint8_t>& out;
    size_t flagAt;
    int bits = 0;
    bool fresh = false;  // eight items done: the next flag byte is due
    explicit ItemWriter(std::vector<uint8_t>& o) : out(o), flagAt(o.size()) { out.push_back(0); }
    void Item(bool code) {
        if (fresh) {
            flagAt = out.size();
            out.push_back(0);
            fresh = false;
        }
        if (code) out[flagAt] |= static_cast<uint8_t>(0x80 >> bits);
        if (++bits == 8) {
            bits = 0;
            fresh = true;
        }
    }
    void Finish() {
        if (fresh) out.push_back(0);
        fresh = false;
    }
};

// The longest length a long match can state that does not exceed len.
size_t LongLength(size_t len) {
    if (len >= 4096) return 4096;
    if (len >= 1024) return 1024;
    if (len >= 256) return 256;
    return std::min<size_t>(len, 255);
}

// The cheapest code for a match found with length len at distance dist:
// the length it covers and its size in bits (including the flag bit).
struct Choice {
    size_t length = 0;
    size_t distance = 0;
    int bits = 0;
    int form = 0;  // 1 short, 2 match, 3 long
    // Bits saved against sending the covered bytes as literals.
    int Saving() const { return length ? static_cast<int>(length) * 9 - bits : 0; }
};

Choice ChooseCode(size_t len, size_t dist) {
    Choice best;
    auto consider = [&](size_t l, int bits, int form) {
        Choice c{l, dist, bits, form};
        if (c.Saving() > best.Saving()) best = c;
    };
    if (dist <= 32 && len >= 2) consider(std::min<size_t>(len, 4), 9, 1);
    if (dist <= 1024 && len >= 3) consider(std::min<size_t>(len, 18), 17, 2);
    if (dist <= kWindow && len >= 3) consider(LongLength(len), 25, 3);
    return best;
}

struct MatchFinder {
    const uint8_t* data;
    size_t size;
    int depth;
    std::vector<int32_t> head, prev;

    MatchFinder(const uint8_t* d, size_t n, int chainDepth)
        : data(d), size(n), depth(chainDepth), head(size_t{1} << kHashBits, -1), prev(kWindow, -1) {}

    uint32_t Hash(size_t p) const {
        uint32_t v = data[p] | data[p + 1] << 8 | data[p + 2] << 16;
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    void Insert(size_t p) {
        if (p + 3 > size) return;
        uint32_t h = Hash(p);
        prev[p % kWindow] = head[h];
        head[h] = static_cast<int32_t>(p);
    }
    size_t Length(size_t p, size_t from, size_t limit) const {
        size_t n = 0;
        while (n < limit && data[from + n] == data[p + n]) ++n;
        return n;
    }
    // Best code for the bytes at p, looking back at most kWindow bytes.
    Choice Find(size_t p) const {
        Choice best;
        const size_t limit = std::min(kMaxMatch, size - p);
        if (limit < 2) return best;
        // Two-byte matches only reach 32 back: look at those directly.
        for (size_t d = 1; d <= 32 && d <= p; ++d) {
            if (data[p - d] != data[p] || data[p - d + 1] != data[p + 1]) continue;
            size_t len = Length(p, p - d, std::min<size_t>(limit, 18));
            Choice c = ChooseCode(len, d);
            if (c.Saving() > best.Saving()) best = c;
        }
        if (limit < 3) return best;
        int32_t cand = head[Hash(p)];
        for (int tries = 0; cand >= 0 && tries < depth; ++tries) {
            const size_t c = static_cast<size_t>(cand);
            if (c >= p || p - c > kWindow) break;
            if (best.length >= limit || data[c + best.length] == data[p + best.length]) {
                size_t len = Length(p, c, limit);
                Choice ch = ChooseCode(len, p - c);
                if (ch.Saving() > best.Saving()) best = ch;
                if (len == limit) break;
            }
            const int32_t next = prev[c % kWindow];
            if (next >= cand) break;  // the slot was reused by a newer position
            cand = next;
        }
        return best;
    }
};

}  // namespace

std::vector<uint8_t> DictionaryEncode(const uint8_t* data, size_t size, int chainDepth, DictionaryStats* stats) {
    std::vector<uint8_t> out;
    out.reserve(size / 2 + 64);
    ItemWriter w(out);
    DictionaryStats st;
    MatchFinder mf(data, size, chainDepth);
    size_t pendingFrom = 0, pendingCount = 0;
    auto flushLiterals = [&]() {
        size_t at = pendingFrom;
        while (pendingCount > 0) {
            if (pendingCount >= 10) {
                // A literal run of 9 to 40 bytes costs one code byte and a
                // single flag bit.
                size_t n = std::min<size_t>(pendingCount, 40);
                w.Item(true);
                out.push_back(static_cast<uint8_t>(((n - 9) << 2) | 3));
                out.insert(out.end(), data + at, data + at + n);
                at += n;
                pendingCount -= n;
                ++st.literalRuns;
            } else {
                w.Item(false);
                out.push_back(data[at++]);
                --pendingCount;
                ++st.literals;
            }
        }
    };
    size_t inserted = 0;  // positions below this are in the finder
    auto insertUpTo = [&](size_t end) {
        while (inserted < end) mf.Insert(inserted++);
    };
    size_t p = 0;
    while (p < size) {
        insertUpTo(p);
        Choice c = mf.Find(p);
        if (c.length > 0 && p + 1 < size) {
            // One step of lazy matching: a clearly better code one byte
            // later wins over this one.
            insertUpTo(p + 1);
            if (mf.Find(p + 1).Saving() > c.Saving() + 4) c = Choice();
        }
        if (c.length == 0) {
            if (pendingCount == 0) pendingFrom = p;
            ++pendingCount;
            ++p;
            continue;
        }
        flushLiterals();
        const size_t dist = c.distance;
        const size_t dm1 = dist - 1;
        w.Item(true);
        if (c.form == 1) {
            out.push_back(static_cast<uint8_t>((dm1 << 2) | (c.length - 2)));
            ++st.shortMatches;
        } else if (c.form == 2) {
            out.push_back(static_cast<uint8_t>(0x80 | (dm1 >> 4)));
            out.push_back(static_cast<uint8_t>(((dm1 & 0x0F) << 4) | (c.length - 3)));
            ++st.matches;
        } else {
            out.push_back(static_cast<uint8_t>(0xC0 | (dm1 >> 8)));
            out.push_back(static_cast<uint8_t>(dm1 & 0xFF));
            uint8_t code = c.length == 4096 ? 0xFF : c.length == 1024 ? 0xFE : c.length == 256 ? 0xFD
                                                                                              : static_cast<uint8_t>(c.length - 3);
            out.push_back(code);
            ++st.longMatches;
        }
        p += c.length;
    }
    flushLiterals();
    w.Finish();
    if (stats) *stats = st;
    return out;
}

std::vector<uint8_t> RunEncode(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    out.reserve(size + size / 128 + 16);
    size_t litFrom = 0, litCount = 0;
    auto flush = [&]() {
        while (litCount > 0) {
            size_t n = std::min<size_t>(litCount, 128);
            out.push_back(static_cast<uint8_t>(n - 1));
            out.insert(out.end(), data + litFrom, data + litFrom + n);
            litFrom += n;
            litCount -= n;
        }
    };
    size_t i = 0;
    while (i < size) {
        size_t bestUnit = 0, bestCount = 0;
        long bestGain = 1;
        for (size_t u = 1; u <= 4 && i + 2 * u <= size; ++u) {
            size_t c = 1;
            while (c < 8192 && i + (c + 1) * u <= size && std::memcmp(data + i, data + i + c * u, u) == 0) ++c;
            long gain = static_cast<long>(c * u) - static_cast<long>(2 + u);
            if (gain > bestGain) {
                bestGain = gain;
                bestUnit = u;
                bestCount = c;
            }
        }
        if (bestUnit == 0) {
            if (litCount == 0) litFrom = i;
            ++litCount;
            ++i;
            continue;
        }
        flush();
        const size_t cm1 = bestCount - 1;
        out.push_back(static_cast<uint8_t>(0x80 | ((bestUnit - 1) << 5) | (cm1 >> 8)));
        out.push_back(static_cast<uint8_t>(cm1 & 0xFF));
        out.insert(out.end(), data + i, data + i + bestUnit);
        i += bestCount * bestUnit;
    }
    flush();
    return out;
}

void DeltaEncode(uint8_t* bytes, size_t size) {
    // Backwards, so each byte still sees the original byte before it.
    for (size_t i = size; i-- > 3;) bytes[i] = static_cast<uint8_t>(bytes[i] - bytes[i - 3]);
}

bool EncodePackedPicture(const Picture& picture, const PictureEncodeOptions& options, std::vector<uint8_t>& out,
                         std::string& error, uint8_t* stagesUsed) {
    if (picture.width > kMaxPictureSide || picture.height > kMaxPictureSide) {
        error = "picture of " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                " is larger than " + std::to_string(kMaxPictureSide) + " on a side";
        return false;
    }
    const PictureBytes& raw = picture.bytes;
    std::vector<uint8_t> best;
    uint8_t bestFlags = 0;
    uint32_t bestIntermediate = static_cast<uint32_t>(raw.size());
    for (int delta = 0; delta <= (options.allowDelta ? 1 : 0); ++delta) {
        std::vector<uint8_t> d(raw.begin(), raw.end());
        if (delta) DeltaEncode(d.data(), d.size());
        for (int run = 0; run <= (options.allowRun ? 1 : 0); ++run) {
            std::vector<uint8_t> r;
            if (run) r = RunEncode(d.data(), d.size());
            const std::vector<uint8_t>& stage = run ? r : d;
            std::vector<uint8_t> packed = DictionaryEncode(stage.data(), stage.size(), options.chainDepth);
            if (best.empty() || packed.size() < best.size()) {
                best.swap(packed);
                bestFlags = static_cast<uint8_t>((run ? kPackedRunStage : 0) | (delta ? kPackedDeltaStage : 0));
                bestIntermediate = static_cast<uint32_t>(stage.size());
            }
        }
    }
    out.assign(kPackedHeaderSize, 0);
    out[2] = bestFlags;
    out[3] = 3;
    const uint32_t packed = static_cast<uint32_t>(best.size());
    for (int k = 0; k < 4; ++k) {
        out[4 + k] = static_cast<uint8_t>(packed >> (8 * k));
        out[8 + k] = static_cast<uint8_t>(bestIntermediate >> (8 * k));
    }
    out[12] = static_cast<uint8_t>(picture.width);
    out[13] = static_cast<uint8_t>(picture.width >> 8);
    out[14] = static_cast<uint8_t>(picture.height);
    out[15] = static_cast<uint8_t>(picture.height >> 8);
    out.insert(out.end(), best.begin(), best.end());
    if (stagesUsed) *stagesUsed = bestFlags;
    return true;
}

Picture MakeMaskedPicture(const Picture& colour, const Picture& alpha, MaskLayout layout) {
    const int w = colour.width, h = colour.height;
    Picture out;
    if (layout == MaskLayout::SideBySide) out.Resize(2 * w, h);
    else out.Resize(w, 2 * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t a = alpha.Pixel(x, y)[0];
            uint8_t* c = out.Pixel(x, y);
            uint8_t* m = layout == MaskLayout::SideBySide ? out.Pixel(w + x, y) : out.Pixel(x, h + y);
            if (a != 0) std::memcpy(c, colour.Pixel(x, y), 3);
            m[0] = m[1] = m[2] = a;
        }
    }
    return out;
}

bool PackPngPicture(const std::string& path, MaskLayout layout, const PictureEncodeOptions& options,
                    PackedPictureFile& out, std::string& error, std::string* warning) {
    Picture colour, alpha;
    bool hadAlpha = false;
    if (!ReadPng(path, colour, &alpha, &hadAlpha)) {
        error = path + ": not a PNG file that can be read";
        return false;
    }
    std::vector<uint8_t> file;
    ReadWholeFile(path, file);
    out.pngBytes = file.size();
    std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    out.name = UpperName(base.substr(0, base.find('.')));
    Picture picture;
    if (hadAlpha && layout != MaskLayout::None) {
        picture = MakeMaskedPicture(colour, alpha, layout);
    } else {
        if (hadAlpha && warning) *warning = path + ": alpha channel dropped (no mask layout chosen)";
        picture = std::move(colour);
    }
    if (!EncodePackedPicture(picture, options, out.entry, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && UpperName(s.substr(s.size() - tail.size())) == UpperName(tail);
}

}  // namespace

bool PackPictureFolder(const std::string& dir, bool stacked, const PictureEncodeOptions& options,
                       const std::string& outPath, std::vector<PackedPictureFile>& packed, std::string& error) {
    std::vector<std::string> names, paths;
    if (!ReadFolder(dir, true, names, paths, error)) return false;
    std::vector<PackEntry> entries;
    packed.clear();
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!EndsWithNoCase(paths[i], ".png")) continue;
        MaskLayout layout = stacked || EndsWithNoCase(paths[i], ".stacked.png") ? MaskLayout::Stacked
                                                                               : MaskLayout::SideBySide;
        PackedPictureFile file;
        if (!PackPngPicture(paths[i], layout, options, file, error)) return false;
        for (const PackEntry& e : entries) {
            if (e.name == file.name) {
                error = paths[i] + ": a second picture named " + file.name;
                return false;
            }
        }
        entries.push_back({file.name, file.entry});
        packed.push_back(std::move(file));
    }
    std::vector<uint8_t> volume;
    if (!BuildVolume(entries, 16, volume, error)) return false;
    if (!WriteFileAtomic(outPath, volume)) {
        error = outPath + ": cannot write";
        return false;
    }
    return true;
}

}  // namespace velmora::tools
