#include "audio/sound.h"

#include "app/engine.h"

namespace velmora {

void OpenSoundOutput(TForm1& f) { f.audio.outputOpen = f.plat.mixer() != nullptr; }
void StopMusic(TForm1& f) { (void)f; }

}  // namespace velmora
