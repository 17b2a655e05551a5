#pragma once
// Stand-ins for what the transitions and the animated background will
// provide. Delete with gfx_interim.cpp.
namespace velmora {
class TForm1;
namespace interim {

// The transition that reveals the screen picture over the previous one.
void RevealScreen(TForm1& f);
bool AnimatedBackgroundRunning(TForm1& f);

}  // namespace interim
}  // namespace velmora
