#pragma once
// The notice band of saving and loading ("セーブしました", "ロードします").
#include <string>

namespace velmora {

class TForm1;

// Shows a CP932 text in a band across the window: it fades in, holds for
// `ms` milliseconds and fades out. Only the window changes.
void ShowNotice(TForm1& f, const std::string& text, int ms);

}  // namespace velmora
