#include "gfx/composition.h"

#include "app/engine.h"

namespace velmora {

void CreateCompositionPictures(TForm1& f) {
    GfxState& g = f.gfx;
    for (Picture* p : {&g.scene, &g.screen, &g.previous, &g.work, &g.novel, &g.choiceSave, &g.mask})
        p->Resize(800, 600);
}

void ForgetSceneNames(TForm1& f) {
    f.gfx.backgroundName.clear();
    f.gfx.spriteList.clear();
}

void InitTransitions(TForm1& f) { (void)f; }

void InitScriptObjects(TForm1& f) { (void)f; }

void TForm1::PBPaint() { plat.surface().BlitWhole(gfx.screen); }

}  // namespace velmora
