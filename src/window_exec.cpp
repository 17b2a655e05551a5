// `velmora`'s way to a window: the window program takes its place with the
// options already checked, so that a headless run never loads the window's
// libraries.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/file_io.h"
#include "platform/windowed.h"

#ifndef VELMORA_WINDOW_PROGRAM_DIR
#define VELMORA_WINDOW_PROGRAM_DIR "../libexec/velmora"
#endif

namespace velmora::platform {

namespace {

constexpr char kWindowProgram[] = "velmora-window";

// Beside velmora in the build tree, else where the installation puts it.
std::string WindowProgram() {
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return std::string();
    std::string dir(exe, static_cast<size_t>(n));
    dir = dir.substr(0, dir.rfind('/'));
    for (const std::string& p : {dir + "/" + kWindowProgram, dir + "/" VELMORA_WINDOW_PROGRAM_DIR "/" + kWindowProgram})
        if (IsRegularFile(p) && ::access(p.c_str(), X_OK) == 0) return p;
    return std::string();
}

}  // namespace

int RunEngine(int argc, char** argv, const WindowedOptions& o) {
    const std::string program = WindowProgram();
    if (program.empty()) {
        std::fprintf(stderr,
                     "velmora: the window program %s is not installed with velmora; "
                     "run with --headless to play without a window\n",
                     kWindowProgram);
        return 2;
    }
    // The same command line, as velmora reads it, with every path made
    // absolute; a missing game folder asks the player for one.
    std::vector<std::string> args = {argc > 0 ? argv[0] : "velmora"};
    if (!o.traceFile.empty()) args.insert(args.end(), {"--trace", o.traceFile});
    if (o.verbose) args.push_back("--verbose");
    if (o.quitAfterMs > 0) args.insert(args.end(), {"--quit-after", std::to_string(o.quitAfterMs)});
    if (o.fullScreen) args.push_back("--fullscreen");
    if (o.textFeedPort > 0) args.insert(args.end(), {"--text-feed", std::to_string(o.textFeedPort)});
    args.push_back(o.gameDir.empty() ? std::string("--choose") : o.gameDir);
    std::vector<char*> argvOut;
    for (std::string& a : args) argvOut.push_back(a.data());
    argvOut.push_back(nullptr);
    ::execv(program.c_str(), argvOut.data());
    std::fprintf(stderr, "velmora: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
    return 2;
}

}  // namespace velmora::platform
