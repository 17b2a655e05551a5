// velmora: plays a game in a window, or headless on a virtual clock.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/file_io.h"
#include "platform/headless/headless_platform.h"
#include "platform/windowed.h"
#include "tools/game_check.h"

#ifndef VELMORA_DEMO_DIR
#define VELMORA_DEMO_DIR "demo"
#endif

namespace {

const char kUsage[] =
    "usage: velmora [--choose | GAME_DIR]\n"
    "       velmora --check GAME\n"
    "       velmora --headless [--game DIR] [--events FILE] [--seed N] [--settings FILE.ini] [--trace FILE] "
    "[--strict]\n"
    "                          [--text-feed FILE]\n"
    "\n"
    "Plays a game packed in archive files (vk_data.vrk and its volumes).\n"
    "Without GAME_DIR, plays the bundled demo game.\n"
    "\n"
    "  --headless         play with no display and no sound card, on a virtual clock\n"
    "  --choose           ask for the game folder with the desktop's folder dialog\n"
    "  --game DIR         the game directory (default: the bundled demo)\n"
    "  --events FILE      the timeline of input, saves, loads and screenshots\n"
    "  --seed N           seed of the random generator (default 1)\n"
    "  --settings FILE    the settings store (created when missing; default: in memory)\n"
    "  --trace FILE       write every step and every content error to FILE\n"
    "  --strict           (headless) count every content error, sum them up at the end of\n"
    "                     the trace and exit 3 when there was any\n"
    "  --check GAME       check GAME's scripts as velmora-check does, and exit\n"
    "  --text-feed PORT   serve each shown line to reading aids on 127.0.0.1:PORT (windowed; 6677 by convention)\n"
    "  --text-feed FILE   write each line the text feed would send to FILE (headless)\n"
    "  --verbose          trace to standard error (windowed)\n"
    "  --quit-after MS    close the window after MS milliseconds and report the CPU used\n"
    "  --fullscreen       (windowed) start full screen for this run, as on a handheld or a TV;\n"
    "                     the screen mode in the settings stays as it is\n"
    "  --help             show this text\n";

// A bad command line: what is wrong and the usage lines, not the whole help.
int Bad(const std::string& why) {
    std::fprintf(stderr, "velmora: %s\n", why.c_str());
    const char* end = std::strstr(kUsage, "\n\n");
    std::fprintf(stderr, "%.*s\n(velmora --help tells more)\n", static_cast<int>(end - kUsage), kUsage);
    return 2;
}

// A whole decimal number in [lo, hi].
bool Number(const std::string& s, long long lo, long long hi, long long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0' && errno == 0 && out >= lo && out <= hi;
}

// The bundled demo: installed beside the program (PREFIX/share/velmora/demo
// for PREFIX/bin/velmora or PREFIX/libexec/velmora/velmora-window), else
// where the build put it; empty when neither holds a game.
std::string BundledDemo() {
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, static_cast<size_t>(n));
        dir = dir.substr(0, dir.rfind('/'));
        // velmora in PREFIX/bin, the window program in PREFIX/libexec/velmora.
        for (const char* up : {"/..", "/../.."}) {
            const std::string installed = dir + up + "/share/velmora/demo";
            if (velmora::IsRegularFile(installed + "/vk_data.vrk")) return installed;
        }
    }
    if (velmora::IsRegularFile(std::string(VELMORA_DEMO_DIR) + "/vk_data.vrk")) return VELMORA_DEMO_DIR;
    return std::string();
}

// Whether two paths name the same existing folder (links and ".." resolved).
bool SameFolder(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    char ra[PATH_MAX], rb[PATH_MAX];
    return ::realpath(a.c_str(), ra) && ::realpath(b.c_str(), rb) && std::strcmp(ra, rb) == 0;
}

// Whether a window can be opened at all: a display, or a Qt platform asked for by name.
bool DisplayAvailable() {
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* s = std::getenv(v);
        if (s && *s) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velmora;
    bool headless = false;
    platform::HeadlessOptions h;
    platform::WindowedOptions w;
    std::string game;
    bool gameGiven = false;
    bool choose = false;
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
        } else if (a == "--choose") {
            choose = true;
        } else if (a == "--game") {
            if (gameGiven) return Bad("one game directory only");
            if (!value(game)) return Bad("--game needs a directory");
            gameGiven = true;
        } else if (a == "--events") {
            if (!value(h.eventsFile)) return Bad("--events needs a file");
        } else if (a == "--settings") {
            if (!value(h.settingsFile)) return Bad("--settings needs a file");
        } else if (a == "--trace") {
            if (!value(h.traceFile)) return Bad("--trace needs a file");
            w.traceFile = h.traceFile;
        } else if (a == "--check") {
            std::string dir;
            if (!value(dir)) return Bad("--check needs a game folder");
            if (argc != 3) return Bad("--check takes the game folder alone");
            return tools::RunCheck(dir, stdout, stderr);
        } else if (a == "--strict") {
            h.strict = true;
        } else if (a == "--text-feed") {
            if (!value(h.textFeedFile)) return Bad("--text-feed needs a port (windowed) or a file (headless)");
        } else if (a == "--fullscreen") {
            w.fullScreen = true;
        } else if (a == "--verbose") {
            w.verbose = true;
        } else if (a == "--quit-after") {
            long long ms = 0;
            if (!value(v) || !Number(v, 1, 86400000, ms)) return Bad("--quit-after needs milliseconds (1 or more)");
            w.quitAfterMs = static_cast<int>(ms);
        } else if (a == "--seed") {
            long long n = 0;
            if (!value(v) || !Number(v, 0, 0xFFFFFFFFLL, n)) return Bad("--seed needs a number from 0 to 4294967295");
            h.seed = n;
        } else if (!a.empty() && a[0] == '-') {
            return Bad("unknown option " + a);
        } else if (gameGiven) {
            return Bad("one game directory only: " + game + " and " + a);
        } else {
            game = a;
            gameGiven = true;
        }
    }
    if (h.strict && !headless) return Bad("--strict is for --headless runs");
    if (headless && w.quitAfterMs > 0) return Bad("--quit-after is for the window, not --headless");
    if (headless && w.fullScreen) return Bad("--fullscreen is for the window, not --headless");
    if (choose && (headless || gameGiven)) return Bad("--choose is for the window without a game directory");
    if (!gameGiven && !choose) game = BundledDemo();
    if (game.empty() && headless) return Bad("no game directory given and the bundled demo is not installed");
    // The engine makes the game directory its current directory: every path
    // given here is taken against the directory velmora was started in.
    if (!game.empty()) game = AbsolutePath(game);
    // The demo's folder, however it was reached, is never where saves go.
    const bool bundled = !game.empty() && SameFolder(game, BundledDemo());
    if (headless) {
        h.gameDir = game;
        h.bundledGame = bundled;
        h.eventsFile = AbsolutePath(h.eventsFile);
        h.settingsFile = AbsolutePath(h.settingsFile);
        h.traceFile = AbsolutePath(h.traceFile);
        if (!h.textFeedFile.empty()) h.textFeedFile = AbsolutePath(h.textFeedFile);
        return platform::RunHeadless(h);
    }
    // Without a game the window asks for one.
    if (!game.empty() && !IsDirectory(game)) return Bad("the game directory " + game + " does not exist");
    if (!DisplayAvailable()) {
        std::fputs("velmora: no display found; run with --headless to play without one\n", stderr);
        return 2;
    }
    if (!h.textFeedFile.empty()) {
        long long port = 0;
        if (!Number(h.textFeedFile, 1, 65535, port)) return Bad("--text-feed needs a port from 1 to 65535 for the window");
        w.textFeedPort = static_cast<int>(port);
    }
    w.gameDir = game;
    w.bundledGame = bundled;
    w.traceFile = AbsolutePath(w.traceFile);
    return platform::RunEngine(argc, argv, w);
}
