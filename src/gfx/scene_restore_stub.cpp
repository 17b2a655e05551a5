// Stand-in for the scene rebuild of a load until the picture commands are
// built: the same layers the commands would set, from the names alone.
#include <cctype>

#include "app/engine.h"
#include "app/trace.h"
#include "gfx/composition.h"
#include "gfx/image_files.h"
#include "gfx/scene_restore.h"

namespace velmora {

namespace {

int ColourChannel(char c) {
    if (c == 'g' || c == 'G') return 255;
    if (c >= '0' && c <= '9') return 16 * (c - '0');
    if (c >= 'a' && c <= 'f') return 16 * (c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return 16 * (c - 'A' + 10);
    return 0;
}

}  // namespace

void RestoreSceneFromNames(TForm1& f) {
    GfxState& g = f.gfx;
    const std::string& name = g.backgroundName;
    if (name.size() == 4 && (name[0] == 'S' || name[0] == 's')) {
        if (g.background.width != 800 || g.background.height != 600) g.background.Resize(800, 600);
        uint8_t b = static_cast<uint8_t>(ColourChannel(name[3])), gr = static_cast<uint8_t>(ColourChannel(name[2])),
                r = static_cast<uint8_t>(ColourChannel(name[1]));
        for (size_t i = 0; i + 2 < g.background.bytes.size(); i += 3) {
            g.background.bytes[i] = b;
            g.background.bytes[i + 1] = gr;
            g.background.bytes[i + 2] = r;
        }
    } else if (!name.empty() && !LoadPicture(f, name, g.background)) {
        Trace("load: background %s not found", TraceText(name).c_str());
    }
    // A list's "-" keeps a position: nothing from before the load may stay.
    for (std::string& s : g.spriteNames) s.clear();
    SetSprites(f, g.spriteList);
    Redraw(f, 7);
}

}  // namespace velmora
