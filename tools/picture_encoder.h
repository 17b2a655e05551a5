#pragma once
// The packed picture encoder: PNG files in, packed picture entries out.
// The pixel bytes are optionally delta-coded, then optionally run-coded,
// then always dictionary-coded; the stages are kept only when they make the
// entry smaller.
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/picture.h"

namespace velmora::tools {

enum class MaskLayout { None, SideBySide, Stacked };

struct PictureEncodeOptions {
    bool allowRun = true;
    bool allowDelta = true;
    int chainDepth = 96;  // hash-chain candidates tried per position
};

// How often the dictionary encoder used each item form.
struct DictionaryStats {
    size_t literals = 0, literalRuns = 0, shortMatches = 0, matches = 0, longMatches = 0;
};

// The stages alone (for tests and measurements).
std::vector<uint8_t> DictionaryEncode(const uint8_t* data, size_t size, int chainDepth = 96,
                                      DictionaryStats* stats = nullptr);
std::vector<uint8_t> RunEncode(const uint8_t* data, size_t size);
void DeltaEncode(uint8_t* bytes, size_t size);

// A whole entry: 16-byte header and packed data. Fails (with error) for a
// picture larger than the reader accepts.
bool EncodePackedPicture(const Picture& picture, const PictureEncodeOptions& options, std::vector<uint8_t>& out,
                         std::string& error, uint8_t* stagesUsed = nullptr);

// Colour and alpha into one masked picture: the mask (alpha in all three
// bytes) right of or below the colour. Fully transparent pixels get black
// colour so they pack well.
Picture MakeMaskedPicture(const Picture& colour, const Picture& alpha, MaskLayout layout);

struct PackedPictureFile {
    std::string name;  // entry name: the file name up to its first dot
    size_t pngBytes = 0;
    std::vector<uint8_t> entry;
};

// Reads a PNG and packs it. An RGBA file becomes a masked picture in the
// given layout; with MaskLayout::None its alpha is dropped (warning set).
bool PackPngPicture(const std::string& path, MaskLayout layout, const PictureEncodeOptions& options,
                    PackedPictureFile& out, std::string& error, std::string* warning = nullptr);

// Packs every PNG of a folder into a picture volume. RGBA files become
// side-by-side masked pictures, or stacked ones when stacked is set or the
// file name ends in ".stacked.png".
bool PackPictureFolder(const std::string& dir, bool stacked, const PictureEncodeOptions& options,
                       const std::string& outPath, std::vector<PackedPictureFile>& packed, std::string& error);

}  // namespace velmora::tools
