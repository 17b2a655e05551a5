#pragma once
// Transitions and the animated background, as the redraw path sees them.
namespace velmora {

class TForm1;

// The transition initialisation "INIT".
void InitTransitions(TForm1& f);
// Runs transition n from the previous-screen picture to the screen picture;
// it ends with the screen picture on the window and the effect flags clear.
void RunTransition(TForm1& f, int n);

// Whether an animated background runs, and the two things the redraw path
// does to its frames: put each frame's clean piece back under the window
// area, and lay the message window onto every frame.
bool BackgroundAnimationRunning(TForm1& f);
void RestoreFrameCleanPieces(TForm1& f);
void CopyWindowPieceToFrames(TForm1& f);

}  // namespace velmora
