#pragma once
// The engine's off-screen pictures and the redraw path.
#include <string>

#include "gfx/picture.h"

namespace velmora {

class TForm1;

struct GfxState {
    Picture scene, screen, previous, work;
    Picture background, overlay, novel, messageWindow, choiceSave, spriteLoad, parts, mask;
    std::string backgroundName;
    std::string spriteList;
};

// Creates the composition pictures at their start-up sizes.
void CreateCompositionPictures(TForm1& f);
// Forgets the names of the current background and sprites.
void ForgetSceneNames(TForm1& f);
// The transition initialisation "INIT".
void InitTransitions(TForm1& f);
// Script objects.
void InitScriptObjects(TForm1& f);

}  // namespace velmora
