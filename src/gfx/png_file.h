#pragma once
// PNG files in and out of the engine's picture type (libpng).
#include <string>

#include "gfx/picture.h"

namespace velmora {

// Writes an RGB PNG (crash-safe: temporary file renamed into place).
bool WritePng(const std::string& path, const Picture& picture);
// The same with an alpha channel taken from a grey picture of the same size
// (its first byte per pixel); without alpha an RGB PNG.
bool WritePngWithAlpha(const std::string& path, const Picture& picture, const Picture* alpha);
// Reads a PNG as RGB into picture; when alpha is non-null and the file has an
// alpha channel it receives the alpha as a grey picture (all three bytes).
// Returns false (picture unchanged) for anything libpng refuses.
bool ReadPng(const std::string& path, Picture& picture, Picture* alpha = nullptr, bool* hadAlpha = nullptr);

}  // namespace velmora
