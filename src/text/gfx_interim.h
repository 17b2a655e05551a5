#pragma once
// Stand-ins for picture operations of the graphics subsystem that text uses
// until that subsystem provides them. Delete with gfx_interim.cpp.
#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx/picture.h"

namespace velmora {
class TForm1;
namespace interim {

void MaskRows(const uint8_t* dst, const uint8_t* src, const uint8_t* mask, int n, uint8_t* out);
bool BlitStacked(Picture& dst, int x, int y, const Picture& src);
void CopyRect(Picture& dst, int dx, int dy, const Picture& src, int sx, int sy, int w, int h);
inline void CopyPicture(Picture& dst, const Picture& src, int dx = 0, int dy = 0) {
    CopyRect(dst, dx, dy, src, 0, 0, src.width, src.height);
}
void FillPicture(Picture& dst, uint32_t colour);
bool LoadPicture(TForm1& f, const std::string& name, Picture& picture);
void CrossfadeScreen(const Picture& first, const Picture& second, int w, Picture& out);
void StartFrameClock(TForm1& f);
int WaitFrame(TForm1& f, uint32_t ms);
void Redraw(TForm1& f, int transition);
// The transition that reveals the screen picture over the previous one.
void RevealScreen(TForm1& f);
bool AnimatedBackgroundRunning(TForm1& f);

}  // namespace interim
}  // namespace velmora
