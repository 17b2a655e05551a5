#pragma once
// The script commands that change the screen: pictures, sprites, overlay,
// parts, panning, shakes, symbols, transitions, effects, animations and
// script objects. Each takes the command's argument text.
#include <cstdint>
#include <string>

namespace velmora {

class TForm1;

// gra and grb (the selector is f.stepper.grbSelected); 1 when a click cut
// the transition short.
int GraCommand(TForm1& f, const char* args);
void BgCommand(TForm1& f, const char* args);
// The background as one colour of a colour name ("S" and three digits).
void FillColourBackground(TForm1& f, const std::string& name);
void ClrbCommand(TForm1& f, const char* args);
void SprCommand(TForm1& f, const char* args);
void OvrCommand(TForm1& f, const char* args);
void PartsloadCommand(TForm1& f, const char* args);
void PtsetCommand(TForm1& f, const char* args);
void DirectCommand(TForm1& f, const char* args);
void ScrollCommand(TForm1& f, const char* args);
void ShakeCommand(TForm1& f, const char* args);
void ManpuCommand(TForm1& f, const char* args);
void SprmvCommand(TForm1& f, const char* args);
// The sprite-layout reset of gameinit.
void GameinitSprites(TForm1& f);
void EffectCommand(TForm1& f, const char* args);
void BgAnimCommand(TForm1& f, const char* args);
void SepiaFade(TForm1& f);
// anim, or its quality form "animq".
void AnimCommand(TForm1& f, const char* args, bool quality);
// obj_ with the text right after "obj_".
void ObjectCommand(TForm1& f, const char* text);

// The main loop's hooks: effect timing on every timer tick, and the
// animated background on every idle pass (it reads the frame counter).
void EffectTick(TForm1& f);
void AdvanceBackgroundAnimation(TForm1& f);

}  // namespace velmora
