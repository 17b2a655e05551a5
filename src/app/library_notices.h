#pragma once
// The libraries and works this build is made of, as the settings dialog's
// copyright page lists them (UTF-8, one notice each). Each build has its own
// file: the desktop's system libraries, or the browser's single-file
// decoders, Emscripten and the face the page ships.
#include <string>
#include <vector>

namespace velmora {

std::vector<std::string> LibraryNotices();

}  // namespace velmora
