#pragma once
// Sound effects, voices and music.
#include <cstdint>

namespace velmora {

class TForm1;

struct AudioState {
    bool outputOpen = false;
};

void OpenSoundOutput(TForm1& f);
void StopMusic(TForm1& f);

}  // namespace velmora
