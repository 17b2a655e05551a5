#pragma once
// The notice band of saving and loading ("セーブしました", "ロードします").
#include <string>

namespace velmora {

class TForm1;

// Shows a CP932 text for `ms` milliseconds (stand-in in notice_stub.cpp).
void ShowNotice(TForm1& f, const std::string& text, int ms);

}  // namespace velmora
