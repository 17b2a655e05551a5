// Makes a copy of a game whose every picture is as large as the reader
// accepts (4096 x 5461, 64 MiB decoded): each packed or JPEG picture is put
// in the top-left corner of a black picture of that size, so the game still
// plays and every load really decodes 64 MiB. For measuring what such a game
// costs the engine (bench/peak_memory.sh).
//   velmora-huge-pictures SOURCE_GAME DAMAGED_GAME
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/archive.h"
#include "data/file_io.h"
#include "gfx/image_files.h"
#include "tools/archive_writer.h"
#include "tools/anim_encoder.h"
#include "tools/picture_encoder.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 4096;
constexpr int kHeight = static_cast<int>(kMaxPictureBytes / 3 / kWidth);

Picture Enlarged(const Picture& p) {
    Picture big;
    big.Resize(kWidth, kHeight);
    const int w = std::min(p.width, kWidth), h = std::min(p.height, kHeight);
    for (int y = 0; y < h; ++y) std::memcpy(big.Row(y), p.Row(y), static_cast<size_t>(w) * 3);
    return big;
}

bool Enlarge(const std::string& path, bool jpeg) {
    ArchiveIndex index;
    ReadVolumeIndex(path, index);
    index.path = path;
    if (index.count == 0) return true;
    std::vector<tools::PackEntry> entries;
    // Speed over size: nearly all of each picture is black.
    tools::PictureEncodeOptions fast;
    fast.allowRun = fast.allowDelta = false;
    fast.chainDepth = 1;
    for (int i = 0; i < index.count; ++i) {
        std::vector<uint8_t> bytes;
        Picture p;
        if (ReadEntry(index, i, bytes) < 0) return false;
        const bool ok = jpeg ? DecodeJpegPicture(bytes.data(), bytes.size(), p)
                             : DecodePackedPicture(bytes.data(), bytes.size(), p);
        tools::PackEntry e;
        e.name = index.names[i];
        if (!ok) {
            e.data = bytes;  // left as it was
        } else {
            std::string error;
            const bool coded = jpeg ? tools::EncodeJpeg(Enlarged(p), 90, e.data, error)
                                    : tools::EncodePackedPicture(Enlarged(p), fast, e.data, error);
            if (!coded) {
                std::fprintf(stderr, "%s %s: %s\n", path.c_str(), e.name.c_str(), error.c_str());
                return false;
            }
        }
        entries.push_back(std::move(e));
    }
    std::vector<uint8_t> volume;
    std::string error;
    if (!tools::BuildVolume(entries, index.width, volume, error) || !WriteFileAtomic(path, volume)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    std::printf("%s: %d pictures of %dx%d\n", path.c_str(), index.count, kWidth, kHeight);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora-huge-pictures SOURCE_GAME DAMAGED_GAME\n");
        return 2;
    }
    const fs::path to = argv[2];
    fs::remove_all(to);
    fs::copy(argv[1], to, fs::copy_options::recursive);
    for (const char* name : {"vk_gra.vrk", "vk_gra2.vrk", "vk_gra3.vrk", "vk_gjp.vrk"}) {
        const fs::path path = to / name;
        if (fs::exists(path) && !Enlarge(path.string(), std::strcmp(name, "vk_gjp.vrk") == 0)) return 1;
    }
    return 0;
}
