#include "gfx/image_files.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/engine.h"
#include "app/trace.h"
#include "data/archive.h"
#include "gfx/simd.h"

namespace velmora {

namespace {

uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool ParsePackedHeader(const uint8_t* bytes, size_t size, PackedHeader& header) {
    if (size < kPackedHeaderSize) return false;
    header.flags = bytes[2];
    header.bytesPerPixel = bytes[3];
    header.packedSize = GetLE32(bytes + 4);
    header.intermediateSize = GetLE32(bytes + 8);
    header.width = GetLE16(bytes + 12);
    header.height = GetLE16(bytes + 14);
    return true;
}

namespace {

// Most output bytes one input byte of the run stage can give: a repeat of
// 8192 four-byte units from six bytes.
constexpr size_t kRunMaxExpansion = 5462;

// Sixteen bytes from `from` to `to` through a register, so that the two
// may overlap as long as `from` is at least sixteen bytes before `to`.
inline void Copy16(uint8_t* to, const uint8_t* from) {
    uint8_t t[16];
    std::memcpy(t, from, 16);
    std::memcpy(to, t, 16);
}

// A match of `put` bytes from `distance` back; `room` bytes may be written
// at `to`. A distance below the length repeats the bytes just written, as
// copying one byte at a time would.
inline void CopyMatch(uint8_t* to, size_t distance, size_t put, size_t room) {
    const uint8_t* from = to - distance;
    if (distance >= put) {
        if (put <= 16 && room >= 16) {
            // The usual short match: one 16-byte copy. Bytes past `put`
            // are the next items' to write.
            Copy16(to, from);
        } else {
            std::memcpy(to, from, put);
        }
    } else if (distance == 1) {
        std::memset(to, from[0], put);
    } else if (distance >= 8) {
        // Eight bytes a step: each step reads only bytes already written.
        size_t k = 0;
        for (; k + 8 <= put; k += 8) {
            uint64_t t;
            std::memcpy(&t, from + k, 8);
            std::memcpy(to + k, &t, 8);
        }
        if (k < put) {
            if (k + 8 <= room) {
                uint64_t t;
                std::memcpy(&t, from + k, 8);
                std::memcpy(to + k, &t, 8);
            } else {
                for (; k < put; ++k) to[k] = from[k];
            }
        }
    } else {
        // The repeated stretch, then copies of what is written so far,
        // doubling: every copy starts at a multiple of the distance.
        std::memcpy(to, from, distance);
        for (size_t done = distance; done < put;) {
            const size_t n = std::min(done, put - done);
            std::memcpy(to + done, to, n);
            done += n;
        }
    }
}

// Slack the quick loop keeps at both ends: every item it takes reads at most
// 32 bytes of input and writes at most 32 bytes of output from where it
// starts, so none of its bounds needs checking on its own.
constexpr size_t kQuickSlack = 32;

}  // namespace

bool DictionaryDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t target, size_t* consumed) {
    size_t ip = 0, op = 0;
    bool ok = true;
    if (target > 0) {
        if (inSize == 0) return false;
        unsigned flag = in[ip++];
        int items = 0;
        while (op < target) {
            // The quick loop: literals and the three match forms of up to 32
            // bytes from at least 16 back, decoded with selects rather than
            // branches, each one or two 16-byte copies. Anything else (a
            // literal run, a longer or nearer match, a distance before the
            // start, the last bytes) is left to the careful loop below.
            while (ip + kQuickSlack <= inSize && op + kQuickSlack <= target) {
                if (!(flag & 0x80)) {
                    Copy16(out + op, in + ip);
                    ++op;
                    ++ip;
                } else {
                    const unsigned u = in[ip], b = in[ip + 1], c = in[ip + 2];
                    size_t distance, length, codeSize;
                    if (u < 0x80) {
                        if ((u & 3) == 3) break;
                        distance = (u >> 2) + 1;
                        length = (u & 3) + 2;
                        codeSize = 1;
                    } else if (!(u & 0x40)) {
                        distance = (((u & 0x3F) << 4) | (b >> 4)) + 1;
                        length = (b & 0x0F) + 3;
                        codeSize = 2;
                    } else {
                        distance = (((u & 0x3F) << 8) | b) + 1;
                        length = c + 3;
                        codeSize = 3;
                    }
                    if (length > 32 || distance < 16 || distance > op) break;
                    const uint8_t* from = out + op - distance;
                    Copy16(out + op, from);
                    if (length > 16) Copy16(out + op + 16, from + 16);
                    op += length;
                    ip += codeSize;
                }
                flag <<= 1;
                if (++items == 8) {
                    items = 0;
                    flag = in[ip++];
                }
            }
            if (flag & 0x80) {
                if (ip >= inSize) {
                    ok = false;
                    break;
                }
                const unsigned u = in[ip++];
                size_t distance = 0, length = 0;
                if (u < 0x80 && (u & 3) == 3) {
                    // The last item may reach past the target; what lies
                    // past it is dropped, so only the bytes kept must exist.
                    const size_t n = (u >> 2) + 9;
                    const size_t put = std::min(n, target - op);
                    if (ip + put > inSize) {
                        ok = false;
                        break;
                    }
                    std::memcpy(out + op, in + ip, put);
                    ip = std::min(ip + n, inSize);
                    op += put;
                } else if (u < 0x80) {
                    distance = (u >> 2) + 1;
                    length = (u & 3) + 2;
                } else if (!(u & 0x40)) {
                    if (ip >= inSize) {
                        ok = false;
                        break;
                    }
                    const unsigned b = in[ip++];
                    distance = (((u & 0x3F) << 4) | (b >> 4)) + 1;
                    length = (b & 0x0F) + 3;
                } else {
                    if (ip + 2 > inSize) {
                        ok = false;
                        break;
                    }
                    const unsigned b = in[ip], c = in[ip + 1];
                    ip += 2;
                    distance = (((u & 0x3F) << 8) | b) + 1;
                    length = c == 0xFF ? 4096 : c == 0xFE ? 1024 : c == 0xFD ? 256 : c + 3;
                }
                if (length > 0) {
                    if (distance > op) {
                        ok = false;
                        break;
                    }
                    const size_t put = std::min(length, target - op);
                    CopyMatch(out + op, distance, put, target - op);
                    op += put;
                }
            } else {
                if (ip >= inSize) {
                    ok = false;
                    break;
                }
                out[op++] = in[ip++];
            }
            flag <<= 1;
            if (++items == 8) {
                // The next flag byte follows the eighth item, also the last.
                items = 0;
                if (ip < inSize) flag = in[ip++];
                else if (op < target) {
                    ok = false;
                    break;
                }
            }
        }
    }
    if (consumed) *consumed = ip;
    return ok;
}

bool RunDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t target, size_t* consumed) {
    size_t ip = 0, op = 0;
    bool ok = true;
    while (op < target) {
        if (ip >= inSize) {
            ok = false;
            break;
        }
        const unsigned c = in[ip++];
        if (c < 0x80) {
            // A last copy past the target is cut like the dictionary's last item.
            const size_t n = (c & 0x7F) + 1;
            const size_t put = std::min(n, target - op);
            if (ip + put > inSize) {
                ok = false;
                break;
            }
            std::memcpy(out + op, in + ip, put);
            ip = std::min(ip + n, inSize);
            op += put;
        } else {
            const size_t unit = ((c >> 5) & 3) + 1;
            if (ip + 1 + unit > inSize) {
                ok = false;
                break;
            }
            size_t count = (((c & 0x1F) << 8) | in[ip]) + 1;
            const uint8_t* bytes = in + ip + 1;
            ip += 1 + unit;
            // A repeat that would overrun is cut to the whole units that fit.
            if (op + count * unit > target) count = (target - op) / unit;
            {
                uint8_t* to = out + op;
                const size_t total = count * unit;
                if (unit == 1) {
                    std::memset(to, bytes[0], total);
                } else if (total > 0) {
                    // One unit, then copies of what is written so far, doubling.
                    std::memcpy(to, bytes, unit);
                    for (size_t done = unit; done < total;) {
                        const size_t n = std::min(done, total - done);
                        std::memcpy(to + done, to, n);
                        done += n;
                    }
                }
            }
            op += count * unit;
        }
    }
    if (consumed) *consumed = ip;
    return ok;
}

void DeltaDecode(uint8_t* bytes, size_t size) {
    // One running sum per channel over the whole picture, across row ends.
    size_t i = 0;
#ifdef VELMORA_SSE2
    // Sixteen bytes at a time: the sums within the vector by adding it
    // shifted by 3, 6 and 12 bytes, then each channel's sum so far, taken
    // from the last three bytes of the vector before (byte j of a vector
    // is the channel of byte 13 + j % 3 of the one before).
    __m128i carry = _mm_setzero_si128();
    for (; i + 16 <= size; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        v = _mm_add_epi8(v, _mm_slli_si128(v, 3));
        v = _mm_add_epi8(v, _mm_slli_si128(v, 6));
        v = _mm_add_epi8(v, _mm_slli_si128(v, 12));
        v = _mm_add_epi8(v, carry);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + i), v);
        carry = _mm_srli_si128(v, 13);
        carry = _mm_or_si128(carry, _mm_slli_si128(carry, 3));
        carry = _mm_or_si128(carry, _mm_slli_si128(carry, 6));
        carry = _mm_or_si128(carry, _mm_slli_si128(carry, 12));
    }
#endif
    uint8_t sum[3] = {0, 0, 0};
    for (size_t k = i >= 3 ? i - 3 : i; k < i; ++k) sum[k % 3] = bytes[k];
    for (; i < size; ++i) bytes[i] = sum[i % 3] = static_cast<uint8_t>(sum[i % 3] + bytes[i]);
}

bool DecodePackedPicture(const uint8_t* entry, size_t size, Picture& picture, const char* what) {
    PackedHeader h;
    if (!ParsePackedHeader(entry, size, h)) {
        ContentError("damaged", "picture %s: %zu bytes cannot hold a packed picture header", what, size);
        return false;
    }
    if (h.bytesPerPixel != 3) {
        ContentError("damaged", "picture %s: %d bytes per pixel; only 3 are read", what, h.bytesPerPixel);
        return false;
    }
    if (!PictureSizeAllowed(h.width, h.height)) {
        ContentError("damaged", "picture %s: size %dx%d is out of range", what, h.width, h.height);
        return false;
    }
    // The header says how much packed data follows; an entry that ends
    // sooner gives what it holds, and the stages refuse data that ends
    // before the picture is made.
    const size_t inSize = std::min<size_t>(h.packedSize, size - kPackedHeaderSize);
    const size_t raw = static_cast<size_t>(h.width) * h.height * 3;
    const bool run = (h.flags & kPackedRunStage) != 0;
    const bool delta = (h.flags & kPackedDeltaStage) != 0;
    const size_t target = run ? h.intermediateSize : raw;
    if (run && target > RunInputLimit(raw)) {
        ContentError("damaged", "picture %s: intermediate size %u is more than a run stage for %dx%d can read", what,
                     h.intermediateSize, h.width, h.height);
        return false;
    }
    const uint8_t* in = entry + kPackedHeaderSize;
    // The header's sizes must be within what the data can make before any
    // buffer is sized by them: a short entry claiming a huge picture costs
    // nothing. What a claim within reach allocates is touched only as far
    // as the data really decodes.
    if (target / kDictionaryMaxExpansion > inSize) {
        ContentError("damaged", "picture %s: packed data ends at byte 0 of %zu before making %zu bytes (%dx%d)", what,
                     inSize, target, h.width, h.height);
        return false;
    }
    if (run && raw / kRunMaxExpansion > target) {
        ContentError("damaged", "picture %s: run-coded data ends at byte 0 of %zu before making %dx%d", what, target,
                     h.width, h.height);
        return false;
    }
    // Each stage walks once, checking as it writes, into storage of its
    // own: the picture is given the result only when every stage is done.
    Picture fresh;
    fresh.ResizeForOverwrite(h.width, h.height);
    size_t used = 0;
    std::unique_ptr<uint8_t[]> runCoded(run ? new uint8_t[target] : nullptr);
    if (!DictionaryDecode(in, inSize, run ? runCoded.get() : fresh.bytes.data(), target, &used)) {
        ContentError("damaged", "picture %s: packed data ends at byte %zu of %zu before making %zu bytes (%dx%d)", what,
                     used, inSize, target, h.width, h.height);
        return false;
    }
    if (run && !RunDecode(runCoded.get(), target, fresh.bytes.data(), raw, &used)) {
        ContentError("damaged", "picture %s: run-coded data ends at byte %zu of %zu before making %dx%d", what, used,
                     target, h.width, h.height);
        return false;
    }
    runCoded.reset();
    if (delta) DeltaDecode(fresh.bytes.data(), fresh.bytes.size());
    picture = std::move(fresh);
    return true;
}

size_t PackedEntryReadSize(const PackedHeader& h) {
    const size_t raw = static_cast<size_t>(h.width) * h.height * h.bytesPerPixel;
    const size_t target = (h.flags & kPackedRunStage) ? std::min<size_t>(h.intermediateSize, RunInputLimit(raw)) : raw;
    return kPackedHeaderSize + std::min<size_t>(h.packedSize, DictionaryInputLimit(target));
}

bool ClaimedPictureSize(const uint8_t* entry, size_t size, bool jpeg, unsigned& width, unsigned& height) {
    if (!jpeg) {
        PackedHeader h;
        if (!ParsePackedHeader(entry, size, h)) return false;
        width = h.width;
        height = h.height;
        return true;
    }
    // Markers up to the frame header; a scan before it means there is none.
    if (size < 4 || entry[0] != 0xFF || entry[1] != 0xD8) return false;
    size_t i = 2;
    while (i + 4 <= size) {
        if (entry[i] != 0xFF) return false;
        const uint8_t marker = entry[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return false;
        const size_t length = static_cast<size_t>(entry[i + 2]) << 8 | entry[i + 3];
        if (length < 2) return false;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (i + 9 > size) return false;
            height = static_cast<unsigned>(entry[i + 5]) << 8 | entry[i + 6];
            width = static_cast<unsigned>(entry[i + 7]) << 8 | entry[i + 8];
            return true;
        }
        i += 2 + length;
    }
    return false;
}

namespace {

// What the pictures would hold with each claim stored into its target
// (whose storage is kept when it is large enough).
size_t PictureMemoryWith(std::initializer_list<PictureClaim> claims) {
    size_t held = pictureBytesHeld.load(std::memory_order_relaxed);
    for (const PictureClaim& c : claims) {
        const size_t kept = c.target->bytes.capacity();
        if (c.bytes > kept) held = held - std::min(held, kept) + c.bytes;
    }
    return held;
}

}  // namespace

bool PictureMemoryAllows(TForm1& f, std::initializer_list<PictureClaim> claims, const std::string& name, unsigned width,
                         unsigned height) {
    GfxState& g = f.gfx;
    // What fits into storage already held adds nothing, even past the cap
    // (pictures the cap does not guard, such as the screens, can take it there).
    bool grows = false;
    for (const PictureClaim& c : claims) grows = grows || c.bytes > c.target->bytes.capacity();
    if (!grows || PictureMemoryWith(claims) <= g.pictureMemoryCap) return true;
    // Pictures kept only to save decoding go first, then sprites off screen.
    g.decoded.Clear();
    if (PictureMemoryWith(claims) <= g.pictureMemoryCap) return true;
    // Measured again afterwards: a target may itself be a sprite let go.
    DropHiddenSprites(f);
    const size_t wanted = PictureMemoryWith(claims);
    if (wanted <= g.pictureMemoryCap) return true;
    std::vector<std::string>& traced = g.pictureMemoryRefused;
    if (std::find(traced.begin(), traced.end(), name) == traced.end()) {
        traced.push_back(name);
        ContentError("picture", "picture %s: %ux%u would take the pictures' memory to %zu MiB, past %zu MiB; refused",
                     name.c_str(), width, height, wanted >> 20, g.pictureMemoryCap >> 20);
    }
    return false;
}

bool LoadPicture(TForm1& f, const std::string& name, Picture& picture) {
    DataState& d = f.data;
    const ArchiveIndex* index = &d.gjp;
    int pos = FindEntry(d.gjp, name);
    for (int v = 2; v >= 0 && pos < 0; --v) {
        index = &d.gra[v];
        pos = FindEntry(d.gra[v], name);
    }
    if (pos < 0) return false;
    std::vector<std::string>& refused = f.gfx.refusedPictures;
    const std::string& stored = index->names[pos];
    for (const std::string& r : refused)
        if (r == stored) return false;
    PictureCache& decoded = f.gfx.decoded;
    if (const Picture* held = decoded.Find(index, pos)) {
        // The copy goes into the target's own storage when it is large
        // enough; what it would add is checked like a decode's claim.
        const Picture& h = *held;
        const unsigned w = static_cast<unsigned>(h.width), ht = static_cast<unsigned>(h.height);
        if (!PictureMemoryAllows(f, {{&picture, h.bytes.size()}}, stored, w, ht)) return false;
        if (const Picture* still = decoded.Find(index, pos)) {
            picture.ResizeForOverwrite(still->width, still->height);
            std::memcpy(picture.bytes.data(), still->bytes.data(), still->bytes.size());
            return true;
        }
    }
    const bool jpeg = index == &d.gjp;
    std::vector<uint8_t> packed;
    std::vector<uint8_t>& entry = jpeg ? f.gfx.pictureBuffer : packed;
    entry.clear();
    bool ok;
    if (jpeg) {
        ok = ReadEntry(*index, pos, entry) >= 0;
    } else {
        // A packed entry's header says how much follows it, whatever the
        // index says; the file's end bounds the read.
        PackedHeader h;
        ok = ReadEntryPrefix(*index, pos, kPackedHeaderSize, entry) >= 0;
        if (ok && ParsePackedHeader(entry.data(), entry.size(), h))
            ok = ReadEntryPrefix(*index, pos, PackedEntryReadSize(h), entry) >= 0;
    }
    unsigned width = 0, height = 0;
    // Checked against the claim, before the decoder allocates anything; a
    // claim that does not hold is the decoder's to refuse.
    if (ok && ClaimedPictureSize(entry.data(), entry.size(), jpeg, width, height) &&
        PictureSizeAllowed(width, height) &&
        !PictureMemoryAllows(f, {{&picture, static_cast<size_t>(width) * height * 3}}, stored, width, height)) {
        entry.clear();
        return false;
    }
    if (ok)
        ok = jpeg ? DecodeJpegPicture(entry.data(), entry.size(), picture, stored.c_str())
                  : DecodePackedPicture(entry.data(), entry.size(), picture, stored.c_str());
    entry.clear();
    if (!ok) {
        Trace("picture %s in %s: refused; later loads of it are skipped", stored.c_str(), index->path.c_str());
        refused.push_back(stored);
    } else {
        decoded.Keep(index, pos, picture, f.gfx.pictureMemoryCap);
    }
    return ok;
}

bool PictureExists(TForm1& f, const std::string& name) {
    const DataState& d = f.data;
    return FindEntry(d.gjp, name) >= 0 || FindEntry(d.gra[2], name) >= 0 || FindEntry(d.gra[1], name) >= 0 ||
           FindEntry(d.gra[0], name) >= 0;
}

}  // namespace velmora
