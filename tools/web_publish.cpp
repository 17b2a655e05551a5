#include "tools/web_publish.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "data/config.h"
#include "data/encoding.h"
#include "gfx/png_file.h"
#include "tools/icon_drawing.h"

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

// A site path as a relative URL: UTF-8 bytes other than the unreserved
// ones percent-encoded, the slashes kept.
std::string UrlPath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~' || c == '/')
            out += static_cast<char>(c);
        else
            out += {'%', hex[c >> 4], hex[c & 15]};
    }
    return out;
}

// FNV-1a, 64 bits, over the names and the contents of the files.
bool HashFiles(const fs::path& root, const std::vector<std::string>& files, uint64_t& hash, std::string& error) {
    hash = 0xcbf29ce484222325ull;
    const auto add = [&](const char* p, size_t n) {
        for (size_t i = 0; i < n; ++i) hash = (hash ^ static_cast<unsigned char>(p[i])) * 0x100000001b3ull;
    };
    std::vector<char> buffer(1 << 16);
    for (const std::string& f : files) {
        add(f.c_str(), f.size() + 1);
        std::ifstream in(root / f, std::ios::binary);
        if (!in) {
            error = "cannot read " + (root / f).string();
            return false;
        }
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            add(buffer.data(), static_cast<size_t>(in.gcount()));
        }
    }
    return true;
}

const char kServiceWorker[] = R"(// Keeps this game's site for play without a network: every file below is
// fetched into one cache when the worker installs. The cache is named by a
// hash of their contents, so a new build installs a new cache beside the old,
// takes over, and deletes the old one: an update is never hidden for long.
'use strict';
const CACHE = 'velmora-@VERSION@';
const FILES = @FILES@;

self.addEventListener('install', (event) => {
  // Past the browser's own cache: the files of this build, not of the last.
  event.waitUntil(caches.open(CACHE)
    .then((cache) => cache.addAll(FILES.map((f) => new Request(f, { cache: 'reload' }))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((keys) => Promise.all(keys.filter((k) => k.startsWith('velmora-') && k !== CACHE).map((k) => caches.delete(k))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(CACHE);
    // The page's address carries its options (?test=1, ?game=...): the file is the same.
    const kept = await cache.match(request, { ignoreSearch: request.mode === 'navigate' });
    if (kept) return kept;
    // Anything else on the server (another game under ?game=): the network
    // first, so it stays current, and the last copy when there is none.
    try {
      const response = await fetch(request);
      if (response.ok) cache.put(request, response.clone());
      return response;
    } catch (err) {
      const old = await cache.match(request);
      if (old) return old;
      throw err;
    }
  })());
});
)";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
        text.replace(p, from.size(), to);
}

}  // namespace

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

bool WriteWebApp(const std::string& outDir, const std::string& titleUtf8, const std::vector<std::string>& files,
                 std::string& error) {
    const fs::path out(outDir);
    std::vector<std::string> kept = files;
    for (int n : {192, 512}) {
        Picture colour, alpha;
        DrawIcon(n, colour, alpha);
        const std::string name = "icon-" + std::to_string(n) + ".png";
        if (!WritePngWithAlpha((out / name).string(), colour, &alpha)) {
            error = "cannot write " + (out / name).string();
            return false;
        }
        kept.push_back(name);
    }
    const std::string title = titleUtf8.empty() ? "Velmora" : titleUtf8;
    const std::string manifest =
        "{\n  \"name\": " + JsonString(title) + ",\n  \"short_name\": " + JsonString(title) +
        ",\n  \"lang\": \"ja\",\n  \"start_url\": \"index.html\",\n  \"scope\": \"./\",\n"
        "  \"display\": \"fullscreen\",\n  \"orientation\": \"any\",\n"
        "  \"background_color\": \"#000000\",\n  \"theme_color\": \"#000000\",\n  \"icons\": [\n"
        "    {\"src\": \"icon-192.png\", \"sizes\": \"192x192\", \"type\": \"image/png\", \"purpose\": \"any\"},\n"
        "    {\"src\": \"icon-512.png\", \"sizes\": \"512x512\", \"type\": \"image/png\", \"purpose\": \"any\"}\n"
        "  ]\n}\n";
    if (!WriteText(out / "velmora.webmanifest", manifest, error)) return false;
    kept.push_back("velmora.webmanifest");
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    uint64_t hash = 0;
    if (!HashFiles(out, kept, hash, error)) return false;
    char version[20];
    std::snprintf(version, sizeof version, "%016llx", static_cast<unsigned long long>(hash));
    // The site's folder itself is the page too (a start from the bare address).
    std::string list = "[\n  \"./\"";
    for (const std::string& f : kept) list += ",\n  " + JsonString(UrlPath(f));
    list += "\n]";
    std::string worker = kServiceWorker;
    ReplaceAll(worker, "@VERSION@", version);
    ReplaceAll(worker, "@FILES@", list);
    return WriteText(out / "service-worker.js", worker, error);
}

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
    std::vector<std::string> site(std::begin(engineFiles), std::end(engineFiles));
    site.push_back("fonts/manifest.txt");
    for (const std::string& f : fonts) site.push_back("fonts/" + fs::path(f).filename().string());
    site.push_back("game/manifest.txt");
    for (const std::string& f : files) site.push_back("game/" + f);
    if (!WriteWebApp(o.outDir, ToUtf8(PeekGameConfig(o.gameDir).TITLE), site, error)) return false;
    if (fileCount) *fileCount = static_cast<int>(files.size());
    return true;
}

}  // namespace velmora::tools
