#pragma once
// Rebuilding the scene after a saved game has been loaded.

namespace velmora {

class TForm1;

// The background and sprites from the remembered background name (a
// picture or an "S" colour) and sprite list, shown with transition 7
// (stand-in in scene_restore_stub.cpp until the picture commands own it).
void RestoreSceneFromNames(TForm1& f);

}  // namespace velmora
