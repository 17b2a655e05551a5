#pragma once
// The engine's icon (a night scene with a moon over a message window),
// drawn at any size, so that no picture is kept in the repository: the
// desktop's icon files and the web app's icons come from here.
#include "gfx/picture.h"

namespace velmora::tools {

// The icon at n x n pixels: its colour and its coverage (grey, 255 opaque).
void DrawIcon(int n, Picture& colour, Picture& alpha);

}  // namespace velmora::tools
