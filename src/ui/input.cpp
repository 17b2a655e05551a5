#include "ui/input.h"

#include "app/engine.h"

namespace velmora {

void TForm1::PBMouseDown(platform::MouseButton button, uint32_t shift, int x, int y) {
    (void)shift, (void)x, (void)y;
    if (flags.interruptibleEffect) flags.interruptRequest = 1;
    else if (button == platform::mbLeft) StandInLeftClick(*this);
}
void TForm1::PBMouseUp(platform::MouseButton button, uint32_t shift, int x, int y) {
    (void)button, (void)shift, (void)x, (void)y;
}
void TForm1::PBMouseMove(uint32_t shift, int x, int y) { (void)shift, (void)x, (void)y; }
void TForm1::FormKeyDown(uint16_t& key, uint32_t shift) { (void)key, (void)shift; }
void TForm1::FormKeyPress(char& key) {
    // Enter and Z act as a left press where the pointer last was.
    if (key == '\r' || key == 'z' || key == 'Z') PBMouseDown(platform::mbLeft, 0, 0, 0);
}
void TForm1::FormKeyUp(uint16_t& key, uint32_t shift) { (void)key, (void)shift; }
void TForm1::FormMouseWheel(uint32_t shift, int delta, int x, int y, bool& handled) {
    (void)shift, (void)delta, (void)x, (void)y;
    handled = false;
}

}  // namespace velmora
