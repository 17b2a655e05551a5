#pragma once
// Helpers of the input and choice tests: presses where the pointer is, and
// a voice that plays for a while on the headless mixer.
#include <vector>

#include "../script/story.h"
#include "audio/sound.h"

namespace velmora::test {

// A press and release at (x, y) with the pointer there, as the window
// delivers them.
inline void Press(Story& s, platform::MouseButton b, int x, int y) {
    s.plat().SetCursorPos(x, y);
    s.plat().ProcessMessages();  // the move the pointer reports
    s.f().PBMouseDown(b, 0, x, y);
    s.f().PBMouseUp(b, 0, x, y);
}

inline void Move(Story& s, int x, int y) {
    s.plat().SetCursorPos(x, y);
    s.plat().ProcessMessages();
}

// Puts ms milliseconds of silence on the voice slot and plays it.
inline void PlayFakeVoice(Story& s, int ms = 2000) {
    if (!s.f().audio.available) s.Pass(1);
    platform::HeadlessMixer& m = s.plat().headlessMixer;
    platform::PcmFormat format;
    const uint32_t bytes = format.avgBytesPerSec / 1000 * static_cast<uint32_t>(ms);
    std::vector<uint8_t> silence(bytes, 0);
    m.CreateBuffer(kSlotVoice, format, bytes, false);
    m.WriteBuffer(kSlotVoice, 0, silence.data(), bytes);
    m.Play(kSlotVoice, false);
}

inline bool VoicePlaying(Story& s) { return s.plat().headlessMixer.IsPlaying(kSlotVoice); }

}  // namespace velmora::test
