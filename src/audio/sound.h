#pragma once
// Sound effects, voices and streamed music on the platform's mixer.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "audio/mixer.h"
#include "audio/wady.h"

namespace velmora {

class TForm1;

// The mixer slots and what plays on them.
enum SoundSlot {
    kSlotVoice = 0,
    kSlotEffect = 1,
    kSlotLoop = 2,
    kSlotMusic = 3,
    kSlotAnimation = 5,
};

// Work buffers of the music stream: a track's frames per quarter times its
// channels may not exceed kMaxQuarterSamples.
constexpr size_t kMusicCodedBufferSize = 352800;
constexpr size_t kMusicPcmBufferSize = 705600;
constexpr uint32_t kMaxQuarterSamples = 88200;

// The engine's modal dialogs, as far as sound cares which one has focus.
enum class SoundDialog { None, SaveLoadList, Settings, Other };

enum class MusicSource { None, MusicFile, AnimationFile };

struct MusicStream {
    MusicSource source = MusicSource::None;
    std::FILE* file = nullptr;      // the open music volume (music-file source)
    std::FILE* animFile = nullptr;  // the animation player's file (not owned)
    long animFileSize = 0;
    WadyHeader header;
    int channels = 1;
    uint32_t quarterBytes = 0;  // H: PCM bytes of one quarter
    int64_t endPos = 0, loopPos = 0, readPos = 0;
    int64_t filePos = -1;  // where the open music file stands, -1 unknown
    int16_t predictor[2] = {0, 0};
    int next = 0;  // next quarter to fill
    int32_t volume = 0;
    int32_t fadeLevel = 0;
    int32_t fadeStep = 0;
};

struct AudioState {
    bool outputOpen = false;  // InitSound has been tried
    bool available = false;
    bool muted = false;
    int32_t masterVolume = 0;
    // The engine's dialog that has focus, set by its owner while it is shown.
    SoundDialog activeDialog = SoundDialog::None;
    // The remembered looping sound (saved with a game), upper case.
    std::string loopSoundName;
    // Music bookkeeping, saved with a game.
    int32_t requestedTrack = 0;
    int32_t playingTrack = 0;
    // The delayed start of a track requested while the game was not active.
    int32_t pendingTrack = 0;
    int32_t pendingCounter = 0;
    MusicStream music;
    std::unique_ptr<uint8_t[]> codedWork;
    std::unique_ptr<int16_t[]> pcmWork;
};

// Opens the mixer (once per run); sound stays unavailable when it fails.
void InitSound(TForm1& f);
void OpenSoundOutput(TForm1& f);  // the first idle pass: InitSound
void ShutdownSound(TForm1& f);

// Plays a voice or a sound effect by entry name: 1 when the name is not
// found (or its voice volume does not open), 0 otherwise.
int PlaySound(TForm1& f, const std::string& name);
// PlaySound unless skipping.
void PlaySoundByName(TForm1& f, const std::string& name);
bool SoundExists(TForm1& f, const std::string& name);
void StopVoice(TForm1& f);
void StopLoopSound(TForm1& f);
void StopAllSounds(TForm1& f);
bool IsVoiceOrEffectPlaying(TForm1& f);
void ApplyVolumes(TForm1& f);
void SetMasterVolume(TForm1& f, int32_t volume);
void Mute(TForm1& f);
void Unmute(TForm1& f);
// Plays a byte-coded entry of `size` bytes read from the animation file at
// its current position, once, on slot 5.
void PlayAnimationSound(TForm1& f, std::FILE* file, int32_t size);
void StopAnimationSound(TForm1& f);

// Music.
void SetMusic(TForm1& f, int32_t n);
void ReapplyMusic(TForm1& f);
int PlayTrack(TForm1& f, int32_t n);
void StopMusic(TForm1& f);
void FadeMusic(TForm1& f, int32_t step);
void UpdateMusic(TForm1& f);
// The animation player's sound track at `position` of its open file.
int PlayAnimationStream(TForm1& f, std::FILE* file, long position);
void StopAnimationStream(TForm1& f);
// The delayed music start, counted down by the input tick of the timer.
void MusicDelayTick(TForm1& f);
// The sound and music upkeep of every timer tick.
void SoundTimerTick(TForm1& f);

// Whether the game's windows let sounds play (the active-window rules).
bool SoundWindowActive(TForm1& f);
bool MusicWindowActive(TForm1& f);

}  // namespace velmora
