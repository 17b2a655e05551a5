#pragma once
// The layout check of velmora-check --layout: plays every message line of a
// game through the proportional layout, with the game's fonts and window,
// and reports the lines that will not fit: a word wider than the window's
// line, and text that runs past the window's or the page's last line.
#include <vector>

#include "tools/game_check.h"

namespace velmora::tools {

// Findings (warnings) in file and line order; fontSize in points, as the
// player's FONTSIZE (19 unless changed).
std::vector<CheckFinding> CheckLayout(const GameContents& game, int fontSize = 19);

}  // namespace velmora::tools
