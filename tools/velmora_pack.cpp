// velmora-pack: builds and inspects the archives a game is made of.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/archive.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "tools/archive_writer.h"

namespace {

const char kUsage[] =
    "usage: velmora-pack script FOLDER OUT.vrk\n"
    "       velmora-pack volume [--width W] [--keep-ext] FOLDER OUT.vrk\n"
    "       velmora-pack list [--script|--volume] ARCHIVE\n"
    "\n"
    "  script   packs every UTF-8 text file of FOLDER as a script entry named by\n"
    "           the file name without extension (at most 15 characters); each\n"
    "           line is converted to CP932 and ended by one NUL\n"
    "  volume   packs every file of FOLDER as it is, with a name field of W bytes\n"
    "           (default 16; names have at most W - 1 characters)\n"
    "  list     prints the index of an archive: name, offset, size; files named\n"
    "           vk_data*.vrk are read as script archives unless told otherwise\n";

int Usage(const char* why) {
    std::fprintf(stderr, "velmora-pack: %s\n\n%s", why, kUsage);
    return 2;
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "velmora-pack: %s\n", error.c_str());
    return 1;
}

int List(int argc, char** argv) {
    int mode = 0;  // 0 guess, 1 script, 2 volume
    std::string path;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--script") mode = 1;
        else if (a == "--volume") mode = 2;
        else if (path.empty()) path = a;
        else return Usage("list takes one archive");
    }
    if (path.empty()) return Usage("list needs an archive");
    if (!velmora::IsRegularFile(path)) return Fail(path + ": no such file");
    if (mode == 0) {
        std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
        mode = velmora::UpperName(base).rfind("VK_DATA", 0) == 0 ? 1 : 2;
    }
    velmora::ArchiveIndex index;
    index.path = path;
    if (mode == 1) velmora::ReadScriptIndex(path, index);
    else velmora::ReadVolumeIndex(path, index);
    std::printf("%s: %s, %d entries%s\n", path.c_str(), mode == 1 ? "script archive" : "volume", index.count,
                mode == 2 ? (", name width " + std::to_string(index.width)).c_str() : "");
    for (int i = 0; i < index.count; ++i)
        std::printf("%-24s %10d %10d\n", index.names[i].c_str(), index.offsets[i], index.sizes[i]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("a command is needed");
    std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string error;
    int count = 0;
    if (cmd == "script") {
        if (argc != 4) return Usage("script takes FOLDER OUT.vrk");
        if (!velmora::tools::PackScriptFolder(argv[2], argv[3], error, &count)) return Fail(error);
        std::printf("%s: %d scripts\n", argv[3], count);
        return 0;
    }
    if (cmd == "volume") {
        int width = 16;
        bool keepExt = false;
        std::string folder, out;
        for (int i = 2; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--width" && i + 1 < argc) {
                char* end = nullptr;
                long w = std::strtol(argv[++i], &end, 10);
                if (*end != '\0') return Usage("--width takes a number");
                width = static_cast<int>(w);
            } else if (a == "--keep-ext") {
                keepExt = true;
            } else if (folder.empty()) {
                folder = a;
            } else if (out.empty()) {
                out = a;
            } else {
                return Usage("volume takes FOLDER OUT.vrk");
            }
        }
        if (out.empty()) return Usage("volume takes FOLDER OUT.vrk");
        if (!velmora::tools::PackVolumeFolder(folder, width, keepExt, out, error, &count)) return Fail(error);
        std::printf("%s: %d entries\n", out.c_str(), count);
        return 0;
    }
    if (cmd == "list") return List(argc - 2, argv + 2);
    return Usage(("unknown command " + cmd).c_str());
}
