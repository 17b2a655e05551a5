#pragma once
// Pictures from the archives: packed pictures of the picture volumes and
// JPEG pictures of the JPEG volume, all decoded into the one picture type.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "gfx/picture.h"

namespace velmora {

class TForm1;

// Header of a packed picture entry (16 bytes, little-endian).
constexpr size_t kPackedHeaderSize = 16;
constexpr uint8_t kPackedRunStage = 0x40;
constexpr uint8_t kPackedDeltaStage = 0x80;
// Largest side a picture may have: what the packed header can state. The
// size a picture may take is held by the byte limits below.
constexpr int kMaxPictureSide = 65535;
// Largest decoded picture (64 MiB, e.g. 4096 x 5461): a picture whose header
// claims more is refused before anything is allocated for it.
constexpr size_t kMaxPictureBytes = size_t{64} << 20;
// Whether a decoder may allocate a picture of this size.
inline bool PictureSizeAllowed(unsigned width, unsigned height) {
    return width <= static_cast<unsigned>(kMaxPictureSide) && height <= static_cast<unsigned>(kMaxPictureSide) &&
           static_cast<size_t>(width) * height * 3 <= kMaxPictureBytes;
}
// What all pictures together may hold (colour bytes of every layer, sprite,
// script object, frame and copy): about ninety 800 x 600 pictures, twice what
// the demo holds at its fullest and more than the machines these games were
// made for had in all, while a game of pictures claiming the largest size
// cannot make a run take much more than an undamaged one.
constexpr size_t kMaxPictureMemory = size_t{128} << 20;
// The size a picture entry claims in its header (packed pictures and JPEG
// frame headers); false when there is none to be found, which the decoder
// then refuses.
bool ClaimedPictureSize(const uint8_t* entry, size_t size, bool jpeg, unsigned& width, unsigned& height);

// Most output bytes one input byte of the dictionary stage can give: a long
// match of 4096 bytes from three bytes and a flag bit.
constexpr size_t kDictionaryMaxExpansion = 1311;

struct PackedHeader {
    uint8_t flags = 0;
    uint8_t bytesPerPixel = 3;
    uint32_t packedSize = 0;
    uint32_t intermediateSize = 0;
    uint16_t width = 0;
    uint16_t height = 0;
};

bool ParsePackedHeader(const uint8_t* bytes, size_t size, PackedHeader& header);

// Most bytes a run stage reads while making `raw` bytes: three for each byte
// (a one-byte unit repeated once) and the last copy's overreach. A larger
// intermediate size is damage, never a picture.
inline size_t RunInputLimit(size_t raw) { return raw * 3 + 256; }
// Most packed bytes the dictionary stage reads while making `target` bytes:
// a flag byte per eight items of at least one byte each, nine bytes of
// input at most for eight bytes made, and the last item's overreach.
inline size_t DictionaryInputLimit(size_t target) { return target + target / 8 + 256; }
// How many bytes of a packed entry, header included, its header asks to be
// read (the archive index's size of the entry does not count).
size_t PackedEntryReadSize(const PackedHeader& header);

// The three stages, each a single forward pass that checks as it writes.
// They return false for data that ends early, reaches before the start of
// the output, or writes past the target (what was written is then of no
// use); *consumed (when given) receives the input bytes used. The output
// holds exactly `target` bytes.
bool DictionaryDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t target, size_t* consumed = nullptr);
bool RunDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t target, size_t* consumed = nullptr);
void DeltaDecode(uint8_t* bytes, size_t size);

// Decodes one packed picture entry (header and packed data; `size` bytes are
// available) into picture. Malformed data is refused with a trace naming
// `what`, and the picture is left as it was.
bool DecodePackedPicture(const uint8_t* entry, size_t size, Picture& picture, const char* what = "picture");
// Decodes a JPEG stream into picture (blue, green, red); refused like above.
bool DecodeJpegPicture(const uint8_t* data, size_t size, Picture& picture, const char* what = "picture");

// A decoder kept for a run of many JPEG streams (the frames of an
// animation). Decode writes straight into picture (resized to the stream's
// size), so after a refused stream its content is undefined; the refusal is
// traced naming `what`.
class JpegDecoder {
public:
    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
    bool Decode(const uint8_t* data, size_t size, Picture& picture, const char* what);

private:
    struct State;
    std::unique_ptr<State> s_;
};

// Loads a picture by name (any case): the JPEG volume first, then the
// picture volumes from the last to the first. A name no volume holds, or an
// entry that cannot be decoded, returns false and leaves picture unchanged.
// A picture that would take the pictures' memory past the engine's cap is
// refused the same way (traced once per name) after the sprites that are
// not on screen have been let go.
bool LoadPicture(TForm1& f, const std::string& name, Picture& picture);
// A picture about to be given `bytes` of pixels (its own storage is reused
// when large enough).
struct PictureClaim {
    const Picture* target;
    size_t bytes;
};
// Whether the claims fit under the cap on all pictures' memory together.
// Sprites off screen are let go to make room first; a refusal is traced
// once for `name` (of size width x height), and tried again when asked.
bool PictureMemoryAllows(TForm1& f, std::initializer_list<PictureClaim> claims, const std::string& name, unsigned width,
                         unsigned height);
bool PictureExists(TForm1& f, const std::string& name);

// Reads a Windows bitmap file (1, 4, 8, 24 or 32 bits, uncompressed, either
// row order) into picture; false, picture unchanged, for anything else.
bool ReadBmpFile(const std::string& path, Picture& picture);
// The same from the file's bytes.
bool DecodeBmp(const uint8_t* data, size_t size, Picture& picture);

}  // namespace velmora
