// Makes a copy of a game whose every picture is as large as the reader
// accepts (4096 x 5461, 64 MiB decoded): each packed or JPEG picture is put
// in the top-left corner of a black picture of that size, so the game still
// plays and every load really decodes 64 MiB. For measuring what such a game
// costs the engine (bench/peak_memory.sh).
//   velmora-huge-pictures SOURCE_GAME DAMAGED_GAME
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "data/archive.h"
#include "data/file_io.h"
#include "gfx/image_files.h"
#include "tools/archive_writer.h"
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

std::vector<uint8_t> Jpeg(const Picture& p) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(p.width);
    c.image_height = static_cast<JDIMENSION>(p.height);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(p.Row(static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
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
        } else if (jpeg) {
            e.data = Jpeg(Enlarged(p));
        } else {
            std::string error;
            if (!tools::EncodePackedPicture(Enlarged(p), fast, e.data, error)) {
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
