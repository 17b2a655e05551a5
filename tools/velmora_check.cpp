// velmora-check: reports what would go wrong when a game is played.
#include <cstdio>
#include <cstring>

#include "tools/game_check.h"

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts("usage: velmora-check [--layout] GAME\n"
                  "\n"
                  "Reads every script and table of GAME (an author's folder with scripts/, or a\n"
                  "folder of archives) and prints each problem as \"file:line: error: ...\" or\n"
                  "\"file:line: warning: ...\", then a summary. Exit status 0 when there is no\n"
                  "error, 1 when there is one, 2 when GAME is no game.\n"
                  "\n"
                  "  --layout  also sets every message line in the proportional layout, with the\n"
                  "            game's fonts and window, and warns of words wider than the\n"
                  "            window's line and of text that runs past the window or the page");
        return 0;
    }
    const bool layout = argc == 3 && std::strcmp(argv[1], "--layout") == 0;
    if (argc != 2 && !layout) {
        std::fputs("usage: velmora-check [--layout] GAME\n", stderr);
        return 2;
    }
    return velmora::tools::RunCheck(argv[layout ? 2 : 1], stdout, stderr, layout);
}
