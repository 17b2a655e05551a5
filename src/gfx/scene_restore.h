#pragma once
// Rebuilding the scene after a saved game has been loaded.

namespace velmora {

class TForm1;

// The background and sprites from the remembered background name (a
// picture or an "S" colour) and sprite list, shown with transition 7.
void RestoreSceneFromNames(TForm1& f);

}  // namespace velmora
