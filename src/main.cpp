// velmora: plays a game in a window, or headless on a virtual clock.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/file_io.h"
#include "platform/headless/headless_platform.h"
#include "platform/qt/qt_platform.h"

#ifndef VELMORA_DEMO_DIR
#define VELMORA_DEMO_DIR "demo"
#endif

namespace {

const char kUsage[] =
    "usage: velmora [GAME_DIR]\n"
    "       velmora --headless [--game DIR] [--events FILE] [--seed N] [--settings FILE.ini] [--trace FILE]\n"
    "\n"
    "Plays a game packed in archive files (vk_data.vrk and its volumes).\n"
    "Without GAME_DIR, plays the bundled demo game.\n"
    "\n"
    "  --headless         play with no display and no sound card, on a virtual clock\n"
    "  --game DIR         the game directory (default: the bundled demo)\n"
    "  --events FILE      the timeline of input, saves, loads and screenshots\n"
    "  --seed N           seed of the random generator (default 1)\n"
    "  --settings FILE    the settings store (created when missing; default: in memory)\n"
    "  --trace FILE       write every step and every content error to FILE\n"
    "  --verbose          trace to standard error (windowed)\n"
    "  --quit-after MS    close the window after MS milliseconds and report the CPU used\n"
    "  --help             show this text\n";

int Bad(const std::string& why) {
    std::fprintf(stderr, "velmora: %s\n%s", why.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velmora;
    bool headless = false;
    platform::HeadlessOptions h;
    platform::WindowedOptions w;
    std::string game = VELMORA_DEMO_DIR;
    bool seedGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--headless") {
            headless = true;
        } else if (a == "--game") {
            if (!value(game)) return Bad("--game needs a directory");
        } else if (a == "--events") {
            if (!value(h.eventsFile)) return Bad("--events needs a file");
        } else if (a == "--settings") {
            if (!value(h.settingsFile)) return Bad("--settings needs a file");
        } else if (a == "--trace") {
            if (!value(h.traceFile)) return Bad("--trace needs a file");
            w.traceFile = h.traceFile;
        } else if (a == "--verbose") {
            w.verbose = true;
        } else if (a == "--quit-after") {
            if (!value(v)) return Bad("--quit-after needs milliseconds");
            w.quitAfterMs = std::atoi(v.c_str());
        } else if (a == "--seed") {
            if (!value(v)) return Bad("--seed needs a number");
            char* end = nullptr;
            errno = 0;
            long long n = std::strtoll(v.c_str(), &end, 10);
            if (*end != '\0' || errno != 0 || n < 0 || n > 0xFFFFFFFFLL) return Bad("--seed needs a number: " + v);
            h.seed = n;
            seedGiven = true;
        } else if (!a.empty() && a[0] == '-') {
            return Bad("unknown option " + a);
        } else {
            game = a;
        }
    }
    (void)seedGiven;
    // The engine makes the game directory its current directory: every path
    // given here is taken against the directory velmora was started in.
    game = AbsolutePath(game);
    if (headless) {
        h.gameDir = game;
        h.eventsFile = AbsolutePath(h.eventsFile);
        h.settingsFile = AbsolutePath(h.settingsFile);
        h.traceFile = AbsolutePath(h.traceFile);
        return platform::RunHeadless(h);
    }
    if (!IsDirectory(game)) return Bad("the game directory " + game + " does not exist");
    w.gameDir = game;
    w.traceFile = AbsolutePath(w.traceFile);
    return platform::RunEngine(argc, argv, w);
}
