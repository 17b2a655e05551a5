#pragma once
// Sound effects, voices and music.
#include <cstdint>
#include <string>

namespace velmora {

class TForm1;

struct AudioState {
    bool outputOpen = false;
};

void OpenSoundOutput(TForm1& f);
void StopMusic(TForm1& f);

// What the script commands ask of the sound output (stand-ins in
// sound_commands_stub.cpp until it is built). Names are CP932 entry names.
// 0 when played (or suppressed), 1 when the name was not found.
int PlaySound(TForm1& f, const std::string& name);
// PlaySound unless skipping.
void PlaySoundByName(TForm1& f, const std::string& name);
bool SoundExists(TForm1& f, const std::string& name);
void StopVoice(TForm1& f);
void StopLoopSound(TForm1& f);
bool IsVoiceOrEffectPlaying(TForm1& f);
// The command music n.
void SetMusic(TForm1& f, int n);
// Music upkeep, first thing on every timer tick.
void UpdateMusic(TForm1& f);

}  // namespace velmora
