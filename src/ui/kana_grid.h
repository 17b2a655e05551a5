#pragma once
// A name typed without a keyboard: a grid of kana buttons (hiragana and
// katakana pages) that a pad or a mouse presses one by one.
#include <string>

namespace velmora {

class TForm1;

// Shows the grid modally, starting from `text` (CP932); true with the new
// text when the player pressed "決定", false (text unchanged) when not.
// At most maxChars characters are taken.
bool ShowKanaGrid(TForm1& f, std::string& text, int maxChars);

}  // namespace velmora
