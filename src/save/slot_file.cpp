// The slot file layout: every block written and read at its fixed offset.
#include "save/slot_file.h"

#include <cstdio>
#include <cstring>

#include "data/encoding.h"
#include "save/byte_order.h"

namespace velmora {

namespace {

// Each block ends where the next begins, and the last one at the end.
static_assert(kSlotCommentOffset == kSlotHeaderOffset + sizeof(SlotImage::header));
static_assert(kSlotFOffset == kSlotCommentOffset + sizeof(SlotImage::comment));
static_assert(kSlotReservedOffset == kSlotFOffset + sizeof(SlotImage::F));
static_assert(kSlotVOffset == kSlotReservedOffset + sizeof(SlotImage::reserved));
static_assert(kSlotSOffset == kSlotVOffset + sizeof(SlotImage::V));
static_assert(kSlotReadMarksOffset == kSlotSOffset + sizeof(SlotImage::S));
static_assert(kSlotTOffset == kSlotReadMarksOffset + sizeof(SlotImage::readMarks));
static_assert(kSlotStepperOffset == kSlotTOffset + sizeof(SlotImage::T));
static_assert(kSlotBacklogOffset == kSlotStepperOffset + sizeof(SlotImage::stepper));
static_assert(kSlotLineOffset == kSlotBacklogOffset + sizeof(SlotImage::backlog));
static_assert(kSlotNamesOffset == kSlotLineOffset + sizeof(SlotImage::line));
static_assert(kSlotStringsOffset == kSlotNamesOffset + sizeof(SlotImage::names));
static_assert(kSlotPageTextOffset == kSlotStringsOffset + sizeof(SlotImage::strings));
static_assert(kSlotPageAttributesOffset == kSlotPageTextOffset + sizeof(SlotImage::pageText));
static_assert(kSlotHistoryTextOffset == kSlotPageAttributesOffset + sizeof(SlotImage::pageAttributes));
static_assert(kSlotHistoryS023Offset == kSlotHistoryTextOffset + sizeof(SlotImage::historyText));
static_assert(kSlotHistoryPicturesOffset == kSlotHistoryS023Offset + sizeof(SlotImage::historyS023));
static_assert(kSlotHistoryVoicesOffset == kSlotHistoryPicturesOffset + sizeof(SlotImage::historyPictures));
static_assert(kSlotHistoryModeOffset == kSlotHistoryVoicesOffset + sizeof(SlotImage::historyVoices));
static_assert(kSlotThumbnailOffset == kSlotHistoryModeOffset + sizeof(SlotImage::historyMode));
static_assert(kSlotFileSize == kSlotThumbnailOffset + sizeof(SlotImage::thumbnail));

// The names record has no integers, so its host form is its file form.
static_assert(offsetof(SlotNames, currentScript) == 270 && offsetof(SlotNames, lastLoadedScript) == 300 &&
              offsetof(SlotNames, background) == 330 && offsetof(SlotNames, sprites) == 360 &&
              offsetof(SlotNames, picture) == 420 && offsetof(SlotNames, carried) == 450 &&
              offsetof(SlotNames, loopSound) == 480 && offsetof(SlotNames, lastVoice) == 510 &&
              offsetof(SlotNames, speaker) == 540 && offsetof(SlotNames, unused) == 560);

template <size_t N>
void PutInts(uint8_t* out, size_t offset, const int32_t (&v)[N]) {
    for (size_t i = 0; i < N; ++i) PutLe32(out + offset + 4 * i, static_cast<uint32_t>(v[i]));
}

template <size_t N>
void GetInts(const uint8_t* in, size_t offset, int32_t (&v)[N]) {
    for (size_t i = 0; i < N; ++i) v[i] = static_cast<int32_t>(GetLe32(in + offset + 4 * i));
}

template <typename T>
void PutBytes(uint8_t* out, size_t offset, const T& block) {
    std::memcpy(out + offset, &block, sizeof block);
}

template <typename T>
void GetBytes(const uint8_t* in, size_t offset, T& block) {
    std::memcpy(&block, in + offset, sizeof block);
}

// Length of the longest prefix of text, at most max bytes, that does not end
// inside a two-byte character.
size_t CutLength(const char* text, size_t max) {
    size_t n = 0;
    while (text[n] != '\0') {
        size_t w = (IsLeadByte(static_cast<unsigned char>(text[n])) && text[n + 1] != '\0') ? 2 : 1;
        if (n + w > max) break;
        n += w;
    }
    return n;
}

}  // namespace

void EncodeSlot(const SlotImage& im, uint8_t* out) {
    PutBytes(out, kSlotHeaderOffset, im.header);
    PutBytes(out, kSlotCommentOffset, im.comment);
    PutBytes(out, kSlotFOffset, im.F);
    PutBytes(out, kSlotReservedOffset, im.reserved);
    PutInts(out, kSlotVOffset, im.V);
    PutInts(out, kSlotSOffset, im.S);
    PutBytes(out, kSlotReadMarksOffset, im.readMarks);
    PutBytes(out, kSlotTOffset, im.T);
    PutInts(out, kSlotStepperOffset, im.stepper);
    PutBytes(out, kSlotBacklogOffset, im.backlog);
    PutBytes(out, kSlotLineOffset, im.line);
    PutBytes(out, kSlotNamesOffset, im.names);
    PutBytes(out, kSlotStringsOffset, im.strings);
    PutBytes(out, kSlotPageTextOffset, im.pageText);
    PutBytes(out, kSlotPageAttributesOffset, im.pageAttributes);
    PutBytes(out, kSlotHistoryTextOffset, im.historyText);
    PutInts(out, kSlotHistoryS023Offset, im.historyS023);
    PutBytes(out, kSlotHistoryPicturesOffset, im.historyPictures);
    PutBytes(out, kSlotHistoryVoicesOffset, im.historyVoices);
    PutInts(out, kSlotHistoryModeOffset, im.historyMode);
    PutBytes(out, kSlotThumbnailOffset, im.thumbnail);
}

bool DecodeSlot(const uint8_t* in, size_t n, SlotImage& im) {
    if (n != kSlotFileSize) return false;
    GetBytes(in, kSlotHeaderOffset, im.header);
    GetBytes(in, kSlotCommentOffset, im.comment);
    GetBytes(in, kSlotFOffset, im.F);
    GetBytes(in, kSlotReservedOffset, im.reserved);
    GetInts(in, kSlotVOffset, im.V);
    GetInts(in, kSlotSOffset, im.S);
    GetBytes(in, kSlotReadMarksOffset, im.readMarks);
    GetBytes(in, kSlotTOffset, im.T);
    GetInts(in, kSlotStepperOffset, im.stepper);
    GetBytes(in, kSlotBacklogOffset, im.backlog);
    GetBytes(in, kSlotLineOffset, im.line);
    GetBytes(in, kSlotNamesOffset, im.names);
    GetBytes(in, kSlotStringsOffset, im.strings);
    GetBytes(in, kSlotPageTextOffset, im.pageText);
    GetBytes(in, kSlotPageAttributesOffset, im.pageAttributes);
    GetBytes(in, kSlotHistoryTextOffset, im.historyText);
    GetInts(in, kSlotHistoryS023Offset, im.historyS023);
    GetBytes(in, kSlotHistoryPicturesOffset, im.historyPictures);
    GetBytes(in, kSlotHistoryVoicesOffset, im.historyVoices);
    GetInts(in, kSlotHistoryModeOffset, im.historyMode);
    GetBytes(in, kSlotThumbnailOffset, im.thumbnail);
    return true;
}

void CopyField(char* field, size_t size, const char* text) {
    std::memset(field, 0, size);
    if (size == 0 || !text) return;
    std::memcpy(field, text, CutLength(text, size - 1));
}

void MakeSlotHeader(char (&out)[kSlotHeaderSize], const std::tm& t, const char* title, bool mapMode) {
    static const char kMap[] = "(Map)";
    std::memset(out, 0, sizeof out);
    char stamp[64];
    int n = std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d  ", t.tm_year + 1900, t.tm_mon + 1,
                          t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    size_t room = kSlotHeaderTextMax - (mapMode ? sizeof kMap - 1 : 0);
    size_t stampLength = std::min<size_t>(n > 0 ? static_cast<size_t>(n) : 0, room);
    std::memcpy(out, stamp, stampLength);
    if (!title) title = "";
    size_t titleLength = CutLength(title, room - stampLength);
    std::memcpy(out + stampLength, title, titleLength);
    if (mapMode) std::memcpy(out + stampLength + titleLength, kMap, sizeof kMap - 1);
}

void ScaleThumbnail(const Picture& src, uint8_t (&out)[kThumbnailHeight][kThumbnailWidth * 3]) {
    std::memset(out, 0, sizeof out);
    if (src.Empty() || src.bytes.size() < static_cast<size_t>(src.width) * src.height * 3) return;
    const int64_t sw = src.width, sh = src.height, dw = kThumbnailWidth, dh = kThumbnailHeight;
    if (sw % dw == 0 && sh % dh == 0) {
        // Whole boxes (the 800 x 600 scene: 5 x 5): every pixel weighs the
        // same, which gives the general sum below exactly.
        const int bw = static_cast<int>(sw / dw), bh = static_cast<int>(sh / dh);
        const uint32_t n = static_cast<uint32_t>(bw * bh);
        uint32_t sums[kThumbnailWidth * 3];
        for (int dy = 0; dy < dh; ++dy) {
            std::memset(sums, 0, sizeof sums);
            for (int y = dy * bh; y < (dy + 1) * bh; ++y) {
                const uint8_t* p = src.Row(y);
                for (int dx = 0; dx < dw; ++dx) {
                    uint32_t* q = sums + dx * 3;
                    for (int k = 0; k < bw; ++k, p += 3) {
                        q[0] += p[0];
                        q[1] += p[1];
                        q[2] += p[2];
                    }
                }
            }
            for (int i = 0; i < kThumbnailWidth * 3; ++i) out[dy][i] = static_cast<uint8_t>((sums[i] + n / 2) / n);
        }
        return;
    }
    // In units where a source pixel is dw (dh) wide, thumbnail pixel d spans
    // [d * sw, (d + 1) * sw) and source pixel s spans [s * dw, (s + 1) * dw).
    auto overlap = [](int64_t a0, int64_t a1, int64_t b0, int64_t b1) {
        int64_t lo = a0 > b0 ? a0 : b0, hi = a1 < b1 ? a1 : b1;
        return hi > lo ? hi - lo : 0;
    };
    const int64_t total = sw * sh;
    for (int dy = 0; dy < dh; ++dy) {
        int64_t y0 = dy * sh, y1 = y0 + sh;
        int sy0 = static_cast<int>(y0 / dh), sy1 = static_cast<int>((y1 + dh - 1) / dh);
        for (int dx = 0; dx < dw; ++dx) {
            int64_t x0 = dx * sw, x1 = x0 + sw;
            int sx0 = static_cast<int>(x0 / dw), sx1 = static_cast<int>((x1 + dw - 1) / dw);
            int64_t sum[3] = {0, 0, 0};
            for (int sy = sy0; sy < sy1 && sy < src.height; ++sy) {
                int64_t wy = overlap(y0, y1, sy * dh, (sy + 1) * dh);
                const uint8_t* row = src.Row(sy);
                for (int sx = sx0; sx < sx1 && sx < src.width; ++sx) {
                    int64_t w = wy * overlap(x0, x1, sx * dw, (sx + 1) * dw);
                    const uint8_t* p = row + sx * 3;
                    sum[0] += p[0] * w;
                    sum[1] += p[1] * w;
                    sum[2] += p[2] * w;
                }
            }
            uint8_t* q = out[dy] + dx * 3;
            for (int c = 0; c < 3; ++c) q[c] = static_cast<uint8_t>((sum[c] + total / 2) / total);
        }
    }
}

}  // namespace velmora
