#include "tools/game_layout.h"

#include <dirent.h>

#include <algorithm>

#include "data/archive.h"
#include "data/file_io.h"

namespace velmora::tools {

namespace {

bool EndsWith(const std::string& name, const char* ext) {
    const std::string up = UpperName(name), e = UpperName(ext);
    return up.size() > e.size() && up.compare(up.size() - e.size(), e.size(), e) == 0;
}

}  // namespace

std::string EntryNameOf(const std::string& fileName) {
    const size_t dot = fileName.find('.');
    return UpperName(dot == std::string::npos ? fileName : fileName.substr(0, dot));
}

bool IsSourceFile(SourceKind kind, const std::string& fileName) {
    if (fileName.empty() || fileName[0] == '.' || fileName.back() == '~') return false;
    switch (kind) {
        case SourceKind::Script:
            return EndsWith(fileName, ".txt");
        case SourceKind::Picture:
            return EndsWith(fileName, ".png") || EndsWith(fileName, ".jpg");
        case SourceKind::Sound:
        case SourceKind::Loop:
        case SourceKind::Music:
            return EndsWith(fileName, ".wav");
        case SourceKind::Voice:
            return EndsWith(fileName, ".wav") || EndsWith(fileName, ".ogg");
        case SourceKind::Anim:
            return true;
    }
    return false;
}

std::vector<std::string> ListFolder(const std::string& dir, bool folders) {
    std::vector<std::string> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.empty() || n[0] == '.') continue;
        const std::string path = dir + "/" + n;
        if (folders ? IsDirectory(path) : IsRegularFile(path)) out.push_back(n);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace velmora::tools
