#pragma once
// Publishes a game as a static web site: the browser engine and its page,
// a Japanese font, and the game's files with a manifest.txt naming them.
#include <string>
#include <vector>

namespace velmora::tools {

struct WebPublishOptions {
    std::string gameDir;    // the folder the engine plays (its archives)
    std::string outDir;     // the site
    std::string engineDir;  // velmora.js, velmora.wasm and the page files
    std::vector<std::string> fonts;  // TrueType files; empty: the usual Debian faces
};

// The Japanese faces the site ships when none are named: the first of these present.
std::vector<std::string> DefaultWebFonts();

// The files of a game folder to publish, relative, sorted: everything but a
// player's data (the save folder, global data, locks, temporaries, the
// build's cache and dist folders).
bool GameFilesToPublish(const std::string& gameDir, std::vector<std::string>& files, std::string& error);

// The installable web app's files for a site whose other files are written:
// the app manifest (title, icons), the icons, and the service worker that
// keeps every file for play without a network. The worker's cache is named
// by a hash of the files' contents, so a changed site replaces the old copy.
// files: the site's files to keep, relative to outDir.
bool WriteWebApp(const std::string& outDir, const std::string& titleUtf8, const std::vector<std::string>& files,
                 std::string& error);
// The text of a JavaScript/JSON string literal holding utf8.
std::string JsonString(const std::string& utf8);

// Writes the site; false with a message when something is missing or cannot be written.
bool PublishWebSite(const WebPublishOptions& options, std::string& error, int* fileCount = nullptr);

}  // namespace velmora::tools
