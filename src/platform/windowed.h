#pragma once
// The window's part of the command line, and its entry. The window is a
// program of its own (velmora-window, linking the toolkit, OpenAL, speech
// and SDL); `velmora` itself links none of them, so a headless run loads
// none, and it starts the window program when a window is asked for.
#include <string>

namespace velmora::platform {

struct WindowedOptions {
    std::string gameDir;  // empty: the player picks a folder
    bool bundledGame = false;  // gameDir is the program's own demo
    std::string traceFile;
    bool verbose = false;
    // Closes the window after this many milliseconds (0: never); for tests
    // and the CPU measure.
    int quitAfterMs = 0;
    // Full screen from the start, for this run only (the settings keep their mode).
    bool fullScreen = false;
    // Serves the text feed on this port whatever the settings say (0: as they say).
    int textFeedPort = 0;
};

// Process entry of the windowed engine: the single-instance lock, the
// application, the window, the message loop. Returns the exit status. In
// `velmora` it hands the options to the window program in its place.
int RunEngine(int argc, char** argv, const WindowedOptions& options);

}  // namespace velmora::platform
