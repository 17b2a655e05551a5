#include "tools/web_publish.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace velmora::tools {

namespace fs = std::filesystem;

namespace {

bool IsPlayerData(const fs::path& rel) {
    const std::string first = rel.begin()->string();
    if (first == "save" || first == ".cache" || first == "dist") return true;
    const std::string name = rel.filename().string();
    if (name == "save0.dat" || name == "kaiso.dat") return true;
    return name.ends_with(".lock") || name.ends_with(".tmp") || name.find(".tmp.") != std::string::npos ||
           name.starts_with(".");
}

bool WriteText(const fs::path& path, const std::string& text, std::string& error) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) error = "cannot write " + path.string();
    return static_cast<bool>(out);
}

}  // namespace

std::vector<std::string> DefaultWebFonts() {
    const char* candidates[] = {"/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
                                "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf"};
    std::vector<std::string> out;
    for (const char* c : candidates)
        if (fs::is_regular_file(c)) {
            out.push_back(c);
            break;
        }
    return out;
}

bool GameFilesToPublish(const std::string& gameDir, std::vector<std::string>& files, std::string& error) {
    files.clear();
    std::error_code ec;
    if (!fs::is_directory(gameDir, ec)) {
        error = gameDir + " is not a folder";
        return false;
    }
    for (auto it = fs::recursive_directory_iterator(gameDir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path rel = fs::relative(it->path(), gameDir, ec);
        if (IsPlayerData(rel)) {
            if (it->is_directory()) it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file()) files.push_back(rel.generic_string());
    }
    if (ec) {
        error = "cannot read " + gameDir + ": " + ec.message();
        return false;
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        error = gameDir + " holds no game files";
        return false;
    }
    return true;
}

bool PublishWebSite(const WebPublishOptions& o, std::string& error, int* fileCount) {
    std::vector<std::string> files;
    if (!GameFilesToPublish(o.gameDir, files, error)) return false;
    const std::vector<std::string> fonts = o.fonts.empty() ? DefaultWebFonts() : o.fonts;
    if (fonts.empty()) {
        error = "no Japanese TrueType face found (install fonts-ipafont-gothic or fonts-vlgothic, or name one with --font)";
        return false;
    }
    const char* engineFiles[] = {"velmora.js", "velmora.wasm", "index.html", "velmora-page.js", "velmora-page.css"};
    for (const char* f : engineFiles)
        if (!fs::is_regular_file(fs::path(o.engineDir) / f)) {
            error = "the browser engine has no " + std::string(f) + " in " + o.engineDir +
                    " (scripts/build-web.sh builds it; --engine DIR names another)";
            return false;
        }
    std::error_code ec;
    const fs::path out(o.outDir);
    fs::create_directories(out / "game", ec);
    fs::create_directories(out / "fonts", ec);
    const auto copy = [&](const fs::path& from, const fs::path& to) {
        fs::create_directories(to.parent_path(), ec);
        if (!ec) fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
        if (ec) error = "cannot copy " + from.string() + " to " + to.string() + ": " + ec.message();
        return !ec;
    };
    for (const char* f : engineFiles)
        if (!copy(fs::path(o.engineDir) / f, out / f)) return false;
    std::string fontList;
    for (const std::string& f : fonts) {
        const std::string name = fs::path(f).filename().string();
        if (!copy(f, out / "fonts" / name)) return false;
        fontList += name + "\n";
    }
    std::string gameList;
    for (const std::string& f : files) {
        if (!copy(fs::path(o.gameDir) / f, out / "game" / f)) return false;
        gameList += f + "\n";
    }
    if (!WriteText(out / "fonts" / "manifest.txt", fontList, error) ||
        !WriteText(out / "game" / "manifest.txt", gameList, error))
        return false;
    if (fileCount) *fileCount = static_cast<int>(files.size());
    return true;
}

}  // namespace velmora::tools
