#pragma once
// One headless engine shared by the harnesses that read through the engine's
// own load paths (slots, global data, music, scripts). It plays a tiny game
// in a scratch folder that the harness rewrites for every input.
#include <cstdint>
#include <memory>
#include <string>

#include "app/engine.h"
#include "platform/headless/headless_platform.h"

namespace velmora::fuzz {

struct FuzzEngine {
    std::string dir;  // the game folder (the working directory while it lives)
    std::unique_ptr<platform::HeadlessPlatform> plat;
    std::unique_ptr<TForm1> f;
};

// The engine, created on first use in a fresh scratch folder holding a
// script archive with "_config" and a one-line "main".
FuzzEngine& Engine();
// A fresh engine in the same folder, for when an input closed the window.
void RestartEngine();
// Writes bytes to a file of the game folder.
void WriteGameFile(const std::string& name, const uint8_t* data, size_t size);
// Idle passes with the messages due delivered first.
void Passes(int n);

}  // namespace velmora::fuzz
