#pragma once
// OpenAL Soft: the sound device of the real platform.

namespace velmora::platform {

// True when OpenAL reports at least one playback device.
bool OpenAlOutputPresent();

}  // namespace velmora::platform
