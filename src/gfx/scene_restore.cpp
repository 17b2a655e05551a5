// The scene rebuild of a load: the background and sprites that the
// commands had set, from the names kept in the slot.
#include "gfx/scene_restore.h"

#include "app/engine.h"
#include "app/trace.h"
#include "gfx/composition.h"
#include "gfx/effects.h"
#include "gfx/image_files.h"

namespace velmora {

void RestoreSceneFromNames(TForm1& f) {
    GfxState& g = f.gfx;
    const std::string& name = g.backgroundName;
    if (!name.empty() && (name[0] == 'S' || name[0] == 's')) {
        if (g.background.width != kScreenWidth || g.background.height != kScreenHeight)
            g.background.Resize(kScreenWidth, kScreenHeight);
        FillPicture(g.background, ColourFromName(name.c_str()));
    } else if (!name.empty() && !LoadPicture(f, name, g.background)) {
        Trace("load: background %s not found", TraceText(name).c_str());
    }
    // A list's "-" keeps a position: nothing from before the load may stay.
    for (std::string& s : g.spriteNames) s.clear();
    SetSprites(f, g.spriteList);
    f.text.windowValid = false;
    Redraw(f, 7);
}

}  // namespace velmora
