#include "text/message_window.h"

#include "app/engine.h"

namespace velmora {

void BuildMessageWindow(TForm1& f) { (void)f; }
void InitGlyphs(TForm1& f) { (void)f; }
void LoadClickWaitIcon(TForm1& f) { (void)f; }
void NewPage(TForm1& f) {
    f.text.column = 0;
    f.text.line = 0;
}

}  // namespace velmora
